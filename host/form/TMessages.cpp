#include "form/TMessages.h"
#include "text/Cp1252.h"

#include <QFile>
#include <algorithm>

namespace {
QStringView keyOf(const QString &line)
{
    const qsizetype bar = line.indexOf(QLatin1Char('|'));
    return bar > 0 ? QStringView(line).left(bar) : QStringView();
}
} // namespace

void TMessages::mergeMessages(const QStringList &lines)
{
    for (const QString &line : lines) {
        const QStringView key = keyOf(line);
        if (key.isEmpty())
            continue;
        auto same = std::find_if(m_lines.begin(), m_lines.end(), [&](const QString &l) { return keyOf(l) == key; });
        if (same != m_lines.end())
            *same = line;
        else
            m_lines << line;
    }
}

bool TMessages::mergeFile(const QString &fileName)
{
    QFile f(fileName);
    if (!f.open(QIODevice::ReadOnly))
        return false;
    QStringList lines;
    for (const QString &line : Cp1252::toUnicode(f.readAll()).split(QLatin1Char('\n')))
        if (!line.trimmed().isEmpty())
            lines << QString(line).remove(QLatin1Char('\r'));
    mergeMessages(lines);
    return true;
}

QString TMessages::Msg(const QString &key) const
{
    for (const QString &line : m_lines) {
        const int bar = int(line.indexOf(QLatin1Char('|')));
        if (bar >= 0 && QStringView(line).left(bar) == key)
            return line.mid(bar + 1);
    }
    return QString();
}
