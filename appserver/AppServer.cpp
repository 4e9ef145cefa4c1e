#include "AppServer.h"
#include "data/Database.h"
#include "errors/EAbort.h"
#include "DeflatedReplies.h"
#include "LinkGate.h"
#include "LinkWorker.h"
#include "ListBuilder.h"
#include "Mailbox.h"
#include "MetricsPage.h"
#include "ServerLog.h"
#include "ServerMetrics.h"
#include "RemoteDataModule.h"
#include "ServerTls.h"
#include "TokenFailures.h"
#include "net/LinkTls.h"
#include "SuiteVersion.h"

#include <QSqlDatabase>
#include <QSqlError>
#include <QSslKey>
#include <QThread>
#include <QTimer>
#include <algorithm>
#include <malloc.h>

namespace {

// Opens, on the calling thread, a copy of a connection under a name of its own.
QString openCopy(const QString &source, const QString &name)
{
    QSqlDatabase db = QSqlDatabase::cloneDatabase(source, name);
    if (!db.open())
        throw EDatabaseError(QStringLiteral("O servidor de aplicação não conseguiu abrir uma conexão ao banco"),
                             databaseCause(db.lastError()));
    return name;
}

void closeCopy(const QString &name)
{
    {
        QSqlDatabase db = QSqlDatabase::database(name, false);
        db.close();
    }
    QSqlDatabase::removeDatabase(name);
}

// A burst of clients leaves freed memory with the allocator; it goes back to the system
// once the links have fallen well below their peak.
constexpr int kTrimBelowPeak = 64;

} // namespace

AppServer::AppServer(const QString &connectionName, DataModuleFactories modules, QObject *parent, int workers)
    : QObject(parent), m_log(std::make_unique<ServerLog>()), m_failures(std::make_unique<TokenFailures>()),
      m_deflated(std::make_unique<DeflatedReplies>()), m_metrics(std::make_unique<ServerMetrics>()),
      m_connectionName(connectionName),
      m_factories(std::move(modules)), m_trim(new QTimer(this))
{
    if (m_factories.empty())
        throw ESuiteError(QStringLiteral("O servidor de aplicação não recebeu nenhum módulo de dados para servir."));
    m_modules = makeModules(connectionName, false);
    connect(m_log.get(), &ServerLog::logMessage, this, &AppServer::logMessage);
    startThreads(workers > 0 ? workers : qMax(1, QThread::idealThreadCount()));
    m_gate = new LinkGate(
        m_settings, *m_log,
        [this](qintptr descriptor, std::shared_ptr<LinkTicket> ticket) {
            LinkWorker *worker = m_workers[m_next++ % m_workers.size()];
            std::weak_ptr<LinkTicket> weak = ticket;
            ticket->requestClose = [worker, weak] {
                worker->mailbox().post([worker, weak] {
                    if (auto t = weak.lock())
                        worker->evict(t);
                });
            };
            worker->mailbox().post([worker, descriptor, ticket] { worker->adopt(descriptor, ticket); });
        },
        this);
    connect(m_trim, &QTimer::timeout, this, &AppServer::trimMemory);
    m_trim->start(1000);
}

AppServer::~AppServer()
{
    close();
    delete m_gate;
    stopThreads();
}

// One instance of each module on a connection; only of those that build for the builder
// thread (null in the others' places, so that the numbering stays the server's).
std::vector<std::unique_ptr<RemoteDataModule>> AppServer::makeModules(const QString &connectionName,
                                                                      bool buildersOnly) const
{
    std::vector<std::unique_ptr<RemoteDataModule>> modules;
    modules.reserve(m_factories.size());
    for (const DataModuleFactory &factory : m_factories) {
        if (buildersOnly && !factory.builds) {
            modules.push_back(nullptr);
            continue;
        }
        std::unique_ptr<RemoteDataModule> module = factory.make(connectionName);
        // Links find their module by the instance's name: one that answers to another name
        // than it was registered under would never be reached.
        if (!module || module->serverObjectName().compare(factory.serverObjectName, Qt::CaseInsensitive) != 0)
            throw ESuiteError(QStringLiteral("O módulo de dados %1 do servidor de aplicação não foi criado "
                                             "ou tem outro nome (%2).")
                                  .arg(factory.serverObjectName, module ? module->serverObjectName() : QString()));
        modules.push_back(std::move(module));
    }
    return modules;
}

void AppServer::startThreads(int workers)
{
    const QString &connectionName = m_connectionName;
    QString failure;
    for (int i = 0; i < workers; ++i) {
        auto *thread = new QThread;
        thread->setObjectName(QStringLiteral("Lpr07700 w%1").arg(i));
        auto *worker = new LinkWorker(
            m_settings, *m_log, *m_failures, *m_deflated, *m_metrics, [this] { m_gate->settled(); },
            [this](size_t module, const QString &method, const QVariantList &args, qint64 askedAt,
                   ListBuilder::Done done) { m_builder->request(module, method, args, askedAt, std::move(done)); });
        worker->moveToThread(thread);
        thread->start();
        m_threads.push_back(thread);
        m_workers.push_back(worker);
        const QString name = QStringLiteral("%1_w%2").arg(connectionName).arg(i);
        worker->mailbox().call([&, worker, name] {
            try {
                worker->setModules(makeModules(openCopy(connectionName, name), false));
            } catch (const ESuiteError &e) {
                failure = e.message();
            }
            worker->start();
        });
    }
    auto *thread = new QThread;
    thread->setObjectName(QStringLiteral("Lpr07700 lista"));
    m_builder = new ListBuilder;
    m_builder->setOnBuilt([this](const RemoteDataModule &module, const QVariant &result) { prepare(module, result); });
    m_builder->moveToThread(thread);
    thread->start();
    m_threads.push_back(thread);
    const QString name = connectionName + QStringLiteral("_lista");
    if (anyBuilds()) {
        m_builder->mailbox().call([&, name] {
            try {
                m_builder->setModules(makeModules(openCopy(connectionName, name), true));
            } catch (const ESuiteError &e) {
                failure = e.message();
            }
        });
    }
    if (!failure.isEmpty()) {
        stopThreads();
        throw ESuiteError(failure);
    }
}

void AppServer::stopThreads()
{
    // Each lets go of its links and its connection, and is deleted, on its own thread.
    for (size_t i = 0; i < m_workers.size(); ++i) {
        LinkWorker *worker = m_workers[i];
        const QString name = QStringLiteral("%1_w%2").arg(m_connectionName).arg(i);
        worker->mailbox().call([worker, name] {
            worker->closeAll();
            worker->setModules({});
            closeCopy(name);
            worker->deleteLater(); // when its thread ends, after this delivery
        });
    }
    if (m_builder) {
        const QString name = m_connectionName + QStringLiteral("_lista");
        ListBuilder *builder = m_builder;
        const bool connected = anyBuilds();
        builder->mailbox().call([builder, name, connected] {
            builder->setModules({});
            if (connected)
                closeCopy(name);
            builder->deleteLater();
        });
    }
    for (QThread *thread : m_threads) {
        thread->quit();
        thread->wait();
        delete thread;
    }
    m_threads.clear();
    m_workers.clear();
    m_builder = nullptr;
}

bool AppServer::anyBuilds() const
{
    return std::any_of(m_factories.begin(), m_factories.end(), [](const DataModuleFactory &f) { return f.builds; });
}

void AppServer::setCacheTime(int ms)
{
    for (const auto &module : m_modules)
        module->setCacheTime(ms);
}

RemoteDataModule *AppServer::dataModule(const QString &serverObjectName) const
{
    for (const auto &module : m_modules)
        if (module->serverObjectName().compare(serverObjectName, Qt::CaseInsensitive) == 0)
            return module.get();
    return nullptr;
}

void AppServer::warmUp()
{
    for (const auto &module : m_modules)
        prepare(*module, module->warmUp());
}

QString AppServer::metricsText() const
{
    std::vector<std::pair<QString, BuildStats>> builds;
    for (size_t i = 0; i < m_modules.size(); ++i)
        if (m_factories[i].builds)
            builds.emplace_back(m_modules[i]->serverObjectName(), m_modules[i]->buildStats());
    return m_metrics->callsText() + MetricsPage::links(m_gate->counts()) + MetricsPage::builds(builds)
           + MetricsPage::process(QStringLiteral(SUITE_VERSION));
}

void AppServer::prepare(const RemoteDataModule &module, const QVariant &result)
{
    // A result clients keep goes out compressed to most of them: compressed here, on the
    // thread that built it, the first client that takes it does not wait for that.
    m_deflated->deflatedOf(module.markOf(result), result);
}

void AppServer::listen(const QString &host, quint16 port)
{
    if (m_settings.tls.localCertificate().isNull() || m_settings.tls.privateKey().isNull())
        throw ESuiteError(QStringLiteral("O servidor de aplicação precisa de um certificado e de sua chave privada "
                                         "(Certificado e Chave na seção [ServidorAplicacao] do arquivo de sessão)."));
    if (m_settings.token.size() < LinkTls::MinTokenLength)
        throw ESuiteError(QStringLiteral("O Token da seção [ServidorAplicacao] do arquivo de sessão está vazio ou tem "
                                         "menos de %1 caracteres. Defina um token longo e aleatório, o mesmo no "
                                         "servidor e nas estações.")
                              .arg(LinkTls::MinTokenLength));
    m_settings.context = ServerTls::context(m_settings.tls);
    QHostAddress address;
    if (host.isEmpty() || host.compare(QLatin1String("localhost"), Qt::CaseInsensitive) == 0)
        address = QHostAddress(QHostAddress::LocalHost);
    else if (!address.setAddress(host))
        throw ESuiteError(
            QStringLiteral("Endereço de escuta inválido: \"%1\". Informe um endereço IP, por exemplo 127.0.0.1.")
                .arg(host));
    if (!m_gate->listen(address, port))
        throw ESuiteError(QStringLiteral("Não foi possível ouvir em %1:%2 (%3). Verifique se a porta já está em uso.")
                              .arg(address.toString())
                              .arg(port)
                              .arg(m_gate->errorString()));
}

void AppServer::close()
{
    if (m_gate)
        m_gate->close();
    for (LinkWorker *worker : m_workers)
        worker->mailbox().call([worker] { worker->closeAll(); });
}

QHostAddress AppServer::serverAddress() const
{
    return m_gate->serverAddress();
}

quint16 AppServer::serverPort() const
{
    return m_gate->serverPort();
}

int AppServer::connectionCount() const
{
    return m_gate->connectionCount();
}

int AppServer::pendingCount() const
{
    return m_gate->pendingCount();
}

void AppServer::trimMemory()
{
    const int links = connectionCount();
    m_peakLinks = qMax(m_peakLinks, links);
    if (m_peakLinks - links < kTrimBelowPeak)
        return;
    m_peakLinks = links;
    ::malloc_trim(0);
}
