#include "report/designer/DesignerEdits.h"

#include <QTest>

namespace {

const DesignerBand header{DesignerBand::PageHeader, -1};

// A definition with three columns (widths 10, 30, 20 mm) and elements in the page header
// at the rectangles given as "x,y,w,h;x,y,w,h".
ReportDefinition withElements(const QString &rects)
{
    ReportDefinition d;
    for (const auto &[field, width] : {std::pair{"A", 10}, {"B", 30}, {"C", 20}}) {
        ReportColumn c;
        c.field = QString::fromLatin1(field);
        c.width = width;
        d.columns << c;
    }
    for (const QString &rect : rects.split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
        const QStringList n = rect.split(QLatin1Char(','));
        ReportElement e;
        e.x = n.at(0).toDouble();
        e.y = n.at(1).toDouble();
        e.width = n.at(2).toDouble();
        e.height = n.at(3).toDouble();
        d.pageHeader.elements << e;
    }
    d.pageHeader.height = 20;
    return d;
}

QString rectsOf(const ReportDefinition &d)
{
    QStringList out;
    for (const ReportElement &e : d.pageHeader.elements)
        out << QStringLiteral("%1,%2,%3,%4").arg(e.x).arg(e.y).arg(e.width).arg(e.height);
    return out.join(QLatin1Char(';'));
}

QList<ElementRef> all(const ReportDefinition &d)
{
    QList<ElementRef> refs;
    for (int i = 0; i < d.pageHeader.elements.size(); ++i)
        refs << ElementRef{header, i};
    return refs;
}

} // namespace

class tst_DesignerEdits : public QObject
{
    Q_OBJECT

private slots:
    void arrange_data();
    void arrange();
    void snap_data();
    void snap();
    void dropOnTheTable_data();
    void dropOnTheTable();
    void dragColumnEdge_data();
    void dragColumnEdge();
};

void tst_DesignerEdits::arrange_data()
{
    QTest::addColumn<QString>("before");
    QTest::addColumn<QString>("edit");
    QTest::addColumn<QString>("after");
    QTest::addColumn<double>("bandHeight");

    QTest::newRow("align left on the first") << "10,2,5,5;30,4,8,5;20,6,4,5" << "left" << "10,2,5,5;10,4,8,5;10,6,4,5" << 20.0;
    QTest::newRow("align right on the first") << "10,2,5,5;30,4,8,5" << "right" << "10,2,5,5;7,4,8,5" << 20.0;
    QTest::newRow("align bottoms") << "0,2,5,5;9,10,5,2" << "bottom" << "0,2,5,5;9,5,5,2" << 20.0;
    QTest::newRow("centre vertically") << "0,0,5,10;9,0,5,2" << "vcenter" << "0,0,5,10;9,4,5,2" << 20.0;
    // Never before the band's edge.
    QTest::newRow("align right past the edge") << "0,0,5,5;3,0,8,5" << "right" << "0,0,5,5;0,0,8,5" << 20.0;
    QTest::newRow("distribute, equal gaps") << "0,0,10,5;12,0,10,5;50,0,10,5" << "hspread"
                                            << "0,0,10,5;25,0,10,5;50,0,10,5" << 20.0;
    QTest::newRow("distribute in any order") << "50,0,10,5;0,0,10,5;40,0,10,5" << "hspread"
                                             << "50,0,10,5;0,0,10,5;25,0,10,5" << 20.0;
    QTest::newRow("distribute two: nothing to spread") << "0,0,5,5;30,0,5,5" << "hspread" << "0,0,5,5;30,0,5,5" << 20.0;
    // The band grows to hold what moved past its foot; it is never left shorter.
    QTest::newRow("moved below the band") << "0,0,5,5" << "down 18" << "0,18,5,5" << 23.0;
    QTest::newRow("moved before the edge") << "3,3,5,5" << "up 10" << "3,0,5,5" << 20.0;
    QTest::newRow("band made shorter than it holds") << "0,12,5,5" << "height 4" << "0,12,5,5" << 17.0;
    QTest::newRow("band made shorter, empty below") << "0,0,5,5" << "height 6" << "0,0,5,5" << 6.0;
}

void tst_DesignerEdits::arrange()
{
    QFETCH(QString, before);
    QFETCH(QString, edit);
    QFETCH(QString, after);
    QFETCH(double, bandHeight);
    ReportDefinition d = withElements(before);
    const QList<ElementRef> refs = all(d);
    using DesignerEdits::Edge;
    if (edit == QLatin1String("left"))
        DesignerEdits::align(d, refs, Edge::Left);
    else if (edit == QLatin1String("right"))
        DesignerEdits::align(d, refs, Edge::Right);
    else if (edit == QLatin1String("bottom"))
        DesignerEdits::align(d, refs, Edge::Bottom);
    else if (edit == QLatin1String("vcenter"))
        DesignerEdits::align(d, refs, Edge::VCenter);
    else if (edit == QLatin1String("hspread"))
        DesignerEdits::distribute(d, refs, true);
    else if (edit.startsWith(QLatin1String("down ")))
        DesignerEdits::moveElements(d, refs, 0, edit.mid(5).toDouble());
    else if (edit.startsWith(QLatin1String("up ")))
        DesignerEdits::moveElements(d, refs, 0, -edit.mid(3).toDouble());
    else if (edit.startsWith(QLatin1String("height ")))
        DesignerEdits::setBandHeight(d, header, edit.mid(7).toDouble());
    QCOMPARE(rectsOf(d), after);
    QCOMPARE(d.pageHeader.height, bandHeight);
}

void tst_DesignerEdits::snap_data()
{
    QTest::addColumn<double>("value");
    QTest::addColumn<QList<double>>("edges");
    QTest::addColumn<double>("snapped");
    QTest::newRow("to the grid") << 12.4 << QList<double>{} << 12.0;
    QTest::newRow("to the grid, up") << 12.6 << QList<double>{} << 13.0;
    QTest::newRow("to a near edge before the grid") << 12.4 << QList<double>{12.7} << 12.7;
    QTest::newRow("to the nearest of two edges") << 20.0 << QList<double>{19.2, 20.5} << 20.5;
    QTest::newRow("an edge too far is not caught") << 20.0 << QList<double>{21.5} << 20.0;
}

void tst_DesignerEdits::snap()
{
    QFETCH(double, value);
    QFETCH(QList<double>, edges);
    QFETCH(double, snapped);
    QCOMPARE(DesignerEdits::snap(value, edges), snapped);
}

void tst_DesignerEdits::dropOnTheTable_data()
{
    // Columns A (10), B (30) and C (20) share 120 mm of page: 20, 60 and 40 mm; or they
    // print at their widths, the table ending at 60 mm.
    QTest::addColumn<bool>("fill");
    QTest::addColumn<double>("x");
    QTest::addColumn<QString>("order");
    QTest::newRow("before the first") << true << 5.0 << "N,A,B,C";
    QTest::newRow("past the middle of the first") << true << 15.0 << "A,N,B,C";
    QTest::newRow("in the first half of the second") << true << 45.0 << "A,N,B,C";
    QTest::newRow("in the second half of the second") << true << 55.0 << "A,B,N,C";
    QTest::newRow("past the last") << true << 119.0 << "A,B,C,N";
    QTest::newRow("at their widths: at the third's left edge") << false << 40.0 << "A,B,N,C";
    QTest::newRow("at their widths: past the table's end") << false << 70.0 << "A,B,C,N";
    QTest::newRow("at their widths: in the second half of the second") << false << 30.0 << "A,B,N,C";
}

void tst_DesignerEdits::dropOnTheTable()
{
    QFETCH(bool, fill);
    QFETCH(double, x);
    QFETCH(QString, order);
    ReportDefinition d = withElements(QString());
    d.columnsFillWidth = fill;
    const auto result =
        DesignerEdits::dropField(d, DesignerBand{DesignerBand::Detail, -1}, QPointF(x, 1), QStringLiteral("N"), 120);
    QStringList fields;
    for (const ReportColumn &c : d.columns)
        fields << c.field;
    QCOMPARE(fields.join(QLatin1Char(',')), order);
    QCOMPARE(d.columns.at(result.column).field, QStringLiteral("N"));
    QCOMPARE(d.columns.at(result.column).title, QStringLiteral("N"));
    QVERIFY(d.pageHeader.elements.isEmpty());
}

void tst_DesignerEdits::dragColumnEdge_data()
{
    // Columns A (10), B (30) and C (20) share 120 mm of page: drawn at twice their widths.
    QTest::addColumn<int>("column");
    QTest::addColumn<double>("dx"); // on the page, mm
    QTest::addColumn<bool>("toGrid");
    QTest::addColumn<QString>("widths"); // after, in the columns' order
    QTest::addColumn<bool>("fill");      // false: the columns print at their widths
    QTest::newRow("wider by 10 mm on the page") << 1 << 10.0 << true << "10,35,20" << true;
    QTest::newRow("at their widths: wider by 10 mm") << 1 << 10.0 << true << "10,40,20" << false;
    QTest::newRow("narrower, the last column") << 2 << -8.0 << true << "10,30,16" << true;
    QTest::newRow("snapped to the grid") << 0 << 3.0 << true << "12,30,20" << true;
    QTest::newRow("Alt: not snapped") << 0 << 3.0 << false << "11.5,30,20" << true;
    QTest::newRow("never below the grid") << 1 << -500.0 << true << "10,1,20" << true;
    QTest::newRow("never past the widest") << 1 << 1000.0 << true << "10,300,20" << true;
    QTest::newRow("a spreadsheet-only column is not on the page") << 3 << 10.0 << true << "10,30,20,7" << true;
    QTest::newRow("no such column") << 7 << 10.0 << true << "10,30,20" << true;
}

void tst_DesignerEdits::dragColumnEdge()
{
    QFETCH(int, column);
    QFETCH(double, dx);
    QFETCH(bool, toGrid);
    QFETCH(QString, widths);
    QFETCH(bool, fill);
    ReportDefinition d = withElements(QString());
    d.columnsFillWidth = fill;
    if (widths.count(QLatin1Char(',')) == 3) {
        ReportColumn data;
        data.field = QStringLiteral("D");
        data.width = 7;
        data.dataOnly = true;
        d.columns << data;
    }
    ReportDefinition before = d;
    DesignerEdits::dragColumnEdge(d, column, dx, 120, toGrid);
    QStringList shown;
    for (const ReportColumn &c : d.columns)
        shown << QString::number(c.width);
    QCOMPARE(shown.join(QLatin1Char(',')), widths);
    // Only the width moves: the columns of the data outputs stay as they were.
    for (ReportColumn &c : before.columns)
        c.width = 0;
    for (ReportColumn &c : d.columns)
        c.width = 0;
    QCOMPARE(d.toJson(), before.toJson());
}

QTEST_APPLESS_MAIN(tst_DesignerEdits)
#include "tst_designeredits.moc"
