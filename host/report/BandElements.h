#pragma once

#include "report/ReportDefinition.h"
#include "report/ReportExpression.h"
#include "report/ReportFormat.h"
#include "report/ReportSink.h"
#include "suite_export.h"

#include <QDateTime>
#include <QList>
#include <memory>

class QSqlRecord;

// What the expressions of a run read: a row (the band's, or the detail row), the run's
// parameters, and for band elements their totals, the page and the date of issue.
class RunScope : public ExpressionScope
{
public:
    RunScope(const QVariantList &row, const TParams &params, const ExpressionTotals *totals = nullptr, int page = 0,
             const QDateTime &issued = QDateTime(), bool deferPageCount = false)
        : m_row(row), m_params(params), m_totals(totals), m_page(page), m_issued(issued),
          m_deferPageCount(deferPageCount)
    { }
    QVariant field(int index) const override { return m_row.value(index); }
    QVariant param(const QString &name) const override
    {
        const TParam *p = m_params.FindParam(name);
        return p ? p->Value() : QVariant();
    }
    int page() const override { return m_page; }
    // The count is known only when the run ends: for a band element a number no report
    // reaches stands for it and becomes the mark the backends fill in; elsewhere it is 0.
    int pageCount() const override { return m_deferPageCount ? countStandIn : 0; }
    static constexpr int countStandIn = 987654321;
    QDateTime issued() const override { return m_issued; }
    QVariant total(int slot) const override { return m_totals ? m_totals->value(slot) : QVariant(); }

private:
    const QVariantList &m_row;
    const TParams &m_params;
    const ExpressionTotals *m_totals;
    int m_page;
    QDateTime m_issued;
    bool m_deferPageCount;
};

// A style rule ready to run: its condition compiled and the look it gives; for an element
// of a band that closes a group or the report, the totals its condition reads.
struct BoundStyle
{
    ReportExpression when;
    CellLook look;
    std::shared_ptr<ExpressionTotals> totals;
};

// The look a rule gives, its #RRGGBB colours read.
SUITE_TEST_EXPORT CellLook lookOfRule(const ReportStyleRule &rule);
// Rules are read in order; each one that holds is laid over what the earlier ones gave, so
// a later rule wins where two set the same colour.
SUITE_TEST_EXPORT CellLook lookOf(const QList<BoundStyle> &styles, const ExpressionScope &scope);

// The elements of a run's bands, their expressions compiled against what the query returns
// and the run's parameters: gives each band's elements with their values when it prints,
// keeping the totals of each group level (reset when the group opens) and of the report.
class SUITE_TEST_EXPORT BandElements
{
public:
    // Raises ESuiteError naming the band, the element and the place of the first fault.
    BandElements(const ReportDefinition &def, const TParams &params, const QSqlRecord &record, const QDateTime &issued);

    bool isEmpty() const { return m_empty; }
    // Whether the page's header or footer shows a field, and so needs the page's rows.
    bool pageBandsReadRows() const { return m_pageRows; }
    std::shared_ptr<const PageImages> images() const { return m_images; }
    double heightMm(ReportDefinition::BandKind kind, int level) const;

    void openGroup(int level);
    // Counts a row into the totals of every open group and of the report.
    void add(const QVariantList &row);
    // The band's elements with what they show over row: a group header's first row, a group
    // footer's last, the summary the report's last, a page's header its first and its footer
    // its last.
    QList<PlacedElement> place(ReportDefinition::BandKind kind, int level, const QVariantList &row, int page = 0) const;

private:
    struct Element
    {
        ReportElement element;
        ReportExpression value;
        ReportFormat::ValueFormat format;
        std::shared_ptr<ExpressionTotals> totals;
        QList<BoundStyle> styles;
        int image = -1;
    };
    struct Band
    {
        double heightMm = 0;
        QList<Element> elements;
    };

    Band bind(const ReportBand &band, const QString &where, ReportDefinition::BandKind kind, const QSqlRecord &record);
    // The format an element's value prints with: its own, or for a total of a field shown as
    // text, the format of that field's column.
    QString formatOf(const ReportElement &element) const;
    const Band *find(ReportDefinition::BandKind kind, int level) const;

    QString m_title;
    TParams m_params;
    QDateTime m_issued;
    Band m_pageHeader, m_pageFooter, m_summary;
    QList<Band> m_groupHeaders, m_groupFooters;
    QList<ReportColumn> m_columns;
    std::shared_ptr<PageImages> m_images;
    bool m_empty = true;
    bool m_pageRows = false;
};
