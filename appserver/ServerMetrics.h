#pragma once

#include <QMutex>
#include <QString>
#include <array>
#include <vector>

// What the server counts of its calls for the metrics endpoint, from any thread: calls and
// failures by method, with the time each took (a histogram).
// A method is named by the client: only the first few names get a series of their own, the
// rest are counted together, so that a client cannot grow the page without end.
class ServerMetrics
{
public:
    static constexpr int MaxMethods = 16;
    // Upper bounds of the latency histogram's buckets, in seconds (the last, +Inf, is implied).
    static constexpr std::array<double, 14> Buckets{0.0005, 0.001, 0.0025, 0.005, 0.01, 0.025, 0.05,
                                                    0.1,    0.25,  0.5,    1,     2.5,   5,    10};

    // A call answered (failed: with an error), `seconds` after its request was read whole.
    void recordCall(const QString &method, double seconds, bool failed);

    // The calls' families in the Prometheus text format.
    QString callsText() const;

    // A label value as the text format wants it: backslash, double quote and line break escaped.
    static QString labelValue(const QString &text);

private:
    struct Method
    {
        QString name;
        quint64 calls = 0;
        quint64 failures = 0;
        double seconds = 0;
        std::array<quint64, Buckets.size() + 1> buckets{};
    };
    Method &methodLocked(const QString &name);

    mutable QMutex m_mutex;
    std::vector<Method> m_methods;
};
