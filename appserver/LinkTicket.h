#pragma once

#include <QString>
#include <atomic>
#include <chrono>
#include <functional>
#include <mutex>
#include <sys/ioctl.h>

// What the admission gate knows of a link it has handed to a worker, kept up to date by the
// worker from its own thread: how far the link has come, and since when. The gate counts
// links that are not yet identified and may ask for one that has stalled to be closed.
struct LinkTicket
{
    enum State { Handshake, Hello, Identified, Gone };

    LinkTicket(QString address, QString name, int fd) : address(std::move(address)), name(std::move(name)), fd(fd)
    {
        enter(Handshake);
    }

    static qint64 nowMs()
    {
        return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
            .count();
    }
    void enter(State s)
    {
        since.store(nowMs());
        state.store(s);
    }
    qint64 age() const { return nowMs() - since.load(); }
    // Not yet identified, and not on its way out: holds a place among the pending links.
    bool pending() const
    {
        const int s = state.load();
        return (s == Handshake || s == Hello) && !evict.load();
    }
    bool live() const { return state.load() != Gone && !evict.load(); }

    // Called by the link's worker just before it closes the socket: once it returns, the gate
    // no longer looks into the descriptor, which the next socket opened may be given.
    void closing()
    {
        std::lock_guard lock(m_fdLock);
        m_closed = true;
    }
    // Bytes the client sent that its worker has not read yet; true once the socket is closed:
    // a closed link is no stalled link.
    bool bytesWaiting()
    {
        std::lock_guard lock(m_fdLock);
        if (m_closed)
            return true;
        int available = 0;
        return ::ioctl(fd, FIONREAD, &available) == 0 && available > 0;
    }

    const QString address;
    const QString name; // address:port, for the log
    const int fd;       // the socket, for bytesWaiting() (never closed through this)
    std::atomic<int> state{Handshake};
    std::atomic<qint64> since{0}; // when the link entered its state (steady clock, ms)
    std::atomic<bool> held{false};  // a wrong token is being answered late: going anyway
    std::atomic<bool> evict{false}; // the gate wants it closed unless it has identified itself
    // Asks the link's worker to act on `evict`; set and called on the gate's thread only.
    std::function<void()> requestClose;

private:
    std::mutex m_fdLock; // between the gate's look into the socket and the worker's close
    bool m_closed = false;
};
