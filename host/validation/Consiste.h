#pragma once

#include "suite_export.h"

#include <QChar>
#include <QDate>
#include <QString>

// Validation and calendar routines of the suite.
namespace Consiste {
// True when no value is entered: empty, blanks only.
SUITE_EXPORT bool EmptyString(const QString &text);
// Shows text as an error and raises EAbort. Never returns.
[[noreturn]] SUITE_EXPORT void MensErro(const QString &text, bool abort = true);
// A code in its stored form: trimmed and completed on the left with zeros to width;
// empty or blank stays empty.
SUITE_EXPORT QString Ajusta(const QString &text, int width);

// Weeks: ISO 8601 (Monday first), with the days that ISO gives to the neighbouring
// year folded into the year's first or last week. Every date of a year has a week from
// 1 to the year's last (52, or 53 in ISO long years); 31 December carries the last.
SUITE_EXPORT int NumeroSemana(const QDate &date);
// First ('I') or last ('F') day of week of year. A week below 1 gives the first week,
// above the year's last the last week.
SUITE_EXPORT QDate DataSemana(int week, QChar which, int year);
// Number of weeks of a year: 52 or 53.
SUITE_EXPORT int SemanasDoAno(int year);
// A year typed with two digits (0 to 99), read in the suite's 50-year window: from 50
// years before the reference year to 49 after it (in 2026, 27 is 2027 and 80 is 1980).
// Other years are returned as they are.
SUITE_EXPORT int AnoCompleto(int year, int referenceYear = QDate::currentDate().year());
// Weekday name in Portuguese ("Domingo" ... "Sábado"); empty for an invalid date.
SUITE_EXPORT QString NomeSemana(const QDate &date);

// Display mask of a registration number of person kind "J", "F" or "O".
SUITE_EXPORT QString PictPess(const QString &kind);
SUITE_EXPORT QString Replicate(const QString &text, int count);
} // namespace Consiste
