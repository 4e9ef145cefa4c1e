#include "app/Showavi.h"
#include "app/TApplication.h"

#include <QApplication>
#include <QLabel>
#include <QPointer>

namespace {
QPointer<QLabel> g_overlay;
}

namespace Showavi {

void ActiveShowAvi(QWidget *form, int)
{
    QWidget *over = form ? form : Application().MainForm();
    if (!over || !over->isVisible() || g_overlay)
        return;
    g_overlay = new QLabel(QStringLiteral("Aguarde..."), over);
    g_overlay->setObjectName(QStringLiteral("showAvi"));
    g_overlay->setAlignment(Qt::AlignCenter);
    g_overlay->setStyleSheet(QStringLiteral(
        "QLabel { background: rgba(255,255,255,200); border: 1px solid #888; font-weight: bold; padding: 12px; }"));
    g_overlay->adjustSize();
    g_overlay->resize(qMax(160, g_overlay->width()), qMax(48, g_overlay->height()));
    g_overlay->move((over->width() - g_overlay->width()) / 2, (over->height() - g_overlay->height()) / 2);
    g_overlay->show();
    g_overlay->raise();
    QApplication::setOverrideCursor(Qt::WaitCursor);
    // Paint it now: the call it covers blocks the event loop.
    g_overlay->repaint();
}

void DeactiveShowAvi()
{
    if (!g_overlay)
        return;
    QApplication::restoreOverrideCursor();
    delete g_overlay.data();
}

bool isShowing()
{
    return !g_overlay.isNull();
}

} // namespace Showavi
