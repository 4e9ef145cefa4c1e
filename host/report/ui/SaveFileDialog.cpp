#include "report/ui/SaveFileDialog.h"
#include "report/ui/FileDetailsDelegate.h"

#include <QFileDialog>

namespace {

void speakPortuguese(QFileDialog &dialog, bool save)
{
    dialog.setLabelText(QFileDialog::LookIn, save ? QStringLiteral("Salvar em:") : QStringLiteral("Examinar:"));
    dialog.setLabelText(QFileDialog::FileName, QStringLiteral("Nome do arquivo:"));
    dialog.setLabelText(QFileDialog::FileType, QStringLiteral("Tipo:"));
    dialog.setLabelText(QFileDialog::Accept, save ? QStringLiteral("Salvar") : QStringLiteral("Abrir"));
    dialog.setLabelText(QFileDialog::Reject, QStringLiteral("Cancelar"));
}

QString run(QFileDialog &dialog, bool save)
{
    dialog.setViewMode(QFileDialog::Detail);
    speakPortuguese(dialog, save);
    FileDetailsDelegate::fit(dialog);
    dialog.resize(860, 520);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return QString();
    return dialog.selectedFiles().constFirst();
}

} // namespace

namespace SaveFileDialog {

QString ask(QWidget *parent, const QString &title, const QString &suggested, const QString &filter)
{
    QFileDialog dialog(parent, title, suggested, filter);
    dialog.setObjectName(QStringLiteral("SaveFileDialog"));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    if (!suggested.isEmpty())
        dialog.selectFile(suggested);
    return run(dialog, true);
}

QString askOpen(QWidget *parent, const QString &title, const QString &filter)
{
    QFileDialog dialog(parent, title, QString(), filter);
    dialog.setObjectName(QStringLiteral("OpenFileDialog"));
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    return run(dialog, false);
}

} // namespace SaveFileDialog
