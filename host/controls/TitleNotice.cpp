#include "controls/TitleNotice.h"

#include <QEvent>
#include <QGroupBox>

TitleNotice::TitleNotice(const QString &text, QGroupBox *group) : QLabel(text, group)
{
    setStyleSheet(QStringLiteral("color: #a00000;"));
    setAttribute(Qt::WA_TransparentForMouseEvents);
    group->installEventFilter(this);
    place();
}

bool TitleNotice::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == parent() && (event->type() == QEvent::Resize || event->type() == QEvent::LayoutRequest))
        place();
    return QLabel::eventFilter(watched, event);
}

void TitleNotice::place()
{
    auto *group = static_cast<QWidget *>(parent());
    adjustSize();
    move(group->width() - width() - 8, 0);
    raise();
}
