#pragma once

#include <QElapsedTimer>
#include <QHash>
#include <QMutex>
#include <QString>

// Wrong tokens by address, shared by the threads that answer them: each new failure from an
// address within ten minutes doubles the delay of its answer, up to eight seconds.
class TokenFailures
{
public:
    // The delay of the answer to a wrong token from `address` (ms), counting this one.
    int delayFor(const QString &address, int firstDelayMs);
    // A right token from `address`: its failures are forgotten.
    void forget(const QString &address);

private:
    struct Failures
    {
        int count = 0;
        QElapsedTimer last;
    };

    QMutex m_mutex;
    QHash<QString, Failures> m_byAddress;
};
