#include "controls/TDateEditPlus.h"
#include "validation/Consiste.h"
#include "controls/CalendarWeeks.h"
#include "controls/EditEntry.h"
#include "controls/Glyphs.h"

#include <QAction>
#include <QCalendarWidget>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QVBoxLayout>

namespace {
QString dateFormat()
{
    return QStringLiteral("dd/MM/yyyy");
}
} // namespace

TDateEditPlus::TDateEditPlus(QWidget *parent) : QLineEdit(parent)
{
    setInputMask(QStringLiteral("99/99/9999; "));
    NomeSemana = {QStringLiteral("Domingo"), QStringLiteral("Segunda"), QStringLiteral("Terça"),
                  QStringLiteral("Quarta"),  QStringLiteral("Quinta"),  QStringLiteral("Sexta"),
                  QStringLiteral("Sábado")};
    m_textColor = palette().color(QPalette::Text);
    QAction *open = addAction(Glyphs::calendar(), QLineEdit::TrailingPosition);
    open->setToolTip(QStringLiteral("Calendário (F4)"));
    connect(open, &QAction::triggered, this, &TDateEditPlus::showCalendar);
    connect(this, &QLineEdit::textChanged, this, [this] {
        updateColor();
        if (!m_writing)
            emit DateChange();
    });
}

QDate TDateEditPlus::dateOf(const QString &text)
{
    const QStringList parts = text.split(QLatin1Char('/'));
    if (parts.size() != 3)
        return QDate();
    int numbers[3] = {};
    for (int i = 0; i < 3; ++i) {
        const QString part = parts.at(i).trimmed();
        const bool yearPart = i == 2;
        if (part.isEmpty() || part.size() > (yearPart ? 4 : 2) || (yearPart && part.size() != 2 && part.size() != 4))
            return QDate();
        for (QChar c : part)
            if (c < QLatin1Char('0') || c > QLatin1Char('9'))
                return QDate();
        numbers[i] = part.toInt();
        if (yearPart && part.size() == 2)
            numbers[i] = Consiste::AnoCompleto(numbers[i]);
    }
    return QDate(numbers[2], numbers[1], numbers[0]);
}

QDate TDateEditPlus::GetDate() const
{
    return dateOf(displayText());
}

void TDateEditPlus::SetDate(const QDate &date)
{
    m_writing = true;
    QLineEdit::setText(date.isValid() ? date.toString(dateFormat()) : QString());
    m_writing = false;
    emit DateChange();
}

QString TDateEditPlus::Text() const
{
    const QString shown = displayText();
    for (QChar c : shown)
        if (c.isDigit())
            return shown;
    return QString();
}

void TDateEditPlus::setText(const QString &text)
{
    QLineEdit::setText(text);
}

void TDateEditPlus::CheckValidDate()
{
    const QString text = Text();
    if (Consiste::EmptyString(text) || GetDate().isValid())
        return;
    setFocus();
    Consiste::MensErro(QStringLiteral("'%1' não é uma data válida.").arg(text.trimmed()));
}

void TDateEditPlus::updateColor()
{
    QPalette p = palette();
    const QColor wanted = GetDate().isValid() ? ValidDateColor : m_textColor;
    if (p.color(QPalette::Text) == wanted)
        return;
    p.setColor(QPalette::Text, wanted);
    setPalette(p);
}

void TDateEditPlus::focusInEvent(QFocusEvent *event)
{
    QLineEdit::focusInEvent(event);
    m_entry.focusIn(this, event->reason(), displayText(), [this] { selectAll(); });
}

void TDateEditPlus::focusOutEvent(QFocusEvent *event)
{
    QLineEdit::focusOutEvent(event);
    // A date typed with a two-digit year is shown as it was understood. Leaving for a
    // pop-up (the calendar) or another window is not leaving the box.
    if (event->reason() == Qt::PopupFocusReason || event->reason() == Qt::ActiveWindowFocusReason)
        return;
    const QDate date = GetDate();
    if (date.isValid() && displayText() != date.toString(dateFormat()))
        SetDate(date);
}

void TDateEditPlus::keyPressEvent(QKeyEvent *event)
{
    if (m_entry.escape(
            event, displayText(), [this](const QString &text) { setText(text); }, [this] { selectAll(); }))
        return;
    if (event->key() == Qt::Key_F4 || (event->key() == Qt::Key_Down && (event->modifiers() & Qt::AltModifier))) {
        showCalendar();
        return;
    }
    // A digit typed at the start of a filled date starts a new date, as it does over the
    // whole text that Tab selects: the mask would otherwise keep the old year's last
    // digits behind a date typed with a two-digit year (15/01/27 over 07/12/2026 making
    // 15/01/2726).
    const QString typed = event->text();
    if (typed.size() == 1 && typed.at(0).isDigit() && cursorPosition() == 0 && !hasSelectedText() && !Text().isEmpty()
        && !isReadOnly()) {
        QLineEdit::clear();
        setCursorPosition(0);
    }
    QLineEdit::keyPressEvent(event);
}

void TDateEditPlus::showCalendar()
{
    if (isReadOnly() || !isEnabled())
        return;
    if (!m_popup) {
        m_popup = new QWidget(this, Qt::Popup);
        auto *layout = new QVBoxLayout(m_popup);
        layout->setContentsMargins(1, 1, 1, 1);
        auto *calendar = new QCalendarWidget(m_popup);
        calendar->setObjectName(QStringLiteral("calendario"));
        calendar->setGridVisible(true);
        CalendarWeeks::install(calendar);
        layout->addWidget(calendar);
        connect(calendar, &QCalendarWidget::activated, this, [this](QDate date) {
            m_popup->hide();
            setFocus();
            SetDate(date);
        });
        connect(calendar, &QCalendarWidget::clicked, this, [this](QDate date) {
            m_popup->hide();
            setFocus();
            SetDate(date);
        });
    }
    auto *calendar = m_popup->findChild<QCalendarWidget *>();
    const QDate current = GetDate();
    calendar->setSelectedDate(current.isValid() ? current : QDate::currentDate());
    m_popup->adjustSize();
    m_popup->move(mapToGlobal(QPoint(0, height())));
    m_popup->show();
    calendar->setFocus();
}
