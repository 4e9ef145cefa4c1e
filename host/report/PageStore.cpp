#include "report/PageStore.h"
#include "errors/EAbort.h"
#include "report/output/ReportFile.h"

#include <QDir>
#include <QFile>
#include <QtEndian>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>
#include <zlib.h>

namespace {

// Item layout on file: kind, face, size (centipoints), color, x, y, w, h (floats), text (UTF-8).
struct Writer
{
    QByteArray &out;
    template<typename T>
    void put(T v)
    {
        out.append(reinterpret_cast<const char *>(&v), sizeof v);
    }
};

struct Reader
{
    const QByteArray &in;
    qsizetype at = 0;
    template<typename T>
    T get()
    {
        T v{};
        if (at + qsizetype(sizeof v) > in.size())
            throw ESuiteError(
                QStringLiteral("As páginas do relatório guardadas para a visualização estão corrompidas."));
        std::memcpy(&v, in.constData() + at, sizeof v);
        at += sizeof v;
        return v;
    }
};

QString tempFolder()
{
    return QDir::tempPath();
}

} // namespace

PageStore::PageStore()
{
    const QByteArray dir = QFile::encodeName(tempFolder());
    m_fd = ::open(dir.constData(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
    if (m_fd < 0) {
        // No unnamed files on this file system: a named one, unlinked at once.
        QByteArray name = dir + "/relatorio-paginas-XXXXXX";
        m_fd = ::mkostemp(name.data(), O_CLOEXEC);
        if (m_fd >= 0)
            ::unlink(name.constData());
    }
    if (m_fd < 0)
        throw ESuiteError(QStringLiteral("Não foi possível criar o arquivo temporário da visualização em '%1': %2.")
                              .arg(QDir::toNativeSeparators(tempFolder()), ReportFile::causeOf(errno)));
    m_offsets.push_back(0);
}

PageStore::~PageStore()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

QByteArray PageStore::encode(const ReportPage &page)
{
    QByteArray raw;
    raw.reserve(32 * 1024);
    Writer w{raw};
    w.put<qint32>(page.number);
    w.put<qint32>(qint32(page.items.size()));
    for (const PageItem &item : page.items) {
        w.put<quint8>(item.kind);
        w.put<quint8>(item.face);
        w.put<float>(item.size);
        w.put<quint32>(item.color);
        w.put<float>(item.x);
        w.put<float>(item.y);
        if (item.kind != PageItem::Text) {
            w.put<float>(item.w);
            w.put<float>(item.h);
        }
        const QByteArray text = item.text.toUtf8();
        w.put<quint16>(quint16(qMin<qsizetype>(text.size(), 0xFFFF)));
        raw.append(text.constData(), qMin<qsizetype>(text.size(), 0xFFFF));
    }
    uLongf size = compressBound(uLong(raw.size()));
    QByteArray packed(qsizetype(size) + 4, Qt::Uninitialized);
    qToLittleEndian<quint32>(quint32(raw.size()), packed.data());
    if (compress2(reinterpret_cast<Bytef *>(packed.data() + 4), &size, reinterpret_cast<const Bytef *>(raw.constData()),
                  uLong(raw.size()), 1)
        != Z_OK)
        throw ESuiteError(QStringLiteral("Não foi possível guardar uma página da visualização."));
    packed.resize(qsizetype(size) + 4);
    return packed;
}

ReportPage PageStore::decode(const QByteArray &packed)
{
    if (packed.size() < 4)
        throw ESuiteError(QStringLiteral("As páginas do relatório guardadas para a visualização estão corrompidas."));
    uLongf size = qFromLittleEndian<quint32>(packed.constData());
    QByteArray raw(qsizetype(size), Qt::Uninitialized);
    if (uncompress(reinterpret_cast<Bytef *>(raw.data()), &size,
                   reinterpret_cast<const Bytef *>(packed.constData() + 4), uLong(packed.size() - 4))
            != Z_OK
        || qsizetype(size) != raw.size())
        throw ESuiteError(QStringLiteral("As páginas do relatório guardadas para a visualização estão corrompidas."));
    Reader r{raw};
    ReportPage page;
    page.number = r.get<qint32>();
    const qint32 count = r.get<qint32>();
    page.items.reserve(qMax(0, count));
    for (qint32 i = 0; i < count; ++i) {
        PageItem item;
        item.kind = PageItem::Kind(r.get<quint8>());
        item.face = PageItem::Face(r.get<quint8>());
        item.size = r.get<float>();
        item.color = r.get<quint32>();
        item.x = r.get<float>();
        item.y = r.get<float>();
        if (item.kind != PageItem::Text) {
            item.w = r.get<float>();
            item.h = r.get<float>();
        }
        const quint16 length = r.get<quint16>();
        if (r.at + length > raw.size())
            throw ESuiteError(
                QStringLiteral("As páginas do relatório guardadas para a visualização estão corrompidas."));
        item.text = QString::fromUtf8(raw.constData() + r.at, length);
        r.at += length;
        page.items << item;
    }
    return page;
}

void PageStore::beginDocument(const PageSetup &setup)
{
    const QMutexLocker lock(&m_mutex);
    m_setup = setup;
}

void PageStore::page(const ReportPage &page)
{
    const QByteArray bytes = encode(page);
    qint64 at;
    {
        const QMutexLocker lock(&m_mutex);
        at = m_end;
    }
    const char *p = bytes.constData();
    qsizetype left = bytes.size();
    qint64 offset = at;
    while (left > 0) {
        const ssize_t n = ::pwrite(m_fd, p, size_t(left), offset);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            throw ESuiteError(QStringLiteral("Não foi possível guardar as páginas da visualização na pasta temporária "
                                             "'%1': %2.")
                                  .arg(QDir::toNativeSeparators(tempFolder()), ReportFile::causeOf(errno)));
        }
        p += n;
        left -= n;
        offset += n;
    }
    const QMutexLocker lock(&m_mutex);
    m_end = offset;
    m_offsets.push_back(offset);
    m_count.store(int(m_offsets.size()) - 1);
}

void PageStore::endDocument(int pageCount)
{
    m_final.store(qMax(1, pageCount));
}

PageSetup PageStore::setup() const
{
    const QMutexLocker lock(&m_mutex);
    return m_setup;
}

ReportPage PageStore::page(int index) const
{
    qint64 from, to;
    {
        const QMutexLocker lock(&m_mutex);
        if (index < 0 || index + 1 >= qsizetype(m_offsets.size()))
            throw ESuiteError(QStringLiteral("A página %1 do relatório ainda não foi gerada.").arg(index + 1));
        from = m_offsets[size_t(index)];
        to = m_offsets[size_t(index) + 1];
    }
    QByteArray bytes(qsizetype(to - from), Qt::Uninitialized);
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::pread(m_fd, bytes.data() + done, size_t(bytes.size() - done), from + done);
        if (n <= 0) {
            if (n < 0 && errno == EINTR)
                continue;
            throw ESuiteError(QStringLiteral("Não foi possível ler as páginas da visualização: %1.")
                                  .arg(ReportFile::causeOf(n < 0 ? errno : EIO)));
        }
        done += n;
    }
    return decode(bytes);
}

void PageStore::replay(PageSink &sink, int from, int to, const std::function<void(int)> &step) const
{
    sink.beginDocument(setup());
    for (int i = from; i < to; ++i) {
        sink.page(page(i));
        if (step)
            step(i);
    }
    sink.endDocument(finalCount());
}
