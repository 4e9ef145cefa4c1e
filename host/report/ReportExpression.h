#pragma once

#include "report/DecimalSum.h"
#include "suite_export.h"

#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <memory>

// The expressions of a report definition: what a text element shows, when a style
// applies, what a group breaks on. A small language of its own that reads the current
// row, the run's parameters, the page and the totals, and nothing else: no file, network
// or database is reachable from it.
//
//   VRPRECO * (1 + PCIPI / 100)          fields of the query, numbers, + - * /
//   :P_FILIAL & ' - ' & NMFILIAL         parameters, text joined with &
//   PCVARIACAO > 10 and not isnull(X)    = <> < <= > >=, and, or, not
//   if(VRPRECO > 0, 'sim', 'não')        functions (see ReportExpression.cpp's table)
//   sum(VRPRECOECON)  count()            totals of the group or report being closed
//   'Página ' & page() & ' de ' & pages()
//
// Text is written in single or double quotes; numbers with a decimal point; dates
// subtract to days. A null field makes arithmetic and comparisons null, and a null
// condition counts as false.

// The type of a value as far as it is known before the run.
enum class ExpressionType { Any, Number, Text, Date, Bool };

// Where an expression is wrong: what is wrong, in Portuguese, and where in its text.
struct SUITE_TEST_EXPORT ExpressionError
{
    int position = -1; // offset of the fault in the text; -1 when there is none
    int length = 0;
    QString message;

    bool isError() const { return position >= 0; }
    // "posição 12: o campo FOO não existe na consulta"
    QString describe() const;
};

// The names an expression may use: the query's fields (and their types, when known) and
// the run's parameters. Totals belong to bands that close a group or the report.
struct SUITE_TEST_EXPORT ExpressionNames
{
    QStringList fields;
    QList<ExpressionType> fieldTypes; // parallel to fields; missing entries are Any
    QStringList params;
    bool totalsAllowed = false;
};

// The values an expression reads while it runs, given by the report engine.
class SUITE_TEST_EXPORT ExpressionScope
{
public:
    virtual ~ExpressionScope() = default;
    virtual QVariant field(int index) const = 0;
    virtual QVariant param(const QString &name) const = 0;
    virtual int page() const { return 0; }
    virtual int pageCount() const { return 0; }
    virtual QDateTime issued() const { return QDateTime(); }
    // The running value of the expression's total number slot (see totals()).
    virtual QVariant total(int slot) const
    {
        Q_UNUSED(slot);
        return QVariant();
    }
};

class SUITE_TEST_EXPORT ReportExpression
{
public:
    enum class TotalOp { Count, Sum, Min, Max, Avg };
    struct Total;
    struct Node; // the parsed form, private to the implementation

    ReportExpression();
    ~ReportExpression();
    ReportExpression(const ReportExpression &);
    ReportExpression &operator=(const ReportExpression &);

    // Reads and checks an expression. On a fault the result is invalid and error says
    // what and where; nothing of the text runs.
    static ReportExpression compile(const QString &text, const ExpressionNames &names,
                                    ExpressionError *error = nullptr);
    // Only the check, for an editor that underlines as the author types.
    static ExpressionError check(const QString &text, const ExpressionNames &names);

    bool isValid() const;
    QString text() const { return m_text; }
    ExpressionType type() const;
    // Whether the value depends on the number of pages, known only when the run ends.
    bool usesPageCount() const;
    // Whether the value reads a field of the row (totals aside).
    bool readsFields() const;

    QVariant evaluate(const ExpressionScope &scope) const;
    // A condition: true only for a true value (null and false are false).
    bool holds(const ExpressionScope &scope) const;

    // The totals the expression reads, in slot order: what is totalled and how.
    const QList<Total> &totals() const;

private:
    friend class ExpressionParser;
    QString m_text;
    std::shared_ptr<const Node> m_root;
    std::shared_ptr<QList<Total>> m_totals;
    bool m_usesPageCount = false;
};

struct SUITE_TEST_EXPORT ReportExpression::Total
{
    TotalOp op = TotalOp::Count;
    ReportExpression argument; // invalid for count()
};

// The running values of an expression's totals over the rows of one group or of the
// whole report: add each row, read the values when the group closes, reset for the next.
class SUITE_TEST_EXPORT ExpressionTotals
{
public:
    explicit ExpressionTotals(const ReportExpression &expression);

    void add(const ExpressionScope &row);
    void reset();
    QVariant value(int slot) const;

private:
    struct Running
    {
        qint64 count = 0; // values seen (rows for count())
        DecimalSum sum;   // of the values that read as numbers
        QVariant min, max;
    };
    QList<ReportExpression::Total> m_totals;
    QList<Running> m_running;
};
