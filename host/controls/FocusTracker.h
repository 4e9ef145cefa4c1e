#pragma once

#include "suite_export.h"

#include <QHash>
#include <QObject>
#include <QPointer>
#include <functional>
#include <utility>

class QWidget;

// Exit events: fires a control's OnExit when the keyboard focus moves from it to another
// control of the same form (not when the window merely loses activation), and a
// panel's OnExit when the focus moves from inside the panel to a control outside it,
// the control's exit first. Focus moves made by an exit handler itself (putting the
// focus back on a control at fault) fire no further exits.
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

private:
    FocusTracker();
    void focusChanged(QWidget *old, QWidget *now);
    void runExits(QWidget *form, QWidget *left);

    QHash<QWidget *, std::function<void()>> m_handlers;
    // The control that last held the focus in each form.
    QHash<QWidget *, QPointer<QWidget>> m_lastFocus;
    int m_running = 0;
};

// Shorthand for FocusTracker::instance().setOnExit.
SUITE_EXPORT void OnExit(QWidget *widget, std::function<void()> handler);
