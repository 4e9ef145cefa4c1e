#include "report/designer/ReportDesignerChecks.h"
#include "errors/ESuiteError.h"
#include "report/ReportTemplate.h"

ReportDesignerChecks::ReportDesignerChecks(const QSqlRecord &record, const QStringList &params,
                                           const QList<ReportQueryField> &fields)
    : m_record(record), m_params(params), m_fields(fields)
{ }

ReportDesignerChecks ReportDesignerChecks::fromSample(const ReportQuerySample &sample, const TParams &params)
{
    QStringList names;
    for (int i = 0; i < params.Count(); ++i)
        names << params[i].Name();
    return ReportDesignerChecks(sample.record, names, sample.fields());
}

ReportDesignerChecks::Place ReportDesignerChecks::placeOf(ReportDefinition::BandKind kind)
{
    switch (kind) {
    case ReportDefinition::BandKind::PageHeader:
    case ReportDefinition::BandKind::PageFooter: return Place::PageBand;
    case ReportDefinition::BandKind::GroupHeader: return Place::GroupHeader;
    case ReportDefinition::BandKind::GroupFooter:
    case ReportDefinition::BandKind::Summary: return Place::ClosingBand;
    }
    return Place::DetailRow;
}

ExpressionNames ReportDesignerChecks::names(Place place) const
{
    ExpressionNames n;
    for (int i = 0; i < m_record.count(); ++i) {
        n.fields << m_record.fieldName(i);
        n.fieldTypes << (i < m_fields.size() ? m_fields.at(i).type : ExpressionType::Any);
    }
    n.params = m_params;
    n.totalsAllowed = place == Place::ClosingBand;
    return n;
}

ExpressionError ReportDesignerChecks::expression(const QString &text, Place place) const
{
    return ReportExpression::check(text, names(place));
}

QString ReportDesignerChecks::field(const QString &name) const
{
    if (name.trimmed().isEmpty())
        return QStringLiteral("informe o campo");
    if (m_record.indexOf(name) >= 0)
        return QString();
    return QStringLiteral("a consulta não retorna o campo %1").arg(name);
}

QStringList ReportDesignerChecks::definition(const ReportDefinition &definition) const
{
    QStringList problems;
    try {
        definition.validate();
    } catch (const ESuiteError &e) {
        problems << e.message();
    }
    for (const MissingField &m : definition.missingFields(m_record))
        problems << QStringLiteral("%1 usa o campo %2, que a consulta não retorna")
                        .arg(m.column >= 0 ? QStringLiteral("a coluna %1").arg(m.what) : m.what, m.field);
    problems << definition.styleProblems(m_record, m_params) << definition.elementProblems(m_record, m_params);
    problems << rowlessFields(definition);
    return problems;
}

QStringList ReportDesignerChecks::rowlessFields(const ReportDefinition &definition) const
{
    // These lines are written once for the whole run, before its first row: a field there
    // would print as "{FIELD}" on every page.
    QList<std::pair<QString, QString>> lines{{QStringLiteral("o título das páginas"), definition.heading},
                                             {QStringLiteral("a linha do rodapé das páginas"), definition.footer}};
    for (const ReportCriterion &c : definition.criteria)
        lines.append({QStringLiteral("o critério \"%1\"").arg(c.label), c.label + c.text});
    QStringList problems;
    for (const auto &[where, text] : lines)
        for (const QString &field : ReportTemplate::fieldNames(text))
            if (m_record.indexOf(field) >= 0)
                problems << QStringLiteral("%1 usa o campo {%2}, mas é escrito uma vez, antes da primeira linha, e só "
                                           "lê parâmetros: mostre o campo num elemento do cabeçalho da página, que lê "
                                           "a primeira linha de cada página")
                                .arg(where, field);
    return problems;
}

ReportDefinitionStore::Check ReportDesignerChecks::forSession(const TParams &params)
{
    return [params](const ReportDefinition &definition) -> QStringList {
        ReportQuerySample sample;
        try {
            sample = ReportQueryProbe::sample(definition, params, 0);
        } catch (const ESuiteError &e) {
            return {QStringLiteral("a consulta não funciona: %1").arg(e.message())};
        }
        return fromSample(sample, params).definition(definition);
    };
}
