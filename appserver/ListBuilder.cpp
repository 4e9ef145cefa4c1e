#include "ListBuilder.h"
#include "errors/EAbort.h"
#include "Mailbox.h"
#include "RemoteDataModule.h"

ListBuilder::ListBuilder(QObject *parent) : QObject(parent), m_mailbox(new Mailbox(this)) { }

ListBuilder::~ListBuilder() = default;

void ListBuilder::setModules(std::vector<std::unique_ptr<RemoteDataModule>> modules)
{
    m_modules = std::move(modules);
}

void ListBuilder::request(size_t module, const QString &method, const QVariantList &args, qint64 askedAt, Done done)
{
    m_mailbox->post([this, module, method, args, askedAt, done = std::move(done)] {
        build(module, method, args, askedAt, done);
    });
}

void ListBuilder::build(size_t module, const QString &method, const QVariantList &args, qint64 askedAt,
                        const Done &done)
{
    try {
        RemoteDataModule *target = module < m_modules.size() ? m_modules[module].get() : nullptr;
        // A module not registered as building declined a call: its fault, told to the caller.
        if (!target)
            throw ESuiteError(QStringLiteral("Erro interno do servidor de aplicação: %1 não pôde ser respondido "
                                             "(o objeto não declara construção).")
                                  .arg(method.left(100)));
        const QVariant result = target->invokeBuilt(method, args, askedAt);
        if (m_built)
            m_built(*target, result);
        done(result, QString());
    } catch (const ESuiteError &e) {
        done(QVariant(), e.message());
    } catch (const std::exception &e) {
        done(QVariant(),
             QStringLiteral("Erro interno do servidor de aplicação: %1").arg(QString::fromLocal8Bit(e.what())));
    }
}
