#include "validation/Consiste.h"
#include "errors/EAbort.h"
#include "app/Interaction.h"
#include "controls/EditEntry.h"

#include <algorithm>

namespace Consiste {

bool EmptyString(const QString &text)
{
    return text.trimmed().isEmpty();
}

void MensErro(const QString &text, bool)
{
    Interaction::instance()->showError(text);
    EditEntry::selectFocused();
    throw EAbort();
}

QString Ajusta(const QString &text, int width)
{
    const QString t = text.trimmed();
    if (t.isEmpty())
        return QString();
    return t.size() >= width ? t : t.rightJustified(width, QLatin1Char('0'));
}

int SemanasDoAno(int year)
{
    // 28 December always lies in the year's last ISO week.
    return QDate(year, 12, 28).weekNumber();
}

int NumeroSemana(const QDate &date)
{
    if (!date.isValid())
        return 0;
    int isoYear = 0;
    const int week = date.weekNumber(&isoYear);
    if (isoYear < date.year())
        return 1;
    if (isoYear > date.year())
        return SemanasDoAno(date.year());
    return week;
}

QDate DataSemana(int week, QChar which, int year)
{
    const int last = SemanasDoAno(year);
    week = std::clamp(week, 1, last);
    const QDate jan4(year, 1, 4);
    const QDate monday = jan4.addDays(1 - jan4.dayOfWeek()).addDays(7 * (week - 1));
    if (which.toUpper() == QLatin1Char('F')) {
        if (week == last)
            return QDate(year, 12, 31);
        return monday.addDays(6);
    }
    if (week == 1)
        return QDate(year, 1, 1);
    return monday;
}

int AnoCompleto(int year, int referenceYear)
{
    if (year < 0 || year > 99)
        return year;
    const int first = referenceYear - 50;
    int full = first - first % 100 + year;
    if (full < first)
        full += 100;
    return full;
}

QString NomeSemana(const QDate &date)
{
    static const char *const names[] = {"Segunda", "Terça", "Quarta", "Quinta", "Sexta", "Sábado", "Domingo"};
    if (!date.isValid())
        return QString();
    return QString::fromUtf8(names[date.dayOfWeek() - 1]);
}

QString PictPess(const QString &kind)
{
    if (kind == QLatin1String("J"))
        return QStringLiteral("99.999.999/9999-99;0;_");
    if (kind == QLatin1String("F"))
        return QStringLiteral("999.999.999-99;0;_");
    if (kind == QLatin1String("O"))
        return QStringLiteral("cccccccccccccccccccc;0; ");
    return QString();
}

QString Replicate(const QString &text, int count)
{
    return count <= 0 ? QString() : text.repeated(count);
}

} // namespace Consiste
