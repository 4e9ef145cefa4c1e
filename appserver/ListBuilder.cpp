#include "ListBuilder.h"
#include "errors/EAbort.h"
#include "Mailbox.h"
#include "rdmConsListaPreco.h"

ListBuilder::ListBuilder(QObject *parent) : QObject(parent), m_mailbox(new Mailbox(this)) { }

ListBuilder::~ListBuilder() = default;

void ListBuilder::setModule(std::unique_ptr<rdmConsListaPreco> module)
{
    m_module = std::move(module);
}

void ListBuilder::request(qint64 askedAt, Done done)
{
    m_mailbox->post([this, askedAt, done = std::move(done)] { build(askedAt, done); });
}

void ListBuilder::build(qint64 askedAt, const Done &done)
{
    try {
        // Asked while the last build ran: that packet serves if the data has not moved.
        QByteArray packet = m_module->currentFornecedor();
        if (packet.isNull())
            packet = m_module->buildFornecedor(askedAt);
        done(packet, QString());
    } catch (const ESuiteError &e) {
        done(QByteArray(), e.message());
    } catch (const std::exception &e) {
        done(QByteArray(),
             QStringLiteral("Erro interno do servidor de aplicação: %1").arg(QString::fromLocal8Bit(e.what())));
    }
}
