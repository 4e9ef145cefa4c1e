#include "ScriptedServer.h"
#include "net/Frame.h"
#include "net/FrameReader.h"
#include "net/LinkTls.h"

#include <QMutexLocker>
#include <QSslSocket>
#include <QTcpServer>

namespace {
class SslListener : public QTcpServer
{
public:
    explicit SslListener(const QSslConfiguration &conf) : m_conf(conf) { }

protected:
    void incomingConnection(qintptr descriptor) override
    {
        auto *socket = new QSslSocket;
        socket->setSocketDescriptor(descriptor);
        socket->setSslConfiguration(m_conf);
        addPendingConnection(socket);
    }

private:
    QSslConfiguration m_conf;
};
} // namespace

ScriptedServer::ScriptedServer(const TestCertificate &tls) : m_tls(tls) { }

ScriptedServer::~ScriptedServer()
{
    m_stop = true;
    wait();
}

bool ScriptedServer::listen()
{
    start();
    m_ready.acquire();
    return m_port != 0;
}

void ScriptedServer::setReply(const QByteArray &bytes, bool closeAfter)
{
    QMutexLocker lock(&m_mutex);
    m_reply = bytes;
    m_closeAfter = closeAfter;
}

QByteArray ScriptedServer::received() const
{
    QMutexLocker lock(&m_mutex);
    return m_received;
}

void ScriptedServer::run()
{
    SslListener listener(LinkTls::serverConfiguration(m_tls.certificateFile, m_tls.keyFile));
    if (listener.listen(QHostAddress::LocalHost, 0))
        m_port = listener.serverPort();
    m_ready.release();
    if (m_port == 0)
        return;
    while (!m_stop) {
        if (!listener.waitForNewConnection(50))
            continue;
        std::unique_ptr<QSslSocket> socket(static_cast<QSslSocket *>(listener.nextPendingConnection()));
        socket->startServerEncryption();
        if (socket->waitForEncrypted(5000))
            serve(*socket);
        socket->abort();
    }
}

void ScriptedServer::serve(QSslSocket &socket)
{
    FrameReader reader(Frame::MaxRequestSize);
    bool first = true;
    while (!m_stop && socket.state() == QAbstractSocket::ConnectedState) {
        const FrameReader::Status status = reader.read(&socket);
        if (status == FrameReader::Status::TooLarge)
            return;
        if (status == FrameReader::Status::Incomplete) {
            socket.waitForReadyRead(50);
            continue;
        }
        const QByteArray payload = reader.takePayload();
        QByteArray reply;
        bool close = false;
        {
            QMutexLocker lock(&m_mutex);
            m_received += payload;
            reply = m_reply;
            close = m_closeAfter;
        }
        if (first && m_answerHello) {
            reply = Frame::resultFrame(QStringLiteral("Lpr07700.rdmConsListaPreco")).join();
            close = false;
        }
        first = false;
        socket.write(reply);
        while (socket.bytesToWrite() > 0 || socket.encryptedBytesToWrite() > 0)
            if (!socket.waitForBytesWritten(5000))
                return;
        if (close) {
            socket.disconnectFromHost();
            if (socket.state() != QAbstractSocket::UnconnectedState)
                socket.waitForDisconnected(1000);
            return;
        }
    }
}
