#pragma once

#include <QObject>
#include <QString>
#include <QVariant>
#include <QVariantList>
#include <functional>
#include <memory>
#include <vector>

class Mailbox;
class RemoteDataModule;

// Answers, on a thread of its own, the calls a module could not answer from what was at
// hand (RemoteDataModule::invokeBuilt), so that a cold build (the first after the data
// changed) holds up no client but those that asked for it; those that ask while it runs are
// served by the one result, built once. Requests queue on this object's thread.
class ListBuilder : public QObject
{
    Q_OBJECT
public:
    // result is invalid when the build failed; error says why.
    using Done = std::function<void(const QVariant &result, const QString &error)>;
    // Runs on this object's thread with each result built, before the callers get it.
    using Built = std::function<void(const RemoteDataModule &module, const QVariant &result)>;

    explicit ListBuilder(QObject *parent = nullptr);
    ~ListBuilder() override;

    // Takes the modules, by the server's numbering (null for one that does not build), their
    // connection opened on this thread.
    void setModules(std::vector<std::unique_ptr<RemoteDataModule>> modules);
    void setOnBuilt(Built built) { m_built = std::move(built); }
    // From any thread: a call of module number `module` as the database holds it at
    // `askedAt` or later; `done` runs on this object's thread.
    void request(size_t module, const QString &method, const QVariantList &args, qint64 askedAt, Done done);
    // Work for this builder's thread.
    Mailbox &mailbox() { return *m_mailbox; }

private:
    void build(size_t module, const QString &method, const QVariantList &args, qint64 askedAt, const Done &done);

    std::vector<std::unique_ptr<RemoteDataModule>> m_modules;
    Mailbox *m_mailbox;
    Built m_built;
};
