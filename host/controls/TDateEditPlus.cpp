#include "TDateEditPlus.h"
#include "../Consiste.h"
#include "Glyphs.h"

#include <QAction>
#include <QCalendarWidget>
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
                  QStringLiteral("Quarta"), QStringLiteral("Quinta"), QStringLiteral("Sexta"),
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

QDate TDateEditPlus::GetDate() const
{
    return QDate::fromString(displayText(), dateFormat());
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

void TDateEditPlus::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_F4
        || (event->key() == Qt::Key_Down && (event->modifiers() & Qt::AltModifier))) {
        showCalendar();
        return;
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
        calendar->setFirstDayOfWeek(Qt::Sunday);
        calendar->setGridVisible(true);
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
