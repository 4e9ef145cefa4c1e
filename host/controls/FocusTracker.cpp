#include "FocusTracker.h"
#include "ExceptionGuard.h"

#include <QApplication>
#include <QVector>
#include <QWidget>

namespace {
const char kTrackerName[] = "suiteFocusTracker";
}

FocusTracker::FocusTracker() : QObject(QCoreApplication::instance())
{
    setObjectName(QLatin1String(kTrackerName));
    connect(qApp, &QApplication::focusChanged, this, &FocusTracker::focusChanged);
}

FocusTracker &FocusTracker::instance()
{
    // Lives as a child of the application object, created on first use.
    auto *tracker = QCoreApplication::instance()->findChild<FocusTracker *>(QLatin1String(kTrackerName),
                                                                            Qt::FindDirectChildrenOnly);
    if (!tracker)
        tracker = new FocusTracker;
    return *tracker;
}

void FocusTracker::setOnExit(QWidget *widget, std::function<void()> handler)
{
    if (!widget)
        return;
    if (!handler) {
        m_handlers.remove(widget);
        return;
    }
    if (!m_handlers.contains(widget))
        connect(widget, &QObject::destroyed, this, [this, widget] { m_handlers.remove(widget); });
    m_handlers.insert(widget, std::move(handler));
}

QWidget *FocusTracker::formOf(QWidget *widget)
{
    for (QWidget *w = widget; w; w = w->parentWidget()) {
        if (w->property("suiteForm").toBool() || w->isWindow())
            return w;
    }
    return nullptr;
}

void FocusTracker::focusChanged(QWidget *, QWidget *now)
{
    // Focus leaving for nowhere (the window lost activation) fires nothing; the form
    // keeps its last control, so coming back to it fires nothing either.
    if (!now)
        return;
    QWidget *form = formOf(now);
    if (!m_lastFocus.contains(form))
        connect(form, &QObject::destroyed, this, [this, form] { m_lastFocus.remove(form); });
    const QPointer<QWidget> previous = m_lastFocus.value(form);
    m_lastFocus.insert(form, now);
    // Focus moves made while exit handlers run (back to a control at fault) only move
    // the current control.
    if (m_running > 0 || !previous || previous == now)
        return;
    runExits(form, previous);
}

void FocusTracker::runExits(QWidget *form, QWidget *left)
{
    // The control first, then each enclosing panel, innermost first.
    QVector<QPointer<QWidget>> chain;
    for (QWidget *w = left; w && w != form; w = w->parentWidget())
        if (m_handlers.contains(w))
            chain.append(w);
    if (chain.isEmpty())
        return;

    ++m_running;
    for (const QPointer<QWidget> &w : chain) {
        if (!w)
            continue;
        // A handler may have put the focus back inside: then nothing was left.
        QWidget *current = m_lastFocus.value(form);
        if (current && (current == w || w->isAncestorOf(current)))
            continue;
        const std::function<void()> handler = m_handlers.value(w);
        if (handler && !guarded(handler))
            break; // a failed exit stops the exits of the enclosing panels
    }
    --m_running;
}

void OnExit(QWidget *widget, std::function<void()> handler)
{
    FocusTracker::instance().setOnExit(widget, std::move(handler));
}
