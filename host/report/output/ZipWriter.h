#pragma once

#include "suite_export.h"

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>
#include <memory>

class QIODevice;

// Writes a zip archive front to back into a device that need not seek: each entry is
// deflated as it is written (its sizes and checksum follow its data), and the directory
// closes the archive. What an office document (XLSX) is made of. Entries and the archive
// are limited to 4 GiB, the plain zip format's size; past that the writer says so.
// Write failures raise ESuiteError with the device's error text.
class SUITE_TEST_EXPORT ZipWriter
{
public:
    explicit ZipWriter(QIODevice *out, int level = 1);
    ~ZipWriter();
    ZipWriter(const ZipWriter &) = delete;
    ZipWriter &operator=(const ZipWriter &) = delete;

    void beginEntry(const QString &name);
    void write(const char *data, qsizetype size);
    void write(const QByteArray &data) { write(data.constData(), data.size()); }
    void endEntry();
    // Writes a whole small entry.
    void addEntry(const QString &name, const QByteArray &data);
    // Writes the directory; the archive is complete.
    void finish();

private:
    struct Entry
    {
        QByteArray name;
        quint32 crc = 0;
        quint64 compressed = 0;
        quint64 size = 0;
        quint64 offset = 0;
    };
    void put(const QByteArray &bytes);
    void deflate(const char *data, qsizetype size, bool last);
    void check(quint64 value, const char *what) const;

    QIODevice *m_out;
    int m_level;
    quint64 m_offset = 0;
    QList<Entry> m_entries;
    bool m_open = false;
    struct Stream;
    std::unique_ptr<Stream> m_stream;
    quint16 m_time = 0, m_date = 0;
};
