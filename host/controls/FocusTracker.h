#pragma once

#include "../suite_export.h"

#include <QObject>
#include <QPointer>
#include <functional>

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

private:
    FocusTracker();
    void focusChanged(QWidget *old, QWidget *now);
};

// Shorthand for FocusTracker::instance().setOnExit.
SUITE_EXPORT void OnExit(QWidget *widget, std::function<void()> handler);
