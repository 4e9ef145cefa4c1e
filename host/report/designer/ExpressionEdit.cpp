#include "report/designer/ExpressionEdit.h"

#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

ExpressionEdit::ExpressionEdit(QWidget *parent) : QWidget(parent), m_line(new QLineEdit(this)),
    m_faultLabel(new QLabel(this))
{
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(1);
    layout->addWidget(m_line);
    layout->addWidget(m_faultLabel);
    m_faultLabel->setWordWrap(true);
    m_faultLabel->setTextFormat(Qt::RichText);
    m_faultLabel->setObjectName(QStringLiteral("lblFalha"));
    m_faultLabel->hide();
    connect(m_line, &QLineEdit::textEdited, this, [this](const QString &text) {
        check();
        emit edited(text);
    });
}

QString ExpressionEdit::text() const
{
    return m_line->text();
}

void ExpressionEdit::setText(const QString &text)
{
    if (m_line->text() != text) {
        m_line->setText(text);
        // Read from its start, as typed, rather than scrolled to its end.
        m_line->setCursorPosition(0);
    }
    check();
}

QString ExpressionEdit::faultText() const
{
    return m_fault.isError() ? m_fault.describe() : QString();
}

void ExpressionEdit::check()
{
    const QString text = m_line->text();
    m_fault = text.trimmed().isEmpty() || !names ? ExpressionError() : ReportExpression::check(text, names());
    if (!m_fault.isError()) {
        m_line->setStyleSheet(QString());
        m_faultLabel->hide();
        return;
    }
    m_line->setStyleSheet(QStringLiteral("QLineEdit { background: #FDECEC; }"));
    // The text with the faulty part underlined in red, and what is wrong.
    const int at = std::clamp(m_fault.position, 0, int(text.size()));
    const int length = std::max(1, m_fault.length);
    const QString before = text.left(at).toHtmlEscaped();
    QString wrong = text.mid(at, length).toHtmlEscaped();
    if (wrong.isEmpty())
        wrong = QStringLiteral("&nbsp;&nbsp;");
    const QString after = text.mid(at + length).toHtmlEscaped();
    m_faultLabel->setText(QStringLiteral("<tt>%1<span style=\"color:#C00000; text-decoration:underline; "
                                          "background:#FDECEC\">%2</span>%3</tt><br><span style=\"color:#C00000\">%4</span>")
                               .arg(before, wrong, after, m_fault.describe().toHtmlEscaped()));
    m_faultLabel->show();
}
