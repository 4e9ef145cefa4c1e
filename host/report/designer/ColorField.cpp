#include "report/designer/ColorField.h"

#include <QColorDialog>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QRegularExpressionValidator>
#include <QToolButton>

ColorField::ColorField(const QString &name, const QString &title, QWidget *parent)
    : QWidget(parent), m_edit(new QLineEdit(this))
{
    auto *box = new QHBoxLayout(this);
    box->setContentsMargins(0, 0, 0, 0);
    m_edit->setObjectName(name);
    m_edit->setPlaceholderText(QStringLiteral("#RRGGBB"));
    m_edit->setValidator(
        new QRegularExpressionValidator(QRegularExpression(QStringLiteral("(#[0-9A-Fa-f]{0,6})?")), m_edit));
    auto *pick = new QToolButton(this);
    pick->setText(QStringLiteral("..."));
    box->addWidget(m_edit, 1);
    box->addWidget(pick);
    setFocusProxy(m_edit);
    connect(m_edit, &QLineEdit::textEdited, this, [this](const QString &text) {
        if (text.isEmpty() || text.size() == 7)
            emit chosen(text.toUpper());
    });
    connect(pick, &QToolButton::clicked, this, [this, title] {
        const QColor color = QColorDialog::getColor(QColor(m_edit->text()), this, title);
        if (color.isValid())
            emit chosen(color.name().toUpper());
    });
}
