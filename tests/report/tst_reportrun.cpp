#include "data/Database.h"
#include "errors/EAbort.h"
#include "text/ListString.h"
#include "ReportFixture.h"
#include "ScriptedInteraction.h"
#include "report/ReportDefinition.h"
#include "report/ReportDefinitionStore.h"
#include "report/output/CsvReportWriter.h"
#include "report/output/HtmlReportWriter.h"
#include "report/output/PagePainter.h"
#include "report/output/PdfReportWriter.h"
#include "report/ReportLayout.h"
#include "report/ReportRun.h"

#include <QBuffer>
#include <QColor>
#include <QDir>
#include <QImage>
#include <QPainter>
#include <QPrinterInfo>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

namespace {

const QString porProduto = QStringLiteral("Lista de Preços por Produto");
const QString porFornecedor = QStringLiteral("Lista de Preços por Fornecedor");

QString dec(double value, int decimals)
{
    return QString::number(value, 'f', decimals).replace(QLatin1Char('.'), QLatin1Char(','));
}

QString brDate(const QVariant &iso)
{
    return QDate::fromString(iso.toString(), Qt::ISODate).toString(QStringLiteral("dd/MM/yyyy"));
}

QString csvField(const QString &text)
{
    if (text.contains(QLatin1Char(';')) || text.contains(QLatin1Char('"')))
        return QLatin1Char('"') + QString(text).replace(QLatin1String("\""), QLatin1String("\"\"")) + QLatin1Char('"');
    return text;
}

ReportDefinition smallDefinition(const QString &title, const QString &sql, const QStringList &fields)
{
    ReportDefinition d;
    d.code = QStringLiteral("TST001");
    d.title = title;
    d.sql = sql;
    for (const QString &f : fields) {
        ReportColumn c;
        c.field = f;
        c.title = f;
        d.columns << c;
    }
    return d;
}

} // namespace

class tst_ReportRun : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void listsTheDefinitionsOfItsCode();
    void stylesGiveRowsAndCellsTheirLook_data();
    void stylesGiveRowsAndCellsTheirLook();
    void bandElementsLandWhereTheirBandPrints_data();
    void bandElementsLandWhereTheirBandPrints();
    void badElementStopsTheRunBeforeAnyRow();
    void marginsMoveWhatPrints_data();
    void marginsMoveWhatPrints();
    void pdfEmbedsEachImageOnce_data();
    void pdfEmbedsEachImageOnce();
    void collectsTheDeclaredParameters_data();
    void collectsTheDeclaredParameters();
    void eventValuesReachTheQuery();
    void longListTextRunsFromItsCount_data();
    void longListTextRunsFromItsCount();
    void csvHoldsExactlyTheExpectedRows_data();
    void csvHoldsExactlyTheExpectedRows();
    void variationComparesWithThePreviousQuote();
    void ordersByEconomicPriceOnRequest();
    void pdfShowsCodesAndPageNofM();
    void newPagePerSupplierOnRequest();
    void groupsSpillOntoPagesWithTheirHeader();
    void printWithoutPrinterSaysWhatToDo();
    void xlsxIsAWorkbookWithOneRowPerLine();
    void htmlEscapesTheData();
    void hostileSupplierCodesTravelAsValues();
    void supplierListLongerThan1500();
    void cancelledSaveLeavesNoFile_data();
    void cancelledSaveLeavesNoFile();
    void failuresCarryTheirCause_data();
    void failuresCarryTheirCause();
    void previewWithoutScreenRunsInFull();

private:
    QStringList expectedProductRows(const QString &where, const QVariantList &values, bool withVariation = false);
    void writeDefinition(const ReportDefinition &d, const QString &fileName);
    QString save(const QString &title, const QString &suffix);

    std::unique_ptr<TestEnv> env;
    std::unique_ptr<ScriptedInteraction> io;
    std::unique_ptr<QTemporaryDir> out;
    std::unique_ptr<TReportDesignerDialog> designer;
};

void tst_ReportRun::init()
{
    env = std::make_unique<TestEnv>();
    io = std::make_unique<ScriptedInteraction>();
    out = std::make_unique<QTemporaryDir>();
    designer = std::make_unique<TReportDesignerDialog>();
    designer->ReportDir = Session::current().reportDir;
    designer->ReportCode = QStringLiteral("LPR077");
    FormValues::defaults().install(*designer);
}

void tst_ReportRun::cleanup()
{
    designer.reset();
    out.reset();
    io.reset();
    env.reset();
    ReportDefinitionStore::discardAll();
}

QStringList tst_ReportRun::expectedProductRows(const QString &where, const QVariantList &values, bool withVariation)
{
    // Previous price of each quote: the quote before it of the same supplier, branch and
    // product, walking them in order of validity start.
    QHash<qint64, double> previous;
    if (withVariation) {
        QSqlQuery all(env->writable());
        all.exec(QStringLiteral("SELECT NRCOTACAO, CDFORNECED, CDFILIAL, CDPRODUTO, VRPRECO FROM COTACAO "
                                "ORDER BY CDFORNECED, CDFILIAL, CDPRODUTO, DTVALINI, NRCOTACAO"));
        QString lastKey;
        double lastPrice = 0;
        while (all.next()) {
            const QString key = all.value(1).toString() + QLatin1Char('|') + all.value(2).toString() + QLatin1Char('|')
                                + all.value(3).toString();
            if (key == lastKey)
                previous.insert(all.value(0).toLongLong(), lastPrice);
            lastKey = key;
            lastPrice = all.value(4).toDouble();
        }
    }

    QSqlQuery q(env->writable());
    q.prepare(QStringLiteral("SELECT P.CDARVPROD, P.NMPRODUTO, C.CDFORNECED, F.NMFANTFORN, C.CDFILIAL, C.CDOPERADOR, "
                             "C.DTVALINI, C.DTVALFIN, C.VRPRECO, C.PCIPI, C.PCDESCONTO, C.NRCOTACAO, "
                             "(SELECT O.NMOPERADOR FROM OPERADOR O WHERE O.CDOPERADOR = C.CDOPERADOR) "
                             "FROM COTACAO C, PRODUTO P, FORNECEDOR F "
                             "WHERE P.CDPRODUTO = C.CDPRODUTO AND F.CDFORNECED = C.CDFORNECED AND ")
              + where + QStringLiteral(" ORDER BY P.CDARVPROD, C.CDFORNECED, C.DTVALINI, C.NRCOTACAO"));
    for (int i = 0; i < values.size(); ++i)
        q.bindValue(i, values.at(i));
    q.exec();
    QStringList rows;
    while (q.next()) {
        const QString arv = q.value(0).toString();
        const double price = q.value(8).toDouble(), ipi = q.value(9).toDouble(), desc = q.value(10).toDouble();
        const double econ = price * (1 + ipi / 100.0) * (1 - desc / 100.0);
        QStringList line{arv.left(2) + QLatin1Char('.') + arv.mid(2, 3) + QLatin1Char('.') + arv.mid(5),
                         csvField(q.value(1).toString()),
                         csvField(q.value(2).toString()),
                         csvField(q.value(3).toString()),
                         q.value(4).toString(),
                         q.value(5).toString(),
                         csvField(q.value(12).toString()),
                         brDate(q.value(6)),
                         brDate(q.value(7)),
                         dec(price, 4),
                         dec(ipi, 2),
                         dec(desc, 2),
                         dec(econ, 4)};
        if (withVariation) {
            const auto it = previous.constFind(q.value(11).toLongLong());
            line << (it != previous.constEnd() && *it > 0 ? dec((price - *it) * 100.0 / *it, 2) : QString());
        }
        rows << line.join(QLatin1Char(';'));
    }
    return rows;
}

void tst_ReportRun::writeDefinition(const ReportDefinition &d, const QString &fileName)
{
    d.save(QDir(out->path()).filePath(fileName));
}

QString tst_ReportRun::save(const QString &title, const QString &suffix)
{
    const QString file = QDir(out->path()).filePath(QStringLiteral("saida.") + suffix);
    designer->SaveAs(nullptr, title, file);
    return file;
}

namespace {
// Keeps the laid-out pages, to look at what a row was drawn with.
class PageCapture : public PageSink
{
public:
    QList<ReportPage> pages;
    void beginDocument(const PageSetup &) override { }
    void page(const ReportPage &p) override { pages << p; }
    void endDocument(int) override { }

    QList<PageItem> itemsWithText(const QString &text) const
    {
        QList<PageItem> found;
        for (const ReportPage &p : pages)
            for (const PageItem &i : p.items)
                if (i.kind == PageItem::Text && i.text == text)
                    found << i;
        return found;
    }
    bool hasFill(QRgb color) const
    {
        for (const ReportPage &p : pages)
            for (const PageItem &i : p.items)
                if (i.kind == PageItem::Fill && i.color == color)
                    return true;
        return false;
    }
};
} // namespace

void tst_ReportRun::stylesGiveRowsAndCellsTheirLook_data()
{
    QTest::addColumn<QString>("branch");
    QTest::addColumn<int>("cell"); // 0 the code, 1 the name
    QTest::addColumn<uint>("color");
    QTest::addColumn<uint>("background"); // 0: none
    QTest::addColumn<bool>("bold");
    const uint black = 0xFF000000;
    QTest::newRow("no rule holds") << "0001" << 1 << black << 0u << false;
    QTest::newRow("a row rule reaches every cell") << "0002" << 0 << black << 0xFFFFF2CCu << true;
    QTest::newRow("a row rule, the name too") << "0002" << 1 << black << 0xFFFFF2CCu << true;
    QTest::newRow("a later cell rule wins the colour") << "0003" << 1 << 0xFFC00000u << 0u << false;
    QTest::newRow("a cell without rules keeps its look") << "0003" << 0 << black << 0u << false;
    // A row rule and a cell rule that set the same colour and background: the cell's wins.
    QTest::newRow("cell rule over a row rule") << "0004" << 1 << 0xFF008000u << 0xFFFFE0E0u << false;
    QTest::newRow("row rule where the cell has none") << "0004" << 0 << 0xFF0000FFu << 0xFFDDEEFFu << false;
}

void tst_ReportRun::stylesGiveRowsAndCellsTheirLook()
{
    QFETCH(QString, branch);
    QFETCH(int, cell);
    QFETCH(uint, color);
    QFETCH(uint, background);
    QFETCH(bool, bold);
    ReportDefinition d = smallDefinition(QStringLiteral("Estilos"),
                                         QStringLiteral("SELECT CDFILIAL, NMFILIAL FROM FILIAL ORDER BY CDFILIAL"),
                                         {"CDFILIAL", "NMFILIAL"});
    // A parameter that only a style reads reaches the run all the same.
    d.params = {ReportParamDecl{QStringLiteral("P_DESTAQUE"), TFieldType::ftString, QStringLiteral("0002")}};
    d.rowStyles = {ReportStyleRule{QStringLiteral("CDFILIAL = :P_DESTAQUE"), QString(), QStringLiteral("#FFF2CC"), true},
                   ReportStyleRule{QStringLiteral("CDFILIAL = '0004'"), QStringLiteral("#0000FF"),
                                   QStringLiteral("#DDEEFF"), false}};
    d.columns[1].styles = {
        ReportStyleRule{QStringLiteral("CDFILIAL >= '0003'"), QStringLiteral("#0000FF"), QString(), false},
        ReportStyleRule{QStringLiteral("CDFILIAL = '0003'"), QStringLiteral("#C00000"), QString(), false},
        ReportStyleRule{QStringLiteral("CDFILIAL = '0004'"), QStringLiteral("#008000"), QStringLiteral("#FFE0E0"),
                        false}};
    QSqlQuery names(env->writable());
    QVERIFY(names.exec(QStringLiteral("SELECT NMFILIAL FROM FILIAL WHERE CDFILIAL = '%1'").arg(branch)));
    QVERIFY(names.next());
    const QString text = cell == 0 ? branch : names.value(0).toString();

    // The page as the PDF, the preview and the printer draw it.
    ReportRun run(d, d.collectParams(env->dialect()), env->dialect(), dtmDBGeral::dtbGeral());
    PageCapture pages;
    ReportLayout layout(pages);
    run.execute(layout, {});
    const QList<PageItem> items = pages.itemsWithText(text);
    QCOMPARE(items.size(), 1);
    const PageItem &shown = items.first();
    QCOMPARE(uint(shown.color), color);
    QCOMPARE(shown.face, bold ? PageItem::Bold : PageItem::Regular);
    QRgb under = 0; // the last fill drawn under the text
    for (const PageItem &i : pages.pages.first().items)
        if (i.kind == PageItem::Fill && QRectF(i.x, i.y, i.w, i.h).contains(shown.x + 1, shown.y - 1))
            under = i.color;
    QCOMPARE(uint(under), background);

    // The HTML page carries the same look, inline.
    QBuffer html;
    QVERIFY(html.open(QIODevice::WriteOnly));
    HtmlReportWriter htmlWriter(&html);
    run.execute(htmlWriter, {});
    QString css;
    if (color != 0xFF000000)
        css += QStringLiteral("color:%1;").arg(QColor(color).name());
    if (background)
        css += QStringLiteral("background:%1;").arg(QColor(background).name());
    if (bold)
        css += QStringLiteral("font-weight:bold;");
    const QString td = css.isEmpty() ? QStringLiteral("<td>%1</td>").arg(text.toHtmlEscaped())
                                     : QStringLiteral("<td style=\"%1\">%2</td>").arg(css, text.toHtmlEscaped());
    QVERIFY2(QString::fromUtf8(html.data()).contains(td), qPrintable(td));

    // A condition that does not read against the query stops the run before any row, saying where.
    d.rowStyles = {ReportStyleRule{QStringLiteral("VRPRECO > 10"), QStringLiteral("#C00000"), QString(), false}};
    ReportRun wrong(d, d.collectParams(env->dialect()), env->dialect(), dtmDBGeral::dtbGeral());
    PageCapture none;
    ReportLayout noLayout(none);
    try {
        wrong.execute(noLayout, {});
        QFAIL("a style over a field the query lacks ran");
    } catch (const ESuiteError &e) {
        QVERIFY2(e.message().contains(QStringLiteral("o estilo 1 das linhas")) &&
                     e.message().contains(QStringLiteral("posição 1: o campo VRPRECO não existe")),
                 qPrintable(e.message()));
    }
    QVERIFY(none.pages.isEmpty());
}

namespace {

ReportElement textElement(const QString &expression, const QString &name = QString())
{
    ReportElement e;
    e.name = name;
    e.expression = expression;
    e.width = 80;
    return e;
}

// Branches 0001 to 0004 in two groups (0001; 0002 to 0004), each on a page of its own,
// with an element in every band.
ReportDefinition bandedDefinition()
{
    ReportDefinition d = smallDefinition(QStringLiteral("Faixas"),
                                         QStringLiteral("SELECT CASE WHEN CDFILIAL <= '0001' THEN 'A' ELSE 'B' END AS G, "
                                                        "CDFILIAL, NMFILIAL FROM FILIAL WHERE CDFILIAL IN ('0001', "
                                                        "'0002', '0003', '0004') ORDER BY CDFILIAL"),
                                         {"CDFILIAL", "NMFILIAL"});
    d.footer = QStringLiteral("Rodapé fixo");
    ReportGroup g;
    g.field = QStringLiteral("G");
    g.header = QStringLiteral("Grupo {G}");
    g.pageBreak = QStringLiteral("always");
    g.headerBand = ReportBand{6, {textElement(QStringLiteral("'Primeira: ' & CDFILIAL"))}};
    // A footer's style may read the group's totals too.
    ReportElement count = textElement(QStringLiteral("'Filiais: ' & count()"));
    count.styles = {ReportStyleRule{QStringLiteral("count() > 2"), QStringLiteral("#C00000"), QString(), false}};
    ReportElement last = textElement(QStringLiteral("'Última: ' & CDFILIAL"));
    last.x = 90;
    g.footerBand = ReportBand{6, {count, last}};
    d.groups = {g};
    ReportElement logo;
    logo.kind = ReportElement::Kind::Image;
    logo.x = 100;
    logo.width = 20;
    logo.height = 8;
    logo.mime = QStringLiteral("image/png");
    QImage picture(40, 16, QImage::Format_RGB32);
    picture.fill(QColor(0x1F, 0x38, 0x64));
    QBuffer buffer(&logo.image);
    buffer.open(QIODevice::WriteOnly);
    picture.save(&buffer, "PNG");
    // The page's bands read rows too: the header the page's first, the footer its last.
    ReportElement first = textElement(QStringLiteral("'De ' & CDFILIAL"));
    first.x = 130;
    d.pageHeader = ReportBand{10, {textElement(QStringLiteral("'Folha ' & page() & ' de ' & pages()")), logo, first}};
    ReportElement secret;
    secret.text = QStringLiteral("Confidencial");
    ReportElement upTo = textElement(QStringLiteral("'Até ' & CDFILIAL"));
    upTo.x = 90;
    d.pageFooter = ReportBand{5, {secret, upTo}};
    d.summaryBand = ReportBand{6, {textElement(QStringLiteral("'Total: ' & count()"))}};
    return d;
}

} // namespace

void tst_ReportRun::bandElementsLandWhereTheirBandPrints_data()
{
    QTest::addColumn<QString>("text");  // what the element shows
    QTest::addColumn<QString>("below"); // a text on the same page above it
    QTest::addColumn<QString>("above"); // a text on the same page under it
    QTest::addColumn<int>("times");
    QTest::addColumn<uint>("color"); // of the text
    const uint black = 0xFF000000, red = 0xFFC00000;
    QTest::newRow("page header, page 1") << "Folha 1 de 2" << "Faixas" << "CDFILIAL" << 1 << black;
    QTest::newRow("page header, page 2") << "Folha 2 de 2" << "Faixas" << "CDFILIAL" << 1 << black;
    QTest::newRow("page header reads the page's first row") << "De 0002" << "Faixas" << "CDFILIAL" << 1 << black;
    QTest::newRow("page footer on each page") << "Confidencial" << "CDFILIAL" << "Rodapé fixo" << 2 << black;
    QTest::newRow("page footer reads the page's last row") << "Até 0004" << "Total: 4" << "Rodapé fixo" << 1 << black;
    QTest::newRow("group header reads the group's first row") << "Primeira: 0002" << "Grupo B" << "0002" << 1 << black;
    QTest::newRow("group footer counts its group") << "Filiais: 1" << "0001" << "" << 1 << black;
    QTest::newRow("group footer reads the group's last row") << "Última: 0004" << "0004" << "Total: 4" << 1 << black;
    QTest::newRow("totals restart with the group, a style reads them") << "Filiais: 3" << "0004" << "Total: 4" << 1
                                                                       << red;
    QTest::newRow("summary counts the report") << "Total: 4" << "Filiais: 3" << "Rodapé fixo" << 1 << black;
}

void tst_ReportRun::bandElementsLandWhereTheirBandPrints()
{
    QFETCH(QString, text);
    QFETCH(QString, below);
    QFETCH(QString, above);
    QFETCH(int, times);
    QFETCH(uint, color);
    const ReportDefinition d = bandedDefinition();
    d.validate();
    ReportRun run(d, d.collectParams(env->dialect()), env->dialect(), dtmDBGeral::dtbGeral());
    PageCapture pages;
    ReportLayout layout(pages);
    run.execute(layout, {});
    QCOMPARE(pages.pages.size(), 2);
    int found = 0;
    for (const ReportPage &page : pages.pages) {
        int images = 0;
        for (const PageItem &item : page.items)
            images += item.kind == PageItem::Image && item.size == 0 ? 1 : 0;
        QCOMPARE(images, 1); // the logo, on every page
        const auto yOf = [&](const QString &t) {
            for (const PageItem &item : page.items)
                if ((item.kind == PageItem::Text && item.text == t)
                    || (item.kind == PageItem::PageNumber
                        && pageNumberText(item.text, page.number, int(pages.pages.size())) == t))
                    return double(item.y);
            return -1.0;
        };
        const double y = yOf(text);
        if (y < 0)
            continue;
        ++found;
        for (const PageItem &item : page.items)
            if (item.kind == PageItem::Text && item.text == text)
                QCOMPARE(uint(item.color), color);
        QVERIFY2(yOf(below) >= 0 && yOf(below) < y, qPrintable(below));
        if (!above.isEmpty())
            QVERIFY2(yOf(above) > y, qPrintable(above));
    }
    QCOMPARE(found, times);
}

void tst_ReportRun::marginsMoveWhatPrints_data()
{
    QTest::addColumn<QList<double>>("margins"); // top, bottom, left, right (mm); empty: the file names none
    QTest::addColumn<bool>("fill");             // the two 20 mm columns stretch to the page's width
    QTest::newRow("not named: 10 mm") << QList<double>() << true;
    QTest::newRow("named as the default") << QList<double>{10, 10, 10, 10} << true;
    QTest::newRow("wider top and left") << QList<double>{25, 10, 18, 10} << true;
    QTest::newRow("wider bottom and right") << QList<double>{10, 30, 10, 22} << true;
    QTest::newRow("none at all") << QList<double>{0, 0, 0, 0} << true;
    QTest::newRow("columns at their widths") << QList<double>() << false;
    QTest::newRow("at their widths, in wider margins") << QList<double>{25, 10, 18, 10} << false;
}

void tst_ReportRun::marginsMoveWhatPrints()
{
    QFETCH(QList<double>, margins);
    QFETCH(bool, fill);
    const auto firstPage = [this](const ReportDefinition &d) {
        ReportRun run(d, d.collectParams(env->dialect()), env->dialect(), dtmDBGeral::dtbGeral());
        PageCapture pages;
        ReportLayout layout(pages);
        run.execute(layout, {});
        return pages.pages.value(0);
    };
    const auto at = [](const ReportPage &page, PageItem::Kind kind, const QString &text) {
        for (const PageItem &item : page.items)
            if (item.kind == kind && (text.isEmpty() || item.text == text))
                return QPointF(item.x, item.y);
        return QPointF(-1000, -1000);
    };
    ReportDefinition d = bandedDefinition();
    const ReportPage before = firstPage(d);
    if (!margins.isEmpty())
        d.margins = ReportMargins{margins.at(0), margins.at(1), margins.at(2), margins.at(3)};
    d.columnsFillWidth = fill;
    // Through the file, as a definition saved by the designer is read for a run.
    const QByteArray json = d.toJson();
    QCOMPARE(json.contains("\"margins\""), !d.margins.isDefault());
    QCOMPARE(json.contains("\"columns_fill_width\""), !fill);
    QString error;
    const ReportDefinition read = ReportDefinition::fromJson(json, &error);
    QVERIFY2(error.isEmpty(), qPrintable(error));
    QCOMPARE(read.margins, d.margins);
    QCOMPARE(read.columnsFillWidth, fill);
    const ReportPage after = firstPage(read);

    constexpr double pt = 72.0 / 25.4;
    // The report's code sits at the top left corner of what is inside the margins.
    const QPointF headingShift = at(after, PageItem::Text, QStringLiteral("TST001"))
                                 - at(before, PageItem::Text, QStringLiteral("TST001"));
    QCOMPARE_LE(std::abs(headingShift.x() - (d.margins.left - 10) * pt), 0.01);
    QCOMPARE_LE(std::abs(headingShift.y() - (d.margins.top - 10) * pt), 0.01);
    // The footer line keeps to the bottom margin, the page number to the right one.
    const double footerShift = at(after, PageItem::Text, QStringLiteral("Rodapé fixo")).y()
                               - at(before, PageItem::Text, QStringLiteral("Rodapé fixo")).y();
    QCOMPARE_LE(std::abs(footerShift + (d.margins.bottom - 10) * pt), 0.01);
    const double numberShift = at(after, PageItem::PageNumber, QString()).x() - at(before, PageItem::PageNumber, QString()).x();
    QCOMPARE_LE(std::abs(numberShift + (d.margins.right - 10) * pt), 0.01);
    // The second column starts where the first ends: at its 20 mm, or at half the page (an
    // A4 sheet in whole points, a tenth of a point off its millimetres).
    const double firstWidth = at(after, PageItem::Text, QStringLiteral("NMFILIAL")).x()
                              - at(after, PageItem::Text, QStringLiteral("CDFILIAL")).x();
    QCOMPARE_LE(std::abs(firstWidth - (fill ? d.contentWidthMm() / 2 : 20) * pt), 0.1);
}

void tst_ReportRun::badElementStopsTheRunBeforeAnyRow()
{
    // A total where no group closes, and a field on a page's band that the query lacks.
    for (int fault = 0; fault < 2; ++fault) {
        ReportDefinition d = bandedDefinition();
        if (fault == 0)
            d.groups[0].headerBand.elements = {textElement(QStringLiteral("'n=' & count()"), QStringLiteral("Ruim"))};
        else
            d.pageFooter.elements << textElement(QStringLiteral("NMNADA"));
        ReportRun run(d, d.collectParams(env->dialect()), env->dialect(), dtmDBGeral::dtbGeral());
        PageCapture none;
        ReportLayout layout(none);
        try {
            run.execute(layout, {});
            QFAIL("a bad element ran");
        } catch (const ESuiteError &e) {
            const QString where = fault == 0 ? QStringLiteral("do elemento \"Ruim\" do cabeçalho do grupo 1 está errada "
                                                              "(posição 8")
                                             : QStringLiteral("do elemento 3 do rodapé da página está errada (posição 1: "
                                                              "o campo NMNADA não existe na consulta");
            QVERIFY2(e.message().contains(where), qPrintable(e.message()));
        }
        QVERIFY(none.pages.isEmpty());
    }
}

void tst_ReportRun::pdfEmbedsEachImageOnce_data()
{
    QTest::addColumn<QString>("mime");
    QTest::addColumn<QByteArray>("image");
    QTest::addColumn<QByteArray>("filter"); // how the picture is kept in the file
    QTest::addColumn<int>("masks");
    QTest::addColumn<int>("width"); // pixels: a drawing is rasterised at 300 dpi of its 20 mm
    const auto encoded = [](QImage::Format format, const char *type) {
        QImage picture(40, 16, format);
        picture.fill(QColor(0x1F, 0x38, 0x64, 0x80));
        QByteArray bytes;
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        picture.save(&buffer, type);
        return bytes;
    };
    QTest::newRow("png") << "image/png" << encoded(QImage::Format_RGB32, "PNG") << QByteArray("/FlateDecode") << 0 << 40;
    QTest::newRow("png with transparency")
        << "image/png" << encoded(QImage::Format_ARGB32, "PNG") << QByteArray("/FlateDecode") << 1 << 40;
    QTest::newRow("jpeg") << "image/jpeg" << encoded(QImage::Format_RGB32, "JPEG") << QByteArray("/DCTDecode") << 0 << 40;
    QTest::newRow("svg") << "image/svg+xml"
                         << QByteArray("<svg xmlns='http://www.w3.org/2000/svg' width='40' height='16'>"
                                       "<rect width='40' height='16' fill='#1F3864'/></svg>")
                         << QByteArray("/FlateDecode") << 0 << 236;
    // An image the suite cannot read is a transparent blank, and the file stays sound.
    QTest::newRow("not an image") << "image/png" << QByteArray("nada") << QByteArray("/FlateDecode") << 1 << 1;
}

void tst_ReportRun::pdfEmbedsEachImageOnce()
{
    QFETCH(QString, mime);
    QFETCH(QByteArray, image);
    QFETCH(QByteArray, filter);
    QFETCH(int, masks);
    QFETCH(int, width);
    ReportDefinition d = bandedDefinition();
    d.pageHeader.elements[1].mime = mime;
    d.pageHeader.elements[1].image = image;
    const QString pdf = out->filePath(QStringLiteral("logo.pdf"));
    {
        QFile file(pdf);
        QVERIFY(file.open(QIODevice::WriteOnly));
        PdfReportWriter writer(&file);
        ReportLayout layout(writer);
        ReportRun run(d, d.collectParams(env->dialect()), env->dialect(), dtmDBGeral::dtbGeral());
        run.execute(layout, {});
    }
    QFile file(pdf);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    QCOMPARE(bytes.count("/Subtype /Image"), 1 + masks);
    QCOMPARE(bytes.count("/SMask"), masks);
    QVERIFY(bytes.indexOf(filter, bytes.indexOf("/Subtype /Image")) > 0);
    QVERIFY(bytes.contains("/Subtype /Image /Width " + QByteArray::number(width) + ' '));
    // Two pages show it, and the text around it stays text.
    const QString text = runTool(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), pdf, QStringLiteral("-")});
    QCOMPARE(text.count(QLatin1Char('\f')), 2);
    QVERIFY(text.contains(QLatin1String("Folha 2 de 2")) && text.contains(QLatin1String("Confidencial")));
    QVERIFY(runTool(QStringLiteral("pdfimages"), {QStringLiteral("-list"), pdf}).count(QLatin1String(" image ")) >= 2);

    // The preview draws the same picture in the same place.
    PageCapture pages;
    ReportLayout layout(pages);
    ReportRun again(d, d.collectParams(env->dialect()), env->dialect(), dtmDBGeral::dtbGeral());
    again.execute(layout, {});
    QImage sheet(842, 595, QImage::Format_RGB32);
    sheet.fill(Qt::white);
    QPainter painter(&sheet);
    PagePainter::paint(painter, pages.pages.first(), 2, layout.images().get());
    painter.end();
    PageItem logo;
    for (const PageItem &item : pages.pages.first().items)
        if (item.kind == PageItem::Image)
            logo = item;
    const QColor middle = sheet.pixelColor(int(logo.x + logo.w / 2), int(logo.y + logo.h / 2));
    if (masks == 0)
        QVERIFY2(qAbs(middle.red() - 0x1F) < 12 && qAbs(middle.blue() - 0x64) < 12, qPrintable(middle.name()));
    else
        QVERIFY2(middle.red() > 0x1F + 12, qPrintable(middle.name())); // white shows through
}

void tst_ReportRun::listsTheDefinitionsOfItsCode()
{
    QCOMPARE(designer->reportNames(),
             (QStringList{porProduto, porFornecedor, QStringLiteral("Lista de Preços com Logotipo")}));
    QVERIFY(designer->definitionFile(porFornecedor).endsWith(QLatin1String("LPR077-02-fornecedor.json")));
    QVERIFY(designer->definitionFile(QStringLiteral("Não existe")).isEmpty());

    // File-name order; another code that merely starts alike is not listed; a broken file
    // is listed under its file name and tells what is wrong when it is run.
    ReportDefinition a = smallDefinition(QStringLiteral("Relatório A"), QStringLiteral("SELECT 1 AS X"), {"X"});
    a.code = QStringLiteral("LPR077");
    writeDefinition(a, QStringLiteral("LPR077.json"));
    ReportDefinition b = a;
    b.title = QStringLiteral("Relatório B");
    writeDefinition(b, QStringLiteral("LPR077-a.json"));
    writeDefinition(a, QStringLiteral("LPR0770.json"));
    QFile broken(QDir(out->path()).filePath(QStringLiteral("LPR077-z.json")));
    QVERIFY(broken.open(QIODevice::WriteOnly));
    broken.write("{ \"title\": ");
    broken.close();

    designer->ReportDir = out->path();
    QCOMPARE(designer->reportNames(),
             (QStringList{QStringLiteral("Relatório B"), QStringLiteral("LPR077-z"), QStringLiteral("Relatório A")}));
    try {
        designer->definition(QStringLiteral("LPR077-z"));
        QFAIL("a broken definition was read");
    } catch (const ESuiteError &e) {
        QVERIFY2(e.message().contains(QStringLiteral("inválida")), qPrintable(e.message()));
    }
}

void tst_ReportRun::collectsTheDeclaredParameters_data()
{
    QTest::addColumn<QString>("title");
    QTest::addColumn<QStringList>("names");
    QTest::addColumn<QStringList>("types");

    QTest::newRow("none") << QStringLiteral("Sem parâmetros") << QStringList() << QStringList();
    // P_CDFILIAL is not declared: it arrives without a type, as the form expects.
    QTest::newRow("some") << QStringLiteral("Alguns parâmetros") << QStringList{"P_CDFILIAL", "P_DTFIN", "P_SISTEMA"}
                          << QStringList{"unknown", "date", "string"};
    QTest::newRow("all sixteen") << porFornecedor
                                 << QStringList{"P_VARIPRECO",  "P_CDFILIAL",    "P_CDFILCENTCMP", "P_CDPRODINI",
                                                "P_CDPRODFIN",  "P_TODOSPROD",   "L_LISTAOPER",    "L_LISTAOPER1",
                                                "L_LISTAFORNE", "L_LISTAFORNE1", "P_DTFIN",        "P_DTINI",
                                                "P_ORDPI",      "P_CDREGIAO",    "P_SISTEMA",      "P_PAGINA"}
                                 << QStringList{"string", "string", "string", "string", "string", "string",
                                                "string", "string", "string", "string", "date",   "date",
                                                "string", "string", "string", "string"};
}

void tst_ReportRun::collectsTheDeclaredParameters()
{
    QFETCH(QString, title);
    QFETCH(QStringList, names);
    QFETCH(QStringList, types);

    writeDefinition(smallDefinition(QStringLiteral("Sem parâmetros"),
                                    QStringLiteral("SELECT CDFILIAL FROM FILIAL ORDER BY CDFILIAL"), {"CDFILIAL"}),
                    QStringLiteral("TST001-a.json"));
    ReportDefinition some =
        smallDefinition(QStringLiteral("Alguns parâmetros"),
                        QStringLiteral("SELECT CDFILIAL FROM FILIAL\nWHERE CDFILIAL = :P_CDFILIAL -- :P_COMENTARIO\n"
                                       "  AND DTPROCESSO <= :P_DTFIN AND NMFILIAL <> ':P_LITERAL'"),
                        {"CDFILIAL"});
    some.heading = QStringLiteral("Sistema {:P_SISTEMA}");
    some.params = {ReportParamDecl{QStringLiteral("P_DTFIN"), TFieldType::ftDate, {}},
                   ReportParamDecl{QStringLiteral("P_SISTEMA"), TFieldType::ftString, QStringLiteral("CMP")}};
    writeDefinition(some, QStringLiteral("TST001-b.json"));
    QFile::copy(designer->definitionFile(porFornecedor), QDir(out->path()).filePath(QStringLiteral("TST001-c.json")));

    designer->ReportDir = out->path();
    designer->ReportCode = QStringLiteral("TST001");
    QStringList seenNames, seenTypes;
    int calls = 0;
    designer->BeforeGetQueryParams = [&](TParams &params, bool &flag) {
        ++calls;
        QCOMPARE(flag, false);
        flag = true; // the engine does not read it back
        for (int i = 0; i < params.Count(); ++i) {
            seenNames << params[i].Name();
            seenTypes << fieldTypeName(params[i].DataType());
        }
        FormValues::defaults().fill(params);
    };
    designer->SaveAs(nullptr, title, QDir(out->path()).filePath(QStringLiteral("r.csv")));
    QCOMPARE(calls, 1);
    QCOMPARE(seenNames, names);
    QCOMPARE(seenTypes, types);
    QCOMPARE(designer->lastParams().Count(), names.size());
}

void tst_ReportRun::longListTextRunsFromItsCount_data()
{
    QTest::addColumn<int>("fromAboveCount"); // the mark against the count of branches from 0003
    QTest::addColumn<bool>("onlyAnotherDatabase");
    QTest::addColumn<QString>("ran");
    QTest::newRow("count reaches the mark") << 0 << false << "longa";
    QTest::newRow("count below the mark") << 1 << false << "principal";
    QTest::newRow("a text for another database only") << 0 << true << "principal";
}

// The count runs with the run's values (a parameter of its own included) and picks the
// text; the choice survives the definition file.
void tst_ReportRun::longListTextRunsFromItsCount()
{
    QFETCH(int, fromAboveCount);
    QFETCH(bool, onlyAnotherDatabase);
    QFETCH(QString, ran);
    QSqlQuery count(env->writable());
    QVERIFY(count.exec(QStringLiteral("SELECT COUNT(*) FROM FILIAL WHERE CDFILIAL >= '0003'")) && count.next());
    ReportDefinition d = smallDefinition(
        QStringLiteral("Duas formas"), QStringLiteral("SELECT CDFILIAL, 'principal' AS FORMA FROM FILIAL ORDER BY CDFILIAL"),
        {"CDFILIAL", "FORMA"});
    d.largeList.count.main = QStringLiteral("SELECT COUNT(*) FROM FILIAL WHERE CDFILIAL >= :P_DESDE");
    d.largeList.from = count.value(0).toInt() + fromAboveCount;
    const QString longText = QStringLiteral("SELECT CDFILIAL, 'longa' AS FORMA FROM FILIAL ORDER BY CDFILIAL");
    (onlyAnotherDatabase ? d.largeList.sql.ib : d.largeList.sql.main) = longText;
    QString error;
    d = ReportDefinition::fromJson(d.toJson(), &error);
    QVERIFY2(error.isEmpty(), qPrintable(error));

    TParams params = d.collectParams(env->dialect());
    TParam *from = params.FindParam(QStringLiteral("P_DESDE"));
    QCOMPARE(from != nullptr, !onlyAnotherDatabase); // asked for only where the count runs
    if (from)
        from->setAsString(QStringLiteral("0003"));
    ReportRun run(d, params, env->dialect(), dtmDBGeral::dtbGeral());
    QBuffer csv;
    QVERIFY(csv.open(QIODevice::WriteOnly));
    CsvReportWriter writer(&csv);
    QVERIFY(run.execute(writer) > 0);
    QCOMPARE(run.ranLargeList(), ran == QLatin1String("longa"));
    const QList<QByteArray> lines = csv.data().trimmed().split('\n');
    QVERIFY(lines.size() > 2);
    QVERIFY2(lines.at(1).trimmed().endsWith(';' + ran.toUtf8()), lines.at(1).constData());
}

void tst_ReportRun::eventValuesReachTheQuery()
{
    ReportDefinition d = smallDefinition(
        QStringLiteral("Eco"),
        QStringLiteral("SELECT :P_SISTEMA AS SIS, :P_DTFIN AS DT, :L_LISTAFORNE AS LISTA, CDFILIAL FROM FILIAL\n"
                       "WHERE CDFILIAL = :P_CDFILIAL"),
        {"SIS", "DT", "LISTA", "CDFILIAL"});
    d.columns[1].format = QStringLiteral("date");
    d.params = {ReportParamDecl{QStringLiteral("P_DTFIN"), TFieldType::ftDate, {}},
                ReportParamDecl{QStringLiteral("P_SISTEMA"), TFieldType::ftString, QStringLiteral("CMP")}};
    writeDefinition(d, QStringLiteral("TST001.json"));
    designer->ReportDir = out->path();
    designer->ReportCode = QStringLiteral("TST001");

    // P_SISTEMA is left alone by the form (a module without a system code): the
    // definition's default stays.
    FormValues values = FormValues::defaults();
    values.values.remove(QStringLiteral("P_SISTEMA"));
    values.set(QStringLiteral("P_CDFILIAL"), QStringLiteral("0006")).suppliers(QStringLiteral("[\"000001\"]"));
    values.install(*designer);
    const QStringList rows = csvRows(save(QStringLiteral("Eco"), QStringLiteral("csv")));
    QCOMPARE(rows, QStringList{QStringLiteral("CMP;31/12/2026;\"[\"\"000001\"\"]\";0006")});
    QCOMPARE(designer->lastParams().ParamByName(QStringLiteral("P_CDFILIAL")).AsString(), QStringLiteral("0006"));
    QCOMPARE(designer->lastParams().ParamByName(QStringLiteral("P_SISTEMA")).AsString(), QStringLiteral("CMP"));
}

void tst_ReportRun::csvHoldsExactlyTheExpectedRows_data()
{
    QTest::addColumn<QVariantMap>("overrides");
    QTest::addColumn<QString>("where");
    QTest::addColumn<QVariantList>("values");

    const QString period = QStringLiteral(" AND C.DTVALINI <= '2026-12-31' AND C.DTVALFIN >= '2026-12-01'");
    QTest::newRow("head office, its own centre")
        << QVariantMap{} << QStringLiteral("C.CDFILIAL IN ('0001')") + period << QVariantList{};
    QTest::newRow("branch and its purchasing centre")
        << QVariantMap{{"P_CDFILIAL", "0007"}, {"P_CDFILCENTCMP", "0006"}}
        << QStringLiteral("C.CDFILIAL IN ('0007', '0006')") + period << QVariantList{};
    QTest::newRow("only products bought at the branch")
        << QVariantMap{{"P_CDFILIAL", "0002"}, {"P_TODOSPROD", "C"}}
        << QStringLiteral("C.CDFILIAL IN ('0002', '0001') AND EXISTS (SELECT 1 FROM PRODFILIAL PF "
                          "WHERE PF.CDFILIAL = '0002' AND PF.CDPRODUTO = C.CDPRODUTO)")
               + period
        << QVariantList{};
    // The final code arrives padded with Z, so a prefix selects a whole department.
    QTest::newRow("product range by prefix")
        << QVariantMap{{"P_CDPRODINI", "02"}, {"P_CDPRODFIN", "03ZZZZZZZZ"}}
        << QStringLiteral("C.CDFILIAL = '0001' AND substr(P.CDARVPROD, 1, 2) IN ('02', '03')") + period
        << QVariantList{};
    QTest::newRow("validity overlapping a short period")
        << QVariantMap{{"P_DTINI", QDate(2026, 12, 7)}, {"P_DTFIN", QDate(2026, 12, 7)}}
        << QStringLiteral("C.CDFILIAL = '0001' AND C.DTVALINI <= '2026-12-07' AND C.DTVALFIN >= '2026-12-07'")
        << QVariantList{};
    QTest::newRow("picked buyers") << QVariantMap{{"L_LISTAOPER", ListString::encode({"000002", "000006"})},
                                                  {"L_LISTAOPER1", ListString::encode({"000002", "000006"})}}
                                   << QStringLiteral("C.CDFILIAL = '0001' AND C.CDOPERADOR IN ('000002', '000006')")
                                          + period
                                   << QVariantList{};
    // "Lista" chosen and nothing picked matches nothing (the screen refuses it anyway).
    QTest::newRow("empty supplier list") << QVariantMap{{"L_LISTAFORNE", ""}, {"L_LISTAFORNE1", ""}}
                                         << QStringLiteral("1 = 0") << QVariantList{};
    QTest::newRow("period without quotes")
        << QVariantMap{{"P_DTINI", QDate(2031, 1, 1)}, {"P_DTFIN", QDate(2031, 1, 31)}} << QStringLiteral("1 = 0")
        << QVariantList{};
}

void tst_ReportRun::csvHoldsExactlyTheExpectedRows()
{
    QFETCH(QVariantMap, overrides);
    QFETCH(QString, where);
    QFETCH(QVariantList, values);

    FormValues form = FormValues::defaults();
    for (auto it = overrides.constBegin(); it != overrides.constEnd(); ++it)
        form.set(it.key(), it.value());
    form.install(*designer);

    QString titles;
    const QStringList rows = csvRows(save(porProduto, QStringLiteral("csv")), &titles);
    QCOMPARE(titles, QStringLiteral("Produto;Descrição do produto;Fornecedor;Nome do fornecedor;Filial;Comprador;"
                                    "Nome do comprador;Válida de;Válida até;Preço (R$);IPI;Desconto;Preço econ. (R$)"));
    const QStringList expected = expectedProductRows(where, values);
    QCOMPARE(rows.size(), expected.size());
    QCOMPARE(rows, expected);
    QCOMPARE(designer->lastRowCount(), qint64(expected.size()));
}

void tst_ReportRun::variationComparesWithThePreviousQuote()
{
    FormValues::defaults().set(QStringLiteral("P_VARIPRECO"), QStringLiteral("S")).install(*designer);
    QString titles;
    const QStringList rows = csvRows(save(porProduto, QStringLiteral("csv")), &titles);
    QVERIFY(titles.endsWith(QStringLiteral(";Variação")));
    const QStringList expected = expectedProductRows(
        QStringLiteral("C.CDFILIAL = '0001' AND C.DTVALINI <= '2026-12-31' AND C.DTVALFIN >= '2026-12-01'"), {}, true);
    QCOMPARE(rows, expected);
    int withVariation = 0;
    for (const QString &r : rows)
        withVariation += r.endsWith(QLatin1Char(';')) ? 0 : 1;
    QVERIFY2(withVariation > 0, "the demo data has no quote with a previous one; the check proves nothing");

    // On paper the change shows as a signed percent with its arrow.
    const QString pdf = save(porProduto, QStringLiteral("pdf"));
    const QString text = runTool(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), pdf, QStringLiteral("-")});
    QVERIFY(text.contains(QStringLiteral("▲ +")) || text.contains(QStringLiteral("▼ -")));
}

void tst_ReportRun::ordersByEconomicPriceOnRequest()
{
    FormValues::defaults().set(QStringLiteral("P_ORDPI"), QStringLiteral("S")).install(*designer);
    const QStringList rows = csvRows(save(porProduto, QStringLiteral("csv")));
    QVERIFY(!rows.isEmpty());
    QString product;
    double last = -1;
    for (const QString &r : rows) {
        const QStringList f = csvFields(r);
        const double econ = QString(f.last()).replace(QLatin1Char(','), QLatin1Char('.')).toDouble();
        if (f.first() == product)
            QVERIFY2(econ >= last, qPrintable(r));
        product = f.first();
        last = econ;
    }
    // Same rows as the default order, only arranged differently.
    FormValues::defaults().install(*designer);
    QStringList plain = csvRows(save(porProduto, QStringLiteral("csv")));
    QStringList sorted = rows;
    plain.sort();
    sorted.sort();
    QCOMPARE(sorted, plain);
}

void tst_ReportRun::pdfShowsCodesAndPageNofM()
{
    const QString pdf = save(porProduto, QStringLiteral("pdf"));
    const int pages = designer->lastPageCount();
    QVERIFY(pages >= 1);
    const QString text = runTool(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), pdf, QStringLiteral("-")});
    QVERIFY2(text.contains(QStringLiteral("Página 1 de %1").arg(pages)), qPrintable(text.left(2000)));
    QVERIFY(text.contains(QStringLiteral("Página %1 de %1").arg(pages)));
    QVERIFY(!text.contains(QStringLiteral("Página %1 de %2").arg(pages + 1).arg(pages)));
    QCOMPARE(text.count(QLatin1Char('\f')), pages);
    // The heading names the list; the system it was issued for is a criterion, in words.
    QVERIFY(text.contains(QStringLiteral("Lista de Preços por Produto")));
    QVERIFY(!text.contains(QStringLiteral("- CMP")));
    QVERIFY(text.contains(QStringLiteral("Sistema: Compras")));
    QVERIFY(text.contains(QStringLiteral("Filial: 0001 - ")));
    QVERIFY(text.contains(QStringLiteral("Validade: 01/12/2026 a 31/12/2026")));

    const QStringList rows = csvRows(save(porProduto, QStringLiteral("csv")));
    QVERIFY(!rows.isEmpty());
    QSet<QString> products;
    for (const QString &r : rows)
        products << r.section(QLatin1Char(';'), 0, 0);
    for (const QString &code : products)
        QVERIFY2(text.contains(QStringLiteral("Produto ") + code), qPrintable(code));
}

void tst_ReportRun::newPagePerSupplierOnRequest()
{
    FormValues values = FormValues::defaults();
    values.set(QStringLiteral("P_PAGINA"), QStringLiteral("T")).install(*designer);
    const QString pdf = save(porFornecedor, QStringLiteral("pdf"));
    const int separatePages = designer->lastPageCount();
    QSet<QString> suppliers;
    for (const QString &r : csvRows(save(porFornecedor, QStringLiteral("csv"))))
        suppliers << r.section(QLatin1Char(';'), 0, 0);
    QVERIFY(suppliers.size() > 1);
    QVERIFY2(separatePages >= suppliers.size(), qPrintable(QString::number(separatePages)));

    // Each page starts with one supplier's header (or its continuation).
    const QString text = runTool(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), pdf, QStringLiteral("-")});
    const QStringList pageTexts = text.split(QLatin1Char('\f'), Qt::SkipEmptyParts);
    for (const QString &page : pageTexts)
        QCOMPARE(page.count(QStringLiteral("Cotações do fornecedor:")), 1);

    values.set(QStringLiteral("P_PAGINA"), QStringLiteral("F")).install(*designer);
    save(porFornecedor, QStringLiteral("pdf"));
    QVERIFY(designer->lastPageCount() < separatePages);
}

void tst_ReportRun::groupsSpillOntoPagesWithTheirHeader()
{
    FormValues::defaults()
        .set(QStringLiteral("P_DTINI"), QDate(2000, 1, 1))
        .set(QStringLiteral("P_DTFIN"), QDate(2100, 12, 31))
        .install(*designer);
    const QString pdf = save(porProduto, QStringLiteral("pdf"));
    QVERIFY(designer->lastPageCount() > 5);
    const QStringList pages =
        runTool(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), pdf, QStringLiteral("-")})
            .split(QLatin1Char('\f'), Qt::SkipEmptyParts);
    int continued = 0;
    for (const QString &page : pages) {
        QStringList lines = page.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        for (qsizetype i = 0; i + 1 < lines.size(); ++i) {
            if (!lines.at(i).contains(QStringLiteral("(continuação)")))
                continue;
            ++continued;
            // A group's header is repeated on the next page together with at least one
            // of its rows: never a header alone, never a footer without rows before it.
            QVERIFY2(!lines.at(i + 1).contains(QStringLiteral("Cotações do produto:")), qPrintable(page));
        }
        QVERIFY2(!lines.isEmpty() && !lines.at(lines.size() - 2).startsWith(QStringLiteral("Produto ")),
                 qPrintable(page));
    }
    QVERIFY2(continued > 0, "no group spills onto a second page; the check proves nothing");

    // A group that asks for it goes on over the page without its header.
    ReportDefinition def = designer->definition(porProduto);
    def.groups[0].repeatHeader = false;
    designer->setDefinition(porProduto, def);
    const QString bare = runTool(QStringLiteral("pdftotext"),
                                 {QStringLiteral("-layout"), save(porProduto, QStringLiteral("pdf")), QStringLiteral("-")});
    QCOMPARE(bare.count(QStringLiteral("(continuação)")), 0);
    QCOMPARE(bare.count(QLatin1Char('\f')), pages.size());
}

void tst_ReportRun::printWithoutPrinterSaysWhatToDo()
{
    if (!QPrinterInfo::availablePrinters().isEmpty())
        QSKIP("this machine has a printer; printing without a screen would print for real");
    // Declined: the person was told why, and nothing was written.
    designer->Print(nullptr, porProduto);
    QCOMPARE(io->questions.size(), 1);
    QVERIFY2(io->questions.first().contains(QStringLiteral("Nenhuma impressora")), qPrintable(io->questions.first()));
    QCOMPARE(QDir(out->path()).entryList(QDir::Files | QDir::Hidden).size(), 0);

    // Accepted: the list is saved as a PDF where the person says.
    const QString pdf = QDir(out->path()).filePath(QStringLiteral("sem-impressora"));
    io->confirmAnswers = {true};
    io->saveAnswers = {pdf};
    designer->Print(nullptr, porProduto);
    const QString text = runTool(QStringLiteral("pdftotext"), {pdf + QStringLiteral(".pdf"), QStringLiteral("-")});
    QVERIFY2(text.contains(QStringLiteral("Página 1 de")), qPrintable(text.left(300)));

    // Nobody to ask: the message says what to do.
    designer->Batch = true;
    try {
        designer->Print(nullptr, porProduto);
        QFAIL("printing succeeded without a printer");
    } catch (const ESuiteError &e) {
        QVERIFY2(e.message().contains(QStringLiteral("Nenhuma impressora")), qPrintable(e.message()));
        QVERIFY(e.message().contains(QStringLiteral("PDF")));
    }
}

void tst_ReportRun::xlsxIsAWorkbookWithOneRowPerLine()
{
    const QString xlsx = save(porProduto, QStringLiteral("xlsx"));
    const qint64 lines = designer->lastRowCount();
    QVERIFY(lines > 0);
    const QString listing = runTool(QStringLiteral("unzip"), {QStringLiteral("-l"), xlsx});
    QVERIFY2(listing.contains(QLatin1String("xl/worksheets/sheet1.xml")), qPrintable(listing));
    const QString sheet =
        runTool(QStringLiteral("unzip"), {QStringLiteral("-p"), xlsx, QStringLiteral("xl/worksheets/sheet1.xml")});
    QCOMPARE(sheet.count(QLatin1String("<row ")), lines + 1);
    // Prices are numbers, not text; dates are serial numbers with a date style.
    QVERIFY(sheet.contains(QRegularExpression(QStringLiteral("<c r=\"J2\" s=\"\\d+\"><v>[0-9.]+</v></c>"))));
    QVERIFY(sheet.contains(QRegularExpression(QStringLiteral("<c r=\"H2\" s=\"\\d+\"><v>4\\d{4}</v></c>"))));
    const QString styles =
        runTool(QStringLiteral("unzip"), {QStringLiteral("-p"), xlsx, QStringLiteral("xl/styles.xml")});
    QVERIFY(styles.contains(QLatin1String("dd/mm/yyyy")));
    QVERIFY(QDir(out->path()).entryList(QDir::Files | QDir::Hidden).size() == 1);
}

void tst_ReportRun::htmlEscapesTheData()
{
    env->exec(QStringLiteral("UPDATE FORNECEDOR SET NMFANTFORN = '<b>Irmãos & Cia</b>' WHERE CDFORNECED = "
                             "(SELECT CDFORNECED FROM COTACAO WHERE CDFILIAL = '0001' AND DTVALINI <= '2026-12-31' "
                             "AND DTVALFIN >= '2026-12-01' ORDER BY NRCOTACAO LIMIT 1)"));
    env->reopen();
    const QString html = QString::fromUtf8(readAll(save(porProduto, QStringLiteral("html"))));
    QVERIFY(html.startsWith(QLatin1String("<!DOCTYPE html>")));
    QVERIFY(html.contains(QStringLiteral("&lt;b&gt;Irmãos &amp; Cia&lt;/b&gt;")));
    QVERIFY(!html.contains(QStringLiteral("<b>Irmãos")));
    QSet<QString> products;
    for (const QString &r : csvRows(save(porProduto, QStringLiteral("csv"))))
        products << r.section(QLatin1Char(';'), 0, 0);
    QCOMPARE(html.count(QLatin1String("<tr class=\"g0\">")), products.size());
    QVERIFY(html.contains(QStringLiteral("Total de cotações:")));
}

void tst_ReportRun::hostileSupplierCodesTravelAsValues()
{
    const QStringList hostile{QStringLiteral("A'B"), QStringLiteral("C,D"), QStringLiteral("'; DROP TABLE COTACAO")};
    QSqlQuery count(env->writable());
    count.exec(QStringLiteral("SELECT COUNT(*), MAX(NRCOTACAO) FROM COTACAO"));
    QVERIFY(count.next());
    const qint64 before = count.value(0).toLongLong() + hostile.size();
    qint64 nr = count.value(1).toLongLong();
    for (const QString &code : hostile) {
        env->exec(QStringLiteral("INSERT INTO FORNECEDOR (CDFORNECED, IDTPIJURFORN, NRINSJURFORN, NMFANTFORN, "
                                 "NMRAZSOCFORN) VALUES (?, 'J', '00000000000191', ?, ?)"),
                  {code, QStringLiteral("Fornecedor ") + code, QStringLiteral("Razão ") + code});
        env->exec(QStringLiteral("INSERT INTO COTACAO (NRCOTACAO, CDFILIAL, CDFORNECED, CDPRODUTO, CDOPERADOR, "
                                 "DTVALINI, DTVALFIN, VRPRECO, PCIPI, PCDESCONTO) VALUES (?, '0001', ?, "
                                 "'0000000001', '000002', '2026-12-01', '2026-12-20', 10.5, 0, 0)"),
                  {++nr, code});
    }
    env->reopen();

    FormValues::defaults().suppliers(ListString::encode(hostile)).install(*designer);
    const QStringList rows = csvRows(save(porProduto, QStringLiteral("csv")));
    QStringList suppliers;
    for (const QString &r : rows)
        suppliers << csvFields(r).value(2);
    suppliers.sort();
    QStringList expected{QStringLiteral("'; DROP TABLE COTACAO"), QStringLiteral("A'B"), QStringLiteral("C,D")};
    QCOMPARE(suppliers, expected);

    count.exec(QStringLiteral("SELECT COUNT(*) FROM COTACAO"));
    QVERIFY(count.next());
    QCOMPARE(count.value(0).toLongLong(), before);
}

void tst_ReportRun::supplierListLongerThan1500()
{
    QSqlQuery q(env->writable());
    q.exec(QStringLiteral("SELECT CDFORNECED FROM FORNECEDOR ORDER BY CDFORNECED"));
    QStringList codes;
    while (q.next())
        codes << q.value(0).toString();
    const QStringList real = codes;
    for (int i = 0; i < 1600; ++i)
        codes << QStringLiteral("X%1").arg(i, 6, 10, QLatin1Char('0'));
    QVERIFY(codes.size() > 1500);

    const QStringList all = csvRows(save(porProduto, QStringLiteral("csv")));
    FormValues::defaults().suppliers(ListString::encode(codes)).install(*designer);
    QCOMPARE(csvRows(save(porProduto, QStringLiteral("csv"))), all);

    // Without the first half of the real suppliers, only the rows of the others remain.
    const QStringList kept = codes.mid(real.size() / 2);
    FormValues::defaults().suppliers(ListString::encode(kept)).install(*designer);
    const QStringList some = csvRows(save(porProduto, QStringLiteral("csv")));
    QStringList expected;
    for (const QString &r : all)
        if (kept.contains(csvFields(r).value(2)))
            expected << r;
    QCOMPARE(some, expected);
    QVERIFY(some.size() < all.size());
}

void tst_ReportRun::cancelledSaveLeavesNoFile_data()
{
    QTest::addColumn<QString>("suffix");
    QTest::addColumn<bool>("existing");
    for (const char *s : {"pdf", "csv", "xlsx", "html"}) {
        QTest::newRow(s) << QString::fromLatin1(s) << false;
        QTest::newRow(qPrintable(QStringLiteral("%1 over an older file").arg(QLatin1String(s))))
            << QString::fromLatin1(s) << true;
    }
}

void tst_ReportRun::cancelledSaveLeavesNoFile()
{
    QFETCH(QString, suffix);
    QFETCH(bool, existing);
    const QString file = QDir(out->path()).filePath(QStringLiteral("cancelado.") + suffix);
    if (existing) {
        QFile old(file);
        QVERIFY(old.open(QIODevice::WriteOnly));
        old.write("anterior");
    }
    // Cancelled at the first report of progress, which for a short run comes after the
    // last row has been written: nothing may appear all the same.
    qint64 seen = 0;
    designer->OnProgress = [&](qint64 rows, int) {
        seen = std::max(seen, rows);
        return false;
    };
    QVERIFY_THROWS_EXCEPTION(EAbort, designer->SaveAs(nullptr, porProduto, file));
    QVERIFY(seen > 0);
    if (existing)
        QCOMPARE(readAll(file), QByteArray("anterior"));
    else
        QVERIFY(!QFileInfo::exists(file));
    QCOMPARE(QDir(out->path()).entryList(QDir::Files | QDir::Hidden).size(), existing ? 1 : 0);
}

void tst_ReportRun::failuresCarryTheirCause_data()
{
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("file");
    QTest::addColumn<QStringList>("fragments");
    QTest::addColumn<bool>("eventRaised");

    QTest::newRow("unknown file type") << porProduto << QStringLiteral("relatorio.docx")
                                       << QStringList{"relatorio.docx", ".pdf", ".csv", ".xlsx", ".html"} << false;
    QTest::newRow("folder missing") << porProduto << QStringLiteral("nao/existe/relatorio.csv")
                                    << QStringList{"Não foi possível criar", "relatorio.csv"} << true;
    QTest::newRow("xlsx folder missing") << porProduto << QStringLiteral("nao/existe/relatorio.xlsx")
                                         << QStringList{"pasta não existe"} << true;
    QTest::newRow("table missing") << QStringLiteral("Tabela errada") << QStringLiteral("r.csv")
                                   << QStringList{"Tabela errada", "TABELA_QUE_NAO_EXISTE"} << true;
    QTest::newRow("field missing") << QStringLiteral("Campo errado") << QStringLiteral("r.pdf")
                                   << QStringList{"Campo errado", "NMINEXISTENTE"} << true;
    QTest::newRow("column the tables lack")
        << QStringLiteral("Coluna errada") << QStringLiteral("r.csv")
        << QStringList{"Coluna errada", "a consulta usa a coluna NMNADA, que as tabelas dela não têm (no such column"}
        << true;
    QTest::newRow("report missing") << QStringLiteral("Relatório sumido") << QStringLiteral("r.pdf")
                                    << QStringList{"Relatório sumido", "não foi encontrado"} << false;
}

void tst_ReportRun::failuresCarryTheirCause()
{
    QFETCH(QString, title);
    QFETCH(QString, file);
    QFETCH(QStringList, fragments);
    QFETCH(bool, eventRaised);

    QTemporaryDir defs;
    QFile::copy(designer->definitionFile(porProduto), QDir(defs.path()).filePath(QStringLiteral("LPR077-01.json")));
    smallDefinition(QStringLiteral("Tabela errada"), QStringLiteral("SELECT X FROM TABELA_QUE_NAO_EXISTE"), {"X"})
        .save(QDir(defs.path()).filePath(QStringLiteral("LPR077-02.json")));
    smallDefinition(QStringLiteral("Campo errado"), QStringLiteral("SELECT CDFILIAL FROM FILIAL"), {"NMINEXISTENTE"})
        .save(QDir(defs.path()).filePath(QStringLiteral("LPR077-03.json")));
    smallDefinition(QStringLiteral("Coluna errada"), QStringLiteral("SELECT NMNADA FROM FILIAL"), {"NMNADA"})
        .save(QDir(defs.path()).filePath(QStringLiteral("LPR077-04.json")));
    designer->ReportDir = defs.path();
    int events = 0;
    designer->BeforeGetQueryParams = [&](TParams &params, bool &) {
        ++events;
        FormValues::defaults().fill(params);
    };
    try {
        designer->SaveAs(nullptr, title, QDir(out->path()).filePath(file));
        QFAIL("the run did not fail");
    } catch (const ESuiteError &e) {
        for (const QString &f : fragments)
            QVERIFY2(e.message().contains(f), qPrintable(e.message()));
    }
    QCOMPARE(events > 0, eventRaised);
    QCOMPARE(QDir(out->path()).entryList(QDir::Files | QDir::Hidden).size(), 0);
}

void tst_ReportRun::previewWithoutScreenRunsInFull()
{
    FormValues::defaults().set(QStringLiteral("P_CDFILIAL"), QStringLiteral("0006")).install(*designer);
    designer->Preview(nullptr, porFornecedor);
    QVERIFY(designer->lastPageCount() >= 1);
    QVERIFY(designer->lastRowCount() > 0);
    QCOMPARE(designer->lastParams().ParamByName(QStringLiteral("P_CDFILIAL")).AsString(), QStringLiteral("0006"));
}

QTEST_MAIN(tst_ReportRun)
#include "tst_reportrun.moc"
