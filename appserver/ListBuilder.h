#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>
#include <functional>
#include <memory>

class Mailbox;
class rdmConsListaPreco;

// Builds the supplier list on a thread of its own, so that a cold build (the first after
// the data changed) holds up no client but those that asked for the list; they all get the
// one packet, built once. Requests queue on this object's thread.
class ListBuilder : public QObject
{
    Q_OBJECT
public:
    // packet is null when the build failed; error says why.
    using Done = std::function<void(const QByteArray &packet, const QString &error)>;

    explicit ListBuilder(QObject *parent = nullptr);
    ~ListBuilder() override;

    // Takes the module (its connection opened on this thread).
    void setModule(std::unique_ptr<rdmConsListaPreco> module);
    // From any thread: the list as the database holds it at `askedAt` or later; `done`
    // runs on this object's thread.
    void request(qint64 askedAt, Done done);
    // Work for this builder's thread.
    Mailbox &mailbox() { return *m_mailbox; }

private:
    void build(qint64 askedAt, const Done &done);

    std::unique_ptr<rdmConsListaPreco> m_module;
    Mailbox *m_mailbox;
};
