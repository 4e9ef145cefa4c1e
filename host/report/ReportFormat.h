#pragma once

#include "suite_export.h"

#include <QDate>
#include <QString>
#include <QVariant>

// Brazilian presentation of report values: 1.234,56 ; 12,50% ; 07/12/2026. A format is
// written as in a report definition: "text", "integer", "number:N", "money", "percent:N",
// "date", "datetime", "variation:N" (signed percent with an arrow), "mask:99.999.9999".
namespace ReportFormat {

// 1234.5 with 2 decimals gives "1.234,50" (or "1234,50" without grouping); never "-0,00".
SUITE_TEST_EXPORT QString number(double value, int decimals, bool grouping = true);
// The same into a buffer of at least maxNumberLength bytes (ASCII); returns the length
// (0 for a value that is not finite). For writers that format millions of cells.
constexpr int maxNumberLength = 720;
SUITE_TEST_EXPORT int formatNumber(char *out, double value, int decimals, bool grouping);
// dd/MM/yyyy into a buffer of 10 bytes; returns the length (0 when the date cannot be
// written that way).
SUITE_TEST_EXPORT int formatDate(char *out, const QDate &value);
// A number with no format asked: the shortest text that reads back as the same double,
// with a decimal comma and no grouping or exponent (22.19 "22,19", 5.2216 "5,2216", 3 "3");
// empty when the value is not finite.
SUITE_TEST_EXPORT QString shortest(double value);
SUITE_TEST_EXPORT QString money(double value);
SUITE_TEST_EXPORT QString percent(double value, int decimals = 2);
// +12.5 gives "▲ +12,50%", -3.2 gives "▼ -3,20%", a value that rounds to zero "0,00%".
SUITE_TEST_EXPORT QString variation(double value, int decimals = 2);
SUITE_TEST_EXPORT QString date(const QDate &value);
// Characters 9, A, a, X and # of the mask take the value's characters in turn; any other
// character is copied. Characters left over are appended; the mask stops with the value.
SUITE_TEST_EXPORT QString mask(const QString &value, const QString &mask);

// A date from what a database gives back: a QDate, a QDateTime or ISO text.
SUITE_TEST_EXPORT QDate toDate(const QVariant &value);
// A number from what a database gives back (integer, double, decimal text); ok false
// when the value is null or not a number.
SUITE_TEST_EXPORT double toNumber(const QVariant &value, bool *ok = nullptr);

// The kind of a format ("number:4" is kind "number", argument "4").
SUITE_TEST_EXPORT QString kindOf(const QString &format);
SUITE_TEST_EXPORT QString argumentOf(const QString &format);
// Whether the format's kind is one of those above.
SUITE_TEST_EXPORT bool isKnown(const QString &format);
// Decimals a numeric format shows (money 2, integer 0, number/percent/variation N or 2).
SUITE_TEST_EXPORT int decimalsOf(const QString &format);
SUITE_TEST_EXPORT bool isNumeric(const QString &format);

// A format read once, for formatting many values with it.
struct SUITE_TEST_EXPORT ValueFormat
{
    enum Kind { Text, Integer, Number, Money, Percent, Variation, Date, DateTime, Mask };
    Kind kind = Text;
    int decimals = 2;
    QString mask;

    static ValueFormat parse(const QString &format);
    bool numeric() const { return kind >= Integer && kind <= Variation; }
};

// The value as a person reads it on the printed report (grouping, % and arrows).
SUITE_TEST_EXPORT QString display(const QVariant &value, const ValueFormat &style);
SUITE_TEST_EXPORT QString display(const QVariant &value, const QString &format);
// The value as a CSV cell: numbers without grouping and without % or arrows, dates
// dd/MM/yyyy, masks applied.
SUITE_TEST_EXPORT QString plain(const QVariant &value, const ValueFormat &style);
SUITE_TEST_EXPORT QString plain(const QVariant &value, const QString &format);
} // namespace ReportFormat
