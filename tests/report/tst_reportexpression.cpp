// The report's expression language: what an author writes, what it gives on a row, and
// where a fault is shown before anything runs.
#include "report/ReportExpression.h"

#include <QTest>

namespace {

const QStringList fields = {"CDFILIAL", "VRPRECO", "PCVARIACAO", "DTVALINI", "DTVALFIN", "NMPRODUTO", "CDFORNECED"};

ExpressionNames names(bool totals = false)
{
    ExpressionNames n;
    n.fields = fields;
    n.fieldTypes = {ExpressionType::Text, ExpressionType::Number, ExpressionType::Number, ExpressionType::Date,
                    ExpressionType::Date, ExpressionType::Text};
    n.params = {"P_CDFILIAL", "P_VARIPRECO"};
    n.totalsAllowed = totals;
    return n;
}

// A row of the query, the run's parameters, page 2 of 5, and totals given by the test.
class Row : public ExpressionScope
{
public:
    QVariantList values;
    const ExpressionTotals *totals = nullptr;

    QVariant field(int index) const override { return values.value(index); }
    QVariant param(const QString &name) const override
    {
        return name == QLatin1String("P_CDFILIAL") ? QVariant(QStringLiteral("0003")) : QVariant(QStringLiteral("S"));
    }
    int page() const override { return 2; }
    int pageCount() const override { return 5; }
    QDateTime issued() const override { return QDateTime(QDate(2026, 12, 7), QTime(9, 30)); }
    QVariant total(int slot) const override { return totals ? totals->value(slot) : QVariant(); }
};

Row sampleRow()
{
    Row r;
    r.values = {QStringLiteral("0003"), 12.5, QVariant(), QDate(2026, 12, 7), QDate(2026, 12, 13),
                QStringLiteral("Arroz D'Ouro 5kg"), QStringLiteral("000014")};
    return r;
}

} // namespace

class tst_ReportExpression : public QObject
{
    Q_OBJECT
private slots:
    void valueOnARow_data();
    void valueOnARow();
    void faultIsShownAtItsPlace_data();
    void faultIsShownAtItsPlace();
    void totalsOverGroupsAndReport();
};

void tst_ReportExpression::valueOnARow_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QVariant>("expected");

    QTest::newRow("precedence") << "1 + 2 * 3 - 4 / 2" << QVariant(5.0);
    QTest::newRow("parentheses") << "(1 + 2) * 3" << QVariant(9.0);
    QTest::newRow("field arithmetic") << "VRPRECO * (1 + 10 / 100)" << QVariant(13.75);
    QTest::newRow("unary minus") << "-VRPRECO + 1" << QVariant(-11.5);
    // Nothing to divide by: a blank cell, not a failed run.
    QTest::newRow("division by zero") << "VRPRECO / 0" << QVariant();
    QTest::newRow("null field in arithmetic") << "PCVARIACAO * 2" << QVariant();
    QTest::newRow("null condition is false") << "if(PCVARIACAO > 10, 'alta', 'normal')" << QVariant("normal");
    QTest::newRow("isnull") << "isnull(PCVARIACAO) and not isnull(VRPRECO)" << QVariant(true);
    QTest::newRow("coalesce") << "coalesce(PCVARIACAO, 0)" << QVariant(0.0);
    QTest::newRow("parameter and concatenation") << ":P_CDFILIAL & ' - ' & NMPRODUTO"
                                                 << QVariant(QStringLiteral("0003 - Arroz D'Ouro 5kg"));
    QTest::newRow("doubled quote") << "'D''Ávila'" << QVariant(QStringLiteral("D'Ávila"));
    QTest::newRow("text compares as text") << "CDFORNECED > '000009'" << QVariant(true);
    // A code beside a number compares as a number.
    QTest::newRow("code against a number") << "CDFILIAL = 3" << QVariant(true);
    QTest::newRow("date minus date") << "DTVALFIN - DTVALINI" << QVariant(6.0);
    QTest::newRow("date plus days") << "format(DTVALINI + 30, 'date')" << QVariant(QStringLiteral("06/01/2027"));
    QTest::newRow("date parts") << "day(DTVALINI) + month(DTVALINI) * 100" << QVariant(1207.0);
    QTest::newRow("format money") << "format(VRPRECO * 100, 'number:2')" << QVariant(QStringLiteral("1.250,00"));
    QTest::newRow("page of pages") << "'Página ' & page() & ' de ' & pages()"
                                   << QVariant(QStringLiteral("Página 2 de 5"));
    QTest::newRow("issued") << "format(issued(), 'date')" << QVariant(QStringLiteral("07/12/2026"));
    QTest::newRow("text functions") << "upper(left(NMPRODUTO, 5)) & len(trim('  ab '))"
                                    << QVariant(QStringLiteral("ARROZ2"));
    QTest::newRow("substr counts from one") << "substr(NMPRODUTO, 7, 6)" << QVariant(QStringLiteral("D'Ouro"));
    QTest::newRow("round half away from zero")
        << "round(2.345, 2) = 2.35 and round(-2.345, 2) = -2.35 and round(2.5) = 3" << QVariant(true);
    QTest::newRow("words in any case") << "IF(TRUE AND Not False, 1, 2)" << QVariant(1.0);
    QTest::newRow("ne") << "VRPRECO <> 12.5 or VRPRECO != 12.5" << QVariant(false);
    // Each comparison at its boundary, where the two sides are equal: numbers, texts, dates.
    QTest::newRow("= at equal values") << "VRPRECO = 12.5 and CDFORNECED = '000014' and DTVALINI = DTVALFIN - 6"
                                       << QVariant(true);
    QTest::newRow("<= at equal values") << "VRPRECO <= 12.5 and CDFORNECED <= '000014' and DTVALINI <= DTVALFIN - 6"
                                        << QVariant(true);
    QTest::newRow(">= at equal values") << "VRPRECO >= 12.5 and CDFORNECED >= '000014' and DTVALINI >= DTVALFIN - 6"
                                        << QVariant(true);
    QTest::newRow("< at equal values") << "VRPRECO < 12.5 or CDFORNECED < '000014' or DTVALINI < DTVALFIN - 6"
                                       << QVariant(false);
    QTest::newRow("> at equal values") << "VRPRECO > 12.5 or CDFORNECED > '000014' or DTVALINI > DTVALFIN - 6"
                                       << QVariant(false);
    // An argument no answer fits has no value, as a division by zero.
    QTest::newRow("round to more decimals than exist") << "round(2.345, 99999999999)" << QVariant();
    QTest::newRow("a date past the calendar") << "today() - (today() + 10000000000)" << QVariant();
    QTest::newRow("more characters than a text holds") << "left(NMPRODUTO, 99999999999)" << QVariant();
    // & keeps a number's own digits, with the decimal comma.
    QTest::newRow("& keeps the digits") << "'R$ ' & 5.2216 & ' / ' & VRPRECO & ' / ' & (VRPRECO * 2)"
                                        << QVariant(QStringLiteral("R$ 5,2216 / 12,5 / 25"));
}

void tst_ReportExpression::valueOnARow()
{
    QFETCH(QString, text);
    QFETCH(QVariant, expected);
    ExpressionError error;
    const ReportExpression e = ReportExpression::compile(text, names(), &error);
    QVERIFY2(e.isValid(), qPrintable(error.describe()));
    const QVariant value = e.evaluate(sampleRow());
    if (!expected.isValid()) {
        QVERIFY2(value.isNull(), qPrintable(value.toString()));
        return;
    }
    if (expected.typeId() == QMetaType::Double)
        QCOMPARE(value.toDouble(), expected.toDouble());
    else
        QCOMPARE(value, expected);
}

void tst_ReportExpression::faultIsShownAtItsPlace_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("position");
    QTest::addColumn<QString>("message");

    QTest::newRow("empty") << "  " << 0 << "a expressão está vazia";
    QTest::newRow("unknown field") << "VRPRECO * FOO" << 10 << "o campo FOO não existe na consulta";
    QTest::newRow("unknown parameter") << "VRPRECO + :P_NADA" << 10 << "o parâmetro :P_NADA não existe";
    QTest::newRow("unknown function") << "system('rm -rf /')" << 0 << "a função system não existe";
    QTest::newRow("open text") << "NMPRODUTO & 'abc" << 12 << "não foi fechado";
    QTest::newRow("unclosed parenthesis") << "(1 + 2" << 6 << "falta ')'";
    QTest::newRow("ends after an operator") << "VRPRECO *" << 9 << "falta um valor depois de '*'";
    QTest::newRow("left over") << "1 2" << 2 << "'2' sobra";
    QTest::newRow("stray character") << "VRPRECO ; 1" << 8 << "o caractere ';'";
    QTest::newRow("decimal comma") << "VRPRECO * 1,5" << 11 << "os decimais se escrevem com ponto";
    QTest::newRow("text times number") << "NMPRODUTO * 2" << 10 << "precisa de número, e recebeu texto";
    QTest::newRow("date compared with number") << "DTVALINI > 5" << 9 << "compara data com número";
    QTest::newRow("condition of if") << "if(NMPRODUTO, 1, 2)" << 3 << "a condição do if precisa de condição";
    QTest::newRow("wrong argument count") << "left(NMPRODUTO)" << 0 << "left recebe 2 argumento(s), e recebeu 1";
    // A hostile text is refused before it can exhaust the stack.
    QTest::newRow("nested too deep") << QString(100, '(') + "1" + QString(100, ')') << 64 << "se aninha demais";
    QTest::newRow("too long") << "1" + QString("+1").repeated(2500) << 4000 << "longa demais";
    // Totals belong to the bands that close a group or the report.
    QTest::newRow("total in the detail") << "sum(VRPRECO)" << 0 << "só vale no rodapé de um grupo";
}

void tst_ReportExpression::faultIsShownAtItsPlace()
{
    QFETCH(QString, text);
    QFETCH(int, position);
    QFETCH(QString, message);
    const ExpressionError error = ReportExpression::check(text, names());
    QVERIFY(error.isError());
    QVERIFY2(error.message.contains(message), qPrintable(error.message));
    QCOMPARE(error.position, position);
    QVERIFY(!ReportExpression::compile(text, names()).isValid());
}

void tst_ReportExpression::totalsOverGroupsAndReport()
{
    // Totals inside totals, and page functions inside a total, are refused where they stand.
    QCOMPARE(ReportExpression::check("sum(VRPRECO + count())", names(true)).position, 14);
    QCOMPARE(ReportExpression::check("max(page())", names(true)).position, 4);
    QCOMPARE(ReportExpression::check("sum(NMPRODUTO)", names(true)).position, 4);

    const ReportExpression e = ReportExpression::compile(
        "count() & ' cotações, ' & count(PCVARIACAO) & ' com variação, soma ' & sum(VRPRECO) & ', média ' & "
        "avg(PCVARIACAO) & ', de ' & min(CDFORNECED) & ' a ' & max(CDFORNECED)",
        names(true));
    QVERIFY(e.isValid());
    QCOMPARE(e.totals().size(), 6);

    // Two groups, the second empty of variations; the report's totals run across both, and
    // a sum has the decimals of its terms (0.1 + 0.2 + 7.6 is 7.9, not 7.8999999999999995).
    const QList<QVariantList> groups[] = {
        {{"0001", 0.1, 5.0}, {"0001", 0.2, QVariant()}, {"0001", 7.6, 15.0}},
        {{"0001", 4.0, QVariant()}},
    };
    ExpressionTotals group(e), report(e);
    const QStringList expected = {"3 cotações, 2 com variação, soma 7,9, média 10, de 000001 a 000003",
                                  "1 cotações, 0 com variação, soma 4, média , de 000004 a 000004"};
    int supplier = 0;
    for (int g = 0; g < 2; ++g) {
        group.reset();
        for (QVariantList values : groups[g]) {
            Row row;
            values = {values[0], values[1], values[2], QVariant(), QVariant(), QVariant(),
                      QStringLiteral("%1").arg(++supplier, 6, 10, QLatin1Char('0'))};
            row.values = values;
            group.add(row);
            report.add(row);
        }
        Row footer;
        footer.totals = &group;
        QCOMPARE(e.evaluate(footer).toString(), expected.at(g));
    }
    Row summary;
    summary.totals = &report;
    QCOMPARE(e.evaluate(summary).toString(),
             QStringLiteral("4 cotações, 2 com variação, soma 11,9, média 10, de 000001 a 000004"));
}

QTEST_GUILESS_MAIN(tst_ReportExpression)
#include "tst_reportexpression.moc"
