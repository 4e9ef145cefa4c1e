#include "TNetConnection.h"
#include "EAbort.h"
#include "Frame.h"
#include "FrameReader.h"
#include "Session.h"

#include <QTcpSocket>

namespace {
QString seconds(int ms)
{
    return QString::number((ms + 999) / 1000);
}
} // namespace

TNetConnection::TNetConnection(QObject *parent)
    : QObject(parent), m_socket(new QTcpSocket(this))
{
}

TNetConnection::~TNetConnection()
{
    drop();
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
    const QString host = m_host.contains(QLatin1Char(':')) ? QStringLiteral("[%1]").arg(m_host) : m_host;
    return QStringLiteral("%1:%2").arg(host).arg(m_port);
}

QString TNetConnection::serverModule() const
{
    const QString module = m_serverName.section(QLatin1Char('.'), 0, 0);
    return module.isEmpty() ? QStringLiteral("Lpr07700") : module;
}

void TNetConnection::drop()
{
    m_identified = false;
    if (m_socket->state() != QAbstractSocket::UnconnectedState || m_socket->isOpen())
        m_socket->abort();
}

bool TNetConnection::open()
{
    drop();
    m_lastError.clear();
    if (BeforeConnect)
        BeforeConnect(this);

    if (m_host.trimmed().isEmpty() || m_port <= 0 || m_port > 65535) {
        m_lastError = QStringLiteral("O servidor de aplicação não está configurado (endereço \"%1\", porta %2). "
                                     "Verifique a seção [ServidorAplicacao] do arquivo de sessão.")
                          .arg(m_host)
                          .arg(m_port);
        return false;
    }

    const auto unreachable = [this](const QString &cause) {
        return QStringLiteral("Não foi possível conectar ao servidor de aplicação %1 (%2). "
                              "Verifique se o servidor %3 está em execução.")
            .arg(where(), cause, serverModule());
    };

    m_socket->connectToHost(m_host, quint16(m_port));
    if (!m_socket->waitForConnected(m_connectTimeout)) {
        const QString cause = m_socket->error() == QAbstractSocket::SocketTimeoutError
                                  ? QStringLiteral("sem resposta em %1 s").arg(seconds(m_connectTimeout))
                                  : m_socket->errorString();
        m_lastError = unreachable(cause);
        drop();
        return false;
    }
    // Requests are single small writes that must not wait for acknowledgements.
    m_socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);

    const QString token = m_token.isEmpty() ? Session::current().serverToken : m_token;
    QByteArray payload;
    QString cause;
    if (exchange(Frame::helloFrame(m_serverName, token), m_connectTimeout, payload, cause) != Outcome::Done) {
        m_lastError = unreachable(cause);
        drop();
        return false;
    }
    Frame::Reply reply;
    try {
        reply = Frame::parseReply(payload);
    } catch (const ESuiteError &e) {
        m_lastError = QStringLiteral("O servidor de aplicação %1 respondeu de forma inválida (%2). "
                                     "Verifique se o endereço e a porta são do servidor %3.")
                          .arg(where(), e.message(), serverModule());
        drop();
        return false;
    }
    if (!reply.ok) {
        m_lastError = QStringLiteral("O servidor de aplicação %1 recusou a conexão: %2").arg(where(), reply.error);
        drop();
        return false;
    }
    m_identified = true;
    return true;
}

TNetConnection::Outcome TNetConnection::exchange(const QByteArray &frame, int timeoutMs,
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
        return closed && !anyReply ? Outcome::Closed : Outcome::Failed;
    };

    if (m_socket->write(frame) != frame.size())
        return failure(false);
    while (m_socket->bytesToWrite() > 0) {
        if (!m_socket->waitForBytesWritten(timeoutMs))
            return failure(false);
    }

    FrameReader reader(Frame::MaxReplySize);
    for (;;) {
        switch (reader.read(m_socket)) {
        case FrameReader::Status::Complete:
            payload = reader.takePayload();
            return Outcome::Done;
        case FrameReader::Status::TooLarge:
            cause = QStringLiteral("resposta de %1 bytes excede o limite de %2 MiB")
                        .arg(reader.declaredSize())
                        .arg(Frame::MaxReplySize >> 20);
            return Outcome::Failed;
        case FrameReader::Status::Incomplete:
            break;
        }
        if (!m_socket->waitForReadyRead(timeoutMs))
            return failure(reader.started());
    }
}

QVariant TNetConnection::call(const QString &method, const QVariantList &args)
{
    const QByteArray frame = Frame::callFrame(method, args);
    for (int attempt = 0;; ++attempt) {
        // Bytes waiting on an idle link were not asked for: start over on a fresh one.
        if (Connected() && m_socket->bytesAvailable() > 0)
            drop();
        const bool reused = Connected();
        if (!reused && !open())
            throw ESuiteError(m_lastError);

        QByteArray payload;
        QString cause;
        const Outcome outcome = exchange(frame, m_callTimeout, payload, cause);
        if (outcome != Outcome::Done) {
            drop();
            // The server may have closed a link that sat idle; every method it serves
            // only reads, so asking again on a new link is safe.
            if (outcome == Outcome::Closed && reused && attempt == 0)
                continue;
            if (outcome == Outcome::TimedOut)
                m_lastError = QStringLiteral("O servidor de aplicação %1 não respondeu à chamada %2 (%3). "
                                             "Tente novamente; se persistir, verifique o servidor %4.")
                                  .arg(where(), method, cause, serverModule());
            else
                m_lastError = QStringLiteral("A conexão com o servidor de aplicação %1 falhou durante a chamada %2 (%3). "
                                             "Tente novamente; se persistir, verifique o servidor %4.")
                                  .arg(where(), method, cause, serverModule());
            throw ESuiteError(m_lastError);
        }

        Frame::Reply reply;
        try {
            reply = Frame::parseReply(payload);
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
        m_lastError.clear();
        return reply.result;
    }
}
