#include "controls/Glyphs.h"

#include <QPainter>
#include <QPixmap>

namespace {

QPixmap drawSearch(const QColor &lens, const QColor &handle, int size)
{
    QPixmap pm(size, size);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    const qreal s = size / 16.0;
    p.setPen(QPen(lens, 1.6 * s));
    p.setBrush(QColor(lens.red(), lens.green(), lens.blue(), 40));
    p.drawEllipse(QPointF(6.5 * s, 6.5 * s), 4.3 * s, 4.3 * s);
    p.setPen(QPen(handle, 2.6 * s, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(9.8 * s, 9.8 * s), QPointF(14.2 * s, 14.2 * s));
    return pm;
}

QPixmap drawCalendar(const QColor &frame, const QColor &top, int size)
{
    QPixmap pm(size, size);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    const qreal s = size / 16.0;
    p.setPen(QPen(frame, 1.0 * s));
    p.setBrush(Qt::white);
    p.drawRect(QRectF(1.5 * s, 2.5 * s, 13 * s, 12 * s));
    p.fillRect(QRectF(2 * s, 3 * s, 12 * s, 3 * s), top);
    p.setPen(Qt::NoPen);
    p.setBrush(frame);
    for (int row = 0; row < 3; ++row)
        for (int col = 0; col < 4; ++col)
            p.drawRect(QRectF((3 + col * 2.7) * s, (7.3 + row * 2.3) * s, 1.6 * s, 1.4 * s));
    return pm;
}

QIcon twoImages(QPixmap normal, QPixmap disabled)
{
    QIcon icon;
    icon.addPixmap(normal, QIcon::Normal);
    icon.addPixmap(disabled, QIcon::Disabled);
    return icon;
}

} // namespace

namespace Glyphs {

QIcon search()
{
    QIcon icon;
    for (int size : {16, 24, 32}) {
        icon.addPixmap(drawSearch(QColor(30, 70, 140), QColor(90, 60, 30), size), QIcon::Normal);
        icon.addPixmap(drawSearch(QColor(160, 160, 160), QColor(170, 170, 170), size), QIcon::Disabled);
    }
    return icon;
}

QIcon calendar()
{
    return twoImages(drawCalendar(QColor(60, 60, 60), QColor(200, 40, 40), 16),
                     drawCalendar(QColor(170, 170, 170), QColor(200, 200, 200), 16));
}

} // namespace Glyphs
