#include "ServerMetrics.h"

#include <algorithm>

namespace {
// Where the calls of methods past the first MaxMethods names are counted.
const QString kOtherMethods = QStringLiteral("(outros)");

QString number(double value)
{
    return QString::number(value, 'g', 12);
}
} // namespace

QString ServerMetrics::labelValue(const QString &text)
{
    QString out;
    out.reserve(text.size());
    for (const QChar c : text) {
        if (c == QLatin1Char('\\'))
            out += QLatin1String("\\\\");
        else if (c == QLatin1Char('"'))
            out += QLatin1String("\\\"");
        else if (c == QLatin1Char('\n'))
            out += QLatin1String("\\n");
        else
            out += c;
    }
    return out;
}

ServerMetrics::Method &ServerMetrics::methodLocked(const QString &name)
{
    // Methods are matched without regard to case, as the modules match them.
    for (Method &m : m_methods)
        if (m.name.compare(name, Qt::CaseInsensitive) == 0)
            return m;
    const bool full = int(m_methods.size()) >= MaxMethods - 1;
    const QString &kept = full ? kOtherMethods : name;
    if (full)
        for (Method &m : m_methods)
            if (m.name == kOtherMethods)
                return m;
    m_methods.push_back(Method{kept.left(100)});
    return m_methods.back();
}

void ServerMetrics::recordCall(const QString &method, double seconds, bool failed)
{
    const auto bucket = std::lower_bound(Buckets.begin(), Buckets.end(), seconds) - Buckets.begin();
    QMutexLocker lock(&m_mutex);
    Method &m = methodLocked(method);
    ++m.calls;
    m.failures += failed;
    m.seconds += seconds;
    ++m.buckets[size_t(bucket)];
}

QString ServerMetrics::callsText() const
{
    QMutexLocker lock(&m_mutex);
    QString calls = QStringLiteral("# HELP lpr07700_calls_total Chamadas respondidas, por método.\n"
                                   "# TYPE lpr07700_calls_total counter\n");
    QString failures = QStringLiteral("# HELP lpr07700_call_failures_total Chamadas respondidas com erro, por método.\n"
                                      "# TYPE lpr07700_call_failures_total counter\n");
    QString latency = QStringLiteral("# HELP lpr07700_call_duration_seconds Tempo de uma chamada, da requisição "
                                     "recebida à resposta entregue à conexão.\n"
                                     "# TYPE lpr07700_call_duration_seconds histogram\n");
    for (const Method &m : m_methods) {
        const QString label = QStringLiteral("method=\"%1\"").arg(labelValue(m.name));
        calls += QStringLiteral("lpr07700_calls_total{%1} %2\n").arg(label).arg(m.calls);
        failures += QStringLiteral("lpr07700_call_failures_total{%1} %2\n").arg(label).arg(m.failures);
        quint64 cumulative = 0;
        for (size_t i = 0; i <= Buckets.size(); ++i) {
            cumulative += m.buckets[i];
            latency += QStringLiteral("lpr07700_call_duration_seconds_bucket{%1,le=\"%2\"} %3\n")
                           .arg(label, i < Buckets.size() ? number(Buckets[i]) : QStringLiteral("+Inf"))
                           .arg(cumulative);
        }
        latency += QStringLiteral("lpr07700_call_duration_seconds_sum{%1} %2\n").arg(label, number(m.seconds));
        latency += QStringLiteral("lpr07700_call_duration_seconds_count{%1} %2\n").arg(label).arg(m.calls);
    }
    return calls + failures + latency;
}
