#include "ScriptedInteraction.h"
#include "report/ReportFixture.h"
#include "report/ReportDefinitionStore.h"
#include "report/designer/DesignerDocument.h"
#include "report/designer/DesignerEdits.h"
#include "report/designer/DesignerItems.h"
#include "report/designer/DesignerProperties.h"
#include "report/designer/DesignerScene.h"
#include "report/designer/DesignerView.h"
#include "report/designer/ExpressionEdit.h"
#include "report/designer/ReportDesignerWindow.h"
#include "report/designer/ReportFieldList.h"
#include "report/designer/ReportQueryEditor.h"

#include <QBuffer>
#include <QDir>
#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QPlainTextEdit>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <QPointer>
#include <QTemporaryDir>
#include <QScreen>
#include <QScrollArea>
#include <QStatusBar>
#include <QTabWidget>
#include <QTest>
#include <QToolBar>
#include <QTreeWidget>
#include <QUndoStack>
#include <memory>

namespace {
const QString porFornecedor = QStringLiteral("Lista de Preços por Fornecedor");
const DesignerBand pageHeader{DesignerBand::PageHeader, -1};
const DesignerBand detail{DesignerBand::Detail, -1};
const DesignerBand groupHeader{DesignerBand::GroupHeader, 0};
const DesignerBand groupFooter{DesignerBand::GroupFooter, 0};

QByteArray pngLogo()
{
    QImage image(24, 12, QImage::Format_RGB32);
    image.fill(QColor(0x20, 0x60, 0xA0));
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}
} // namespace

class tst_Designer : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void undoAndRedoGiveBackEveryEarlierState_data();
    void undoAndRedoGiveBackEveryEarlierState();
    void writtenDefinitionReadsBackTheSame_data();
    void writtenDefinitionReadsBackTheSame();
    void expressionFaultShowsAsTyped_data();
    void expressionFaultShowsAsTyped();
    void saveRefusesABrokenDefinition_data();
    void saveRefusesABrokenDefinition();
    void escapeWithChangesAsks_data();
    void escapeWithChangesAsks();
    void savedAsNewGoesOnWithTheNewReport_data();
    void savedAsNewGoesOnWithTheNewReport();
    void styleRulesEditTheRulePicked_data();
    void styleRulesEditTheRulePicked();
    void discardQuestionKeepsTheEditsByDefault_data();
    void discardQuestionKeepsTheEditsByDefault();
    void panelsReadWholeAtTheirSize_data();
    void panelsReadWholeAtTheirSize();
    void typedQueryRefreshesTheFields_data();
    void typedQueryRefreshesTheFields();

private:
    ReportDesignerWindow *open(const QString &title);
    void apply(ReportDesignerWindow *w, const QString &step);
    // A press, a move and a release of the left button on the page, between scene points.
    void drag(ReportDesignerWindow *w, QPointF from, QPointF to);
    QPointF centreOf(ReportDesignerWindow *w, const ElementRef &ref);
    QLineEdit *property(ReportDesignerWindow *w, const QString &name);
    void click(ReportDesignerWindow *w, const QString &name);
    // The names the field list offers to drag, in order.
    static QStringList listedFields(ReportDesignerWindow *w);

    std::unique_ptr<TestEnv> env;
    std::unique_ptr<ScriptedInteraction> io;
    std::unique_ptr<QTemporaryDir> reports;
    std::unique_ptr<QWidget> screen;
    TReportDesignerDialog *designer = nullptr;
};

void tst_Designer::init()
{
    env = std::make_unique<TestEnv>();
    io = std::make_unique<ScriptedInteraction>();
    reports = std::make_unique<QTemporaryDir>();
    const QDir source(Session::current().reportDir);
    for (const QString &name : source.entryList({QStringLiteral("LPR077*.json")}, QDir::Files))
        QVERIFY(QFile::copy(source.filePath(name), QDir(reports->path()).filePath(name)));
    screen = std::make_unique<QWidget>();
    screen->resize(400, 300);
    designer = new TReportDesignerDialog(screen.get());
    designer->ReportDir = reports->path();
    designer->ReportCode = QStringLiteral("LPR077");
    const FormValues values = FormValues::defaults();
    designer->BeforeGetQueryParams = [values](TParams &params, bool &) { values.fill(params); };
}

void tst_Designer::cleanup()
{
    screen.reset();
    reports.reset();
    io.reset();
    env.reset();
    ReportDefinitionStore::discardAll();
}

ReportDesignerWindow *tst_Designer::open(const QString &title)
{
    designer->Edit(screen.get(), title);
    auto *w = screen->findChild<ReportDesignerWindow *>(QStringLiteral("ReportDesignerWindow"));
    if (w && !QTest::qWaitForWindowExposed(w))
        return nullptr;
    // The query's fields are read on a worker thread.
    if (w && !QTest::qWaitFor([w] { return !w->readingFields(); }, 10000))
        return nullptr;
    return w;
}

QPointF tst_Designer::centreOf(ReportDesignerWindow *w, const ElementRef &ref)
{
    const ReportElement *e = ref.in(w->definition());
    return w->scene()->bandRect(ref.band).topLeft() + QPointF(e->x + e->width / 2, e->y + e->height / 2);
}

void tst_Designer::drag(ReportDesignerWindow *w, QPointF from, QPointF to)
{
    QWidget *viewport = w->view()->viewport();
    const QPoint a = w->view()->mapFromScene(from);
    const QPoint b = w->view()->mapFromScene(to);
    const auto send = [&](QEvent::Type type, QPoint at, Qt::MouseButtons buttons) {
        QMouseEvent event(type, at, viewport->mapToGlobal(at), Qt::LeftButton, buttons, Qt::NoModifier);
        QApplication::sendEvent(viewport, &event);
    };
    send(QEvent::MouseButtonPress, a, Qt::LeftButton);
    send(QEvent::MouseMove, (a + b) / 2, Qt::LeftButton);
    send(QEvent::MouseMove, b, Qt::LeftButton);
    send(QEvent::MouseButtonRelease, b, Qt::NoButton);
    QCoreApplication::processEvents(); // the change is made once the mouse handling is over
}

void tst_Designer::click(ReportDesignerWindow *w, const QString &name)
{
    auto *button = w->properties()->findChild<QAbstractButton *>(name);
    QVERIFY2(button && button->isEnabled(), qPrintable(name));
    button->click();
}

QStringList tst_Designer::listedFields(ReportDesignerWindow *w)
{
    QStringList names;
    const QTreeWidgetItem *root = w->fieldList()->topLevelItem(0);
    for (int i = 0; i < root->childCount(); ++i)
        if (root->child(i)->flags() & Qt::ItemIsDragEnabled)
            names << root->child(i)->text(0);
    return names;
}

QLineEdit *tst_Designer::property(ReportDesignerWindow *w, const QString &name)
{
    if (auto *edit = w->properties()->findChild<ExpressionEdit *>(name))
        return edit->line();
    return w->properties()->findChild<QLineEdit *>(name);
}

// Steps of an edit sequence, as an author makes them on the page, in the panels and menus.
void tst_Designer::apply(ReportDesignerWindow *w, const QString &step)
{
    const auto lastIn = [w](const DesignerBand &band) {
        return ElementRef{band, int(band.in(w->definition())->elements.size()) - 1};
    };
    if (step == QLatin1String("text")) {
        w->select({}, {}, {pageHeader});
        w->insertElement(ReportElement::Kind::Text);
    } else if (step == QLatin1String("rect")) {
        w->select({}, {}, {pageHeader});
        w->insertElement(ReportElement::Kind::Rect);
    } else if (step == QLatin1String("move")) {
        const ElementRef ref = lastIn(pageHeader);
        w->select({ref});
        drag(w, centreOf(w, ref), centreOf(w, ref) + QPointF(23.4, 3.2));
    } else if (step == QLatin1String("resize")) {
        const ElementRef ref = lastIn(pageHeader);
        w->select({ref});
        const ReportElement *e = ref.in(w->definition());
        const QPointF corner = w->scene()->bandRect(pageHeader).topLeft() + QPointF(e->x + e->width, e->y + e->height);
        drag(w, corner, corner + QPointF(12, 4));
    } else if (step == QLatin1String("nudge")) {
        w->select({lastIn(pageHeader)});
        w->view()->setFocus();
        for (int i = 0; i < 3; ++i)
            QTest::keyClick(w->view(), Qt::Key_Right);
    } else if (step == QLatin1String("delete")) {
        w->select({lastIn(pageHeader)});
        w->deleteSelection();
    } else if (step == QLatin1String("copy and paste")) {
        w->select({lastIn(pageHeader)});
        w->copySelection();
        w->paste();
    } else if (step == QLatin1String("align")) {
        w->select({ElementRef{pageHeader, 0}, ElementRef{pageHeader, 1}});
        w->alignSelection(int(DesignerEdits::Edge::Top));
    } else if (step == QLatin1String("group")) {
        io->textAnswers << QStringLiteral("CDARVPROD");
        QMetaObject::invokeMethod(w, [w] {
            for (QAction *a : w->findChildren<QAction *>())
                if (a->text() == QStringLiteral("Grupo..."))
                    a->trigger();
        });
    } else if (step == QLatin1String("title")) {
        w->select({});
        QLineEdit *title = property(w, QStringLiteral("title"));
        title->setFocus();
        QTest::keyClicks(title, QStringLiteral(" 2027")); // one step however many keys
        w->view()->setFocus();
    } else if (step == QLatin1String("expression")) {
        w->select({lastIn(pageHeader)});
        QLineEdit *expression = property(w, QStringLiteral("expression"));
        expression->setFocus();
        QTest::keyClicks(expression, QStringLiteral("'Pag. ' & page()"));
        w->view()->setFocus();
    } else if (step == QLatin1String("drop on detail")) {
        w->drop(detail, QPointF(0, 1), QStringLiteral("VRPRECOANT"));
    } else if (step == QLatin1String("drop on group header")) {
        w->drop(groupHeader, QPointF(5, 1), QStringLiteral("NMFANTFORN"));
    } else if (step == QLatin1String("drop a price on group footer")) {
        // A price dropped shows as its column's scale says, to the right.
        w->drop(groupFooter, QPointF(5, 1), QStringLiteral("VRPRECO"));
        const ReportElement &price = w->definition().groups[0].footerBand.elements.last();
        QCOMPARE(price.format, QStringLiteral("number:4"));
        QCOMPARE(price.align, QStringLiteral("right"));
    } else if (step == QLatin1String("drop parameter")) {
        w->drop(pageHeader, QPointF(100, 2), QStringLiteral("=:P_CDFILIAL"));
    } else if (step == QLatin1String("band height")) {
        const QRectF body = w->scene()->bandRect(groupFooter);
        drag(w, QPointF(body.center().x(), body.bottom()), QPointF(body.center().x(), body.bottom() + 8));
    } else if (step.startsWith(QLatin1String("margin "))) {
        // "margin marginLeft 25": typed into the report's margin box.
        w->select({});
        auto *spin = w->properties()->findChild<QDoubleSpinBox *>(step.section(QLatin1Char(' '), 1, 1));
        QVERIFY(spin);
        spin->setValue(step.section(QLatin1Char(' '), 2).toDouble());
    } else if (step.startsWith(QLatin1String("column width "))) {
        // "column width N DX": the right edge of the Nth column of the detail rows dragged.
        const int column = step.section(QLatin1Char(' '), 2, 2).toInt() - 1;
        QRectF cell;
        for (QGraphicsItem *item : w->scene()->items())
            if (item->type() == ColumnItem::Type && static_cast<ColumnItem *>(item)->column == column
                && w->scene()->bandRect(detail).contains(static_cast<ColumnItem *>(item)->rect().center()))
                cell = static_cast<ColumnItem *>(item)->rect();
        QVERIFY(!cell.isNull());
        const QPointF edge(cell.right(), cell.center().y());
        drag(w, edge, edge + QPointF(step.section(QLatin1Char(' '), 3).toDouble(), 0));
    } else if (step == QLatin1String("add criterion") || step.startsWith(QLatin1String("remove criterion "))) {
        // The report's panel, laid out again once the criteria have changed.
        w->select({});
        QCoreApplication::processEvents();
        click(w, step.startsWith(QLatin1String("add"))
                     ? QStringLiteral("criterionAdd")
                     : QStringLiteral("criterionRemove%1").arg(step.section(QLatin1Char(' '), 2).toInt() - 1));
        QCoreApplication::processEvents();
    } else if (step.startsWith(QLatin1String("criterion "))) {
        // "criterion N PART TEXT": typed into the Nth criterion's label, text or lookup.
        w->select({});
        QCoreApplication::processEvents();
        QLineEdit *edit = property(w, QStringLiteral("criterion%1/%2")
                                          .arg(step.section(QLatin1Char(' '), 1, 1).toInt() - 1)
                                          .arg(step.section(QLatin1Char(' '), 2, 2)));
        QVERIFY(edit);
        edit->setFocus();
        QTest::keyClicks(edit, step.section(QLatin1Char(' '), 3));
        w->view()->setFocus();
    } else if (step == QLatin1String("add row rule")) {
        w->select({}, {}, {detail});
        click(w, QStringLiteral("btnIncluirEstilo"));
    } else if (step == QLatin1String("add rule")) {
        click(w, QStringLiteral("btnIncluirEstilo"));
    } else if (step == QLatin1String("element with three rules")) {
        w->document()->change(step, [](ReportDefinition &d) {
            ReportElement e;
            e.kind = ReportElement::Kind::Field;
            e.field = QStringLiteral("NMFANTFORN");
            for (const char *when : {"CDFILIAL = '0001'", "PCIPI > 5", "PCDESCONTO > 0"})
                e.styles << ReportStyleRule{QString::fromLatin1(when), QString(), QString(), true};
            DesignerEdits::addElement(d, groupHeader, e);
        });
        w->select({ElementRef{groupHeader, int(groupHeader.in(w->definition())->elements.size()) - 1}});
    } else if (step.startsWith(QLatin1String("rule "))) {
        // "rule N what [text]": what is done to the Nth rule of the list in the panel.
        auto *list = w->properties()->findChild<QListWidget *>(QStringLiteral("lstEstilos"));
        QVERIFY(list);
        list->setCurrentRow(step.section(QLatin1Char(' '), 1, 1).toInt() - 1);
        const QString what = step.section(QLatin1Char(' '), 2, 2);
        const QString text = step.section(QLatin1Char(' '), 3);
        if (what == QLatin1String("when") || what == QLatin1String("colour")) {
            QLineEdit *edit = property(w, what == QLatin1String("when") ? QStringLiteral("styleWhen")
                                                                        : QStringLiteral("styleColor"));
            edit->setFocus();
            edit->selectAll(); // typed over what the rule had
            QTest::keyClicks(edit, text);
            w->view()->setFocus();
        } else {
            click(w, what == QLatin1String("bold")     ? QStringLiteral("styleBold")
                     : what == QLatin1String("remove") ? QStringLiteral("btnExcluirEstilo")
                                                       : QStringLiteral("btnSubirEstilo"));
        }
    } else if (step.startsWith(QLatin1String("format "))) {
        // "format NAME KEY": the format picked by its name in the last column's list, kept by its key.
        w->select({}, {int(w->definition().columns.size()) - 1});
        auto *formats = w->properties()->findChild<QComboBox *>(QStringLiteral("format"));
        QVERIFY(formats);
        const QString name = step.section(QLatin1Char(' '), 1, -2);
        QStringList offered;
        for (int i = 0; i < formats->count(); ++i)
            offered << formats->itemText(i);
        QVERIFY2(offered.contains(name), qPrintable(offered.join(QStringLiteral(" | "))));
        formats->setCurrentIndex(offered.indexOf(name));
        QCOMPARE(w->definition().columns.last().format, step.section(QLatin1Char(' '), -1));
    } else if (step == QLatin1String("portrait")) {
        w->select({});
        for (QAction *a : w->findChildren<QAction *>())
            if (a->text() == QStringLiteral("Retrato"))
                a->trigger();
    } else {
        QFAIL(qPrintable(QStringLiteral("unknown step ") + step));
    }
    QCoreApplication::processEvents();
}

void tst_Designer::undoAndRedoGiveBackEveryEarlierState_data()
{
    QTest::addColumn<QStringList>("steps");
    QTest::addColumn<QKeySequence>("keys"); // undo and redo pressed on the page; empty: the stack's own
    const QKeySequence stack, ctrlY(Qt::CTRL | Qt::Key_Y), ctrlShiftZ(Qt::CTRL | Qt::SHIFT | Qt::Key_Z);
    QTest::newRow("insert, move, resize") << QStringList{"text", "move", "resize"} << ctrlY;
    QTest::newRow("arrows, then delete") << QStringList{"rect", "nudge", "delete"} << ctrlShiftZ;
    QTest::newRow("copy, paste, align") << QStringList{"rect", "copy and paste", "move", "align"} << stack;
    QTest::newRow("properties typed") << QStringList{"title", "text", "expression"} << stack;
    QTest::newRow("fields dropped") << QStringList{"drop on detail", "drop on group header", "drop parameter"} << stack;
    QTest::newRow("a new group and a band's height") << QStringList{"group", "band height", "portrait"} << stack;
    QTest::newRow("row rules: added, edited, removed")
        << QStringList{"add row rule", "add rule", "rule 2 when PCVARIACAO > 10", "rule 2 colour #C00000",
                       "rule 1 bold", "rule 1 remove"}
        << ctrlY;
    QTest::newRow("an element's rules, reordered")
        << QStringList{"drop on group header", "add rule", "rule 1 when NMFANTFORN = 'X'", "add rule", "rule 2 up"}
        << stack;
    QTest::newRow("a column's cell rules") << QStringList{"drop on detail", "add rule", "rule 1 colour #1E7A2E"} << stack;
    QTest::newRow("formats picked by name") << QStringList{"drop on detail", "format Moeda money", "text",
                                                           "format Número, 2 casas number:2"} << stack;
    QTest::newRow("column widths dragged")
        << QStringList{"column width 3 12", "drop on detail", "column width 5 -6"} << ctrlY;
    QTest::newRow("criteria: added, typed, removed")
        << QStringList{"add criterion", "criterion 1 text  - compras", "add criterion", "remove criterion 1"} << ctrlY;
    QTest::newRow("margins, then an element")
        << QStringList{"margin marginLeft 25", "margin marginTop 18.5", "text", "margin marginRight 0"} << ctrlY;
}

void tst_Designer::undoAndRedoGiveBackEveryEarlierState()
{
    QFETCH(QStringList, steps);
    QFETCH(QKeySequence, keys);
    ReportDesignerWindow *w = open(porFornecedor);
    QVERIFY(w);
    w->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(w));
    // Where each toolbar button is: a click aimed at one never lands on another after an edit.
    const auto toolbar = [w] {
        QStringList places;
        auto *bar = w->findChild<QToolBar *>(QStringLiteral("barRelatorio"));
        for (QAction *a : bar->actions())
            if (QWidget *button = bar->widgetForAction(a))
                places << QStringLiteral("%1@%2+%3").arg(a->iconText()).arg(button->x()).arg(button->width());
        return places.join(QLatin1Char(' '));
    };
    const QString buttons = toolbar();
    QList<QByteArray> states{w->definition().toJson()};
    for (const QString &step : steps) {
        apply(w, step);
        states << w->definition().toJson();
        QVERIFY2(states.last() != states.at(states.size() - 2), qPrintable(step + QStringLiteral(" changed nothing")));
        QCOMPARE(toolbar(), buttons);
    }
    // One step of the history per step of the author: typing and arrows merge.
    QUndoStack *stack = w->document()->undoStack();
    QCOMPARE(stack->count(), steps.size());
    const auto press = [&](const QKeySequence &sequence, void (QUndoStack::*fallback)()) {
        if (keys.isEmpty())
            return (stack->*fallback)();
        w->view()->setFocus();
        QTest::keySequence(w->view(), sequence);
    };
    for (qsizetype i = steps.size(); i > 0; --i) {
        press(QKeySequence(Qt::CTRL | Qt::Key_Z), &QUndoStack::undo);
        QVERIFY2(w->definition().toJson() == states.at(i - 1), qPrintable(QStringLiteral("undo of ") + steps.at(i - 1)));
    }
    QVERIFY(!w->document()->isModified());
    for (qsizetype i = 1; i <= steps.size(); ++i) {
        press(keys, &QUndoStack::redo);
        QVERIFY2(w->definition().toJson() == states.at(i), qPrintable(QStringLiteral("redo of ") + steps.at(i - 1)));
    }
    io->confirmAnswers << true;
    w->close();
}

void tst_Designer::writtenDefinitionReadsBackTheSame_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<bool>("authored"); // elements of every kind added first
    QTest::newRow("by product, as shipped") << QStringLiteral("LPR077-01-produto.json") << false;
    QTest::newRow("by supplier, as shipped") << QStringLiteral("LPR077-02-fornecedor.json") << false;
    QTest::newRow("by supplier, with every kind of element") << QStringLiteral("LPR077-02-fornecedor.json") << true;
}

void tst_Designer::writtenDefinitionReadsBackTheSame()
{
    QFETCH(QString, file);
    QFETCH(bool, authored);
    const QString path = QDir(reports->path()).filePath(file);
    ReportDesignerWindow *w = designer->Design(nullptr, path);
    QVERIFY(w);
    const std::unique_ptr<ReportDesignerWindow> owner(w);
    w->setAttribute(Qt::WA_DeleteOnClose, false);
    if (authored) {
        w->document()->change(QStringLiteral("elementos"), [](ReportDefinition &d) {
            ReportElement logo;
            logo.kind = ReportElement::Kind::Image;
            logo.image = pngLogo();
            logo.mime = QStringLiteral("image/png");
            logo.name = QStringLiteral("Logotipo");
            DesignerEdits::addElement(d, pageHeader, logo);
            ReportElement line;
            line.kind = ReportElement::Kind::Line;
            line.height = 0;
            line.borderWidth = 0.35;
            DesignerEdits::addElement(d, pageHeader, line);
            ReportElement name;
            name.kind = ReportElement::Kind::Field;
            name.field = QStringLiteral("NMFANTFORN");
            name.italic = true;
            name.styles << ReportStyleRule{QStringLiteral("PCVARIACAO > 10"), QStringLiteral("#C00000"), QString(), true};
            DesignerEdits::addElement(d, groupHeader, name);
            ReportElement count;
            count.expression = QStringLiteral("'Produtos: ' & count()");
            count.background = QStringLiteral("#EEEEEE");
            count.borderWidth = 0.2;
            DesignerEdits::addElement(d, groupFooter, count);
            ReportElement frame;
            frame.kind = ReportElement::Kind::Rect;
            DesignerEdits::addElement(d, DesignerBand{DesignerBand::Summary, -1}, frame);
            d.groups[0].repeatHeader = false;
        });
    } else {
        w->document()->change(QStringLiteral("título"), [](ReportDefinition &d) { d.title += QStringLiteral(" *"); });
    }
    QVERIFY(w->saveDefinition());
    QVERIFY2(io->errors.isEmpty(), qPrintable(io->errors.join('\n')));
    const QByteArray written = readAll(path);
    QCOMPARE(written, w->definition().toJson());

    // Opened again and saved with no change in between: the same bytes.
    const std::unique_ptr<ReportDesignerWindow> again(designer->Design(nullptr, path));
    again->setAttribute(Qt::WA_DeleteOnClose, false);
    QVERIFY(again->saveDefinition());
    QCOMPARE(readAll(path), written);
    QCOMPARE(ReportDefinition::load(path).toJson(), written);
}

void tst_Designer::expressionFaultShowsAsTyped_data()
{
    QTest::addColumn<int>("band"); // a DesignerBand::Kind of level 0
    QTest::addColumn<QString>("expression");
    QTest::addColumn<QString>("fault"); // empty: none

    const int header = DesignerBand::GroupHeader, footer = DesignerBand::GroupFooter;
    const int page = DesignerBand::PageHeader;
    QTest::newRow("a field of the query") << header << QStringLiteral("NMFANTFORN & ' - ' & CDFORNECED") << QString();
    QTest::newRow("a field it lacks") << header << QStringLiteral("NMFANTFORN & FOO")
                                      << QStringLiteral("posição 14: o campo FOO não existe na consulta");
    QTest::newRow("a total where a group closes") << footer << QStringLiteral("sum(VRPRECO) / count()") << QString();
    QTest::newRow("a total where a group opens") << header << QStringLiteral("count()") << QStringLiteral("posição 1");
    QTest::newRow("a page's band reads the page's row") << page << QStringLiteral("NMFANTFORN") << QString();
    QTest::newRow("a parameter of the report") << page << QStringLiteral(":P_CDFILIAL & ' ' & page()") << QString();
    QTest::newRow("a parameter it lacks") << page << QStringLiteral(":P_NADA") << QStringLiteral(":P_NADA");
    QTest::newRow("unclosed text") << header << QStringLiteral("'abc") << QStringLiteral("posição 1");
}

void tst_Designer::expressionFaultShowsAsTyped()
{
    QFETCH(int, band);
    QFETCH(QString, expression);
    QFETCH(QString, fault);
    ReportDesignerWindow *w = open(porFornecedor);
    QVERIFY(w);
    const DesignerBand where{DesignerBand::Kind(band), band == DesignerBand::PageHeader ? -1 : 0};
    w->select({}, {}, {where});
    w->insertElement(ReportElement::Kind::Text);
    auto *edit = w->properties()->findChild<ExpressionEdit *>(QStringLiteral("expression"));
    QVERIFY(edit);
    edit->line()->setFocus();
    QTest::keyClicks(edit->line(), expression);
    auto *shown = edit->findChild<QLabel *>(QStringLiteral("lblFalha"));
    if (fault.isEmpty()) {
        QVERIFY2(!edit->fault().isError(), qPrintable(edit->faultText()));
        QVERIFY(shown->isHidden());
    } else {
        QVERIFY2(edit->faultText().contains(fault), qPrintable(edit->faultText()));
        QVERIFY(!shown->isHidden());
    }
    // What was typed is in the definition, fault or not: saving is what refuses it.
    QCOMPARE(w->definition().pageHeader.elements.size() + w->definition().groups.at(0).headerBand.elements.size()
                 + w->definition().groups.at(0).footerBand.elements.size(),
             1);
    io->confirmAnswers << true;
    w->close();
}

void tst_Designer::saveRefusesABrokenDefinition_data()
{
    QTest::addColumn<QString>("change");
    QTest::addColumn<QString>("message");
    QTest::newRow("a column of a field the query lacks")
        << QStringLiteral("column") << QStringLiteral("a coluna \"Produto\" (3ª) usa o campo FOO");
    QTest::newRow("an element's bad expression")
        << QStringLiteral("element") << QStringLiteral("o campo FOO não existe na consulta");
    QTest::newRow("a query that does not run") << QStringLiteral("query") << QStringLiteral("FILIAIS_ERRADAS");
    QTest::newRow("a group key the query lacks") << QStringLiteral("group") << QStringLiteral("o grupo de nível 1");
}

void tst_Designer::saveRefusesABrokenDefinition()
{
    QFETCH(QString, change);
    QFETCH(QString, message);
    ReportDesignerWindow *w = open(porFornecedor);
    QVERIFY(w);
    w->document()->change(change, [&](ReportDefinition &d) {
        if (change == QLatin1String("column"))
            d.columns[2].field = QStringLiteral("FOO");
        else if (change == QLatin1String("element")) {
            ReportElement e;
            e.expression = QStringLiteral("FOO + 1");
            DesignerEdits::addElement(d, groupHeader, e);
        } else if (change == QLatin1String("query"))
            d.sql = d.sqlSqlite = d.sqlPg = d.sqlIb = QStringLiteral("SELECT CDFILIAL FROM FILIAIS_ERRADAS");
        else
            d.groups[0].field = QStringLiteral("FOO");
    });
    QVERIFY(!w->saveDefinition());
    QCOMPARE(io->errors.size(), 1);
    QVERIFY2(io->errors.first().contains(message), qPrintable(io->errors.first()));
    QVERIFY(!ReportDefinitionStore::edited(designer->definitionFile(porFornecedor)));
    QVERIFY(w->document()->isModified());
    io->confirmAnswers << true;
    w->close();
}

void tst_Designer::escapeWithChangesAsks_data()
{
    QTest::addColumn<QString>("before"); // what the author did first
    QTest::addColumn<bool>("answer");    // to "discard the changes?"
    QTest::addColumn<bool>("asked");
    QTest::addColumn<bool>("closed");
    QTest::newRow("nothing changed") << QString() << false << false << true;
    QTest::newRow("changed, goes on editing") << QStringLiteral("edit") << false << true << false;
    QTest::newRow("changed, discards") << QStringLiteral("edit") << true << true << true;
    QTest::newRow("changed and undone") << QStringLiteral("edit undo") << false << false << true;
    QTest::newRow("changed and saved") << QStringLiteral("edit save") << false << false << true;
}

void tst_Designer::escapeWithChangesAsks()
{
    QFETCH(QString, before);
    QFETCH(bool, answer);
    QFETCH(bool, asked);
    QFETCH(bool, closed);
    QPointer<ReportDesignerWindow> w = open(porFornecedor);
    QVERIFY(w);
    if (before.contains(QLatin1String("edit")))
        w->nudge(0, 0), w->drop(groupHeader, QPointF(1, 1), QStringLiteral("NMFANTFORN"));
    if (before.contains(QLatin1String("undo")))
        w->document()->undoStack()->undo();
    if (before.contains(QLatin1String("save")))
        QVERIFY(w->saveDefinition());
    io->confirmAnswers << answer;
    w->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(w));
    QTest::keyClick(w, Qt::Key_Escape);
    QCOMPARE(io->questions.size(), asked ? 1 : 0);
    QCOMPARE(w->isVisible(), !closed);
    // A discarded edit is not kept for the screen; a saved one is.
    QCOMPARE(bool(ReportDefinitionStore::edited(designer->definitionFile(porFornecedor))),
             before.contains(QLatin1String("save")));
    if (w) {
        io->confirmAnswers << true;
        w->close();
    }
}

void tst_Designer::savedAsNewGoesOnWithTheNewReport_data()
{
    QTest::addColumn<bool>("blank"); // "Novo relatório" first; else a copy of the list
    QTest::addColumn<QString>("command");
    QTest::newRow("a blank report, first saved") << true << QStringLiteral("Salvar");
    QTest::newRow("a blank report, saved as new") << true << QStringLiteral("Salvar como novo relatório...");
    QTest::newRow("the shipped list, saved as new") << false << QStringLiteral("Salvar como novo relatório...");
}

// After "Salvar como novo relatório" the designer edits the new report: a later "Salvar"
// writes the new file, never the report it was copied from.
void tst_Designer::savedAsNewGoesOnWithTheNewReport()
{
    QFETCH(bool, blank);
    QFETCH(QString, command);
    const auto action = [](QWidget *w, const QString &text) {
        for (QAction *a : w->findChildren<QAction *>())
            if (a->text() == text)
                return a;
        return static_cast<QAction *>(nullptr);
    };
    QPointer<ReportDesignerWindow> w = open(porFornecedor);
    QVERIFY(w);
    const QString shipped = designer->definitionFile(porFornecedor);
    const QByteArray shippedBytes = readAll(shipped);
    if (blank) {
        action(w, QStringLiteral("Novo relatório"))->trigger();
        const auto windows = screen->findChildren<ReportDesignerWindow *>(QStringLiteral("ReportDesignerWindow"));
        QCOMPARE(windows.size(), 2);
        w = windows.first() == w ? windows.last() : windows.first();
        QVERIFY(w->definition().columns.isEmpty() && w->definition().sql.isEmpty());
        QCOMPARE(w->definition().code, QStringLiteral("LPR077"));
        w->document()->change(QStringLiteral("consulta"), [](ReportDefinition &d) {
            d.sql = QStringLiteral("SELECT CDFORNECED, NMFANTFORN FROM FORNECEDOR WHERE CDFORNECED <> :P_CDFILIAL");
            ReportColumn name;
            name.field = QStringLiteral("NMFANTFORN");
            DesignerEdits::addColumn(d, name);
        });
        // The query typed names a parameter the blank report's first (empty) query did not.
        QVERIFY(w->namesFor(detail).params.contains(QStringLiteral("P_CDFILIAL")));
        QVERIFY(w->windowTitle().startsWith(QStringLiteral("Relatório - Novo relatório")));
    }
    io->textAnswers << QStringLiteral("Fornecedores do Comprador");
    action(w, command)->trigger();
    QVERIFY2(io->errors.isEmpty(), qPrintable(io->errors.join('\n')));
    QCOMPARE(w->definition().title, QStringLiteral("Fornecedores do Comprador"));
    QVERIFY(w->windowTitle().contains(QStringLiteral("Fornecedores do Comprador")));
    QVERIFY(!w->isWindowModified());
    const QString written = io->infos.last().section(QStringLiteral(" em "), -1).chopped(1);
    QVERIFY2(QFileInfo::exists(written), qPrintable(written));

    w->document()->change(QStringLiteral("título da coluna"), [](ReportDefinition &d) { d.columns[0].title = QStringLiteral("Nome"); });
    QVERIFY(w->saveDefinition());
    QCOMPARE(ReportDefinition::load(written).columns[0].title, QStringLiteral("Nome"));
    QCOMPARE(readAll(shipped), shippedBytes);
    QVERIFY(!ReportDefinitionStore::edited(shipped));
    for (ReportDesignerWindow *open : screen->findChildren<ReportDesignerWindow *>())
        open->document()->markSaved(), open->close();
}

void tst_Designer::styleRulesEditTheRulePicked_data()
{
    QTest::addColumn<QString>("place"); // whose rules: row, element (of the group header), footer (its element), column
    QTest::addColumn<QStringList>("steps");
    QTest::addColumn<QString>("rules"); // "when|colour|background|bold" each, ";" between
    QTest::addColumn<QString>("fault"); // shown under the condition at the end; empty: none
    QTest::newRow("rows: the second rule edited, the first removed")
        << "row"
        << QStringList{"add row rule", "add rule", "rule 2 when PCVARIACAO > 10", "rule 2 colour #c00000",
                       "rule 1 when PCIPI > 1", "rule 1 remove"}
        << "PCVARIACAO > 10|#C00000||true" << QString();
    QTest::newRow("an element's third rule of three")
        << "element" << QStringList{"element with three rules", "rule 3 when PCDESCONTO > 2", "rule 2 bold"}
        << "CDFILIAL = '0001'|||true;PCIPI > 5|||false;PCDESCONTO > 2|||true" << QString();
    QTest::newRow("a rule moved up applies first")
        << "element" << QStringList{"element with three rules", "rule 3 up", "rule 2 up"}
        << "PCDESCONTO > 0|||true;CDFILIAL = '0001'|||true;PCIPI > 5|||true" << QString();
    QTest::newRow("a cell rule of a dropped column")
        << "column" << QStringList{"drop on detail", "add rule", "rule 1 bold", "rule 1 colour #1E7A2E"}
        << "|#1E7A2E||false" << QString();
    QTest::newRow("a condition on a field the query lacks")
        << "row" << QStringList{"add row rule", "rule 1 when FOO > 1"} << "FOO > 1|||true"
        << QStringLiteral("o campo FOO não existe na consulta");
    QTest::newRow("a group footer's element reads totals")
        << "footer" << QStringList{"drop a price on group footer", "add rule", "rule 1 when sum(VRPRECO) > 20"}
        << "sum(VRPRECO) > 20|||true" << QString();
    QTest::newRow("a row condition reads no totals")
        << "row" << QStringList{"add row rule", "rule 1 when count() > 1"} << "count() > 1|||true"
        << QStringLiteral("posição 1");
}

void tst_Designer::styleRulesEditTheRulePicked()
{
    QFETCH(QString, place);
    QFETCH(QStringList, steps);
    QFETCH(QString, rules);
    QFETCH(QString, fault);
    ReportDesignerWindow *w = open(porFornecedor);
    QVERIFY(w);
    for (const QString &step : steps) {
        apply(w, step);
        if (QTest::currentTestFailed())
            return;
    }
    const ReportDefinition &d = w->definition();
    const auto dropped = std::find_if(d.columns.cbegin(), d.columns.cend(),
                                      [](const ReportColumn &c) { return c.field == QLatin1String("VRPRECOANT"); });
    const QList<ReportStyleRule> &found = place == QLatin1String("row")      ? d.rowStyles
                                          : place == QLatin1String("column") ? dropped->styles
                                          : place == QLatin1String("footer") ? d.groups[0].footerBand.elements.last().styles
                                                                             : d.groups[0].headerBand.elements.last().styles;
    QStringList shown;
    for (const ReportStyleRule &r : found)
        shown << QStringLiteral("%1|%2|%3|%4").arg(r.when, r.color, r.background, r.bold ? "true" : "false");
    QCOMPARE(shown.join(QLatin1Char(';')), rules);
    // The list names every rule; the condition under it is checked as typed.
    QCOMPARE(w->properties()->findChild<QListWidget *>(QStringLiteral("lstEstilos"))->count(), found.size());
    auto *when = w->properties()->findChild<ExpressionEdit *>(QStringLiteral("styleWhen"));
    if (fault.isEmpty())
        QVERIFY2(!when->fault().isError(), qPrintable(when->faultText()));
    else
        QVERIFY2(when->faultText().contains(fault), qPrintable(when->faultText()));
    io->confirmAnswers << true;
    w->close();
}

void tst_Designer::discardQuestionKeepsTheEditsByDefault_data()
{
    QTest::addColumn<QString>("answer"); // what the author does at the box
    QTest::addColumn<bool>("closed");
    QTest::newRow("Enter takes the default") << QStringLiteral("enter") << false;
    QTest::newRow("Esc at the box") << QStringLiteral("escape") << false;
    QTest::newRow("Sim clicked") << QStringLiteral("Sim") << true;
    QTest::newRow("Alt+S, its access key") << QStringLiteral("alt+s") << true;
    QTest::newRow("Alt+N") << QStringLiteral("alt+n") << false;
}

void tst_Designer::discardQuestionKeepsTheEditsByDefault()
{
    QFETCH(QString, answer);
    QFETCH(bool, closed);
    QPointer<ReportDesignerWindow> w = open(porFornecedor);
    QVERIFY(w);
    w->drop(groupHeader, QPointF(1, 1), QStringLiteral("NMFANTFORN"));
    const QByteArray edited = w->definition().toJson();
    // The application's own box this time, not the scripted stand-in.
    Interaction *scripted = Interaction::install(nullptr);
    QString defaultButton;
    QTimer::singleShot(0, this, [&] {
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        if (!box)
            return;
        defaultButton = box->defaultButton() ? box->defaultButton()->text().remove(QLatin1Char('&')) : QString();
        if (answer == QLatin1String("enter"))
            QTest::keyClick(box, Qt::Key_Return);
        else if (answer == QLatin1String("escape"))
            QTest::keyClick(box, Qt::Key_Escape);
        else if (answer.startsWith(QLatin1String("alt+"))) {
            // An access key works in the window that has the keyboard.
            QApplication::setActiveWindow(box);
            if (QTest::qWaitForWindowActive(box))
                QTest::keyClick(box, Qt::Key(Qt::Key_A + (answer.at(4).unicode() - 'a')), Qt::AltModifier);
        }
        else
            for (QAbstractButton *b : box->buttons())
                if (b->text().remove(QLatin1Char('&')) == answer)
                    b->click();
        // A box left open (a key it does not take) is answered as Esc would, once a key's
        // click (shown pressed for a moment) is over.
        QTimer::singleShot(500, box, [box] {
            if (box->isVisible())
                box->reject();
        });
    });
    w->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(w));
    QTest::keyClick(w, Qt::Key_Escape);
    Interaction::install(scripted);
    QCOMPARE(defaultButton, QStringLiteral("Não"));
    QCOMPARE(!w || !w->isVisible(), closed);
    if (w) {
        QCOMPARE(w->definition().toJson(), edited);
        io->confirmAnswers << true;
        w->close();
    }
}

void tst_Designer::panelsReadWholeAtTheirSize_data()
{
    QTest::addColumn<QString>("selected");
    QTest::newRow("the report") << QStringLiteral("report");
    QTest::newRow("a column") << QStringLiteral("column");
    QTest::newRow("a group") << QStringLiteral("group");
    QTest::newRow("a field on the group header") << QStringLiteral("element");
}

// Whatever the screen, the designer opens on it whole, and its panels show their texts
// whole at the size they are given: no row runs past the panel's edge, a long text reads
// from its start, and every field name of the list is whole.
void tst_Designer::panelsReadWholeAtTheirSize()
{
    QFETCH(QString, selected);
    ReportDesignerWindow *w = open(porFornecedor);
    QVERIFY(w);
    QTRY_VERIFY2(w->screen()->availableGeometry().contains(w->frameGeometry()),
                 qPrintable(QStringLiteral("%1x%2").arg(w->frameGeometry().width()).arg(w->frameGeometry().height())));
    if (selected == QLatin1String("column"))
        w->select({}, {3});
    else if (selected == QLatin1String("group"))
        w->select({}, {}, {groupHeader});
    else if (selected == QLatin1String("element"))
        w->drop(groupHeader, QPointF(5, 1), QStringLiteral("NMRAZSOCFORN"));
    QCoreApplication::processEvents();

    QScrollArea *panel = w->properties();
    QWidget *form = panel->widget();
    QVERIFY2(form->width() <= panel->viewport()->width(),
             qPrintable(QStringLiteral("%1 > %2").arg(form->width()).arg(panel->viewport()->width())));
    for (QWidget *child : form->findChildren<QWidget *>()) {
        if (!child->isVisibleTo(form))
            continue;
        const QString name = child->objectName().isEmpty() ? QString::fromLatin1(child->metaObject()->className())
                                                            : child->objectName();
        QVERIFY2(child->mapTo(form, QPoint(child->width(), 0)).x() <= form->width(), qPrintable(name));
        if (auto *box = qobject_cast<QCheckBox *>(child))
            QVERIFY2(box->width() >= box->sizeHint().width()
                         || (box->hasHeightForWidth() && box->height() >= box->heightForWidth(box->width())),
                     qPrintable(box->text()));
        if (auto *edit = qobject_cast<QLineEdit *>(child);
            edit && !edit->hasFocus() && edit->fontMetrics().horizontalAdvance(edit->text()) > edit->width() - 8)
            QVERIFY2(edit->cursorPosition() == 0, qPrintable(edit->text()));
    }
    auto *list = static_cast<QAbstractItemView *>(w->fieldList());
    QVERIFY(!listedFields(w).isEmpty());
    QVERIFY2(w->fieldList()->columnWidth(0) >= list->sizeHintForColumn(0),
             qPrintable(QStringLiteral("%1 < %2").arg(w->fieldList()->columnWidth(0)).arg(list->sizeHintForColumn(0))));
    io->confirmAnswers << true;
    w->close();
}

void tst_Designer::typedQueryRefreshesTheFields_data()
{
    QTest::addColumn<bool>("blank");     // "Novo relatório" first, whose query is empty
    QTest::addColumn<QString>("query");  // typed over the standard text
    QTest::addColumn<QString>("fields"); // the field list after a pause; empty: a fault shows
    QTest::addColumn<QString>("status"); // in the status bar then; empty: nothing
    QTest::newRow("a new report's first query") << true << QStringLiteral("SELECT CDFORNECED, NMFANTFORN FROM FORNECEDOR")
                                               << QStringLiteral("CDFORNECED,NMFANTFORN") << QString();
    QTest::newRow("a query that does not run") << true << QStringLiteral("SELECT NADA FROM FORNECEDOR") << QString()
                                               << QStringLiteral("NADA");
    QTest::newRow("the list's query replaced") << false << QStringLiteral("SELECT CDFILIAL FROM FILIAL")
                                               << QStringLiteral("CDFILIAL") << QString();
}

// The field list and the status bar follow the query once the author stops typing, with
// no "Testar" and no return to the page.
void tst_Designer::typedQueryRefreshesTheFields()
{
    QFETCH(bool, blank);
    QFETCH(QString, query);
    QFETCH(QString, fields);
    QFETCH(QString, status);
    QPointer<ReportDesignerWindow> w = open(porFornecedor);
    QVERIFY(w);
    if (blank) {
        for (QAction *a : w->findChildren<QAction *>())
            if (a->text() == QStringLiteral("Novo relatório"))
                a->trigger();
        const auto windows = screen->findChildren<ReportDesignerWindow *>(QStringLiteral("ReportDesignerWindow"));
        QCOMPARE(windows.size(), 2);
        w = windows.first() == w ? windows.last() : windows.first();
        QVERIFY(QTest::qWaitForWindowExposed(w));
        QTRY_VERIFY(!w->readingFields());
        QVERIFY2(w->statusBar()->currentMessage().contains(QStringLiteral("vazia")),
                 qPrintable(w->statusBar()->currentMessage()));
    }
    w->tabs()->setCurrentIndex(1);
    QPlainTextEdit *text = w->queryEditor()->standardText();
    text->setFocus();
    text->selectAll();
    QTest::keyClicks(text, query);
    QTRY_VERIFY_WITH_TIMEOUT(!w->readingFields(), 10000);
    QCOMPARE(w->tabs()->currentIndex(), 1);
    QCOMPARE(listedFields(w).join(QLatin1Char(',')), fields);
    if (status.isEmpty())
        QVERIFY2(w->statusBar()->currentMessage().isEmpty(), qPrintable(w->statusBar()->currentMessage()));
    else
        QVERIFY2(w->statusBar()->currentMessage().contains(status), qPrintable(w->statusBar()->currentMessage()));
    for (ReportDesignerWindow *open : screen->findChildren<ReportDesignerWindow *>())
        open->document()->markSaved(), open->close();
}

QTEST_MAIN(tst_Designer)
#include "tst_designer.moc"
