#include "controls/FocusTracker.h"
#include "errors/ExceptionGuard.h"

#include <QApplication>
#include <QFocusEvent>
#include <QVector>
#include <QWidget>

#include <utility>

namespace {
const char kTrackerName[] = "suiteFocusTracker";
}

FocusTracker::FocusTracker() : QObject(QCoreApplication::instance())
{
    setObjectName(QLatin1String(kTrackerName));
    connect(qApp, &QApplication::focusChanged, this, &FocusTracker::focusChanged);
    qApp->installEventFilter(this);
}

bool FocusTracker::returningTo(const QWidget *widget)
{
    const FocusTracker &tracker = instance();
    return widget && tracker.m_running > 0 && tracker.m_leaving == widget;
}

bool FocusTracker::eventFilter(QObject *watched, QEvent *event)
{
    const QEvent::Type type = event->type();
    // Sent before the focus change is reported: how the focus came.
    if (type == QEvent::FocusIn)
        m_focusInReason = static_cast<QFocusEvent *>(event)->reason();
    if (m_refused.isEmpty())
        return false;
    if (type != QEvent::KeyPress && type != QEvent::MouseButtonPress && type != QEvent::MouseButtonDblClick)
        return false;
    // The person acts in a form again: the next focus move out of its refused control is
    // theirs, and the control's exit judges it.
    if (auto *widget = qobject_cast<QWidget *>(watched))
        m_refused.remove(formOf(widget));
    return false;
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
    // An exit handler's message box took the keyboard from the window.
    if (m_running > 0 && m_leaving && (!now || now->window() != m_leaving->window()))
        m_windowLeft = true;
    // Focus leaving for nowhere (the window lost activation) fires nothing; the form
    // keeps its last control, so coming back to it fires nothing either.
    if (!now)
        return;
    QWidget *form = formOf(now);
    if (!m_lastFocus.contains(form))
        connect(form, &QObject::destroyed, this, [this, form] {
            m_lastFocus.remove(form);
            m_refused.remove(form);
        });
    const QPointer<QWidget> previous = m_lastFocus.value(form);
    m_lastFocus.insert(form, now);
    // Focus moves made while exit handlers run (back to a control at fault) only move
    // the current control.
    if (m_running > 0 || !previous || previous == now)
        return;
    if (keepRefused(form, previous, now))
        return;
    // The window coming back gives the focus to the control it last had, which may have
    // been set while the window was inactive (a refusal putting the focus back after its
    // box): no one left anything.
    if (m_focusInReason == Qt::ActiveWindowFocusReason)
        return;
    runExits(form, previous);
}

bool FocusTracker::keepRefused(QWidget *form, QWidget *previous, QWidget *now)
{
    if (m_refused.value(form) != previous)
        return false;
    // Tab, a click or a mnemonic are the person's own moves, even before the key or the
    // click reaches the form.
    const bool personsMove = m_focusInReason == Qt::TabFocusReason || m_focusInReason == Qt::BacktabFocusReason
                             || m_focusInReason == Qt::MouseFocusReason || m_focusInReason == Qt::ShortcutFocusReason;
    if (personsMove || !previous->isVisible() || !previous->isEnabled() || previous->isAncestorOf(now)) {
        m_refused.remove(form);
        return false;
    }
    ++m_running;
    m_leaving = previous;
    previous->setFocus(Qt::OtherFocusReason);
    m_leaving = nullptr;
    --m_running;
    return true;
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
    QWidget *const arrived = m_lastFocus.value(form);
    const QPointer<QWidget> outerLeaving = m_leaving;
    const bool outerWindowLeft = std::exchange(m_windowLeft, false);
    m_leaving = left;
    m_refused.remove(form);
    for (const QPointer<QWidget> &w : chain) {
        if (!w)
            continue;
        // A handler may have put the focus back inside: then nothing was left.
        QWidget *current = m_lastFocus.value(form);
        if (current && (current == w || w->isAncestorOf(current)))
            continue;
        const std::function<void()> handler = m_handlers.value(w);
        if (handler && !guarded(handler)) {
            // A failed exit stops the exits of the enclosing panels. The handler put the
            // focus back where the person must act.
            // The focus may have been put back while the box still held the keyboard: the
            // window then gives it to that control when it comes back.
            QWidget *back = form->window()->focusWidget();
            if (back && back != arrived && m_windowLeft && formOf(back) == form)
                m_refused.insert(form, back);
            break;
        }
    }
    m_leaving = outerLeaving;
    m_windowLeft = outerWindowLeft;
    --m_running;
}

void OnExit(QWidget *widget, std::function<void()> handler)
{
    FocusTracker::instance().setOnExit(widget, std::move(handler));
}
