// Report expressions: any text an author types is read without failing; one that reads
// runs on a row of nulls, text and numbers, and its totals accumulate, without failing.
#include "FuzzTarget.h"
#include "report/ReportExpression.h"

namespace {

class Row : public ExpressionScope
{
public:
    QVariant field(int index) const override
    {
        switch (index % 4) {
        case 0:
            return QVariant();
        case 1:
            return QStringLiteral("0001");
        case 2:
            return 12.5;
        default:
            return QDate(2026, 12, 7);
        }
    }
    QVariant param(const QString &) const override { return QStringLiteral("S"); }
    QVariant total(int slot) const override { return totals ? totals->value(slot) : QVariant(); }
    const ExpressionTotals *totals = nullptr;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    ExpressionNames names;
    names.fields = {QStringLiteral("A"), QStringLiteral("B"), QStringLiteral("C"), QStringLiteral("D")};
    names.params = {QStringLiteral("P_X")};
    names.totalsAllowed = (size % 2) == 0;
    ExpressionError error;
    const ReportExpression e = ReportExpression::compile(fuzz::text(data, size), names, &error);
    if (e.isValid() == error.isError())
        fuzz::violated("uma expressão é válida e tem erro ao mesmo tempo");
    if (!e.isValid())
        return 0;
    Row row;
    ExpressionTotals totals(e);
    totals.add(row);
    totals.add(row);
    row.totals = &totals;
    (void)e.evaluate(row);
    return 0;
}
