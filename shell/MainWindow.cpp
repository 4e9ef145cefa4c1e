#include "MainWindow.h"
#include "ModuleLoader.h"

#include "data/Database.h"
#include "errors/ExceptionGuard.h"
#include "app/Interaction.h"
#include "app/ModuleRegistry.h"
#include "app/Session.h"
#include "app/TApplication.h"

#include <QLabel>
#include <QMdiArea>
#include <QMenuBar>
#include <QStatusBar>

MainWindow::MainWindow(QWidget *parent) : QMainWindow(parent)
{
    setWindowTitle(QStringLiteral("Suíte de Gestão — Compras"));
    m_mdiArea = new QMdiArea(this);
    m_mdiArea->setObjectName(QStringLiteral("mdiArea"));
    setCentralWidget(m_mdiArea);
    Application().setMainForm(this, m_mdiArea);

    addScreenMenus();

    QMenu *janela = menuBar()->addMenu(QStringLiteral("&Janela"));
    janela->addAction(QStringLiteral("Lado a lado"), m_mdiArea, &QMdiArea::tileSubWindows);
    janela->addAction(QStringLiteral("Em cascata"), m_mdiArea, &QMdiArea::cascadeSubWindows);
    QMenu *ajuda = menuBar()->addMenu(QStringLiteral("A&juda"));
    ajuda->addAction(QStringLiteral("Módulos carregados..."), this, &MainWindow::showModules);
    menuBar()->addAction(QStringLiteral("&Sair"), this, &QWidget::close);

    const Session &s = Session::current();
    auto *session = new QLabel(QStringLiteral("Filial %1%2   Módulo %3   Banco: %4")
                                   .arg(s.filial, s.vinculadoFilial ? QStringLiteral(" (vinculado)") : QString())
                                   .arg(s.modulo)
                                   .arg(s.db.shortName()),
                               this);
    // Where exactly the suite connects is for whoever looks after it, not for the status line.
    session->setToolTip(QStringLiteral("Banco: %1\nServidor de aplicação: %2:%3")
                            .arg(s.db.describe(), s.serverHost)
                            .arg(s.serverPort));
    session->setObjectName(QStringLiteral("lblSessao"));
    statusBar()->addPermanentWidget(session, 1);
    resize(900, 620);
}

void MainWindow::addScreenMenus()
{
    for (const ModuleInfo &m : ModuleRegistry::modules())
        for (const ScreenInfo &s : m.screens) {
            QMenu *menu = menuAt(s.menu);
            QAction *child = menu->addAction(s.title);
            child->setObjectName(QStringLiteral("act") + s.code);
            connect(child, &QAction::triggered, this, [this, code = s.code] { openScreen(code, false); });
            QAction *modal = menu->addAction(QString(s.title).remove(QLatin1Char('&')) + QStringLiteral(" (&modal)"));
            modal->setObjectName(QStringLiteral("act%1Modal").arg(s.code));
            connect(modal, &QAction::triggered, this, [this, code = s.code] { openScreen(code, true); });
        }
}

QMenu *MainWindow::menuAt(const QString &path)
{
    QWidget *parent = menuBar();
    QMenu *menu = nullptr;
    for (const QString &title : path.split(QLatin1Char('/'), Qt::SkipEmptyParts)) {
        QMenu *found = nullptr;
        for (QAction *a : parent->actions())
            if (a->menu() && a->menu()->title() == title)
                found = a->menu();
        if (!found)
            found = menu ? menu->addMenu(title) : menuBar()->addMenu(title);
        menu = found;
        parent = found;
    }
    return menu ? menu : menuAt(QStringLiteral("&Telas"));
}

void MainWindow::openScreen(const QString &screen, bool modal)
{
    guarded([&] { ModuleLoader::openScreen(screen, modal); });
}

void MainWindow::showModules()
{
    QStringList lines;
    for (const ModuleInfo &m : ModuleRegistry::modules())
        lines << QStringLiteral("%1 %2 (%3)\nUnidades: %4")
                     .arg(m.name, m.version, m.fileName, m.units.join(QStringLiteral(", ")));
    Interaction::instance()->showInfo(lines.isEmpty() ? QStringLiteral("Nenhum módulo carregado.")
                                                      : lines.join(QStringLiteral("\n\n")));
}
