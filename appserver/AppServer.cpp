#include "AppServer.h"
#include "EAbort.h"
#include "LinkGate.h"
#include "LinkWorker.h"
#include "ServerLog.h"
#include "TokenFailures.h"
#include "net/LinkTls.h"
#include "rdmConsListaPreco.h"

#include <QSslKey>

AppServer::AppServer(const QString &connectionName, QObject *parent)
    : QObject(parent), m_log(std::make_unique<ServerLog>()), m_failures(std::make_unique<TokenFailures>()),
      m_module(std::make_unique<rdmConsListaPreco>(connectionName))
{
    connect(m_log.get(), &ServerLog::logMessage, this, &AppServer::logMessage);
    m_worker = new LinkWorker(m_settings, *m_log, *m_failures, *m_module, [this] { m_gate->settled(); }, this);
    m_worker->start();
    m_gate = new LinkGate(
        m_settings, *m_log,
        [this](qintptr descriptor, std::shared_ptr<LinkTicket> ticket) {
            LinkWorker *worker = m_worker;
            std::weak_ptr<LinkTicket> weak = ticket;
            ticket->requestClose = [worker, weak] {
                QMetaObject::invokeMethod(worker, [worker, weak] {
                    if (auto t = weak.lock())
                        worker->evict(t);
                }, Qt::QueuedConnection);
            };
            QMetaObject::invokeMethod(worker, [worker, descriptor, ticket] { worker->adopt(descriptor, ticket); },
                                      Qt::QueuedConnection);
        },
        this);
}

AppServer::~AppServer()
{
    close();
    // Before the log and the module they use.
    delete m_gate;
    delete m_worker;
}

void AppServer::setCacheTime(int ms)
{
    m_module->setCacheTime(ms);
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
    m_gate->close();
    m_worker->closeAll();
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
