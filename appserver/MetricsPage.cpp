#include "MetricsPage.h"
#include "ServerMetrics.h"

#include <QFile>
#include <unistd.h>

namespace {

QString family(const char *name, const char *type, const QString &help)
{
    return QStringLiteral("# HELP %1 %2\n# TYPE %1 %3\n").arg(QLatin1String(name), help, QLatin1String(type));
}

QString number(double value)
{
    return QString::number(value, 'g', 12);
}

// Resident memory in bytes; -1 when /proc cannot tell.
double residentBytes()
{
    QFile statm(QStringLiteral("/proc/self/statm"));
    if (!statm.open(QIODevice::ReadOnly))
        return -1;
    const QList<QByteArray> fields = statm.readAll().split(' ');
    bool ok = false;
    const double pages = fields.size() > 1 ? fields[1].toDouble(&ok) : 0;
    return ok ? pages * double(::sysconf(_SC_PAGESIZE)) : -1;
}

} // namespace

QString MetricsPage::links(const LinkGate::Counts &counts)
{
    QString text = family("lpr07700_links", "gauge",
                          QStringLiteral("Conexões abertas, pela etapa em que estão: saudação TLS, negociação "
                                         "TLS, aguardando a identificação, identificadas."));
    const std::pair<const char *, int> states[] = {{"greeting", counts.greeting},
                                                   {"handshake", counts.handshake},
                                                   {"hello", counts.hello},
                                                   {"identified", counts.identified}};
    for (const auto &[state, count] : states)
        text += QStringLiteral("lpr07700_links{state=\"%1\"} %2\n").arg(QLatin1String(state)).arg(count);
    text += family("lpr07700_links_evicted_total", "counter",
                   QStringLiteral("Conexões não identificadas encerradas para dar lugar a outras."));
    text += QStringLiteral("lpr07700_links_evicted_total %1\n").arg(counts.evicted);
    return text;
}

QString MetricsPage::builds(const std::vector<std::pair<QString, BuildStats>> &modules)
{
    QString age = family("lpr07700_list_age_seconds", "gauge",
                         QStringLiteral("Idade da lista em uso, desde o início da sua montagem."));
    QString info = family("lpr07700_list_info", "gauge",
                          QStringLiteral("A marca da lista em uso (o que as estações guardam com ela)."));
    QString count = family("lpr07700_list_builds_total", "counter", QStringLiteral("Montagens da lista concluídas."));
    QString failed = family("lpr07700_list_build_failures_total", "counter",
                            QStringLiteral("Montagens da lista que falharam."));
    QString seconds = family("lpr07700_list_build_seconds_total", "counter",
                             QStringLiteral("Tempo gasto em todas as montagens da lista."));
    QString last = family("lpr07700_list_last_build_seconds", "gauge",
                          QStringLiteral("Tempo da última montagem da lista."));
    for (const auto &[name, s] : modules) {
        const QString label = QStringLiteral("module=\"%1\"").arg(ServerMetrics::labelValue(name));
        if (s.kept) {
            age += QStringLiteral("lpr07700_list_age_seconds{%1} %2\n").arg(label, number(s.ageSeconds));
            info += QStringLiteral("lpr07700_list_info{%1,mark=\"%2\"} 1\n")
                        .arg(label, ServerMetrics::labelValue(s.mark));
        }
        count += QStringLiteral("lpr07700_list_builds_total{%1} %2\n").arg(label).arg(s.builds);
        failed += QStringLiteral("lpr07700_list_build_failures_total{%1} %2\n").arg(label).arg(s.failures);
        seconds += QStringLiteral("lpr07700_list_build_seconds_total{%1} %2\n").arg(label, number(s.buildSeconds));
        last += QStringLiteral("lpr07700_list_last_build_seconds{%1} %2\n").arg(label, number(s.lastBuildSeconds));
    }
    return age + info + count + failed + seconds + last;
}

QString MetricsPage::process(const QString &version)
{
    QString text = family("lpr07700_build_info", "gauge", QStringLiteral("A versão do servidor."));
    text += QStringLiteral("lpr07700_build_info{version=\"%1\"} 1\n").arg(ServerMetrics::labelValue(version));
    const double rss = residentBytes();
    if (rss >= 0) {
        text += family("process_resident_memory_bytes", "gauge", QStringLiteral("Memória residente do processo."));
        text += QStringLiteral("process_resident_memory_bytes %1\n").arg(number(rss));
    }
    return text;
}
