#pragma once

#include "suite_export.h"

#include <QMdiArea>
#include <QPointer>
#include <QWidget>

// The suite's application object: knows the main window and its child-window area.
class SUITE_EXPORT TApplication
{
public:
    static TApplication &instance();

    QWidget *MainForm() const { return m_mainForm; }
    QMdiArea *mdiArea() const { return m_mdiArea; }
    void setMainForm(QWidget *mainForm, QMdiArea *mdiArea);

    // Creates a form owned by the application (the main window when there is one).
    template<class T>
    T *CreateForm()
    {
        return new T(nullptr);
    }

private:
    QPointer<QWidget> m_mainForm;
    QPointer<QMdiArea> m_mdiArea;
};

SUITE_EXPORT TApplication &Application();
