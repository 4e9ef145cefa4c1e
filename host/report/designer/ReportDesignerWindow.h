#pragma once

#include "report/designer/DesignerBand.h"
#include "report/designer/DesignerEdits.h"
#include "report/designer/ReportQueryProbe.h"
#include "report/ReportExpression.h"
#include "suite_export.h"

#include <QMainWindow>
#include <functional>

class DesignerDocument;
class DesignerProperties;
class DesignerScene;
class DesignerTree;
class DesignerView;
class QDockWidget;
class QLabel;
class QTabWidget;
class QTimer;
class ReportFieldList;
class ReportLivePreview;
class ReportQueryEditor;

// What the designer asks of whoever opened it: the query's fields, the parameters, and
// where a definition is kept. Each save hook gets the definition as edited and returns the
// title it was kept under (a new report's is the one its author gave), or nothing when it
// was not kept (it shows its own messages); a missing hook leaves its command off.
struct SUITE_TEST_EXPORT DesignerHooks
{
    using Save = std::function<QString(const ReportDefinition &)>;

    // The fields a run of the definition's query with these parameters returns (raises
    // ESuiteError when the query does not run). Called on a worker thread, so that the
    // designer opens and goes on while a large query runs: it must read nothing of a screen.
    std::function<ReportQuerySample(const ReportDefinition &, const TParams &)> querySample;
    // The parameters the report reads, with the values its runs get (the screen's, or the
    // definition's defaults).
    std::function<TParams(const ReportDefinition &)> params;
    Save save;
    // Writes the report as a new one; the designer goes on with the new one.
    Save saveAsNew;
    // Opens a designer on a blank report for the same screen.
    std::function<void(const ReportDefinition &)> newReport;
    // Gives the report a new title; returns it (empty: nothing was done).
    std::function<QString(const ReportDefinition &)> rename;
    // Removes the report's file; true when it is gone.
    std::function<bool(const ReportDefinition &)> remove;
};

// The report designer: the page at true scale with its rulers and bands, the elements and
// the table's columns on it, a tree of the bands and what they hold, the properties of what
// is selected, the field list to drag from, the query and the live preview. Every change is
// a step of its undo history; closing (or Esc) with changes not saved asks first.
class SUITE_TEST_EXPORT ReportDesignerWindow : public QMainWindow
{
    Q_OBJECT
public:
    ReportDesignerWindow(const ReportDefinition &definition, const DesignerHooks &hooks, QWidget *parent = nullptr);
    ~ReportDesignerWindow() override;

    const ReportDefinition &definition() const;
    DesignerDocument *document() const { return m_document; }
    DesignerScene *scene() const { return m_scene; }
    DesignerView *view() const { return m_view; }
    DesignerProperties *properties() const { return m_properties; }

    // Reads the query's fields again (after the query changed), on a worker thread; the
    // field list says so meanwhile.
    void refreshFields();
    bool readingFields() const;
    // What an expression of a band may read.
    ExpressionNames namesFor(const DesignerBand &band) const;

    // The selection, as the page and the tree show it.
    void select(const QList<ElementRef> &elements, const QList<int> &columns = {},
                const QList<DesignerBand> &bands = {});
    QList<ElementRef> selectedElements() const { return m_elements; }

    // A field (or "=expression") put on a band as a drop does.
    void drop(const DesignerBand &band, QPointF atMm, const QString &what);
    // The format and alignment of the field's type, on what a drop of it made.
    void giveFieldFormat(ReportDefinition &d, const DesignerEdits::DropResult &dropped, const QString &field) const;

    // The places the other parts of the designer fill.
    QDockWidget *fieldsDock() const { return m_fieldsDock; }
    QDockWidget *previewDock() const { return m_previewDock; }
    QTabWidget *tabs() const { return m_tabs; }
    ReportFieldList *fieldList() const { return m_fieldList; }
    ReportQueryEditor *queryEditor() const { return m_queryEditor; }
    ReportLivePreview *preview() const { return m_preview; }

    // Commands, for the menus and the tests.
    void insertElement(ReportElement::Kind kind);
    void deleteSelection();
    void copySelection();
    void paste();
    void nudge(double dxMm, double dyMm);
    void alignSelection(int edge);
    void distributeSelection(bool horizontal);
    bool saveDefinition();

signals:
    // After every change, undo and redo: what the preview shows.
    void definitionEdited(const ReportDefinition &definition);

protected:
    void closeEvent(QCloseEvent *event) override;
    void showEvent(QShowEvent *event) override;

private:
    // Moves and shrinks the window, frame and all, into the screen's free area.
    void keepOnScreen();
    void buildPage();
    void buildDocks();
    void buildMenus();
    void buildEditMenu(QMenu *menu);
    void buildInsertMenu(QMenu *menu);
    void buildArrangeMenu(QMenu *menu);
    void buildViewMenu(QMenu *menu);
    void definitionChanged();
    void sceneSelectionChanged();
    // The band new elements go to: the one selected, the selected element's, else the page header.
    DesignerBand targetBand() const;
    void addGroup();
    void addColumn();
    void moveGroup(int delta);
    void moveColumn(int delta);
    void restack(bool toFront);
    bool pickImage(QByteArray &bytes, QString &mime);
    void later(const std::function<void()> &work);
    bool runSave(const DesignerHooks::Save &hook);
    // The report was kept, or renamed, under this title: the title is no change left to save.
    void takeTitle(const QString &title);
    void renameReport();
    void removeReport();
    void setFields(const QList<ReportQueryField> &fields);
    void fieldsArrived(int run, const QList<ReportQueryField> &fields, const QString &error);
    // The parameters the query names, with the values a run gets.
    void refreshParams();
    void queryEdited();

    DesignerHooks m_hooks;
    DesignerDocument *m_document;
    DesignerScene *m_scene;
    DesignerView *m_view;
    DesignerTree *m_tree = nullptr;
    DesignerProperties *m_properties = nullptr;
    QTabWidget *m_tabs = nullptr;
    QDockWidget *m_fieldsDock = nullptr;
    QDockWidget *m_previewDock = nullptr;
    QLabel *m_zoomLabel = nullptr;
    ReportFieldList *m_fieldList = nullptr;
    ReportQueryEditor *m_queryEditor = nullptr;
    ReportLivePreview *m_preview = nullptr;
    QList<ReportQueryField> m_fields;
    int m_fieldsAsked = 0, m_fieldsRead = 0; // reads of the fields started, and the last one that came back
    QTimer *m_queryPause = nullptr; // runs while the author types in the query
    TParams m_paramValues;
    QStringList m_params;

    QList<ElementRef> m_elements;
    QList<int> m_columns;
    QList<DesignerBand> m_bands;
    bool m_selecting = false;
    bool m_shown = false;
};
