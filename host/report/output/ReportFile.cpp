#include "report/output/ReportFile.h"
#include "errors/EAbort.h"

#include <QDir>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace {

constexpr qsizetype bufferSize = 256 * 1024;

QString native(const QString &path)
{
    return QDir::toNativeSeparators(path);
}

const QRegularExpression &staleName()
{
    static const QRegularExpression re(QStringLiteral("^\\..+\\.[0-9a-f]{8}\\.tmp$"));
    return re;
}

} // namespace

ReportFile::ReportFile(const QString &target, QObject *parent)
    : QIODevice(parent), m_target(QFileInfo(target).absoluteFilePath())
{ }

ReportFile::~ReportFile()
{
    discard();
}

QString ReportFile::causeOf(int error)
{
    switch (error) {
    case ENOSPC: return QStringLiteral("não há espaço livre no disco");
    case EDQUOT: return QStringLiteral("a cota de disco do usuário se esgotou");
    case EACCES:
    case EPERM: return QStringLiteral("sem permissão de escrita na pasta ou no arquivo");
    case EROFS: return QStringLiteral("o disco ou a pasta é somente leitura");
    case ENOENT: return QStringLiteral("a pasta não existe");
    case ENOTDIR: return QStringLiteral("parte do caminho não é uma pasta");
    case EISDIR: return QStringLiteral("o nome indicado é uma pasta");
    case ENAMETOOLONG: return QStringLiteral("o nome do arquivo é longo demais");
    case EIO: return QStringLiteral("erro de leitura e gravação no disco");
    case EFBIG: return QStringLiteral("o arquivo passou do tamanho máximo que o disco aceita");
    case EBUSY:
    case ETXTBSY: return QStringLiteral("o arquivo está em uso por outro programa");
    case EMFILE:
    case ENFILE: return QStringLiteral("há arquivos abertos demais no sistema");
    default: return QString::fromLocal8Bit(std::strerror(error));
    }
}

QString ReportFile::writeError(const QString &file, int error)
{
    return QStringLiteral("Não foi possível gravar o arquivo '%1': %2.").arg(native(file), causeOf(error));
}

QString ReportFile::failure(const QIODevice *device, const QString &what)
{
    if (qobject_cast<const ReportFile *>(device))
        return device->errorString();
    return QStringLiteral("Não foi possível gravar %1: %2").arg(what, device->errorString());
}

void ReportFile::removeStale(const QString &dir)
{
    const QDir folder(dir);
    const QStringList names = folder.entryList({QStringLiteral(".*.tmp")}, QDir::Files | QDir::Hidden);
    for (const QString &name : names) {
        if (!staleName().match(name).hasMatch())
            continue;
        const QByteArray path = QFile::encodeName(folder.filePath(name));
        const int fd = ::open(path.constData(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
        if (fd < 0)
            continue;
        // A live writer holds the lock; a file whose lock is free was left by a run that died.
        if (::flock(fd, LOCK_EX | LOCK_NB) == 0)
            ::unlink(path.constData());
        ::close(fd);
    }
}

void ReportFile::create()
{
    const QFileInfo target(m_target);
    auto cannotCreate = [this](int error) {
        return ESuiteError(
            QStringLiteral("Não foi possível criar o arquivo '%1': %2.").arg(native(m_target), causeOf(error)));
    };
    if (target.isDir())
        throw cannotCreate(EISDIR);
    if (!target.absoluteDir().exists())
        throw cannotCreate(ENOENT);
    removeStale(target.absolutePath());
    for (int attempt = 0; m_fd < 0; ++attempt) {
        m_tempPath =
            target.absoluteDir().filePath(QStringLiteral(".%1.%2.tmp")
                                              .arg(target.fileName())
                                              .arg(QRandomGenerator::global()->generate(), 8, 16, QLatin1Char('0')));
        m_fd = ::open(QFile::encodeName(m_tempPath).constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
        if (m_fd < 0 && (errno != EEXIST || attempt > 20))
            throw cannotCreate(errno);
    }
    ::flock(m_fd, LOCK_EX | LOCK_NB);
    m_buffer.reserve(bufferSize);
    m_written = 0;
    m_failed = false;
    QIODevice::open(QIODevice::WriteOnly);
}

void ReportFile::fail(int error)
{
    m_failed = true;
    setErrorString(writeError(m_target, error));
}

bool ReportFile::flushBuffer()
{
    const char *p = m_buffer.constData();
    qsizetype left = m_buffer.size();
    while (left > 0) {
        const ssize_t n = ::write(m_fd, p, size_t(left));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            fail(errno);
            return false;
        }
        p += n;
        left -= n;
    }
    m_buffer.clear();
    return true;
}

qint64 ReportFile::writeData(const char *data, qint64 size)
{
    if (m_failed || m_fd < 0)
        return -1;
    if (m_sizeLimit > 0 && m_written + size > m_sizeLimit) {
        m_failed = true;
        setErrorString(QStringLiteral("O arquivo '%1' passou do tamanho máximo permitido para relatórios (%2 MB). "
                                      "Restrinja os parâmetros ou ajuste [Relatorios] LimiteArquivoMB na sessão.")
                           .arg(native(m_target))
                           .arg(m_sizeLimit >> 20));
        return -1;
    }
    if (m_buffer.size() + size > bufferSize && !flushBuffer())
        return -1;
    if (size >= bufferSize) {
        m_buffer = QByteArray::fromRawData(data, qsizetype(size));
        const bool ok = flushBuffer();
        m_buffer = QByteArray();
        m_buffer.reserve(bufferSize);
        if (!ok)
            return -1;
    } else {
        m_buffer.append(data, qsizetype(size));
    }
    m_written += size;
    return size;
}

void ReportFile::commit()
{
    if (m_failed)
        throw ESuiteError(errorString());
    if (!flushBuffer())
        throw ESuiteError(errorString());
    if (::fdatasync(m_fd) != 0 && errno != EINVAL) {
        fail(errno);
        throw ESuiteError(errorString());
    }
    if (::rename(QFile::encodeName(m_tempPath).constData(), QFile::encodeName(m_target).constData()) != 0) {
        const int error = errno;
        discard();
        throw ESuiteError(writeError(m_target, error));
    }
    ::close(m_fd);
    m_fd = -1;
    m_tempPath.clear();
    QIODevice::close();
}

void ReportFile::discard()
{
    if (m_fd >= 0) {
        ::unlink(QFile::encodeName(m_tempPath).constData());
        ::close(m_fd);
        m_fd = -1;
    }
    m_buffer.clear();
    if (isOpen())
        QIODevice::close();
}
