#include "controls/DialogTitle.h"

#include <QLabel>

QLabel *dialogTitle(const QString &title, QWidget *dialog)
{
    auto *label = new QLabel(title, dialog);
    label->setObjectName(QStringLiteral("lblTitulo"));
    QFont bold = label->font();
    bold.setBold(true);
    label->setFont(bold);
    return label;
}
