#pragma once

#include <QByteArray>
#include <QMutex>
#include <QString>
#include <deque>
#include <memory>

// Kept results compressed for the clients that take them so, shared by every worker: each
// result is compressed once, as a rule on the thread that built it (AppServer::prepare), and
// then served from here while it is current. Only the last few marks are held; a result that
// compression would not shrink is remembered as such and goes out plain.
class DeflatedReplies
{
public:
    // `packet` compressed (Frame::deflate), under the mark it is kept under; empty when it
    // goes out plain. Workers asking for the same mark at once wait for one compression.
    QByteArray deflatedOf(const QString &mark, const QByteArray &packet);

private:
    struct Entry
    {
        QString mark;
        QMutex mutex; // held while the one compression runs
        bool done = false;
        QByteArray deflated;
    };
    std::shared_ptr<Entry> entryFor(const QString &mark);

    QMutex m_mutex;
    std::deque<std::shared_ptr<Entry>> m_entries; // newest first
};
