#include "Poller.h"

#include <QSocketNotifier>

#include <sys/epoll.h>
#include <unistd.h>

namespace {
constexpr int kBatch = 256;

// The descriptor and an id of its registration in 64 bits: an event of a descriptor closed
// and reused in the same batch is not delivered to the newcomer.
std::uint64_t pack(int fd, std::uint64_t id)
{
    return (id << 32) | std::uint32_t(fd);
}
} // namespace

Poller::Poller(QObject *parent)
    : QObject(parent), m_epoll(::epoll_create1(EPOLL_CLOEXEC)),
      m_notifier(new QSocketNotifier(m_epoll, QSocketNotifier::Read, this))
{
    connect(m_notifier, &QSocketNotifier::activated, this, &Poller::dispatch);
}

Poller::~Poller()
{
    delete m_notifier;
    ::close(m_epoll);
}

void Poller::add(int fd, Handler handler)
{
    const std::uint64_t id = m_nextId++ & 0xffffffffu;
    m_entries[fd] = Entry{std::move(handler), id};
    epoll_event event{};
    event.data.u64 = pack(fd, id);
    ::epoll_ctl(m_epoll, EPOLL_CTL_ADD, fd, &event);
}

void Poller::watch(int fd, bool read, bool write)
{
    const auto it = m_entries.find(fd);
    if (it == m_entries.end())
        return;
    epoll_event event{};
    event.events = (read ? EPOLLIN | EPOLLRDHUP : 0u) | (write ? EPOLLOUT : 0u);
    event.data.u64 = pack(fd, it->second.id);
    ::epoll_ctl(m_epoll, EPOLL_CTL_MOD, fd, &event);
}

void Poller::remove(int fd)
{
    if (m_entries.erase(fd))
        ::epoll_ctl(m_epoll, EPOLL_CTL_DEL, fd, nullptr);
}

void Poller::dispatch()
{
    epoll_event events[kBatch];
    const int n = ::epoll_wait(m_epoll, events, kBatch, 0);
    // What arrives first (handshakes, requests, ends), then what goes out: a new link's
    // handshake does not wait behind every large reply being written.
    for (const bool reading : {true, false}) {
        for (int i = 0; i < n; ++i) {
            const int fd = int(std::uint32_t(events[i].data.u64));
            const std::uint64_t id = events[i].data.u64 >> 32;
            const auto it = m_entries.find(fd);
            if (it == m_entries.end() || it->second.id != id)
                continue; // removed by a handler earlier in this batch
            const std::uint32_t e = events[i].events;
            const bool in = (e & (EPOLLIN | EPOLLRDHUP)) != 0;
            const bool out = (e & EPOLLOUT) != 0;
            const bool hangup = (e & (EPOLLHUP | EPOLLERR)) != 0;
            if (reading ? !(in || hangup) : !out)
                continue;
            // A copy: the handler may remove its own entry.
            const Handler handler = it->second.handler;
            if (reading)
                handler(in, false, hangup);
            else
                handler(false, true, false);
        }
    }
}
