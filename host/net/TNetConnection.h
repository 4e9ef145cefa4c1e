#pragma once

#include "suite_export.h"

#include <QHash>
#include <QList>
#include <QObject>
#include <QPair>
#include <QSet>
#include <QString>
#include <QVariant>
#include <QVariantList>
#include <functional>
#include <optional>

class QSslSocket;

// The link to an object of the application server (ServerName, "Server.dataModule"),
// over TLS with the frames of Frame. Everything is synchronous, on the caller's thread:
// connecting and calling block until the server answers or the timeout passes.
//
// The server must present the certificate whose SHA-256 fingerprint the session pins
// (LinkTls); the token is sent only once that is checked. A link the server closes before
// answering the hello (a server busy with other newcomers) is tried again, after pauses
// that double, within the connection timeout.
class SUITE_EXPORT TNetConnection : public QObject
{
    Q_OBJECT
    Q_PROPERTY(QString ServerName READ ServerName WRITE setServerName)
    Q_PROPERTY(QString Host READ Host WRITE setHost)
    Q_PROPERTY(int Port READ Port WRITE setPort)
    Q_PROPERTY(bool ThrowException READ ThrowException WRITE setThrowException)
    Q_PROPERTY(QString Token READ Token WRITE setToken)
    Q_PROPERTY(bool Connected READ Connected WRITE setConnected)
public:
    explicit TNetConnection(QObject *parent = nullptr);
    ~TNetConnection() override;

    QString ServerName() const { return m_serverName; }
    void setServerName(const QString &name) { m_serverName = name; }
    // One server ("10.0.0.5"), or several separated by commas or blanks, each with its own
    // port if it has one ("10.0.0.5, 10.0.0.6:21174, [fd00::7]"): they are tried in turn,
    // the one that answered last first, and a call whose server stops answering is asked
    // once more of the next. With one address (a balancer in front of several servers), a
    // call whose link breaks is asked once more on a new link.
    QString Host() const { return m_host; }
    void setHost(const QString &host) { m_host = host; }
    int Port() const { return m_port; }
    void setPort(int port) { m_port = port; }
    // True: a failed connection raises ESuiteError. False: it is recorded in
    // LastError() and the component stays disconnected, without a message.
    bool ThrowException() const { return m_throwException; }
    void setThrowException(bool on) { m_throwException = on; }
    // Access token sent when connecting; empty: the session's token at that moment.
    QString Token() const { return m_token; }
    void setToken(const QString &token) { m_token = token; }
    // SHA-256 fingerprint of the server's certificate; empty: the session's at that moment
    // (its ImpressaoDigital, or else that of the certificate file it names).
    QString Fingerprint() const { return m_fingerprint; }
    void setFingerprint(const QString &fingerprint) { m_fingerprint = fingerprint; }

    // Longest wait for the connection and the server's identification answer, and
    // longest silence while waiting for a reply (milliseconds).
    int ConnectTimeout() const { return m_connectTimeout; }
    void setConnectTimeout(int ms) { m_connectTimeout = ms; }
    int CallTimeout() const { return m_callTimeout; }
    void setCallTimeout(int ms) { m_callTimeout = ms; }

    // Largest reply accepted to a call of a method (bytes): a reply announcing more is
    // refused before any of it is read, and the link is closed. Names are not
    // case-sensitive; a method without a cap of its own gets Frame::DefaultReplySize. The
    // module that makes the link sets the caps of its methods that answer with more.
    void setReplyLimit(const QString &method, qint64 bytes);
    qint64 replyLimit(const QString &method) const;

    // Whether the last result of a method called without arguments is kept on the
    // workstation (KeptReplies), so that the server may answer "unchanged" when it still
    // holds; none is kept unless the module asks. The caller gets the same bytes either way.
    void setKeepReply(const QString &method, bool on);
    bool keepsReply(const QString &method) const;
    // What a method's result is kept under (KeptReplies): the server's address, the object
    // and the method.
    QString keptReplyKey(const QString &method) const;
    // Where kept results go (empty: the user's cache folder).
    void setKeptRepliesFolder(const QString &folder) { m_keptFolder = folder; }
    QString keptRepliesFolder() const { return m_keptFolder; }
    // Whether the last call was answered from a kept result.
    bool LastFromKept() const { return m_lastFromKept; }
    // Whether large results are taken compressed; by default as the session says.
    void setCompression(bool on) { m_compression = on; }
    // Whether the last call's result arrived compressed.
    bool LastDeflated() const { return m_lastDeflated; }
    // Results are kept on a worker, after the call has returned: waits until every result
    // received so far is on disk (a call that offers a kept result waits for it first).
    static void waitForKeptReplies();

    // Runs before every connection attempt: the place to set Host and Port.
    std::function<void(QObject *sender)> BeforeConnect;

    bool Connected() const;
    // "host:port" of the server the link is open to; empty when not connected.
    QString ConnectedHost() const;
    void setConnected(bool connected);
    // Why the last connection attempt or call failed; empty after a success.
    QString LastError() const { return m_lastError; }

    // Calls a method of the server object by name and returns its result (a data
    // packet arrives as a QByteArray). Connects first when needed, whatever
    // ThrowException says. Raises ESuiteError when the server cannot be reached, does
    // not answer in time (the link is then closed, so the next call reconnects), or
    // answers with an error (the server's text).
    QVariant call(const QString &method, const QVariantList &args = {});

private:
    enum class Attempt { Done, Failed, Retry };
    bool open();
    bool openOne(const QString &token, const QByteArray &pin);
    QList<QPair<QString, int>> servers() const;
    Attempt attempt(const QString &token, const QByteArray &pin);
    bool pinnedFingerprint(QByteArray &pin);
    QString unreachable(const QString &cause) const;
    void drop();
    QString where() const;
    QString serverModule() const;
    enum class Outcome { Done, Closed, Broken, TimedOut, Failed };
    // Sends one frame and waits for the whole reply. On failure, cause says why;
    // Closed means the link was found closed before any byte of the reply arrived, Broken
    // that it closed after part of the reply.
    Outcome exchange(const QByteArray &frame, int timeoutMs, qint64 maxReply, QByteArray &payload, QString &cause);

    QSslSocket *m_socket;
    QString m_serverName;
    QString m_host;
    int m_port = 0;
    QString m_current; // the server being tried or in use
    int m_currentPort = 0;
    QString m_lastGood; // host:port that answered last
    QString m_lastBad;  // host:port that stopped answering during a call
    bool m_throwException = true;
    QString m_token;
    QString m_fingerprint;
    int m_connectTimeout = 5000;
    int m_callTimeout = 30000;
    bool m_identified = false;
    QString m_lastError;
    QHash<QString, qint64> m_replyLimits; // by method name in lower case
    QSet<QString> m_kept;                 // methods whose results are kept, in lower case
    QString m_keptFolder;
    bool m_lastFromKept = false;
    bool m_lastDeflated = false;
    std::optional<bool> m_compression;
};
