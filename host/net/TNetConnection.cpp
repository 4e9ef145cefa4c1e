#include "net/TNetConnection.h"
#include "errors/EAbort.h"
#include "net/Frame.h"
#include "net/FrameReader.h"
#include "net/KeptReplies.h"
#include "net/LinkTls.h"
#include "app/Session.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QElapsedTimer>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QSslSocket>
#include <QThread>
#include <QThreadPool>

namespace {
QString seconds(int ms)
{
    return QString::number((ms + 999) / 1000);
}

// Keeping a result waits for the disk (the file is synced before it replaces the one kept
// before): one worker does it, in the order the results came, so that no call waits for it.
QThreadPool &keptWriter()
{
    static QThreadPool *pool = [] {
        auto *p = new QThreadPool;
        p->setMaxThreadCount(1);
        // A program that ends soon after a call (a batch run) leaves its result kept.
        qAddPostRoutine([] { keptWriter().waitForDone(); });
        return p;
    }();
    return *pool;
}
} // namespace

void TNetConnection::waitForKeptReplies()
{
    keptWriter().waitForDone();
}

TNetConnection::TNetConnection(QObject *parent) : QObject(parent), m_socket(new QSslSocket(this)) { }

void TNetConnection::setKeepReply(const QString &method, bool on)
{
    if (on)
        m_kept.insert(method.toLower());
    else
        m_kept.remove(method.toLower());
}

QString TNetConnection::keptReplyKey(const QString &method) const
{
    return QStringLiteral("%1 %2 %3").arg(where(), m_serverName, method.toLower());
}

bool TNetConnection::keepsReply(const QString &method) const
{
    return m_kept.contains(method.toLower());
}

void TNetConnection::setReplyLimit(const QString &method, qint64 bytes)
{
    m_replyLimits.insert(method.toLower(), qMax<qint64>(0, bytes));
}

qint64 TNetConnection::replyLimit(const QString &method) const
{
    return m_replyLimits.value(method.toLower(), Frame::DefaultReplySize);
}

TNetConnection::~TNetConnection()
{
    drop();
}

QString TNetConnection::ConnectedHost() const
{
    return Connected() ? where() : QString();
}

bool TNetConnection::Connected() const
{
    return m_identified && m_socket->state() == QAbstractSocket::ConnectedState;
}

void TNetConnection::setConnected(bool connected)
{
    if (!connected) {
        drop();
        return;
    }
    if (Connected())
        return;
    if (!open() && m_throwException)
        throw ESuiteError(m_lastError);
}

QString TNetConnection::where() const
{
    const QString host = m_current.isEmpty() ? m_host : m_current;
    const int port = m_current.isEmpty() ? m_port : m_currentPort;
    return QStringLiteral("%1:%2").arg(host.contains(QLatin1Char(':')) ? QStringLiteral("[%1]").arg(host) : host).arg(port);
}

QList<QPair<QString, int>> TNetConnection::servers() const
{
    QList<QPair<QString, int>> list;
    static const QRegularExpression separators(QStringLiteral("[,;\\s]+"));
    for (const QString &item : m_host.split(separators, Qt::SkipEmptyParts)) {
        QString host = item;
        int port = m_port;
        if (item.startsWith(QLatin1Char('['))) { // [IPv6]:port
            const qsizetype close = item.indexOf(QLatin1Char(']'));
            host = item.mid(1, close - 1);
            if (close > 0 && item.mid(close + 1).startsWith(QLatin1Char(':')))
                port = item.mid(close + 2).toInt();
        } else if (item.count(QLatin1Char(':')) == 1) {
            host = item.section(QLatin1Char(':'), 0, 0);
            port = item.section(QLatin1Char(':'), 1).toInt();
        }
        list.append({host, port});
    }
    return list;
}

QString TNetConnection::serverModule() const
{
    const QString module = m_serverName.section(QLatin1Char('.'), 0, 0);
    return module.isEmpty() ? QStringLiteral("de aplicação") : module;
}

void TNetConnection::drop()
{
    m_identified = false;
    if (m_socket->state() != QAbstractSocket::UnconnectedState || m_socket->isOpen())
        m_socket->abort();
}

QString TNetConnection::unreachable(const QString &cause) const
{
    return QStringLiteral("Não foi possível conectar ao servidor de aplicação %1 (%2). "
                          "Verifique se o servidor %3 está em execução.")
        .arg(where(), cause, serverModule());
}

bool TNetConnection::pinnedFingerprint(QByteArray &pin)
{
    const Session &session = Session::current();
    QString text = m_fingerprint.isEmpty() ? session.serverFingerprint : m_fingerprint;
    if (text.isEmpty() && !session.serverCertificate.isEmpty()) {
        // The server's own session file: its certificate is at hand.
        try {
            text = LinkTls::fingerprintOfFile(session.serverCertificate);
        } catch (const ESuiteError &) {
        }
    }
    const QString file = session.fileName.isEmpty() ? QStringLiteral("de sessão") : session.fileName;
    if (text.isEmpty()) {
        m_lastError =
            QStringLiteral("O arquivo de sessão %1 não informa a impressão digital do certificado do servidor "
                           "de aplicação %2. Peça ao administrador o valor SHA-256 que o servidor %3 mostra "
                           "ao iniciar e inclua-o como ImpressaoDigital=... na seção [ServidorAplicacao].")
                .arg(file, where(), serverModule());
        return false;
    }
    pin = LinkTls::fingerprintBytes(text);
    if (pin.isEmpty()) {
        m_lastError = QStringLiteral("A impressão digital \"%1\" da seção [ServidorAplicacao] do arquivo de sessão %2 "
                                     "não é um SHA-256 (64 dígitos hexadecimais, separados ou não por ':').")
                          .arg(text.left(100), file);
        return false;
    }
    return true;
}

bool TNetConnection::open()
{
    drop();
    m_lastError.clear();
    if (BeforeConnect)
        BeforeConnect(this);

    QList<QPair<QString, int>> list = servers();
    bool configured = !list.isEmpty();
    for (const auto &[host, port] : list)
        configured = configured && port > 0 && port <= 65535;
    if (!configured) {
        m_lastError = QStringLiteral("O servidor de aplicação não está configurado (endereço \"%1\", porta %2). "
                                     "Verifique a seção [ServidorAplicacao] do arquivo de sessão.")
                          .arg(m_host)
                          .arg(m_port);
        return false;
    }
    const QString token = m_token.isEmpty() ? Session::current().serverToken : m_token;
    if (token.size() < LinkTls::MinTokenLength) {
        m_lastError =
            QStringLiteral("O Token da seção [ServidorAplicacao] do arquivo de sessão está vazio ou tem menos "
                           "de %1 caracteres. Use o mesmo token longo e aleatório do servidor %2.")
                .arg(LinkTls::MinTokenLength)
                .arg(serverModule());
        return false;
    }
    QByteArray pin;
    if (!pinnedFingerprint(pin))
        return false;

    // Several servers: the one that answered last is tried first, then the others in turn.
    const auto name = [](const QPair<QString, int> &server) {
        return QStringLiteral("%1:%2").arg(server.first).arg(server.second);
    };
    for (qsizetype i = 0; i < list.size(); ++i) {
        if (name(list[i]) == m_lastGood)
            list.move(i, 0);
        else if (name(list[i]) == m_lastBad)
            list.move(i, list.size() - 1);
    }
    QStringList failures;
    for (const auto &[host, port] : list) {
        m_current = host;
        m_currentPort = port;
        if (openOne(token, pin)) {
            m_lastGood = QStringLiteral("%1:%2").arg(host).arg(port);
            if (m_lastGood == m_lastBad)
                m_lastBad.clear();
            return true;
        }
        failures << m_lastError;
    }
    m_current.clear();
    if (failures.size() > 1)
        m_lastError = QStringLiteral("Nenhum dos %1 servidores de aplicação respondeu. %2")
                          .arg(failures.size())
                          .arg(failures.join(QLatin1Char(' ')));
    return false;
}

bool TNetConnection::openOne(const QString &token, const QByteArray &pin)
{
    // A server busy with other newcomers closes the link before the handshake: tried again
    // after a pause that doubles (with some randomness, so that clients turned away
    // together do not come back together), for as long as the connection timeout allows.
    QElapsedTimer clock;
    clock.start();
    for (int pause = 50;; pause *= 2) {
        const Attempt outcome = attempt(token, pin);
        if (outcome == Attempt::Done)
            return true;
        drop();
        const int wait = pause + int(QRandomGenerator::global()->bounded(pause));
        if (outcome == Attempt::Failed || clock.elapsed() + wait >= m_connectTimeout)
            return false;
        QThread::msleep(ulong(wait));
    }
}

TNetConnection::Attempt TNetConnection::attempt(const QString &token, const QByteArray &pin)
{
    const auto timedOut = [this] { return QStringLiteral("sem resposta em %1 s").arg(seconds(m_connectTimeout)); };
    m_socket->setSslConfiguration(LinkTls::clientConfiguration());
    m_socket->connectToHost(m_current, quint16(m_currentPort));
    if (!m_socket->waitForConnected(m_connectTimeout)) {
        m_lastError = unreachable(m_socket->error() == QAbstractSocket::SocketTimeoutError ? timedOut()
                                                                                           : m_socket->errorString());
        return Attempt::Failed;
    }
    // Requests are single small writes that must not wait for acknowledgements.
    m_socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);

    m_socket->startClientEncryption();
    if (!m_socket->waitForEncrypted(m_connectTimeout)) {
        const QAbstractSocket::SocketError error = m_socket->error();
        if (error == QAbstractSocket::SocketTimeoutError) {
            m_lastError = unreachable(timedOut());
            return Attempt::Failed;
        }
        if (error == QAbstractSocket::RemoteHostClosedError || error == QAbstractSocket::NetworkError) {
            m_lastError = unreachable(QStringLiteral("o servidor fechou a conexão antes de negociar o TLS"));
            return Attempt::Retry;
        }
        m_lastError = QStringLiteral("O servidor de aplicação %1 não completou a conexão segura (TLS: %2). "
                                     "Verifique se o endereço e a porta são do servidor %3.")
                          .arg(where(), m_socket->errorString(), serverModule());
        return Attempt::Failed;
    }
    const QByteArray presented = m_socket->peerCertificate().digest(QCryptographicHash::Sha256);
    if (presented != pin) {
        m_lastError =
            QStringLiteral("O certificado do servidor de aplicação %1 não confere com a impressão digital do "
                           "arquivo de sessão (recebido %2, esperado %3). Pode ser outro programa respondendo "
                           "nesse endereço; se o certificado do servidor %4 foi trocado, atualize "
                           "ImpressaoDigital na seção [ServidorAplicacao].")
                .arg(where(), LinkTls::fingerprint(m_socket->peerCertificate()),
                     QString::fromLatin1(pin.toHex(':').toUpper()), serverModule());
        return Attempt::Failed;
    }

    QByteArray payload;
    QString cause;
    const Outcome outcome =
        exchange(Frame::helloFrame(m_serverName, token), m_connectTimeout, Frame::MaxHelloReplySize, payload, cause);
    if (outcome != Outcome::Done) {
        m_lastError = unreachable(cause);
        return outcome == Outcome::Closed ? Attempt::Retry : Attempt::Failed;
    }
    Frame::Reply reply;
    try {
        reply = Frame::parseReply(payload);
    } catch (const ESuiteError &e) {
        m_lastError = QStringLiteral("O servidor de aplicação %1 respondeu de forma inválida (%2). "
                                     "Verifique se o endereço e a porta são do servidor %3.")
                          .arg(where(), e.message(), serverModule());
        return Attempt::Failed;
    }
    if (!reply.ok) {
        m_lastError = QStringLiteral("O servidor de aplicação %1 recusou a conexão: %2").arg(where(), reply.error);
        return Attempt::Failed;
    }
    m_identified = true;
    return Attempt::Done;
}

TNetConnection::Outcome TNetConnection::exchange(const QByteArray &frame, int timeoutMs, qint64 maxReply,
                                                 QByteArray &payload, QString &cause)
{
    if (m_socket->state() != QAbstractSocket::ConnectedState) {
        cause = QStringLiteral("conexão fechada");
        return Outcome::Closed;
    }
    const auto failure = [&](bool anyReply) {
        if (m_socket->error() == QAbstractSocket::SocketTimeoutError) {
            cause = QStringLiteral("sem resposta em %1 s").arg(seconds(timeoutMs));
            return Outcome::TimedOut;
        }
        cause = m_socket->errorString();
        const bool closed = m_socket->error() == QAbstractSocket::RemoteHostClosedError
                            || m_socket->error() == QAbstractSocket::NetworkError
                            || m_socket->state() != QAbstractSocket::ConnectedState;
        if (!closed)
            return Outcome::Failed;
        return anyReply ? Outcome::Broken : Outcome::Closed;
    };

    if (m_socket->write(frame) != frame.size())
        return failure(false);
    while (m_socket->bytesToWrite() > 0) {
        if (!m_socket->waitForBytesWritten(timeoutMs))
            return failure(false);
    }

    FrameReader reader(maxReply);
    for (;;) {
        switch (reader.read(m_socket)) {
        case FrameReader::Status::Complete: payload = reader.takePayload(); return Outcome::Done;
        case FrameReader::Status::TooLarge:
            cause = QStringLiteral("resposta de %1 bytes excede o limite de %2")
                        .arg(reader.declaredSize())
                        .arg(maxReply >= (1 << 20) && maxReply % (1 << 20) == 0
                                 ? QStringLiteral("%1 MiB").arg(maxReply >> 20)
                                 : QStringLiteral("%1 bytes").arg(maxReply));
            return Outcome::Failed;
        case FrameReader::Status::Incomplete: break;
        }
        if (!m_socket->waitForReadyRead(timeoutMs))
            return failure(reader.started());
    }
}

QVariant TNetConnection::call(const QString &method, const QVariantList &args)
{
    m_lastFromKept = false;
    m_lastDeflated = false;
    const bool keep = args.isEmpty() && keepsReply(method);
    bool offerKept = keep;
    for (int attempt = 0;; ++attempt) {
        // Bytes waiting on an idle link were not asked for: start over on a fresh one.
        if (Connected() && m_socket->bytesAvailable() > 0)
            drop();
        const bool reused = Connected();
        if (!reused && !open())
            throw ESuiteError(m_lastError);

        const KeptReplies kept(m_keptFolder);
        const QString key = keptReplyKey(method);
        if (offerKept)
            waitForKeptReplies(); // what an earlier call kept is what this one offers
        QByteArray keptPacket;
        QString keptMark;
        if (offerKept && !kept.read(key, keptPacket, keptMark))
            keptMark.clear();

        QByteArray payload;
        QString cause;
        const bool deflated = m_compression.value_or(Session::current().serverCompression);
        const Outcome outcome = exchange(Frame::callFrame(method, args, keptMark, deflated), m_callTimeout,
                                         replyLimit(method), payload, cause);
        if (outcome != Outcome::Done) {
            drop();
            // The server may have closed a link that sat idle; every method it serves
            // only reads, so asking again on a new link is safe.
            if (outcome == Outcome::Closed && reused && attempt == 0)
                continue;
            // With several servers, one that stops answering mid-call is left for the next.
            if (attempt == 0 && servers().size() > 1 && outcome != Outcome::TimedOut) {
                m_lastBad = QStringLiteral("%1:%2").arg(m_current).arg(m_currentPort);
                m_lastGood.clear();
                continue;
            }
            // One address with several servers behind it (a balancer): the one serving this
            // link went away mid-call, and a new link reaches another.
            if (attempt == 0 && (outcome == Outcome::Closed || outcome == Outcome::Broken))
                continue;
            if (outcome == Outcome::TimedOut)
                m_lastError = QStringLiteral("O servidor de aplicação %1 não respondeu à chamada %2 (%3). "
                                             "Tente novamente; se persistir, verifique o servidor %4.")
                                  .arg(where(), method, cause, serverModule());
            else
                m_lastError =
                    QStringLiteral("A conexão com o servidor de aplicação %1 falhou durante a chamada %2 (%3). "
                                   "Tente novamente; se persistir, verifique o servidor %4.")
                        .arg(where(), method, cause, serverModule());
            throw ESuiteError(m_lastError);
        }

        Frame::Reply reply;
        try {
            reply = Frame::parseReply(payload, replyLimit(method));
        } catch (const ESuiteError &e) {
            drop();
            m_lastError = QStringLiteral("Resposta inválida do servidor de aplicação %1 à chamada %2: %3")
                              .arg(where(), method, e.message());
            throw ESuiteError(m_lastError);
        }
        if (!reply.ok) {
            m_lastError = reply.error;
            throw ESuiteError(reply.error);
        }
        if (reply.unchanged) {
            if (!keptMark.isEmpty() && reply.mark == keptMark) {
                m_lastError.clear();
                m_lastFromKept = true;
                return keptPacket;
            }
            // "Unchanged" for something this end did not offer: the whole result, once more.
            if (!offerKept || attempt > 2) {
                m_lastError = QStringLiteral("Resposta inválida do servidor de aplicação %1 à chamada %2: "
                                             "\"inalterada\" sem que a estação tivesse oferecido o que guarda.")
                                  .arg(where(), method);
                throw ESuiteError(m_lastError);
            }
            offerKept = false;
            continue;
        }
        if (keep && !reply.mark.isEmpty() && reply.result.metaType().id() == QMetaType::QByteArray)
            keptWriter().start([kept, key, packet = reply.result.toByteArray(), mark = reply.mark] {
                kept.write(key, packet, mark);
            });
        m_lastError.clear();
        m_lastDeflated = reply.deflated;
        return reply.result;
    }
}
