#pragma once

#include "suite_export.h"

#include <QByteArray>
#include <QString>

// The last result of a call, kept on the workstation with the server's mark, so that the
// server can answer "unchanged" in a few bytes instead of sending it again.
//
// One file per server and call in the user's cache folder, readable by its owner only and
// written under a temporary name that replaces it only when complete. A file is used only
// when it is whole and unaltered (a CRC-32 of its contents closes it), owned by this user and
// closed to others; any other is removed and read as absent. What the file holds is shown
// only after the server has said that its mark is current.
class SUITE_TEST_EXPORT KeptReplies
{
public:
    // folder: where the files go (empty: Suite/respostas in the user's cache folder).
    explicit KeptReplies(const QString &folder = QString());

    QString folder() const { return m_folder; }
    // The file for a key (server, object and method).
    QString fileName(const QString &key) const;

    // False when nothing usable is kept under the key.
    bool read(const QString &key, QByteArray &packet, QString &mark) const;
    // Keeps a result; a failure to write only means the next call sends it in full.
    void write(const QString &key, const QByteArray &packet, const QString &mark) const;

private:
    QString m_folder;
};
