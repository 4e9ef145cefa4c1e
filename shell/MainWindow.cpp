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

MainWindow::MainWindow(ModuleLoader &loader, QWidget *parent) : QMainWindow(parent), m_loader(loader)
{
    setWindowTitle(QStringLiteral("Suíte de Gestão — Compras"));
    m_mdiArea = new QMdiArea(this);
    m_mdiArea->setObjectName(QStringLiteral("mdiArea"));
    setCentralWidget(m_mdiArea);
    Application().setMainForm(this, m_mdiArea);

    QMenu *compras = menuBar()->addMenu(QStringLiteral("&Compras"));
    QAction *child = compras->addAction(QStringLiteral("Emissão da &Lista de Preços"));
    child->setObjectName(QStringLiteral("actListaPrecos"));
    connect(child, &QAction::triggered, this, [this] { openScreen(QStringLiteral("LPR07731"), false); });
    QAction *modal = compras->addAction(QStringLiteral("Emissão da Lista de Preços (&modal)"));
    modal->setObjectName(QStringLiteral("actListaPrecosModal"));
    connect(modal, &QAction::triggered, this, [this] { openScreen(QStringLiteral("LPR07731"), true); });

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

void MainWindow::openScreen(const QString &screen, bool modal)
{
    guarded([&] {
        LoadedModule &module = m_loader.load(screen);
        module.iniProc(modal ? QVariant(1) : QVariant::fromValue(nullptr));
    });
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
