#pragma once

#include "report/designer/DesignerBand.h"
#include "report/designer/StyleRulesEditor.h"
#include "report/ReportExpression.h"
#include "suite_export.h"

#include <QScrollArea>
#include <functional>

class DesignerDocument;
class ExpressionEdit;
class QFormLayout;

// The properties of what is selected on the page: one element (or the look of several),
// a column of the table, a band and its group level, or the report itself when nothing is.
// Every edit is a change of the document (typing in one field makes one undo step), and
// expressions are checked as they are typed.
class SUITE_TEST_EXPORT DesignerProperties : public QScrollArea
{
    Q_OBJECT
public:
    DesignerProperties(DesignerDocument *document, QWidget *parent = nullptr);

    // What an expression of a band may read (fields, parameters, totals).
    std::function<ExpressionNames(const DesignerBand &)> names;
    // The query's fields, offered for a field element, a column and a group's key.
    std::function<QStringList()> fields;
    // Asks for an image file; returns its bytes and type, or false.
    std::function<bool(QByteArray &bytes, QString &mime)> pickImage;

    // Builds the form for a selection.
    void show(const QList<ElementRef> &elements, const QList<int> &columns, const QList<DesignerBand> &bands);
    // Reloads every value from the document (after undo, a move ...), leaving the one being
    // typed in alone.
    void refresh();

    // The expression editors of the form, for the tests and the window.
    QList<ExpressionEdit *> expressionEdits() const;

private:
    using Edit = std::function<void(ReportDefinition &)>;
    using Read = std::function<QVariant(const ReportDefinition &)>;
    using Write = std::function<void(ReportDefinition &, const QVariant &)>;

    void clear();
    void heading(const QString &text);
    void commit(const QString &what, const Write &write, const QVariant &value, const QString &key);
    void addText(const QString &label, const QString &key, const Read &read, const Write &write,
                 const QStringList &choices = {});
    void addNumber(const QString &label, const QString &key, const Read &read, const Write &write, double min,
                   double max, double step, int decimals = 1);
    // A format, shown by its name and kept by its key.
    void addFormat(const QString &label, const Read &read, const Write &write);
    void addCheck(const QString &label, const QString &key, const Read &read, const Write &write);
    void addChoice(const QString &label, const QString &key, const QList<std::pair<QString, QString>> &choices,
                   const Read &read, const Write &write);
    void addColor(const QString &label, const QString &key, const Read &read, const Write &write);
    void addExpression(const QString &label, const QString &key, const DesignerBand &band, const Read &read,
                       const Write &write);
    // Every conditional style of a place; band says what a condition may read.
    void addStyleRules(const QString &title, const DesignerBand &band, const StyleRulesEditor::Rules &rules);

    void showReport();
    void showMargins();
    void showCriteria();
    void showElements(const QList<ElementRef> &elements);
    void showElementLook(const QList<ElementRef> &elements);
    void showColumn(int column);
    void showPrintedWidth(int column);
    void showBand(const DesignerBand &band);
    void showGroup(int level);

    DesignerDocument *m_document;
    QWidget *m_form = nullptr;
    QFormLayout *m_layout = nullptr;
    QList<std::function<void()>> m_loads;
    qsizetype m_criteriaShown = -1; // criteria the report's panel shows
    QString m_scope; // keys of one selection merge only with each other
};
