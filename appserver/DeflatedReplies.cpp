#include "DeflatedReplies.h"

#include "net/Frame.h"

namespace {
// A new list replaces the old one within a few calls; more than this are marks of modules
// with several kept results.
constexpr size_t kEntries = 4;
} // namespace

std::shared_ptr<DeflatedReplies::Entry> DeflatedReplies::entryFor(const QString &mark)
{
    QMutexLocker lock(&m_mutex);
    for (const auto &entry : m_entries)
        if (entry->mark == mark)
            return entry;
    auto entry = std::make_shared<Entry>();
    entry->mark = mark;
    m_entries.push_front(entry);
    if (m_entries.size() > kEntries)
        m_entries.pop_back(); // freed when its last user lets go
    return entry;
}

QByteArray DeflatedReplies::deflatedOf(const QString &mark, const QVariant &result)
{
    if (mark.isEmpty() || result.metaType().id() != QMetaType::QByteArray)
        return QByteArray();
    const std::shared_ptr<Entry> entry = entryFor(mark);
    QMutexLocker lock(&entry->mutex);
    if (!entry->done) {
        entry->deflated = Frame::deflate(result.toByteArray());
        entry->done = true;
    }
    return entry->deflated;
}
