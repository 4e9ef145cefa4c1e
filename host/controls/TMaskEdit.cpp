#include "controls/TMaskEdit.h"
#include "text/DelphiMask.h"
#include "controls/EditEntry.h"

#include <QFocusEvent>
#include <QHash>
#include <QKeyEvent>

TMaskEdit::TMaskEdit(QWidget *parent) : QLineEdit(parent)
{
    connect(this, &QLineEdit::textChanged, this, [this] {
        const QString now = Text();
        if (now == m_lastText)
            return;
        m_lastText = now;
        emit Change();
    });
}

void TMaskEdit::setEditMask(const QString &delphiMask)
{
    m_editMask = delphiMask;
    setInputMask(toQtInputMask(delphiMask));
    if (inputMask().isEmpty() && m_maxLength > 0)
        QLineEdit::setMaxLength(m_maxLength);
    const QString now = Text();
    if (now != m_lastText) {
        m_lastText = now;
        emit Change();
    }
}

void TMaskEdit::setMaxLength(int length)
{
    m_maxLength = length;
    // Under a mask the mask's positions bound the text.
    if (inputMask().isEmpty())
        QLineEdit::setMaxLength(length > 0 ? length : 32767);
}

QString TMaskEdit::Text() const
{
    if (m_editMask.isEmpty() || inputMask().isEmpty())
        return text();
    QString value = DelphiMask::parse(m_editMask).extract(displayText());
    if (m_maxLength > 0 && value.size() > m_maxLength)
        value.truncate(m_maxLength);
    return value;
}

void TMaskEdit::setText(const QString &text)
{
    if (inputMask().isEmpty()) {
        QLineEdit::setText(text);
        return;
    }
    QLineEdit::setText(DelphiMask::parse(m_editMask).layout(text));
}

QString TMaskEdit::toQtInputMask(const QString &delphiMask)
{
    return DelphiMask::parse(delphiMask).toQtInputMask();
}

QString TMaskEdit::formatMasked(const QString &delphiMask, const QString &raw)
{
    // Lists format every row with one of a few masks: each is parsed once.
    static thread_local QHash<QString, DelphiMask> parsed;
    auto it = parsed.constFind(delphiMask);
    if (it == parsed.constEnd()) {
        if (parsed.size() > 64)
            parsed.clear();
        it = parsed.insert(delphiMask, DelphiMask::parse(delphiMask));
    }
    return it->format(raw);
}

void TMaskEdit::focusInEvent(QFocusEvent *event)
{
    // After Qt's own handling, which puts the cursor of a masked edit on its first blank.
    QLineEdit::focusInEvent(event);
    m_entry.focusIn(this, event->reason(), Text(), [this] { selectAll(); });
}

void TMaskEdit::keyPressEvent(QKeyEvent *event)
{
    if (!m_entry.escape(
            event, Text(), [this](const QString &text) { setText(text); }, [this] { selectAll(); }))
        QLineEdit::keyPressEvent(event);
}
