#pragma once

#include "report/designer/DesignerBand.h"
#include "suite_export.h"

#include <QTreeWidget>

// The bands of the report in print order, each with its elements (the detail rows with
// the table's columns), kept in step with the page's selection.
class SUITE_TEST_EXPORT DesignerTree : public QTreeWidget
{
    Q_OBJECT
public:
    explicit DesignerTree(QWidget *parent = nullptr);

    void rebuild(const ReportDefinition &definition);
    void select(const QList<ElementRef> &elements, const QList<int> &columns, const QList<DesignerBand> &bands);

signals:
    void picked(const QList<ElementRef> &elements, const QList<int> &columns, const QList<DesignerBand> &bands);

private:
    enum Role { KindRole = Qt::UserRole, BandKindRole, LevelRole, IndexRole };
    enum ItemKind { BandItem, ElementItem, ColumnItem };
    void emitPicked();
    bool m_updating = false;
};
