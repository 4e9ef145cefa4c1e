#include "report/designer/DesignerBand.h"

QList<DesignerBand> DesignerBand::stack(const ReportDefinition &definition)
{
    QList<DesignerBand> bands{{PageHeader, -1}, {ColumnTitles, -1}};
    const int levels = int(definition.groups.size());
    for (int g = 0; g < levels; ++g)
        bands << DesignerBand{GroupHeader, g};
    bands << DesignerBand{Detail, -1};
    for (int g = levels - 1; g >= 0; --g)
        bands << DesignerBand{GroupFooter, g};
    bands << DesignerBand{Summary, -1} << DesignerBand{PageFooter, -1};
    return bands;
}

QString DesignerBand::title() const
{
    switch (kind) {
    case PageHeader: return QStringLiteral("Cabeçalho da página");
    case ColumnTitles: return QStringLiteral("Títulos das colunas");
    case GroupHeader: return QStringLiteral("Cabeçalho do grupo %1").arg(level + 1);
    case Detail: return QStringLiteral("Detalhe");
    case GroupFooter: return QStringLiteral("Rodapé do grupo %1").arg(level + 1);
    case Summary: return QStringLiteral("Resumo");
    case PageFooter: return QStringLiteral("Rodapé da página");
    }
    return QString();
}

ReportBand *DesignerBand::in(ReportDefinition &definition) const
{
    // Reached through the non-const list, so a definition that shares its groups with a
    // copy (the state before a change) gets its own before it is written to.
    if (isGroupBand()) {
        if (level < 0 || level >= definition.groups.size())
            return nullptr;
        ReportGroup &group = definition.groups[level];
        return kind == GroupHeader ? &group.headerBand : &group.footerBand;
    }
    return const_cast<ReportBand *>(in(std::as_const(definition)));
}

const ReportBand *DesignerBand::in(const ReportDefinition &definition) const
{
    switch (kind) {
    case PageHeader: return &definition.pageHeader;
    case PageFooter: return &definition.pageFooter;
    case Summary: return &definition.summaryBand;
    case GroupHeader:
    case GroupFooter:
        if (level < 0 || level >= definition.groups.size())
            return nullptr;
        return kind == GroupHeader ? &definition.groups.at(level).headerBand : &definition.groups.at(level).footerBand;
    case ColumnTitles:
    case Detail: return nullptr;
    }
    return nullptr;
}

ReportDefinition::BandKind DesignerBand::engineKind() const
{
    switch (kind) {
    case PageHeader: return ReportDefinition::BandKind::PageHeader;
    case PageFooter: return ReportDefinition::BandKind::PageFooter;
    case GroupHeader: return ReportDefinition::BandKind::GroupHeader;
    case GroupFooter: return ReportDefinition::BandKind::GroupFooter;
    default: return ReportDefinition::BandKind::Summary;
    }
}

ReportElement *ElementRef::in(ReportDefinition &definition) const
{
    ReportBand *b = band.in(definition);
    return b && index >= 0 && index < b->elements.size() ? &b->elements[index] : nullptr;
}

const ReportElement *ElementRef::in(const ReportDefinition &definition) const
{
    const ReportBand *b = band.in(definition);
    return b && index >= 0 && index < b->elements.size() ? &b->elements.at(index) : nullptr;
}
