#include "net/KeptReplies.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>
#include <QtEndian>

#include <libdeflate.h>
#include <unistd.h>

namespace {

constexpr char kMagic[8] = {'L', 'P', 'R', 'K', 'E', 'P', 'T', '2'};
constexpr qsizetype kDigest = 4;
// Nothing kept is larger than the largest reply a call accepts.
constexpr qint64 kMaxPacket = qint64(256) << 20;

// A CRC-32 closes the file: it finds a file cut short or a changed byte at memory speed
// (what is kept is the user's own, in a folder closed to others: corruption, not forgery,
// is what it guards against).
QByteArray digest(const QByteArray &bytes, qsizetype length)
{
    char crc[kDigest];
    qToBigEndian(quint32(libdeflate_crc32(0, bytes.constData(), size_t(length))), crc);
    return QByteArray(crc, kDigest);
}

// Owned by this user and closed to everyone else.
bool ownAndClosed(const QFileInfo &info)
{
    const QFileDevice::Permissions others = QFile::ReadGroup | QFile::WriteGroup | QFile::ExeGroup
                                            | QFile::ReadOther | QFile::WriteOther | QFile::ExeOther;
    return info.ownerId() == ::getuid() && (info.permissions() & others) == 0;
}

} // namespace

KeptReplies::KeptReplies(const QString &folder)
    : m_folder(folder.isEmpty()
                   ? QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation) + QStringLiteral("/Suite/respostas")
                   : folder)
{
}

QString KeptReplies::fileName(const QString &key) const
{
    const QByteArray name = QCryptographicHash::hash(key.toUtf8(), QCryptographicHash::Sha256).toHex().left(32);
    return QStringLiteral("%1/%2.resposta").arg(m_folder, QString::fromLatin1(name));
}

bool KeptReplies::read(const QString &key, QByteArray &packet, QString &mark) const
{
    const QString name = fileName(key);
    const QFileInfo info(name);
    if (!info.exists())
        return false;
    QFile file(name);
    const auto reject = [&] {
        QFile::remove(name);
        return false;
    };
    if (!ownAndClosed(info) || info.size() > kMaxPacket + 1024 || !file.open(QIODevice::ReadOnly))
        return reject();
    const QByteArray bytes = file.readAll();
    // magic, mark length (4), mark, packet length (8), packet, CRC-32 of all before it
    qsizetype at = sizeof kMagic;
    if (bytes.size() < at + 4 + 8 + kDigest || !bytes.startsWith(QByteArrayView(kMagic, sizeof kMagic)))
        return reject();
    if (digest(bytes, bytes.size() - kDigest) != bytes.right(kDigest))
        return reject();
    const quint32 markLength = qFromBigEndian<quint32>(bytes.constData() + at);
    at += 4;
    if (markLength == 0 || markLength > 1024 || at + qsizetype(markLength) + 8 + kDigest > bytes.size())
        return reject();
    mark = QString::fromUtf8(bytes.constData() + at, qsizetype(markLength));
    at += qsizetype(markLength);
    const quint64 packetLength = qFromBigEndian<quint64>(bytes.constData() + at);
    at += 8;
    if (qint64(packetLength) != bytes.size() - at - kDigest)
        return reject();
    packet = bytes.mid(at, qsizetype(packetLength));
    return true;
}

void KeptReplies::write(const QString &key, const QByteArray &packet, const QString &mark) const
{
    if (mark.isEmpty() || packet.size() > kMaxPacket || !QDir().mkpath(m_folder))
        return;
    QFile::setPermissions(m_folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    const QByteArray markBytes = mark.toUtf8();
    QByteArray bytes;
    bytes.reserve(packet.size() + markBytes.size() + 64);
    bytes.append(kMagic, sizeof kMagic);
    char length[8];
    qToBigEndian(quint32(markBytes.size()), length);
    bytes.append(length, 4);
    bytes.append(markBytes);
    qToBigEndian(quint64(packet.size()), length);
    bytes.append(length, 8);
    bytes.append(packet);
    bytes.append(digest(bytes, bytes.size()));
    QSaveFile file(fileName(key));
    if (!file.open(QIODevice::WriteOnly))
        return;
    file.setPermissions(QFile::ReadOwner | QFile::WriteOwner);
    file.write(bytes);
    file.commit();
}
