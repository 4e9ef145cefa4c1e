#include "form/TMessages.h"

QString TMessages::Msg(const QString &key) const
{
    for (const QString &line : m_lines) {
        const int bar = int(line.indexOf(QLatin1Char('|')));
        if (bar >= 0 && QStringView(line).left(bar) == key)
            return line.mid(bar + 1);
    }
    return QString();
}
