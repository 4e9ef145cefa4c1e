#pragma once

#include <QMainWindow>

class ModuleLoader;
class QMdiArea;

// The suite's main window: a child-window area, the menu that opens the screens and a
// status bar with the session.
class MainWindow : public QMainWindow
{
    Q_OBJECT
public:
    MainWindow(ModuleLoader &loader, QWidget *parent = nullptr);

    QMdiArea *mdiArea() const { return m_mdiArea; }
    // Opens a screen: as a child window (modal false) or modally.
    void openScreen(const QString &screen, bool modal);

private:
    void showModules();

    ModuleLoader &m_loader;
    QMdiArea *m_mdiArea;
};
