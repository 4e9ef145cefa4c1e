#include "app/Interaction.h"
#include "controls/lookup/LookupDialog.h"
#include "controls/pick/MultiSelectDialog.h"
#include "sets/ParameterSetDialog.h"
#include "report/ui/SaveFileDialog.h"

#include <QApplication>
#include <QInputDialog>
#include <QMessageBox>
#include <QPushButton>

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
    QPushButton *yes = box.addButton(QStringLiteral("Sim"), QMessageBox::YesRole);
    QPushButton *no = box.addButton(QStringLiteral("Não"), QMessageBox::NoRole);
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
        bool ok = false;
        const QString text = QInputDialog::getText(dialogParent(parent), title, prompt, QLineEdit::Normal, value, &ok);
        if (ok)
            value = text;
        return ok;
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
