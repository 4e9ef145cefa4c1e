#pragma once

#include <QObject>
#include <cstdint>
#include <functional>
#include <unordered_map>

class QSocketNotifier;

// Readiness of many sockets for one thread's event loop, through one epoll descriptor: the
// loop watches that descriptor alone, so a turn of it costs the same with ten links as with
// a thousand (a notifier per socket has the loop poll every socket at every turn).
class Poller : public QObject
{
    Q_OBJECT
public:
    // hangup: the socket is closed both ways or has failed; it is reported whatever is
    // watched, until the descriptor is removed.
    using Handler = std::function<void(bool readable, bool writable, bool hangup)>;

    explicit Poller(QObject *parent = nullptr);
    ~Poller() override;

    // Starts watching fd for nothing; watch() says for what.
    void add(int fd, Handler handler);
    void watch(int fd, bool read, bool write);
    // Before fd is closed.
    void remove(int fd);

private:
    struct Entry
    {
        Handler handler;
        std::uint64_t id;
    };
    void dispatch();

    int m_epoll;
    QSocketNotifier *m_notifier;
    std::unordered_map<int, Entry> m_entries;
    std::uint64_t m_nextId = 1;
};
