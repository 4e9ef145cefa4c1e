#include "form/ControlInput.h"
#include "text/ShownText.h"

#include "errors/EAbort.h"
#include "app/Interaction.h"
#include "text/ListString.h"
#include "data/TDataSet.h"
#include "text/DelphiMask.h"
#include "controls/FocusTracker.h"
#include "controls/TControls.h"
#include "controls/TDateEditPlus.h"
#include "controls/TMaskEdit.h"
#include "controls/TSpinEdit.h"

#include <QAbstractButton>
#include <QApplication>
#include <QSet>

namespace {

// The keys that the rows of source do not hold (a picker marks only rows it shows).
QStringList keysNotIn(TDataSource *source, const QString &keyField, const QStringList &keys)
{
    TDataSet *rows = source ? source->DataSet() : nullptr;
    if (!rows)
        return keys;
    QSet<QString> present;
    const TField &key = rows->FieldByName(keyField);
    const int count = rows->RecordCount();
    for (int r = 0; r < count; ++r)
        present.insert(rows->rowValue(r, key.columnIndex()).toString());
    QStringList unknown;
    for (const QString &k : keys)
        if (!present.contains(k))
            unknown << k;
    return unknown;
}

// Stands in for the person while one value goes in: keeps the messages the control shows
// (the caller decides how to show them), answers the picker with the keys to mark, and
// leaves every other question to the dialogs that were in place.
class EntryInteraction final : public Interaction
{
public:
    EntryInteraction() : m_previous(Interaction::install(this)) { }
    ~EntryInteraction() override { Interaction::install(m_previous); }

    QStringList messages;
    QStringList keys;

    void showError(const QString &text) override { messages << text; }
    void showInfo(const QString &text) override { m_previous->showInfo(text); }
    bool lookup(QWidget *parent, TDataSource *source, const QString &title, const QString &keyField,
                QString &key) override
    {
        return m_previous->lookup(parent, source, title, keyField, key);
    }
    QStringList pickList(QWidget *, TDataSource *source, const QString &keyField, const QString &title,
                         const QStringList &) override
    {
        const QStringList unknown = keysNotIn(source, keyField, keys);
        if (!unknown.isEmpty())
            messages << (unknown.size() == 1 ? QStringLiteral("A chave não está na lista \"%1\": %2.")
                                             : QStringLiteral("As chaves não estão na lista \"%1\": %2."))
                            .arg(title, ShownText::value(unknown.join(QStringLiteral(", ")), 120));
        QStringList known = keys;
        for (const QString &k : unknown)
            known.removeAll(k);
        return known;
    }
    bool askText(QWidget *parent, const QString &title, const QString &prompt, QString &value) override
    {
        return m_previous->askText(parent, title, prompt, value);
    }
    bool confirm(QWidget *parent, const QString &title, const QString &text) override
    {
        return m_previous->confirm(parent, title, text);
    }
    QString saveFileName(QWidget *parent, const QString &title, const QString &suggested,
                         const QString &filter) override
    {
        return m_previous->saveFileName(parent, title, suggested, filter);
    }
    bool askParameterSet(QWidget *parent, ParameterSetQuestion &question) override
    {
        return m_previous->askParameterSet(parent, question);
    }

private:
    Interaction *m_previous;
};

// Why a value would be changed on its way into a control, as the control would change it
// without a word: "" when it goes in as given. A person cannot type what a mask drops, a
// week past the box's range or a date followed by other text.
QString maskRefusal(const TMaskEdit *edit, const QString &value)
{
    if (!edit->EditMask().isEmpty())
        return DelphiMask::parse(edit->EditMask()).misfit(value);
    if (edit->maxLength() > 0 && value.size() > edit->maxLength())
        return QStringLiteral("tem mais de %1 caracteres").arg(edit->maxLength());
    return QString();
}

QString spinRefusal(const TSpinEdit *spin, const QString &value)
{
    const QString t = value.trimmed();
    if (t.isEmpty())
        return QString();
    bool ok = false;
    const qlonglong number = t.toLongLong(&ok);
    if (!ok)
        return QStringLiteral("não é um número inteiro");
    if (number < spin->MinValue || number > spin->MaxValue)
        return QStringLiteral("está fora do intervalo de %1 a %2").arg(spin->MinValue).arg(spin->MaxValue);
    return QString();
}

QString dateRefusal(const QString &value)
{
    if (value.trimmed().isEmpty() || TDateEditPlus::dateOf(value).isValid())
        return QString();
    return QStringLiteral("não é uma data no formato dd/mm/aaaa");
}

QString refusal(const QString &name, const QString &value, const QString &why)
{
    return QStringLiteral("Valor '%1' recusado para %2: %3.").arg(value, name, why);
}

// Leaves the control the way a person does: the focus goes on to the next control.
void leave(QWidget *w)
{
    // Qt reports focus moves, and so the exits run, only in the active window: a value
    // entered while the window opens behind another would otherwise go in unvalidated.
    if (!w->isActiveWindow())
        QApplication::setActiveWindow(w->window());
    w->setFocus();
    QApplication::processEvents();
    for (QWidget *next = w->nextInFocusChain(); next && next != w; next = next->nextInFocusChain()) {
        if ((next->focusPolicy() & Qt::TabFocus) && next->isEnabled() && next->isVisible()) {
            next->setFocus(Qt::TabFocusReason);
            break;
        }
    }
    QApplication::processEvents();
}

// Writes the value as a person types it; a refusal of the value itself comes back at once.
QStringList enterInto(QWidget *w, const QString &name, const QString &value, EntryInteraction &io)
{
    if (auto *e = qobject_cast<TMaskEdit *>(w)) {
        if (const QString why = maskRefusal(e, value); !why.isEmpty())
            return {refusal(name, value, why)};
        e->setFocus();
        e->setText(value);
        leave(e);
    } else if (auto *s = qobject_cast<TSpinEdit *>(w)) {
        if (const QString why = spinRefusal(s, value); !why.isEmpty())
            return {refusal(name, value, why)};
        s->setFocus();
        s->setText(value.trimmed());
        leave(s);
    } else if (auto *d = qobject_cast<TDateEditPlus *>(w)) {
        if (const QString why = dateRefusal(value); !why.isEmpty())
            return {refusal(name, value, why)};
        d->setFocus();
        // As the person's text reads: a two-digit year in the window, written in full.
        d->SetDate(TDateEditPlus::dateOf(value));
        leave(d);
    } else if (auto *r = qobject_cast<TRadioButton *>(w)) {
        bool ok = false;
        const bool on = ControlInput::yesNo(value, &ok);
        if (!ok)
            return {refusal(name, value, QStringLiteral("use S ou N"))};
        if (!on)
            return {
                refusal(name, value, QStringLiteral("um botão de opção só é marcado; marque o outro botão do grupo"))};
        r->setChecked(true);
    } else if (auto *c = qobject_cast<TCheckBox *>(w)) {
        bool ok = false;
        const bool on = ControlInput::yesNo(value, &ok);
        if (!ok)
            return {refusal(name, value, QStringLiteral("use S ou N"))};
        c->setChecked(on);
    } else if (auto *b = qobject_cast<QAbstractButton *>(w)) {
        io.keys = value.startsWith(QLatin1Char('[')) ? ListString::decode(value)
                                                     : value.split(QLatin1Char(','), Qt::SkipEmptyParts);
        b->click();
    } else {
        throw ESuiteError(QStringLiteral("Controle '%1' não pode ser preenchido por nome.").arg(name));
    }
    return {};
}

} // namespace

ControlInput::ControlInput(QWidget *form) : m_form(form) { }

bool ControlInput::yesNo(const QString &value, bool *ok)
{
    const QString t = value.trimmed().toUpper();
    *ok = true;
    for (const char *yes : {"1", "S", "T", "TRUE", "SIM"})
        if (t == QLatin1String(yes))
            return true;
    for (const char *no : {"0", "N", "F", "FALSE", "NAO", "NÃO"})
        if (t == QString::fromUtf8(no))
            return false;
    *ok = false;
    return false;
}

bool ControlInput::isPicker(const QWidget *control)
{
    return qobject_cast<const QAbstractButton *>(control) && !qobject_cast<const TRadioButton *>(control)
           && !qobject_cast<const TCheckBox *>(control);
}

QString ControlInput::valueOf(const QWidget *control)
{
    if (auto *e = qobject_cast<const TMaskEdit *>(control))
        return e->Text();
    if (auto *s = qobject_cast<const TSpinEdit *>(control))
        return s->Text();
    if (auto *d = qobject_cast<const TDateEditPlus *>(control))
        return d->GetDate().isValid() ? d->GetDate().toString(QStringLiteral("dd/MM/yyyy")) : QString();
    if (auto *r = qobject_cast<const TRadioButton *>(control))
        return r->isChecked() ? QStringLiteral("S") : QStringLiteral("N");
    if (auto *c = qobject_cast<const TCheckBox *>(control))
        return c->isChecked() ? QStringLiteral("S") : QStringLiteral("N");
    return QString();
}

QString ControlInput::unreachable(const QWidget *control) const
{
    if (!control->isVisibleTo(m_form))
        return QStringLiteral("o controle não aparece na tela nesta sessão, e ninguém poderia preenchê-lo");
    if (control->isEnabled())
        return QString();
    // A picker is enabled by the "Lista" of its group; clicking it disabled does nothing.
    if (isPicker(control))
        return QStringLiteral("a lista só se escolhe com \"Lista\" marcada no grupo, que está em \"Todos\"");
    return QStringLiteral("o controle está desabilitado nesta sessão, e ninguém poderia alterá-lo");
}

QStringList ControlInput::enter(const QString &name, const QString &value)
{
    QWidget *w = m_form->findChild<QWidget *>(name);
    if (!w)
        throw ESuiteError(QStringLiteral("Controle '%1' não existe na tela.").arg(name));
    if (const QString why = unreachable(w); !why.isEmpty())
        return {refusal(name, value, why)};
    EntryInteraction io;
    FocusTracker::Release exitsRun;
    try {
        const QStringList refused = enterInto(w, name, value, io);
        if (!refused.isEmpty())
            return refused;
    } catch (const EAbort &) {
        // A handler outside the exit guards stopped: its message is among those kept.
    }
    return io.messages;
}
