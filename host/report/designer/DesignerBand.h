#pragma once

#include "report/ReportDefinition.h"
#include "suite_export.h"

#include <QList>
#include <QString>

// One band of the designer's page, in the order the report prints them: the page header,
// the column titles, a header per group level (outermost first), the detail rows, a
// footer per group level (innermost first), the summary and the page footer. The column
// titles and the detail rows are the table of columns; the others hold elements.
struct SUITE_TEST_EXPORT DesignerBand
{
    enum Kind { PageHeader, ColumnTitles, GroupHeader, Detail, GroupFooter, Summary, PageFooter };

    Kind kind = Detail;
    int level = -1; // the group level of a group's header or footer

    bool operator==(const DesignerBand &) const = default;

    // The bands of a definition as they print.
    static QList<DesignerBand> stack(const ReportDefinition &definition);
    // Whether the band holds elements (every band but the table's two).
    bool holdsElements() const { return kind != ColumnTitles && kind != Detail; }
    bool isGroupBand() const { return kind == GroupHeader || kind == GroupFooter; }
    // "Cabeçalho do grupo 1", "Detalhe" ...
    QString title() const;
    // The band of elements in the definition; null for the table's bands or a level that
    // does not exist.
    ReportBand *in(ReportDefinition &definition) const;
    const ReportBand *in(const ReportDefinition &definition) const;
    // The engine's name of the band, for the expression checks.
    ReportDefinition::BandKind engineKind() const;
};

// An element of a band: the band and its index among the band's elements.
struct SUITE_TEST_EXPORT ElementRef
{
    DesignerBand band;
    int index = -1;

    bool operator==(const ElementRef &) const = default;
    ReportElement *in(ReportDefinition &definition) const;
    const ReportElement *in(const ReportDefinition &definition) const;
};
