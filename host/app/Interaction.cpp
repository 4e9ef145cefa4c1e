#include "app/Interaction.h"
#include "controls/lookup/LookupDialog.h"
#include "controls/pick/MultiSelectDialog.h"
#include "sets/ParameterSetDialog.h"
#include "report/ui/SaveFileDialog.h"

#include <QApplication>
#include <QInputDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>

#include <algorithm>

namespace {

QWidget *dialogParent(QWidget *parent)
{
    return parent ? parent : QApplication::activeWindow();
}

// A question with "Sim" and "Não"; true when "Sim" was clicked. Esc and closing the box
// answer no whatever the default is.
bool ask(QWidget *parent, const QString &title, const QString &text, bool yesByDefault)
{
    QMessageBox box(QMessageBox::Question, title, text, QMessageBox::NoButton, dialogParent(parent));
    QPushButton *yes = box.addButton(QStringLiteral("&Sim"), QMessageBox::YesRole);
    QPushButton *no = box.addButton(QStringLiteral("&Não"), QMessageBox::NoRole);
    box.setDefaultButton(yesByDefault ? yes : no);
    box.setEscapeButton(no);
    box.exec();
    return box.clickedButton() == yes;
}

// The Qt dialogs of the application.
class QtInteraction final : public Interaction
{
public:
    void showError(const QString &text) override
    {
        QMessageBox::critical(dialogParent(nullptr), QStringLiteral("Erro"), text);
    }
    void showInfo(const QString &text) override
    {
        QMessageBox::information(dialogParent(nullptr), QStringLiteral("Informação"), text);
    }
    bool lookup(QWidget *parent, TDataSource *source, const QString &title, const QString &keyField,
                QString &key) override
    {
        return LookupDialog::run(dialogParent(parent), source, title, keyField, key);
    }
    QStringList pickList(QWidget *parent, TDataSource *source, const QString &keyField, const QString &title,
                         const QStringList &preselected) override
    {
        return MultiSelectDialog::run(dialogParent(parent), source, keyField, title, preselected);
    }
    bool askText(QWidget *parent, const QString &title, const QString &prompt, QString &value) override
    {
        QInputDialog dialog(dialogParent(parent));
        dialog.setWindowTitle(title);
        dialog.setLabelText(prompt);
        dialog.setTextValue(value);
        dialog.setOkButtonText(QStringLiteral("OK"));
        dialog.setCancelButtonText(QStringLiteral("Cancelar"));
        // Wide enough for its title to read whole in the window's bar ("Salvar como novo
        // relatório", not "Salvar... latório"), and for a long answer.
        // The dialog's layout sets its size from what it holds: the answer's box is what widens it.
        constexpr int barButtons = 160, least = 400;
        if (auto *answer = dialog.findChild<QLineEdit *>())
            answer->setMinimumWidth(std::max(least, dialog.fontMetrics().horizontalAdvance(title) + barButtons));
        if (dialog.exec() != QDialog::Accepted)
            return false;
        value = dialog.textValue();
        return true;
    }
    bool confirm(QWidget *parent, const QString &title, const QString &text) override
    {
        return ask(parent, title, text, true);
    }
    bool confirmDiscard(QWidget *parent, const QString &title, const QString &text) override
    {
        return ask(parent, title, text, false);
    }
    QString saveFileName(QWidget *parent, const QString &title, const QString &suggested,
                         const QString &filter) override
    {
        return SaveFileDialog::ask(dialogParent(parent), title, suggested, filter);
    }
    QString openFileName(QWidget *parent, const QString &title, const QString &filter) override
    {
        return SaveFileDialog::askOpen(dialogParent(parent), title, filter);
    }
    bool askParameterSet(QWidget *parent, ParameterSetQuestion &question) override
    {
        return ParameterSetDialog::run(dialogParent(parent), question);
    }
};

Interaction *g_installed = nullptr;

} // namespace

bool Interaction::askParameterSet(QWidget *, ParameterSetQuestion &)
{
    return false;
}

QString Interaction::openFileName(QWidget *, const QString &, const QString &)
{
    return QString();
}

bool Interaction::confirmDiscard(QWidget *parent, const QString &title, const QString &text)
{
    return confirm(parent, title, text);
}

Interaction *Interaction::instance()
{
    static QtInteraction qtDialogs;
    return g_installed ? g_installed : &qtDialogs;
}

Interaction *Interaction::install(Interaction *interaction)
{
    Interaction *previous = g_installed;
    g_installed = interaction;
    return previous;
}
