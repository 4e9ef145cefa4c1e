#include "report/output/ZipWriter.h"
#include "errors/EAbort.h"
#include "report/output/ReportFile.h"

#include <QIODevice>
#include <zlib.h>

namespace {

void le16(QByteArray &out, quint16 v)
{
    out.append(char(v & 0xFF)).append(char(v >> 8));
}

void le32(QByteArray &out, quint32 v)
{
    le16(out, quint16(v & 0xFFFF));
    le16(out, quint16(v >> 16));
}

constexpr quint16 flagDescriptor = 0x0008; // sizes and checksum follow the data
constexpr quint16 flagUtf8 = 0x0800;
constexpr quint16 methodDeflate = 8;
constexpr quint16 versionNeeded = 20;

} // namespace

struct ZipWriter::Stream
{
    z_stream z{};
    QByteArray buffer = QByteArray(256 * 1024, Qt::Uninitialized);
};

ZipWriter::ZipWriter(QIODevice *out, int level) : m_out(out), m_level(level)
{
    const QDateTime now = QDateTime::currentDateTime();
    const QDate d = now.date();
    const QTime t = now.time();
    m_date = quint16(((qMax(1980, d.year()) - 1980) << 9) | (d.month() << 5) | d.day());
    m_time = quint16((t.hour() << 11) | (t.minute() << 5) | (t.second() / 2));
}

ZipWriter::~ZipWriter()
{
    if (m_stream)
        deflateEnd(&m_stream->z);
}

void ZipWriter::put(const QByteArray &bytes)
{
    if (m_out->write(bytes) != bytes.size())
        throw ESuiteError(ReportFile::failure(m_out, QStringLiteral("a planilha")));
    m_offset += quint64(bytes.size());
}

void ZipWriter::check(quint64 value, const char *what) const
{
    if (value > 0xFFFFFFFFull)
        throw ESuiteError(QStringLiteral("A planilha passou de 4 GB (%1); salve em CSV ou restrinja os parâmetros.")
                              .arg(QLatin1String(what)));
}

void ZipWriter::beginEntry(const QString &name)
{
    Entry e;
    e.name = name.toUtf8();
    e.offset = m_offset;
    check(e.offset, "posição");
    QByteArray header;
    le32(header, 0x04034b50);
    le16(header, versionNeeded);
    le16(header, flagDescriptor | flagUtf8);
    le16(header, methodDeflate);
    le16(header, m_time);
    le16(header, m_date);
    le32(header, 0);
    le32(header, 0);
    le32(header, 0);
    le16(header, quint16(e.name.size()));
    le16(header, 0);
    header += e.name;
    m_entries << e;
    if (!m_stream) {
        m_stream = std::make_unique<Stream>();
        if (deflateInit2(&m_stream->z, m_level, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY) != Z_OK)
            throw ESuiteError(QStringLiteral("Memória insuficiente para gravar a planilha."));
    } else {
        deflateReset(&m_stream->z);
    }
    m_open = true;
    put(header);
}

void ZipWriter::deflate(const char *data, qsizetype size, bool last)
{
    z_stream &z = m_stream->z;
    z.next_in = reinterpret_cast<Bytef *>(const_cast<char *>(data));
    z.avail_in = uInt(size);
    Entry &e = m_entries.last();
    int result;
    do {
        z.next_out = reinterpret_cast<Bytef *>(m_stream->buffer.data());
        z.avail_out = uInt(m_stream->buffer.size());
        result = ::deflate(&z, last ? Z_FINISH : Z_NO_FLUSH);
        const qsizetype produced = m_stream->buffer.size() - qsizetype(z.avail_out);
        if (produced > 0) {
            put(QByteArray::fromRawData(m_stream->buffer.constData(), produced));
            e.compressed += quint64(produced);
        }
    } while (z.avail_out == 0 || (last && result != Z_STREAM_END));
}

void ZipWriter::write(const char *data, qsizetype size)
{
    Entry &e = m_entries.last();
    e.crc = quint32(crc32_z(e.crc, reinterpret_cast<const Bytef *>(data), size_t(size)));
    e.size += quint64(size);
    deflate(data, size, false);
}

void ZipWriter::endEntry()
{
    deflate(nullptr, 0, true);
    m_open = false;
    const Entry &e = m_entries.last();
    check(e.size, "tamanho");
    check(e.compressed, "tamanho comprimido");
    QByteArray descriptor;
    le32(descriptor, 0x08074b50);
    le32(descriptor, e.crc);
    le32(descriptor, quint32(e.compressed));
    le32(descriptor, quint32(e.size));
    put(descriptor);
}

void ZipWriter::addEntry(const QString &name, const QByteArray &data)
{
    beginEntry(name);
    write(data);
    endEntry();
}

void ZipWriter::finish()
{
    const quint64 start = m_offset;
    QByteArray directory;
    for (const Entry &e : m_entries) {
        le32(directory, 0x02014b50);
        le16(directory, versionNeeded | (3 << 8)); // made on Unix
        le16(directory, versionNeeded);
        le16(directory, flagDescriptor | flagUtf8);
        le16(directory, methodDeflate);
        le16(directory, m_time);
        le16(directory, m_date);
        le32(directory, e.crc);
        le32(directory, quint32(e.compressed));
        le32(directory, quint32(e.size));
        le16(directory, quint16(e.name.size()));
        le16(directory, 0);
        le16(directory, 0);
        le16(directory, 0);
        le16(directory, 0);
        le32(directory, 0100644u << 16); // -rw-r--r--
        le32(directory, quint32(e.offset));
        directory += e.name;
    }
    put(directory);
    check(m_offset, "posição");
    QByteArray end;
    le32(end, 0x06054b50);
    le16(end, 0);
    le16(end, 0);
    le16(end, quint16(m_entries.size()));
    le16(end, quint16(m_entries.size()));
    le32(end, quint32(directory.size()));
    le32(end, quint32(start));
    le16(end, 0);
    put(end);
}
