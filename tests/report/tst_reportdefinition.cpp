#include "errors/EAbort.h"
#include "data/SqlBinding.h"
#include "report/ReportDefinition.h"

#include <QDir>
#include <QSqlField>
#include <QSqlRecord>
#include <QSet>
#include <QTest>

namespace {

QString reportsDir()
{
    const QByteArray dir = qgetenv("SUITE_SOURCE_DIR");
    return (dir.isEmpty() ? QStringLiteral(".") : QString::fromLocal8Bit(dir)) + QStringLiteral("/reports");
}

QStringList shippedFiles()
{
    QStringList files;
    const QDir dir(reportsDir());
    for (const QString &name : dir.entryList({QStringLiteral("LPR077*.json")}, QDir::Files, QDir::Name))
        files << dir.filePath(name);
    return files;
}

ReportDefinition valid()
{
    ReportDefinition d;
    d.code = QStringLiteral("TST001");
    d.title = QStringLiteral("Teste");
    d.sql = QStringLiteral("SELECT CDFILIAL, NMFILIAL FROM FILIAL WHERE CDFILIAL >= :P_CDFILIAL");
    ReportColumn a;
    a.field = QStringLiteral("CDFILIAL");
    ReportColumn b;
    b.field = QStringLiteral("NMFILIAL");
    d.columns = {a, b};
    ReportGroup g;
    g.field = QStringLiteral("CDFILIAL");
    g.totals = {ReportTotal{QStringLiteral("NMFILIAL"), QStringLiteral("count")}};
    d.groups = {g};
    return d;
}

// valid() with a band in every place and an element of every kind.
ReportDefinition banded()
{
    ReportDefinition d = valid();
    ReportElement logo;
    logo.kind = ReportElement::Kind::Image;
    logo.name = QStringLiteral("Logotipo");
    logo.width = 30;
    logo.height = 12;
    logo.image = QByteArray("\x89PNG\r\n\x1a\n\0\xff", 10);
    logo.mime = QStringLiteral("image/png");
    ReportElement title;
    title.expression = QStringLiteral("'Filial ' & :P_CDFILIAL");
    title.x = 35;
    title.fontSize = 12;
    title.bold = title.italic = true;
    title.align = QStringLiteral("center");
    title.color = QStringLiteral("#1F3864");
    d.pageHeader = ReportBand{14, {logo, title}};
    ReportElement line;
    line.kind = ReportElement::Kind::Line;
    line.height = 0;
    line.borderWidth = 0.3;
    line.borderColor = QStringLiteral("#808080");
    d.pageFooter = ReportBand{2, {line}};
    ReportElement name;
    name.kind = ReportElement::Kind::Field;
    name.field = QStringLiteral("NMFILIAL");
    name.styles = {ReportStyleRule{QStringLiteral("len(NMFILIAL) > 20"), QStringLiteral("#C00000"), {}, true}};
    d.groups[0].headerBand = ReportBand{6, {name}};
    ReportElement box;
    box.kind = ReportElement::Kind::Rect;
    box.background = QStringLiteral("#F2F2F2");
    box.borderWidth = 0.2;
    box.borderColor = QStringLiteral("#000000");
    d.groups[0].footerBand = ReportBand{5, {box}};
    ReportElement count;
    count.text = QStringLiteral("Total");
    count.expression = QStringLiteral("count()");
    count.format = QStringLiteral("integer");
    d.summaryBand = ReportBand{5, {count}};
    return d;
}

QSet<QString> namesOf(const QString &sql)
{
    const QStringList names = PreparedSql::parameterNames(sql);
    return QSet<QString>(names.begin(), names.end());
}

} // namespace

class tst_ReportDefinition : public QObject
{
    Q_OBJECT

private slots:
    void shippedDefinitionsAreValid();
    void shippedDefinitionsUseAllSixteenParameters();
    void dialectVariantsDeclareTheSameParameters();
    void roundTripKeepsEverything();
    void invalidDefinitionsSayWhy_data();
    void invalidDefinitionsSayWhy();
    void collectsDeclaredTypesAndDefaults();
    void elementExpressionsAreCheckedWhereTheyPrint_data();
    void elementExpressionsAreCheckedWhereTheyPrint();
    void conditions_data();
    void conditions();
};

void tst_ReportDefinition::shippedDefinitionsAreValid()
{
    const QStringList files = shippedFiles();
    QVERIFY(files.size() >= 2);
    QStringList titles;
    for (const QString &f : files) {
        const ReportDefinition d = ReportDefinition::load(f);
        d.validate();
        QCOMPARE(d.code, QStringLiteral("LPR077"));
        titles << d.title;
        QVERIFY(d.description.contains(
            QStringLiteral("Preço econômico = VRPRECO × (1 + PCIPI/100) × (1 − PCDESCONTO/100)")));
    }
    QVERIFY(titles.contains(QStringLiteral("Lista de Preços por Produto")));
    QVERIFY(titles.contains(QStringLiteral("Lista de Preços por Fornecedor")));
}

void tst_ReportDefinition::shippedDefinitionsUseAllSixteenParameters()
{
    QSet<QString> used;
    for (const QString &f : shippedFiles())
        for (const QString &n : ReportDefinition::load(f).parameterNames(SqlDialect::SQLite))
            used << n;
    const QSet<QString> sixteen{"P_PAGINA",     "P_CDFILIAL",    "P_CDFILCENTCMP", "P_TODOSPROD",
                                "P_CDPRODINI",  "P_CDPRODFIN",   "L_LISTAOPER",    "L_LISTAFORNE",
                                "L_LISTAOPER1", "L_LISTAFORNE1", "P_CDREGIAO",     "P_DTINI",
                                "P_DTFIN",      "P_SISTEMA",     "P_VARIPRECO",    "P_ORDPI"};
    QCOMPARE(used, sixteen);
}

void tst_ReportDefinition::dialectVariantsDeclareTheSameParameters()
{
    for (const QString &f : shippedFiles()) {
        const ReportDefinition d = ReportDefinition::load(f);
        const QSet<QString> main = namesOf(d.sql);
        for (const QString *variant : {&d.sqlSqlite, &d.sqlPg, &d.sqlIb, &d.sqlOracle, &d.sqlMssql})
            if (!variant->isEmpty())
                QCOMPARE(namesOf(*variant), main);
        // The list twins are the ones inside IN, so they expand to one value per key.
        QVERIFY(d.sql.contains(QLatin1String("IN (:L_LISTAOPER1)")));
        QVERIFY(d.sql.contains(QLatin1String("IN (:L_LISTAFORNE1)")));
    }
}

void tst_ReportDefinition::roundTripKeepsEverything()
{
    // Styles travel with the file, and a file of a newer format is refused, not misread.
    ReportDefinition styled = valid();
    styled.rowStyles = {ReportStyleRule{QStringLiteral("CDFILIAL = '0001'"), QString(), QStringLiteral("#FFF2CC"), true}};
    styled.columns[1].styles = {ReportStyleRule{QStringLiteral("len(NMFILIAL) > 20"), QStringLiteral("#C00000"), {}, false}};
    QString styledError;
    const ReportDefinition styledAgain = ReportDefinition::fromJson(styled.toJson(), &styledError);
    QVERIFY2(styledError.isEmpty(), qPrintable(styledError));
    QCOMPARE(styledAgain.rowStyles, styled.rowStyles);
    QCOMPARE(styledAgain.columns[1].styles, styled.columns[1].styles);
    QCOMPARE(styledAgain.toJson(), styled.toJson());
    QByteArray newer = styled.toJson();
    QVERIFY(newer.contains("\"format_version\": 2"));
    newer.replace("\"format_version\": 2", "\"format_version\": 4");
    QString newerError;
    ReportDefinition::fromJson(newer, &newerError);
    QVERIFY2(newerError.contains(QStringLiteral("formato 4")), qPrintable(newerError));

    // Bands with every kind of element travel too, the image byte for byte, and the file
    // says it needs a suite that reads bands.
    const ReportDefinition withBands = banded();
    withBands.validate();
    QString bandError;
    const ReportDefinition bandsAgain = ReportDefinition::fromJson(withBands.toJson(), &bandError);
    QVERIFY2(bandError.isEmpty(), qPrintable(bandError));
    QCOMPARE(bandsAgain.pageHeader, withBands.pageHeader);
    QCOMPARE(bandsAgain.pageFooter, withBands.pageFooter);
    QCOMPARE(bandsAgain.summaryBand, withBands.summaryBand);
    QCOMPARE(bandsAgain.groups[0].headerBand, withBands.groups[0].headerBand);
    QCOMPARE(bandsAgain.groups[0].footerBand, withBands.groups[0].footerBand);
    QCOMPARE(bandsAgain.toJson(), withBands.toJson());
    QVERIFY(withBands.toJson().contains("\"format_version\": 3"));


    for (const QString &f : shippedFiles()) {
        const ReportDefinition d = ReportDefinition::load(f);
        QString error;
        const ReportDefinition again = ReportDefinition::fromJson(d.toJson(), &error);
        QVERIFY2(error.isEmpty(), qPrintable(error));
        QCOMPARE(again.toJson(), d.toJson());
        QCOMPARE(again.sql, d.sql);
        QCOMPARE(again.sqlIb, d.sqlIb);
        QVERIFY(again.largeList == d.largeList); // with the order the run finishes on Firebird
        QCOMPARE(again.largeList.thenByFor(SqlDialect::Firebird), d.largeList.thenByFor(SqlDialect::Firebird));
        QCOMPARE(again.columns.size(), d.columns.size());
        QCOMPARE(again.columns.last().visibleWhen, QStringLiteral("P_VARIPRECO=S"));
        QCOMPARE(again.columns.first().dataOnly, true);
        QCOMPARE(again.declaration(QStringLiteral("P_DTINI"))->type, TFieldType::ftDate);
        QCOMPARE(again.declaration(QStringLiteral("P_SISTEMA"))->defaultValue.toString(), QStringLiteral("CMP"));
    }
}

void tst_ReportDefinition::invalidDefinitionsSayWhy_data()
{
    QTest::addColumn<int>("defect");
    QTest::addColumn<QString>("fragment");
    QTest::newRow("no query") << 0 << QStringLiteral("não tem o texto da consulta");
    QTest::newRow("no columns") << 1 << QStringLiteral("não tem colunas");
    QTest::newRow("unknown format") << 2 << QStringLiteral("formato desconhecido 'moeda'");
    QTest::newRow("zero width") << 3 << QStringLiteral("largura inválida");
    QTest::newRow("total on a missing column") << 4 << QStringLiteral("coluna VRPRECO, que não existe");
    QTest::newRow("page break without a value") << 5 << QStringLiteral("quebra de página 'P_PAGINA'");
    QTest::newRow("unknown total") << 6 << QStringLiteral("'median'");
    QTest::newRow("style without a condition") << 7 << QStringLiteral("o estilo 1 das linhas não tem condição");
    QTest::newRow("style colour by name") << 8
                                          << QStringLiteral("o estilo 1 da coluna NMFILIAL tem a cor 'vermelho'");
    QTest::newRow("element below its band") << 9
                                            << QStringLiteral("o elemento \"Logotipo\" do cabeçalho da página passa da "
                                                              "altura da faixa");
    QTest::newRow("image of another type") << 10 << QStringLiteral("tem a imagem do tipo 'image/gif'");
    QTest::newRow("element colour by name") << 11
                                            << QStringLiteral("o elemento 1 do rodapé do grupo 1 tem a cor 'azul'");
    QTest::newRow("element style without condition") << 12
                                                     << QStringLiteral("o estilo 1 do elemento 1 do resumo não tem "
                                                                       "condição");
    QTest::newRow("margin past 50 mm") << 13 << QStringLiteral("a margem esquerda tem 60 mm, e aceita de 0 a 50 mm");
    QTest::newRow("negative margin") << 14 << QStringLiteral("a margem inferior tem -1 mm");
    // What repeats with every group or page is bounded.
    QTest::newRow("nine levels of groups") << 15 << QStringLiteral("tem 9 níveis de grupo, e um relatório aceita até 8");
    QTest::newRow("page bands that leave no room")
        << 16 << QStringLiteral("somam 100 mm, mais da metade dos 190 mm da folha entre as margens");
    QTest::newRow("a band of too many elements")
        << 17 << QStringLiteral("a faixa do resumo tem 201 elementos, e uma faixa aceita até 200");
    // Only a whole number from 1 up is a format's version.
    QTest::newRow("a version past any number") << 18 << QStringLiteral("format_version) é 10000000000");
    QTest::newRow("a version written as text") << 19 << QStringLiteral("format_version) é \"3\"");
}

void tst_ReportDefinition::invalidDefinitionsSayWhy()
{
    QFETCH(int, defect);
    QFETCH(QString, fragment);
    ReportDefinition d = banded();
    d.validate();
    switch (defect) {
    case 0: d.sql = QStringLiteral("  "); break;
    case 1:
        d.columns.clear();
        d.groups.clear();
        break;
    case 2: d.columns[1].format = QStringLiteral("moeda"); break;
    case 3: d.columns[0].width = 0; break;
    case 4: d.groups[0].totals[0].column = QStringLiteral("VRPRECO"); break;
    case 5: d.groups[0].pageBreak = QStringLiteral("P_PAGINA"); break;
    case 6: d.groups[0].totals[0].op = QStringLiteral("median"); break;
    case 7: d.rowStyles = {ReportStyleRule{QStringLiteral(" "), QStringLiteral("#C00000"), QString(), false}}; break;
    case 8:
        d.columns[1].styles = {ReportStyleRule{QStringLiteral("1 = 1"), QStringLiteral("vermelho"), QString(), false}};
        break;
    case 9: d.pageHeader.elements[0].height = 30; break;
    case 10: d.pageHeader.elements[0].mime = QStringLiteral("image/gif"); break;
    case 11: d.groups[0].footerBand.elements[0].color = QStringLiteral("azul"); break;
    case 12: d.summaryBand.elements[0].styles = {ReportStyleRule{QString(), QString(), QString(), true}}; break;
    case 13: d.margins.left = 60; break;
    case 14: d.margins.bottom = -1; break;
    case 15:
        while (d.groups.size() < 9)
            d.groups << d.groups.first();
        break;
    case 16:
        d.pageHeader.height = 60;
        d.pageFooter.height = 40;
        break;
    case 17:
        while (d.summaryBand.elements.size() < 201)
            d.summaryBand.elements << d.summaryBand.elements.first();
        break;
    case 18:
    case 19: {
        QByteArray json = d.toJson();
        QVERIFY(json.contains("\"format_version\": 3"));
        json.replace("\"format_version\": 3", defect == 18 ? "\"format_version\": 1e10" : "\"format_version\": \"3\"");
        QString error;
        ReportDefinition::fromJson(json, &error);
        QVERIFY2(error.contains(fragment), qPrintable(error));
        return;
    }
    }
    try {
        d.validate();
        QFAIL("a defective definition passed");
    } catch (const ESuiteError &e) {
        QVERIFY2(e.message().contains(fragment), qPrintable(e.message()));
        QVERIFY(e.message().contains(QLatin1String("'Teste'")));
    }
}

void tst_ReportDefinition::elementExpressionsAreCheckedWhereTheyPrint_data()
{
    QTest::addColumn<int>("band"); // 0 page header, 1 group header, 2 group footer, 3 summary
    QTest::addColumn<QString>("expression");
    QTest::addColumn<bool>("style"); // the expression is the condition of the element's style
    QTest::addColumn<QString>("fragment"); // empty: no fault
    QTest::newRow("parameter and page on a page")
        << 0 << "'Filial ' & :P_CDFILIAL & ' ' & page() & '/' & pages()" << false << "";
    QTest::newRow("a parameter only an element reads") << 0 << "'Região ' & :P_CDREGIAO & ' (:P_NAO)'" << false << "";
    QTest::newRow("a field on a page reads the page's row") << 0 << "NMFILIAL" << false << "";
    QTest::newRow("a total in a group header") << 1 << "count()" << false << "do cabeçalho do grupo 1, posição 1";
    QTest::newRow("totals in a group footer") << 2 << "count() & ' ' & max(NMFILIAL)" << false << "";
    QTest::newRow("unknown field in the summary") << 3 << "sum(VRPRECO)" << false << "do elemento 1 do resumo, posição 5";
    // A style reads what its element may show.
    QTest::newRow("a total in a group footer's style") << 2 << "count() > 1" << true << "";
    QTest::newRow("a total in a group header's style")
        << 1 << "count() > 1" << true << "a condição do estilo 1 do elemento 1 do cabeçalho do grupo 1, posição 1";
}

void tst_ReportDefinition::elementExpressionsAreCheckedWhereTheyPrint()
{
    QFETCH(int, band);
    QFETCH(QString, expression);
    QFETCH(bool, style);
    QFETCH(QString, fragment);
    ReportDefinition d = banded();
    ReportElement e;
    e.expression = style ? QStringLiteral("CDFILIAL") : expression;
    if (style)
        e.styles = {ReportStyleRule{expression, QStringLiteral("#C00000"), QString(), false}};
    QList<ReportElement> &elements = band == 0   ? d.pageHeader.elements
                                     : band == 1 ? d.groups[0].headerBand.elements
                                     : band == 2 ? d.groups[0].footerBand.elements
                                                 : d.summaryBand.elements;
    if (band == 0)
        elements[1] = e;
    else
        elements = {e};
    QSqlRecord record;
    record.append(QSqlField(QStringLiteral("CDFILIAL")));
    record.append(QSqlField(QStringLiteral("NMFILIAL")));
    // The run has every parameter an element reads, and only those.
    const QStringList params = d.parameterNames(SqlDialect::SQLite);
    QVERIFY(!params.contains(QStringLiteral("P_NAO")));
    const QStringList problems = d.elementProblems(record, params);
    if (fragment.isEmpty())
        QVERIFY2(problems.isEmpty(), qPrintable(problems.join(QLatin1Char('\n'))));
    else
        QVERIFY2(problems.size() == 1 && problems.first().contains(fragment), qPrintable(problems.join(QLatin1Char('\n'))));
}

void tst_ReportDefinition::collectsDeclaredTypesAndDefaults()
{
    ReportDefinition d = valid();
    d.sql =
        QStringLiteral("SELECT CDFILIAL, NMFILIAL FROM FILIAL WHERE DTPROCESSO <= :P_DTFIN AND CDFILIAL = :p_cdfilial\n"
                       "AND CDREGIAO IN (:L_LISTA) AND :P_DTFIN IS NOT NULL");
    d.sqlSqlite = d.sql + QStringLiteral(" AND :P_SO_SQLITE = 1");
    d.heading = QStringLiteral("Sistema {:P_SISTEMA}");
    d.groups[0].pageBreak = QStringLiteral("P_PAGINA=T");
    d.params = {ReportParamDecl{QStringLiteral("P_DTFIN"), TFieldType::ftDate, {}},
                ReportParamDecl{QStringLiteral("P_SISTEMA"), TFieldType::ftString, QStringLiteral("CMP")},
                ReportParamDecl{QStringLiteral("P_PAGINA"), TFieldType::ftString, QStringLiteral("F")}};

    QCOMPARE(d.parameterNames(SqlDialect::PostgreSQL),
             (QStringList{"P_DTFIN", "p_cdfilial", "L_LISTA", "P_SISTEMA", "P_PAGINA"}));
    const TParams p = d.collectParams(SqlDialect::SQLite);
    QCOMPARE(p.Count(), 6);
    QCOMPARE(p[3].Name(), QStringLiteral("P_SO_SQLITE"));
    QCOMPARE(p.ParamByName(QStringLiteral("P_DTFIN")).DataType(), TFieldType::ftDate);
    QVERIFY(p.ParamByName(QStringLiteral("P_DTFIN")).IsNull());
    QCOMPARE(p.ParamByName(QStringLiteral("P_CDFILIAL")).DataType(), TFieldType::ftUnknown);
    QCOMPARE(p.ParamByName(QStringLiteral("P_SISTEMA")).AsString(), QStringLiteral("CMP"));
    QCOMPARE(p.ParamByName(QStringLiteral("P_SISTEMA")).DataType(), TFieldType::ftString);
    QCOMPARE(p.ParamByName(QStringLiteral("P_PAGINA")).AsString(), QStringLiteral("F"));
}

void tst_ReportDefinition::conditions_data()
{
    QTest::addColumn<QString>("condition");
    QTest::addColumn<QString>("value");
    QTest::addColumn<bool>("whenEmpty");
    QTest::addColumn<bool>("holds");
    QTest::newRow("empty: visible") << ""
                                    << "T" << true << true;
    QTest::newRow("empty: no break") << ""
                                     << "T" << false << false;
    QTest::newRow("always") << "always"
                            << "F" << false << true;
    QTest::newRow("never") << "never"
                           << "T" << true << false;
    QTest::newRow("matches") << "P_PAGINA=T"
                             << "T" << false << true;
    QTest::newRow("blanks around") << " P_PAGINA = T "
                                   << "T" << false << true;
    QTest::newRow("differs") << "P_PAGINA=T"
                             << "F" << false << false;
    QTest::newRow("other parameter") << "P_OUTRO=T"
                                     << "T" << false << false;
}

void tst_ReportDefinition::conditions()
{
    QFETCH(QString, condition);
    QFETCH(QString, value);
    QFETCH(bool, whenEmpty);
    QFETCH(bool, holds);
    TParams params;
    params.CreateParam(QStringLiteral("P_PAGINA")).setAsString(value);
    QCOMPARE(ReportDefinition::conditionHolds(condition, params, whenEmpty), holds);
}

QTEST_MAIN(tst_ReportDefinition)
#include "tst_reportdefinition.moc"
