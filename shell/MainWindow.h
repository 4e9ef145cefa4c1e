#pragma once

#include <QMainWindow>

class QMdiArea;
class QMenu;

// The suite's main window: a child-window area, the menu that opens the screens the
// loaded modules offer, and a status bar with the session.
class MainWindow : public QMainWindow
{
    Q_OBJECT
public:
    explicit MainWindow(QWidget *parent = nullptr);

    QMdiArea *mdiArea() const { return m_mdiArea; }
    // Opens a screen: as a child window (modal false) or modally.
    void openScreen(const QString &screen, bool modal);

private:
    void showModules();
    // One entry as a child window and one modal for every screen, under the menu it names.
    void addScreenMenus();
    QMenu *menuAt(const QString &path);

    QMdiArea *m_mdiArea;
};
