#include "report/ui/SaveFileDialog.h"

#include <QFileDialog>
#include <QFileSystemModel>
#include <QHeaderView>
#include <QLocale>
#include <QSplitter>
#include <QStyledItemDelegate>
#include <QTreeView>

namespace {

// Qt's file model writes the date in the operating system's locale, which on a machine set
// up without one is "7 Dec", and names a folder's type in English; the clerk reads
// 07/12/2026 14:05 and "Pasta".
class DetailsDelegate : public QStyledItemDelegate
{
public:
    enum Column { Type = 2, Modified = 3 };

    DetailsDelegate(const QFileSystemModel *model, QObject *parent) : QStyledItemDelegate(parent), m_model(model) { }

protected:
    void initStyleOption(QStyleOptionViewItem *option, const QModelIndex &index) const override
    {
        QStyledItemDelegate::initStyleOption(option, index);
        if (index.column() == Modified) {
            const QDateTime when = m_model->lastModified(index);
            if (when.isValid())
                option->text = QLocale().toString(when, QStringLiteral("dd/MM/yyyy HH:mm"));
        } else if (index.column() == Type) {
            const QString suffix = m_model->fileInfo(index).suffix().toUpper();
            option->text = m_model->isDir(index) ? QStringLiteral("Pasta")
                           : suffix.isEmpty()    ? QStringLiteral("Arquivo")
                                                 : QStringLiteral("Arquivo %1").arg(suffix);
        }
    }

private:
    const QFileSystemModel *m_model;
};

void speakPortuguese(QFileDialog &dialog)
{
    dialog.setLabelText(QFileDialog::LookIn, QStringLiteral("Salvar em:"));
    dialog.setLabelText(QFileDialog::FileName, QStringLiteral("Nome do arquivo:"));
    dialog.setLabelText(QFileDialog::FileType, QStringLiteral("Tipo:"));
    dialog.setLabelText(QFileDialog::Accept, QStringLiteral("Salvar"));
    dialog.setLabelText(QFileDialog::Reject, QStringLiteral("Cancelar"));
}

void fitDetails(QFileDialog &dialog)
{
    auto *model = dialog.findChild<QFileSystemModel *>();
    auto *details = dialog.findChild<QTreeView *>(QStringLiteral("treeView"));
    if (!model || !details)
        return;
    auto *delegate = new DetailsDelegate(model, details);
    details->setItemDelegateForColumn(DetailsDelegate::Type, delegate);
    details->setItemDelegateForColumn(DetailsDelegate::Modified, delegate);
    QHeaderView *header = details->header();
    header->setStretchLastSection(false);
    header->setSectionResizeMode(0, QHeaderView::Stretch);
    for (int c = 1; c < header->count(); ++c)
        header->setSectionResizeMode(c, QHeaderView::ResizeToContents);
    // The places on the left ("Computador", the home folder) readable in full.
    if (auto *splitter = dialog.findChild<QSplitter *>(QStringLiteral("splitter")))
        splitter->setSizes({170, 690});
}

} // namespace

namespace SaveFileDialog {

QString ask(QWidget *parent, const QString &title, const QString &suggested, const QString &filter)
{
    QFileDialog dialog(parent, title, suggested, filter);
    dialog.setObjectName(QStringLiteral("SaveFileDialog"));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setViewMode(QFileDialog::Detail);
    if (!suggested.isEmpty())
        dialog.selectFile(suggested);
    speakPortuguese(dialog);
    fitDetails(dialog);
    dialog.resize(860, 520);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return QString();
    return dialog.selectedFiles().constFirst();
}

} // namespace SaveFileDialog
