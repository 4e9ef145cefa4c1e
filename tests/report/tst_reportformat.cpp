#include "errors/EAbort.h"
#include "data/TParams.h"
#include "report/output/CsvReportWriter.h"
#include "report/output/XlsxReportWriter.h"
#include "report/ReportFormat.h"
#include "report/ReportTemplate.h"

#include <QBuffer>
#include <QProcess>
#include <QSqlField>
#include <QSqlRecord>
#include <QTemporaryDir>
#include <QTest>
#include <cmath>

class tst_ReportFormat : public QObject
{
    Q_OBJECT

private slots:
    void number_data();
    void number();
    void variationArrows_data();
    void variationArrows();
    void mask_data();
    void mask();
    void displayAndPlain_data();
    void displayAndPlain();
    void parameterTexts_data();
    void parameterTexts();
    void fieldTemplates();
    void csvQuoting_data();
    void csvQuoting();
    void csvGuardsFormulas();
};

void tst_ReportFormat::number_data()
{
    QTest::addColumn<double>("value");
    QTest::addColumn<int>("decimals");
    QTest::addColumn<bool>("grouping");
    QTest::addColumn<QString>("expected");

    QTest::newRow("thousands") << 1234.5 << 2 << true << "1.234,50";
    QTest::newRow("millions") << 1234567.891 << 2 << true << "1.234.567,89";
    QTest::newRow("no grouping") << 1234567.5 << 1 << false << "1234567,5";
    QTest::newRow("negative") << -1234.56 << 1 << true << "-1.234,6";
    QTest::newRow("rounding carries into a new group") << 999.999 << 2 << true << "1.000,00";
    // A tiny negative that rounds to zero must not show as "-0,00".
    QTest::newRow("negative zero") << -0.001 << 2 << true << "0,00";
    QTest::newRow("four decimals") << 12.0 << 4 << true << "12,0000";
    QTest::newRow("below one thousand") << 999.0 << 0 << true << "999";
    QTest::newRow("not a number") << std::nan("") << 2 << true << "";
}

void tst_ReportFormat::number()
{
    QFETCH(double, value);
    QFETCH(int, decimals);
    QFETCH(bool, grouping);
    QFETCH(QString, expected);
    QCOMPARE(ReportFormat::number(value, decimals, grouping), expected);
}

void tst_ReportFormat::variationArrows_data()
{
    QTest::addColumn<double>("value");
    QTest::addColumn<QString>("expected");
    QTest::newRow("rise") << 18.25 << QStringLiteral("▲ +18,25%");
    QTest::newRow("fall") << -7.47 << QStringLiteral("▼ -7,47%");
    QTest::newRow("large rise") << 1250.0 << QStringLiteral("▲ +1.250,00%");
    QTest::newRow("rounds to zero from above") << 0.004 << QStringLiteral("0,00%");
    QTest::newRow("rounds to zero from below") << -0.004 << QStringLiteral("0,00%");
}

void tst_ReportFormat::variationArrows()
{
    QFETCH(double, value);
    QFETCH(QString, expected);
    QCOMPARE(ReportFormat::variation(value), expected);
}

void tst_ReportFormat::mask_data()
{
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("expected");
    QTest::newRow("full product code") << "123456789"
                                       << "12.345.6789";
    QTest::newRow("prefix stops before the next literal") << "12"
                                                          << "12";
    QTest::newRow("partial") << "1234"
                             << "12.34";
    QTest::newRow("longer than the mask") << "1234567890"
                                          << "12.345.67890";
    QTest::newRow("empty") << ""
                           << "";
}

void tst_ReportFormat::mask()
{
    QFETCH(QString, value);
    QFETCH(QString, expected);
    QCOMPARE(ReportFormat::mask(value, QStringLiteral("99.999.9999")), expected);
}

void tst_ReportFormat::displayAndPlain_data()
{
    QTest::addColumn<QVariant>("value");
    QTest::addColumn<QString>("format");
    QTest::addColumn<QString>("display");
    QTest::addColumn<QString>("plain");

    QTest::newRow("money") << QVariant(1234.5) << "money"
                           << "1.234,50"
                           << "1234,50";
    QTest::newRow("number from decimal text") << QVariant(QStringLiteral("1234.5")) << "number:1"
                                              << "1.234,5"
                                              << "1234,5";
    QTest::newRow("integer from a count") << QVariant(qint64(12345)) << "integer"
                                          << "12.345"
                                          << "12345";
    QTest::newRow("percent of an integer") << QVariant(5) << "percent"
                                           << "5,00%"
                                           << "5,00";
    QTest::newRow("variation") << QVariant(-7.5) << "variation:1" << QStringLiteral("▼ -7,5%") << "-7,5";
    QTest::newRow("ISO date text") << QVariant(QStringLiteral("2026-12-07")) << "date"
                                   << "07/12/2026"
                                   << "07/12/2026";
    QTest::newRow("date") << QVariant(QDate(2026, 1, 2)) << "date"
                          << "02/01/2026"
                          << "02/01/2026";
    QTest::newRow("date and time") << QVariant(QDateTime(QDate(2026, 12, 7), QTime(14, 35))) << "datetime"
                                   << "07/12/2026 14:35"
                                   << "07/12/2026 14:35";
    QTest::newRow("masked code") << QVariant(QStringLiteral("010010001")) << "mask:99.999.9999"
                                 << "01.001.0001"
                                 << "01.001.0001";
    QTest::newRow("null") << QVariant() << "money"
                          << ""
                          << "";
    // A number with no numeric format: its own digits, the decimal comma, nothing rounded.
    QTest::newRow("number as text") << QVariant(5.2216) << "text"
                                    << "5,2216"
                                    << "5,2216";
    QTest::newRow("number with no format") << QVariant(-1e20 - 0.5) << ""
                                           << "-100000000000000000000"
                                           << "-100000000000000000000";
    QTest::newRow("text where a number was expected") << QVariant(QStringLiteral("abc")) << "number"
                                                      << "abc"
                                                      << "abc";
}

void tst_ReportFormat::displayAndPlain()
{
    QFETCH(QVariant, value);
    QFETCH(QString, format);
    QFETCH(QString, display);
    QFETCH(QString, plain);
    QCOMPARE(ReportFormat::display(value, format), display);
    QCOMPARE(ReportFormat::plain(value, format), plain);
}

void tst_ReportFormat::parameterTexts_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QVariant>("value");
    QTest::addColumn<QString>("expected");

    const QString list = QStringLiteral("{:L_X|list}");
    QTest::newRow("list: all") << list << QVariant(QStringLiteral("T")) << "Todos";
    QTest::newRow("list: nothing picked") << list << QVariant(QString()) << "nenhum";
    QTest::newRow("list: a few") << list << QVariant(QStringLiteral("[\"000001\",\"000002\"]")) << "000001, 000002";
    QTest::newRow("list: many") << list
                                << QVariant(
                                       QStringLiteral("[\"1\",\"2\",\"3\",\"4\",\"5\",\"6\",\"7\",\"8\",\"9\",\"10\"]"))
                                << "1, 2, 3, 4, 5, 6, 7, 8 e mais 2";
    const QString bound = QStringLiteral("{:P_X|trimright:Z|mask:99.999.9999|default:último}");
    QTest::newRow("final code: prefix") << bound << QVariant(QStringLiteral("01ZZZZZZZZ")) << "01";
    QTest::newRow("final code: full") << bound << QVariant(QStringLiteral("010010001Z")) << "01.001.0001";
    QTest::newRow("final code: empty") << bound << QVariant(QStringLiteral("ZZZZZZZZZZ")) << QStringLiteral("último");
    const QString map = QStringLiteral("{:P_X|map:T=todos;C=comprados na filial}");
    QTest::newRow("map") << map << QVariant(QStringLiteral("C")) << "comprados na filial";
    QTest::newRow("map: unknown key stays") << map << QVariant(QStringLiteral("X")) << "X";
    QTest::newRow("date") << QStringLiteral("de {:P_X|date}") << QVariant(QDate(2026, 12, 1)) << "de 01/12/2026";
    QTest::newRow("not a placeholder") << QStringLiteral("{nada disso} {:P_X}") << QVariant(QStringLiteral("a"))
                                       << "{nada disso} a";
    QTest::newRow("missing parameter") << QStringLiteral("[{:P_OUTRO}]") << QVariant(QStringLiteral("a")) << "[]";
}

void tst_ReportFormat::parameterTexts()
{
    QFETCH(QString, text);
    QFETCH(QVariant, value);
    QFETCH(QString, expected);
    TParams params;
    TParam &p = params.CreateParam(text.contains(QLatin1String("L_X")) ? QStringLiteral("L_X") : QStringLiteral("P_X"));
    if (value.metaType().id() == QMetaType::QDate)
        p.setAsDate(value.toDate());
    else
        p.setAsString(value.toString());
    QCOMPARE(ReportTemplate::expandParams(text, params), expected);
}

void tst_ReportFormat::fieldTemplates()
{
    QSqlRecord record;
    record.append(QSqlField(QStringLiteral("CDARVPROD"), QMetaType(QMetaType::QString)));
    record.append(QSqlField(QStringLiteral("NMPRODUTO"), QMetaType(QMetaType::QString)));
    TParams params;
    // A parameter whose value looks like a placeholder stays text.
    params.CreateParam(QStringLiteral("P_X")).setAsString(QStringLiteral("{NMPRODUTO}"));

    const ReportTemplate t = ReportTemplate::compile(
        QStringLiteral("Produto {CDARVPROD|mask:99.999.9999} - {nmproduto} ({@count}) {:P_X}"), params, record);
    QCOMPARE(t.expand({QStringLiteral("010010001"), QStringLiteral("Arroz")}, 1234),
             QStringLiteral("Produto 01.001.0001 - Arroz (1.234) {NMPRODUTO}"));
    QCOMPARE(ReportTemplate::parameterNames(QStringLiteral("{:P_A} {B} {:P_A|date} {:L_C|list}")),
             (QStringList{QStringLiteral("P_A"), QStringLiteral("L_C")}));
    try {
        ReportTemplate::compile(QStringLiteral("{NMFORNECEDOR}"), params, record);
        QFAIL("an unknown field was accepted");
    } catch (const ESuiteError &e) {
        QVERIFY(e.message().contains(QLatin1String("NMFORNECEDOR")));
    }
}

void tst_ReportFormat::csvQuoting_data()
{
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("expected");
    QTest::newRow("plain") << "Arroz 5kg"
                           << "Arroz 5kg";
    QTest::newRow("comma needs no quotes") << "C,D"
                                           << "C,D";
    QTest::newRow("separator") << "a;b"
                               << "\"a;b\"";
    QTest::newRow("quotes") << "diz \"oi\""
                            << "\"diz \"\"oi\"\"\"";
    QTest::newRow("line break") << "linha\nnova"
                                << "\"linha\nnova\"";
}

void tst_ReportFormat::csvQuoting()
{
    QFETCH(QString, field);
    QFETCH(QString, expected);
    QCOMPARE(CsvReportWriter::quoted(field), expected);
}

void tst_ReportFormat::csvGuardsFormulas()
{
    ReportRunInfo info;
    ReportColumn name;
    name.field = name.title = QStringLiteral("NOME");
    ReportColumn value;
    value.field = value.title = QStringLiteral("VALOR");
    value.format = QStringLiteral("number");
    ReportColumn raw; // a number in a column with no numeric format
    raw.field = raw.title = QStringLiteral("BRUTO");
    info.columns = {name, value, raw};
    // What UTF-8 cannot hold (a lone surrogate) becomes U+FFFD in both files; what XML
    // forbids (U+FFFE, control characters) too, in the spreadsheet only.
    const QString odd = QStringLiteral("a") + QChar(0xD800) + QStringLiteral("b") + QChar(0xFFFE) + QStringLiteral("c") + QChar(1) + QStringLiteral("d");
    const QList<QVariantList> rows{{QStringLiteral("=HYPERLINK(\"http://x\")"), -5, 22.19},
                                   {QStringLiteral("-Distribuidora"), 1234.5, -5.2216},
                                   {odd, QVariant(), QStringLiteral("0001")}};
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    CsvReportWriter writer(&buffer);
    writer.begin(info);
    for (const QVariantList &row : rows)
        writer.detail(row, false);
    writer.finish(3);
    QCOMPARE(buffer.data(), QByteArray("\xEF\xBB\xBF"
                                       "NOME;VALOR;BRUTO\r\n"
                                       "\"'=HYPERLINK(\"\"http://x\"\")\";-5,00;22,19\r\n"
                                       "'-Distribuidora;1234,50;-5,2216\r\n"
                                       "a\xEF\xBF\xBD" "b\xEF\xBF\xBE" "c\x01" "d;;0001\r\n"));

    // The spreadsheet: numbers as numbers, whatever the column shows; a code stays text.
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("planilha.xlsx"));
    {
        QFile out(file);
        QVERIFY(out.open(QIODevice::WriteOnly));
        XlsxReportWriter xlsx(&out);
        xlsx.begin(info);
        for (const QVariantList &row : rows)
            xlsx.detail(row, false);
        xlsx.finish(3);
    }
    QProcess unzip;
    unzip.start(QStringLiteral("unzip"), {QStringLiteral("-p"), file, QStringLiteral("xl/worksheets/sheet1.xml")});
    QVERIFY(unzip.waitForFinished(10000));
    const QByteArray sheet = unzip.readAllStandardOutput();
    QVERIFY2(sheet.contains("<c r=\"C2\" s=\"4\"><v>22.19</v></c>"), sheet.constData());
    QVERIFY2(sheet.contains("<c r=\"C3\" s=\"4\"><v>-5.2216</v></c>"), sheet.constData());
    QVERIFY2(sheet.contains("<c r=\"C4\" s=\"4\" t=\"inlineStr\"><is><t>0001</t></is></c>"), sheet.constData());
    QVERIFY2(sheet.contains("<t>a\xEF\xBF\xBD" "b\xEF\xBF\xBD" "c\xEF\xBF\xBD" "d</t>"), sheet.constData());
}

QTEST_MAIN(tst_ReportFormat)
#include "tst_reportformat.moc"
