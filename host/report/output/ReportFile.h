#pragma once

#include "suite_export.h"

#include <QIODevice>
#include <QString>

// The file a report is saved to, written the safe way: under a temporary name beside the
// target (".NAME.XXXXXXXX.tmp", locked while it is written), made durable and renamed
// over the target only by commit(). A run that fails, is cancelled or is killed never
// leaves a partial target; the temporary of a killed run is removed by the next save
// into that folder (its lock is gone). Write errors stop the run at once and say, in
// Portuguese, which file and why (a full disk, no permission...).
class SUITE_TEST_EXPORT ReportFile : public QIODevice
{
    Q_OBJECT
public:
    explicit ReportFile(const QString &target, QObject *parent = nullptr);
    ~ReportFile() override;

    // Creates the temporary file; raises ESuiteError naming the file and the cause.
    void create();
    // Flushes, syncs and renames over the target; raises ESuiteError on failure.
    void commit();
    // Drops what was written (the destructor does it too).
    void discard();

    // Limit of the file's size in bytes (0 = none); a run that passes it stops with a
    // message that says so.
    void setSizeLimit(qint64 bytes) { m_sizeLimit = bytes; }

    bool isSequential() const override { return true; }
    qint64 size() const override { return m_written; }

    // The cause of a system error in Portuguese ("não há espaço livre no disco").
    static QString causeOf(int error);
    // A message naming a file and the cause of a system error.
    static QString writeError(const QString &file, int error);
    // The message for a failed write on any device: a ReportFile names its file and the
    // cause itself; for another device, what is written and the device's own words.
    static QString failure(const QIODevice *device, const QString &what);
    // Removes the temporaries of interrupted saves in a folder (none is touched while
    // its writer lives).
    static void removeStale(const QString &dir);

protected:
    qint64 readData(char *, qint64) override { return -1; }
    qint64 writeData(const char *data, qint64 size) override;

private:
    bool flushBuffer();
    void fail(int error);

    QString m_target;
    QString m_tempPath;
    int m_fd = -1;
    QByteArray m_buffer;
    qint64 m_written = 0;
    qint64 m_sizeLimit = 0;
    bool m_failed = false;
};
