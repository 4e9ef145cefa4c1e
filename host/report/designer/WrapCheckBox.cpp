#include "report/designer/WrapCheckBox.h"

#include <QStyleOptionButton>
#include <QStylePainter>

#include <algorithm>

namespace {
constexpr int textFlags = Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap;
}

WrapCheckBox::WrapCheckBox(const QString &text, QWidget *parent) : QCheckBox(text, parent)
{
    QSizePolicy policy(QSizePolicy::Preferred, QSizePolicy::Preferred);
    policy.setHeightForWidth(true);
    setSizePolicy(policy);
}

int WrapCheckBox::textIndent() const
{
    return style()->pixelMetric(QStyle::PM_IndicatorWidth, nullptr, this)
           + style()->pixelMetric(QStyle::PM_CheckBoxLabelSpacing, nullptr, this);
}

QRect WrapCheckBox::textRect(int width) const
{
    const int available = std::max(1, width - textIndent());
    const QRect bounds = fontMetrics().boundingRect(QRect(0, 0, available, 10000), textFlags, text());
    return QRect(textIndent(), 0, available, bounds.height());
}

QSize WrapCheckBox::sizeHint() const
{
    // On one line when there is room for it.
    return QCheckBox::sizeHint();
}

QSize WrapCheckBox::minimumSizeHint() const
{
    // As narrow as its longest word; the height follows the width.
    int longest = 0;
    for (const QString &word : text().split(QLatin1Char(' '), Qt::SkipEmptyParts))
        longest = std::max(longest, fontMetrics().horizontalAdvance(word));
    return QSize(textIndent() + longest + 2, QCheckBox::minimumSizeHint().height());
}

int WrapCheckBox::heightForWidth(int width) const
{
    const int indicator = style()->pixelMetric(QStyle::PM_IndicatorHeight, nullptr, this);
    return std::max({indicator, textRect(width).height(), QCheckBox::sizeHint().height()});
}

void WrapCheckBox::paintEvent(QPaintEvent *)
{
    QStylePainter painter(this);
    QStyleOptionButton option;
    initStyleOption(&option);
    // The box beside the first line, however many lines the text takes.
    QStyleOptionButton box = option;
    box.rect = style()->subElementRect(QStyle::SE_CheckBoxIndicator, &option, this);
    const int firstLine = fontMetrics().height();
    box.rect.moveTop(std::max(0, (std::min(height(), firstLine + 2) - box.rect.height()) / 2));
    painter.drawPrimitive(QStyle::PE_IndicatorCheckBox, box);
    const QRect text = textRect(width());
    painter.drawItemText(text, textFlags, palette(), isEnabled(), this->text(), QPalette::WindowText);
    if (hasFocus()) {
        QStyleOptionFocusRect focus;
        focus.initFrom(this);
        focus.rect = text.adjusted(-1, 0, 1, 0);
        painter.drawPrimitive(QStyle::PE_FrameFocusRect, focus);
    }
}
