#pragma once

#include "suite_export.h"

#include <QHash>
#include <QObject>
#include <QPointer>
#include <functional>
#include <utility>

class QWidget;

// Exit events: fires a control's OnExit when the keyboard focus moves from it to another
// control of the same form (not when the window merely loses or regains activation), and a
// panel's OnExit when the focus moves from inside the panel to a control outside it,
// the control's exit first. Focus moves made by an exit handler itself (putting the
// focus back on a control at fault) fire no further exits.
//
// A control whose exit refused with a message box keeps the focus until the person acts in
// its form again (a key or a click): a focus move before that is the toolkit's, not the
// person's (a child window handing the focus back to the control it remembered once the
// box closes), and it puts the focus back on the refused control without running its exit
// again, which would show the same box again, and again after each close.
class SUITE_EXPORT FocusTracker : public QObject
{
    Q_OBJECT
public:
    static FocusTracker &instance();

    // Binds handler to the exit of widget (a control or a panel); replaces an earlier one.
    void setOnExit(QWidget *widget, std::function<void()> handler);

    // The form a widget belongs to: the nearest ancestor whose property "suiteForm" is
    // true, else its window.
    static QWidget *formOf(QWidget *widget);

    // Whether the focus now arriving on widget is an exit handler putting it back on the
    // control that was being left (a refusal): the person's entry in it goes on.
    static bool returningTo(const QWidget *widget);

    // While one is alive, focus moves fire no exits (a command validating the form puts
    // the focus on the control at fault; leaving the control the person was in must not
    // validate again and show a second message).
    class SUITE_EXPORT Hold
    {
    public:
        Hold() { ++instance().m_running; }
        ~Hold() { --instance().m_running; }
        Hold(const Hold &) = delete;
        Hold &operator=(const Hold &) = delete;
    };

    // While one is alive, focus moves fire exits again, even inside a Hold: a value entered
    // as a person types it (a parameter set applied from within a command) is validated
    // as the person would leave it.
    class SUITE_EXPORT Release
    {
    public:
        Release() : m_held(std::exchange(instance().m_running, 0)) { }
        ~Release() { instance().m_running = m_held; }
        Release(const Release &) = delete;
        Release &operator=(const Release &) = delete;

    private:
        int m_held;
    };

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    FocusTracker();
    void focusChanged(QWidget *old, QWidget *now);
    void runExits(QWidget *form, QWidget *left);
    // The focus left a refused control with no act of the person since: put it back.
    bool keepRefused(QWidget *form, QWidget *previous, QWidget *now);

    QHash<QWidget *, std::function<void()>> m_handlers;
    // The control that last held the focus in each form.
    QHash<QWidget *, QPointer<QWidget>> m_lastFocus;
    // Per form, the control whose exit refused, until the person acts in that form again.
    QHash<QWidget *, QPointer<QWidget>> m_refused;
    // The control whose exits run now.
    QPointer<QWidget> m_leaving;
    // Whether the focus left the window while they ran (a message box).
    bool m_windowLeft = false;
    Qt::FocusReason m_focusInReason = Qt::OtherFocusReason;
    int m_running = 0;
};

// Shorthand for FocusTracker::instance().setOnExit.
SUITE_EXPORT void OnExit(QWidget *widget, std::function<void()> handler);
