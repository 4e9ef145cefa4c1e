#pragma once

#include "ReportDefinition.h"
#include "ReportExpression.h"
#include "ReportFormat.h"
#include "ReportSink.h"

#include <QDateTime>
#include <QList>
#include <memory>

class QSqlRecord;

// The elements of a run's bands, their expressions compiled against what the query returns
// and the run's parameters: gives each band's elements with their values when it prints,
// keeping the totals of each group level (reset when the group opens) and of the report.
class BandElements
{
public:
    // Raises ESuiteError naming the band, the element and the place of the first fault.
    BandElements(const ReportDefinition &def, const TParams &params, const QSqlRecord &record, const QDateTime &issued);

    bool isEmpty() const { return m_empty; }
    std::shared_ptr<const PageImages> images() const { return m_images; }
    double heightMm(ReportDefinition::BandKind kind, int level) const;

    void openGroup(int level);
    // Counts a row into the totals of every open group and of the report.
    void add(const QVariantList &row);
    // The band's elements with what they show over row (the group's or the last one).
    QList<PlacedElement> place(ReportDefinition::BandKind kind, int level, const QVariantList &row, int page = 0) const;

private:
    struct Element
    {
        ReportElement element;
        ReportExpression value;
        ReportFormat::ValueFormat format;
        std::shared_ptr<ExpressionTotals> totals;
        QList<std::pair<ReportExpression, CellLook>> styles;
        int image = -1;
    };
    struct Band
    {
        double heightMm = 0;
        QList<Element> elements;
    };

    Band bind(const ReportBand &band, const QString &where, ReportDefinition::BandKind kind, const QSqlRecord &record);
    const Band *find(ReportDefinition::BandKind kind, int level) const;

    QString m_title;
    TParams m_params;
    QDateTime m_issued;
    Band m_pageHeader, m_pageFooter, m_summary;
    QList<Band> m_groupHeaders, m_groupFooters;
    std::shared_ptr<PageImages> m_images;
    bool m_empty = true;
};
