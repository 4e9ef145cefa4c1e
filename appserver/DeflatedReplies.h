#pragma once

#include <QByteArray>
#include <QMutex>
#include <QString>
#include <QVariant>
#include <deque>
#include <memory>

// Kept results compressed for the clients that take them so, shared by every worker: each
// result is compressed once, as a rule on the thread that built it (AppServer::prepare), and
// then served from here while it is current. Only the last few marks are held; a result that
// compression would not shrink is remembered as such and goes out plain.
class DeflatedReplies
{
public:
    // A result compressed (Frame::deflate), under the mark it is kept under; empty when it
    // goes out plain: not kept (no mark), not a byte array, or not worth it. Workers asking
    // for the same mark at once wait for one compression.
    QByteArray deflatedOf(const QString &mark, const QVariant &result);

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
