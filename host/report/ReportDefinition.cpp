#include "report/ReportDefinition.h"
#include "text/ShownText.h"
#include "errors/EAbort.h"
#include "data/SqlBinding.h"
#include "report/ReportExpression.h"
#include "report/ReportFormat.h"
#include "report/ReportTemplate.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QSaveFile>
#include <QSqlRecord>
#include <cmath>
#include <limits>

namespace {

const char *const typeNames[] = {"string", "date", "datetime", "integer", "float", "boolean"};
const TFieldType typeValues[] = {TFieldType::ftString,  TFieldType::ftDate,  TFieldType::ftDateTime,
                                 TFieldType::ftInteger, TFieldType::ftFloat, TFieldType::ftBoolean};

bool typeFromName(const QString &name, TFieldType &type)
{
    for (size_t i = 0; i < std::size(typeNames); ++i)
        if (name.compare(QLatin1String(typeNames[i]), Qt::CaseInsensitive) == 0) {
            type = typeValues[i];
            return true;
        }
    return false;
}

// SQL is kept as an array of lines so the file reads well; a plain string is accepted.
QString sqlText(const QJsonValue &value)
{
    if (value.isArray()) {
        QStringList lines;
        for (const QJsonValue &line : value.toArray())
            lines << line.toString();
        return lines.join(QLatin1Char('\n'));
    }
    return value.toString();
}

QJsonValue sqlLines(const QString &text)
{
    if (text.isEmpty())
        return QJsonValue();
    return QJsonArray::fromStringList(text.split(QLatin1Char('\n')));
}

QList<ReportTotal> totalsFrom(const QJsonArray &array)
{
    QList<ReportTotal> totals;
    for (const QJsonValue &v : array) {
        const QJsonObject o = v.toObject();
        ReportTotal t;
        t.column = o.value(QStringLiteral("column")).toString();
        t.op = o.value(QStringLiteral("op")).toString(QStringLiteral("sum")).toLower();
        totals << t;
    }
    return totals;
}

QJsonArray totalsTo(const QList<ReportTotal> &totals)
{
    QJsonArray array;
    for (const ReportTotal &t : totals)
        array.append(QJsonObject{{QStringLiteral("column"), t.column}, {QStringLiteral("op"), t.op}});
    return array;
}

// A value as the file has it: "3" (text), 10000000000, null.
QString asWritten(const QJsonValue &value)
{
    const QByteArray array = QJsonDocument(QJsonArray{value}).toJson(QJsonDocument::Compact);
    return QString::fromUtf8(array.mid(1, array.size() - 2));
}

void putIf(QJsonObject &o, const char *key, const QString &value)
{
    if (!value.isEmpty())
        o.insert(QLatin1String(key), value);
}

bool validCondition(const QString &condition)
{
    const QString c = condition.trimmed();
    return c.isEmpty() || c.compare(QLatin1String("always"), Qt::CaseInsensitive) == 0
           || c.compare(QLatin1String("never"), Qt::CaseInsensitive) == 0 || c.indexOf(QLatin1Char('=')) > 0;
}

void appendUnique(QStringList &names, const QStringList &more)
{
    for (const QString &n : more)
        if (!n.isEmpty() && !names.contains(n, Qt::CaseInsensitive))
            names << n;
}

// The parts of a definition that are lists, each read from its JSON array.
QList<ReportParamDecl> paramsFrom(const QJsonArray &array, QStringList &problems)
{
    QList<ReportParamDecl> params;
    for (const QJsonValue &v : array) {
        const QJsonObject p = v.toObject();
        ReportParamDecl decl;
        decl.name = p.value(QStringLiteral("name")).toString();
        const QString type = p.value(QStringLiteral("type")).toString(QStringLiteral("string"));
        if (!typeFromName(type, decl.type))
            problems << QStringLiteral("o parâmetro %1 tem o tipo desconhecido '%2'").arg(decl.name, type);
        if (p.contains(QStringLiteral("default"))) {
            decl.defaultValue = p.value(QStringLiteral("default")).toVariant();
            if (decl.type == TFieldType::ftDate)
                decl.defaultValue = QDate::fromString(decl.defaultValue.toString(), Qt::ISODate);
        }
        params << decl;
    }
    return params;
}

QList<ReportCriterion> criteriaFrom(const QJsonArray &array)
{
    QList<ReportCriterion> criteria;
    for (const QJsonValue &v : array) {
        const QJsonObject c = v.toObject();
        criteria << ReportCriterion{c.value(QStringLiteral("label")).toString(),
                                    c.value(QStringLiteral("text")).toString(),
                                    sqlText(c.value(QStringLiteral("lookup")))};
    }
    return criteria;
}

QList<ReportColumn> columnsFrom(const QJsonArray &array)
{
    QList<ReportColumn> columns;
    for (const QJsonValue &v : array) {
        const QJsonObject c = v.toObject();
        ReportColumn col;
        col.field = c.value(QStringLiteral("field")).toString();
        col.title = c.value(QStringLiteral("title")).toString();
        col.width = c.value(QStringLiteral("width")).toDouble(20);
        col.align = c.value(QStringLiteral("align")).toString(QStringLiteral("left"));
        col.format = c.value(QStringLiteral("format")).toString(QStringLiteral("text"));
        col.visibleWhen = c.value(QStringLiteral("visible_when")).toString();
        col.dataOnly = c.value(QStringLiteral("data_only")).toBool();
        col.styles = ReportStyleRule::listFromJson(c.value(QStringLiteral("styles")).toArray());
        columns << col;
    }
    return columns;
}

QList<ReportGroup> groupsFrom(const QJsonArray &array, QStringList &problems)
{
    QList<ReportGroup> groups;
    for (const QJsonValue &v : array) {
        const QJsonObject g = v.toObject();
        ReportGroup group;
        group.field = g.value(QStringLiteral("field")).toString();
        group.header = g.value(QStringLiteral("header")).toString();
        group.footer = g.value(QStringLiteral("footer")).toString();
        group.totals = totalsFrom(g.value(QStringLiteral("totals")).toArray());
        group.pageBreak = g.value(QStringLiteral("page_break")).toString();
        group.repeatHeader = g.value(QStringLiteral("repeat_header")).toBool(true);
        group.headerBand = ReportBand::fromJson(g.value(QStringLiteral("header_band")), problems);
        group.footerBand = ReportBand::fromJson(g.value(QStringLiteral("footer_band")), problems);
        groups << group;
    }
    return groups;
}

} // namespace

Qt::Alignment ReportColumn::alignment() const
{
    if (align.compare(QLatin1String("right"), Qt::CaseInsensitive) == 0)
        return Qt::AlignRight | Qt::AlignVCenter;
    if (align.compare(QLatin1String("center"), Qt::CaseInsensitive) == 0)
        return Qt::AlignHCenter | Qt::AlignVCenter;
    return Qt::AlignLeft | Qt::AlignVCenter;
}

ReportDefinition ReportDefinition::fromJson(const QByteArray &json, QString *error)
{
    ReportDefinition d;
    QJsonParseError parseError;
    const QJsonDocument doc = QJsonDocument::fromJson(json, &parseError);
    if (parseError.error != QJsonParseError::NoError || !doc.isObject()) {
        if (error)
            *error = parseError.error != QJsonParseError::NoError ? QStringLiteral("erro de sintaxe na posição %1 (%2)")
                                                                        .arg(parseError.offset)
                                                                        .arg(parseError.errorString())
                                                                  : QStringLiteral("o conteúdo não é um objeto JSON");
        return d;
    }
    const QJsonObject o = doc.object();
    // A version is a whole number from 1 up; anything else is no version to read by.
    const QJsonValue version = o.value(QStringLiteral("format_version"));
    const double format = version.isUndefined() ? 1 : version.isDouble() ? version.toDouble() : -1;
    if (!(format >= 1 && format <= std::numeric_limits<int>::max()) || format != std::trunc(format)) {
        if (error)
            *error = QStringLiteral("a versão do formato (format_version) é %1, e uma versão é um número inteiro a "
                                    "partir de 1")
                         .arg(ShownText::value(asWritten(version), 40));
        return d;
    }
    if (format > currentFormat) {
        if (error)
            *error = QStringLiteral("o arquivo é do formato %1, gravado por uma versão mais nova da suíte; esta "
                                    "versão lê até o formato %2. Atualize a suíte nesta estação")
                         .arg(qint64(format))
                         .arg(currentFormat);
        return d;
    }
    d.code = o.value(QStringLiteral("code")).toString();
    d.title = o.value(QStringLiteral("title")).toString();
    d.description = o.value(QStringLiteral("description")).toString();
    d.heading = o.value(QStringLiteral("heading")).toString();
    d.footer = o.value(QStringLiteral("footer")).toString();
    d.landscape = o.value(QStringLiteral("orientation"))
                      .toString(QStringLiteral("landscape"))
                      .compare(QLatin1String("portrait"), Qt::CaseInsensitive)
                  != 0;
    d.margins = ReportMargins::fromJson(o.value(QStringLiteral("margins")));
    d.columnsFillWidth = o.value(QStringLiteral("columns_fill_width")).toBool(true);

    const QJsonObject q = o.value(QStringLiteral("query")).toObject();
    d.sql = sqlText(q.value(QStringLiteral("sql")));
    d.sqlSqlite = sqlText(q.value(QStringLiteral("sql_sqlite")));
    d.sqlPg = sqlText(q.value(QStringLiteral("sql_pg")));
    d.sqlIb = sqlText(q.value(QStringLiteral("sql_ib")));
    d.sqlOracle = sqlText(q.value(QStringLiteral("sql_oracle")));
    d.sqlMssql = sqlText(q.value(QStringLiteral("sql_mssql")));
    d.largeList = ReportLargeList::fromJson(q.value(QStringLiteral("large_list")).toObject());

    QStringList problems;
    d.params = paramsFrom(o.value(QStringLiteral("params")).toArray(), problems);
    d.criteria = criteriaFrom(o.value(QStringLiteral("criteria")).toArray());
    d.columns = columnsFrom(o.value(QStringLiteral("columns")).toArray());
    d.rowStyles = ReportStyleRule::listFromJson(o.value(QStringLiteral("row_styles")).toArray());
    d.groups = groupsFrom(o.value(QStringLiteral("groups")).toArray(), problems);
    const QJsonObject summary = o.value(QStringLiteral("summary")).toObject();
    d.summaryLabel = summary.value(QStringLiteral("label")).toString();
    d.summaryTotals = totalsFrom(summary.value(QStringLiteral("totals")).toArray());
    const QJsonObject bands = o.value(QStringLiteral("bands")).toObject();
    d.pageHeader = ReportBand::fromJson(bands.value(QStringLiteral("page_header")), problems);
    d.pageFooter = ReportBand::fromJson(bands.value(QStringLiteral("page_footer")), problems);
    d.summaryBand = ReportBand::fromJson(bands.value(QStringLiteral("summary")), problems);

    if (error)
        *error = problems.join(QStringLiteral("; "));
    return d;
}

QByteArray ReportDefinition::toJson() const
{
    QJsonObject o;
    o.insert(QStringLiteral("format_version"), formatNeeded());
    o.insert(QStringLiteral("code"), code);
    o.insert(QStringLiteral("title"), title);
    putIf(o, "description", description);
    putIf(o, "heading", heading);
    putIf(o, "footer", footer);
    o.insert(QStringLiteral("orientation"), landscape ? QStringLiteral("landscape") : QStringLiteral("portrait"));
    // Written only when changed: a file of today's reports stays byte for byte what it was.
    if (!margins.isDefault())
        o.insert(QStringLiteral("margins"), margins.toJson());
    if (!columnsFillWidth)
        o.insert(QStringLiteral("columns_fill_width"), false);

    QJsonObject q;
    q.insert(QStringLiteral("sql"), sqlLines(sql));
    const std::pair<const char *, const QString *> variants[] = {{"sql_sqlite", &sqlSqlite},
                                                                 {"sql_pg", &sqlPg},
                                                                 {"sql_ib", &sqlIb},
                                                                 {"sql_oracle", &sqlOracle},
                                                                 {"sql_mssql", &sqlMssql}};
    for (const auto &[key, text] : variants)
        if (!text->trimmed().isEmpty())
            q.insert(QLatin1String(key), sqlLines(*text));
    if (largeList.isSet())
        q.insert(QStringLiteral("large_list"), largeList.toJson());
    o.insert(QStringLiteral("query"), q);

    QJsonArray params;
    for (const ReportParamDecl &p : this->params) {
        QJsonObject po{{QStringLiteral("name"), p.name}, {QStringLiteral("type"), fieldTypeName(p.type)}};
        if (p.defaultValue.isValid())
            po.insert(QStringLiteral("default"), p.defaultValue.metaType().id() == QMetaType::QDate
                                                     ? QJsonValue(p.defaultValue.toDate().toString(Qt::ISODate))
                                                     : QJsonValue::fromVariant(p.defaultValue));
        params.append(po);
    }
    o.insert(QStringLiteral("params"), params);

    QJsonArray criteria;
    for (const ReportCriterion &c : this->criteria) {
        QJsonObject co{{QStringLiteral("label"), c.label}, {QStringLiteral("text"), c.text}};
        if (!c.lookup.isEmpty())
            co.insert(QStringLiteral("lookup"), c.lookup);
        criteria.append(co);
    }
    o.insert(QStringLiteral("criteria"), criteria);

    QJsonArray columns;
    for (const ReportColumn &c : this->columns) {
        QJsonObject co{{QStringLiteral("field"), c.field},
                       {QStringLiteral("title"), c.title},
                       {QStringLiteral("width"), c.width},
                       {QStringLiteral("align"), c.align},
                       {QStringLiteral("format"), c.format}};
        putIf(co, "visible_when", c.visibleWhen);
        if (c.dataOnly)
            co.insert(QStringLiteral("data_only"), true);
        if (!c.styles.isEmpty())
            co.insert(QStringLiteral("styles"), ReportStyleRule::listToJson(c.styles));
        columns.append(co);
    }
    o.insert(QStringLiteral("columns"), columns);
    if (!rowStyles.isEmpty())
        o.insert(QStringLiteral("row_styles"), ReportStyleRule::listToJson(rowStyles));

    QJsonArray groups;
    for (const ReportGroup &g : this->groups) {
        QJsonObject go{{QStringLiteral("field"), g.field}};
        putIf(go, "header", g.header);
        putIf(go, "footer", g.footer);
        if (!g.totals.isEmpty())
            go.insert(QStringLiteral("totals"), totalsTo(g.totals));
        putIf(go, "page_break", g.pageBreak);
        if (!g.repeatHeader)
            go.insert(QStringLiteral("repeat_header"), false);
        if (!g.headerBand.isEmpty())
            go.insert(QStringLiteral("header_band"), g.headerBand.toJson());
        if (!g.footerBand.isEmpty())
            go.insert(QStringLiteral("footer_band"), g.footerBand.toJson());
        groups.append(go);
    }
    o.insert(QStringLiteral("groups"), groups);
    if (!summaryLabel.isEmpty() || !summaryTotals.isEmpty())
        o.insert(QStringLiteral("summary"), QJsonObject{{QStringLiteral("label"), summaryLabel},
                                                        {QStringLiteral("totals"), totalsTo(summaryTotals)}});
    QJsonObject bands;
    const std::pair<const char *, const ReportBand *> named[] = {
        {"page_header", &pageHeader}, {"page_footer", &pageFooter}, {"summary", &summaryBand}};
    for (const auto &[key, band] : named)
        if (!band->isEmpty())
            bands.insert(QLatin1String(key), band->toJson());
    if (!bands.isEmpty())
        o.insert(QStringLiteral("bands"), bands);
    return QJsonDocument(o).toJson(QJsonDocument::Indented);
}

ReportDefinition ReportDefinition::load(const QString &fileName)
{
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly))
        throw ESuiteError(QStringLiteral("Não foi possível ler a definição do relatório '%1': %2")
                              .arg(QDir::toNativeSeparators(fileName), file.errorString()));
    // A definition is a few kilobytes; one of megabytes is not one to lay out.
    constexpr qint64 maxFileBytes = 4 << 20;
    if (file.size() > maxFileBytes)
        throw ESuiteError(QStringLiteral("A definição do relatório '%1' tem %2 KB, e uma definição aceita até %3 KB. "
                                         "Corrija o arquivo.")
                              .arg(QDir::toNativeSeparators(fileName))
                              .arg(file.size() >> 10)
                              .arg(maxFileBytes >> 10));
    QString error;
    ReportDefinition d = fromJson(file.readAll(), &error);
    if (!error.isEmpty())
        throw ESuiteError(QStringLiteral("A definição do relatório '%1' é inválida: %2. Corrija o arquivo.")
                              .arg(QDir::toNativeSeparators(fileName), error));
    return d;
}

void ReportDefinition::save(const QString &fileName) const
{
    QSaveFile file(fileName);
    if (!file.open(QIODevice::WriteOnly))
        throw ESuiteError(QStringLiteral("Não foi possível gravar a definição do relatório em '%1': %2. "
                                         "Verifique se a pasta existe e se há permissão de escrita.")
                              .arg(QDir::toNativeSeparators(fileName), file.errorString()));
    const QByteArray json = toJson();
    if (file.write(json) != json.size() || !file.commit())
        throw ESuiteError(QStringLiteral("Não foi possível gravar a definição do relatório em '%1': %2.")
                              .arg(QDir::toNativeSeparators(fileName), file.errorString()));
}

QString ReportColumn::label() const
{
    return title.trimmed().isEmpty() ? QStringLiteral("uma coluna sem título")
                                     : QStringLiteral("a coluna \"%1\"").arg(title);
}

double ReportColumn::paperScale(const QList<ReportColumn> &columns, double contentWidthMm, bool fillWidth)
{
    double total = 0;
    for (const ReportColumn &c : columns)
        if (!c.dataOnly)
            total += c.width;
    if (total <= 0 || contentWidthMm <= 0)
        return 1;
    // A table wider than the page would print past its margin, where nobody reads it.
    return fillWidth || total > contentWidthMm ? contentWidthMm / total : 1;
}

double ReportDefinition::contentWidthMm() const
{
    constexpr double a4ShortMm = 210, a4LongMm = 297;
    return (landscape ? a4LongMm : a4ShortMm) - margins.left - margins.right;
}

QList<MissingField> ReportDefinition::missingFields(const QSqlRecord &record) const
{
    QList<MissingField> missing;
    for (qsizetype i = 0; i < columns.size(); ++i) {
        const ReportColumn &c = columns.at(i);
        if (record.indexOf(c.field) < 0)
            missing << MissingField{int(i), QStringLiteral("%1 (%2ª)").arg(c.label()).arg(i + 1), c.field};
    }
    for (qsizetype g = 0; g < groups.size(); ++g)
        if (record.indexOf(groups.at(g).field) < 0)
            missing << MissingField{-1, QStringLiteral("o grupo de nível %1").arg(g + 1), groups.at(g).field};
    return missing;
}

QStringList ReportDefinition::styleProblems(const QSqlRecord &record, const QStringList &params) const
{
    ExpressionNames names;
    for (int i = 0; i < record.count(); ++i)
        names.fields << record.fieldName(i);
    names.params = params;
    QStringList problems;
    const auto check = [&](const QList<ReportStyleRule> &styles, const QString &where) {
        for (qsizetype i = 0; i < styles.size(); ++i) {
            const ExpressionError e = ReportExpression::check(styles.at(i).when, names);
            if (e.isError())
                problems << QStringLiteral("a condição do estilo %1 %2, %3").arg(i + 1).arg(where, e.describe());
        }
    };
    check(rowStyles, QStringLiteral("das linhas"));
    for (const ReportColumn &c : columns)
        check(c.styles, QStringLiteral("da coluna %1").arg(c.field));
    return problems;
}

QStringList ReportDefinition::elementProblems(const QSqlRecord &record, const QStringList &params) const
{
    QStringList problems;
    forEachBand([&](const ReportBand &band, const QString &where, BandKind kind, int) {
        const ExpressionNames names = elementNames(kind, record, params);
        for (qsizetype i = 0; i < band.elements.size(); ++i) {
            const ReportElement &e = band.elements.at(i);
            const QString what = QStringLiteral("%1 %2").arg(e.label(int(i)), where);
            const QString value = e.valueExpression();
            if (!value.trimmed().isEmpty()) {
                const ExpressionError error = ReportExpression::check(value, names);
                if (error.isError())
                    problems << QStringLiteral("a expressão d%1, %2").arg(what, error.describe());
            }
            // A style reads what the element's value may read, totals where a group or the report ends.
            for (qsizetype s = 0; s < e.styles.size(); ++s) {
                const ExpressionError error = ReportExpression::check(e.styles.at(s).when, names);
                if (error.isError())
                    problems << QStringLiteral("a condição do estilo %1 d%2, %3")
                                    .arg(s + 1)
                                    .arg(what, error.describe());
            }
        }
    });
    return problems;
}

ExpressionNames ReportDefinition::elementNames(BandKind kind, const QSqlRecord &record, const QStringList &params)
{
    // Every band reads a row: a page's header its first, its footer its last (see BandElements).
    ExpressionNames names;
    for (int i = 0; i < record.count(); ++i)
        names.fields << record.fieldName(i);
    names.params = params;
    names.totalsAllowed = kind == BandKind::GroupFooter || kind == BandKind::Summary;
    return names;
}

int ReportDefinition::formatNeeded() const
{
    bool bands = false;
    forEachBand([&](const ReportBand &band, const QString &, BandKind, int) { bands = bands || !band.isEmpty(); });
    return bands ? 3 : 2;
}

void ReportDefinition::validate() const
{
    // Each level's faults would be told one by one: a definition of a thousand levels says
    // only this.
    if (groups.size() > maxGroupLevels)
        throw ESuiteError(QStringLiteral("A definição do relatório '%1' não pode ser usada: tem %2 níveis de grupo, e "
                                         "um relatório aceita até %3.")
                              .arg(ShownText::value(title, 60))
                              .arg(groups.size())
                              .arg(maxGroupLevels));
    QStringList problems;
    if (code.trimmed().isEmpty())
        problems << QStringLiteral("não informa o código do relatório");
    if (title.trimmed().isEmpty())
        problems << QStringLiteral("não informa o título do relatório");
    // Texts that go on every page: a line or two each.
    const auto tooLong = [&problems](const QString &text, const QString &what, int max) {
        if (text.size() > max)
            problems << QStringLiteral("%1 tem %2 caracteres, e aceita até %3 (\"%4\")")
                            .arg(what)
                            .arg(text.size())
                            .arg(max)
                            .arg(ShownText::value(text, 40));
    };
    tooLong(title, QStringLiteral("o título"), 200);
    tooLong(heading, QStringLiteral("o cabeçalho"), 500);
    tooLong(footer, QStringLiteral("o rodapé"), 500);
    tooLong(summaryLabel, QStringLiteral("o fechamento"), 500);
    for (const ReportCriterion &c : criteria) {
        tooLong(c.label, QStringLiteral("um critério"), 200);
        tooLong(c.text, QStringLiteral("um critério"), 500);
    }
    for (const ReportColumn &c : columns)
        tooLong(c.title, QStringLiteral("o título de uma coluna"), 200);
    margins.check(problems);
    if (sql.trimmed().isEmpty())
        problems << QStringLiteral("não tem o texto da consulta");
    if (columns.isEmpty())
        problems << QStringLiteral("não tem colunas");
    QStringList fields;
    for (const ReportColumn &c : columns) {
        fields << c.field;
        if (c.field.trimmed().isEmpty())
            problems << QStringLiteral("a coluna \"%1\" não informa o campo").arg(c.title);
        if (!(c.width > 0))
            problems << QStringLiteral("a coluna %1 tem largura inválida").arg(c.field);
        if (!ReportFormat::isKnown(c.format))
            problems << QStringLiteral("a coluna %1 tem o formato desconhecido '%2'").arg(c.field, c.format);
        const QString a = c.align.toLower();
        if (a != QLatin1String("left") && a != QLatin1String("right") && a != QLatin1String("center"))
            problems << QStringLiteral("a coluna %1 tem o alinhamento desconhecido '%2'").arg(c.field, c.align);
        if (!validCondition(c.visibleWhen))
            problems << QStringLiteral("a condição '%1' da coluna %2 não é do tipo PARAMETRO=VALOR")
                            .arg(c.visibleWhen, c.field);
        ReportStyleRule::check(c.styles, QStringLiteral("da coluna %1").arg(c.field), problems);
    }
    ReportStyleRule::check(rowStyles, QStringLiteral("das linhas"), problems);
    auto checkTotals = [&](const QList<ReportTotal> &totals, const QString &where) {
        static const char *const ops[] = {"count", "sum", "avg", "min", "max"};
        for (const ReportTotal &t : totals) {
            bool known = false;
            for (const char *op : ops)
                known = known || t.op == QLatin1String(op);
            if (!known)
                problems << QStringLiteral("o total '%1' de %2 não é count, sum, avg, min nem max").arg(t.op, where);
            if (!fields.contains(t.column, Qt::CaseInsensitive))
                problems << QStringLiteral("o total de %1 usa a coluna %2, que não existe").arg(where, t.column);
        }
    };
    for (const ReportGroup &g : groups) {
        if (g.field.trimmed().isEmpty())
            problems << QStringLiteral("um grupo não informa o campo de quebra");
        if (!validCondition(g.pageBreak))
            problems << QStringLiteral("a quebra de página '%1' do grupo %2 não é always, never nem PARAMETRO=VALOR")
                            .arg(g.pageBreak, g.field);
        checkTotals(g.totals, QStringLiteral("grupo %1").arg(g.field));
    }
    checkTotals(summaryTotals, QStringLiteral("resumo"));
    forEachBand([&](const ReportBand &band, const QString &where, BandKind, int) { band.check(where, problems); });
    // The page's bands repeat on every page: they must leave the page room for its rows,
    // or each row would take a page of its own.
    const double sheet = (landscape ? 210.0 : 297.0) - margins.top - margins.bottom;
    if (pageHeader.height + pageFooter.height > sheet / 2)
        problems << QStringLiteral("as faixas do cabeçalho e do rodapé da página somam %1 mm, mais da metade dos %2 mm "
                                   "da folha entre as margens, e não deixam lugar para as linhas")
                        .arg(pageHeader.height + pageFooter.height)
                        .arg(sheet);
    if (!problems.isEmpty())
        throw ESuiteError(QStringLiteral("A definição do relatório '%1' não pode ser usada: %2.")
                              .arg(ShownText::value(title, 60), problems.join(QStringLiteral("; "))));
}

QString ReportDefinition::sqlFor(SqlDialect dialect) const
{
    return textForDialect(dialect, sql, sqlSqlite, sqlPg, sqlIb);
}

QString ReportDefinition::largeListCountFor(SqlDialect dialect) const
{
    return largeList.appliesTo(dialect) ? largeList.count.forDialect(dialect) : QString();
}

QString ReportDefinition::largeListSqlFor(SqlDialect dialect) const
{
    return largeList.appliesTo(dialect) ? largeList.sql.forDialect(dialect) : QString();
}

QStringList ReportDefinition::parameterNames(SqlDialect dialect) const
{
    QStringList names = PreparedSql::parameterNames(sqlFor(dialect));
    appendUnique(names, PreparedSql::parameterNames(largeListCountFor(dialect)));
    appendUnique(names, PreparedSql::parameterNames(largeListSqlFor(dialect)));
    appendUnique(names, ReportTemplate::parameterNames(heading));
    appendUnique(names, ReportTemplate::parameterNames(footer));
    for (const ReportCriterion &c : criteria) {
        appendUnique(names, ReportTemplate::parameterNames(c.text));
        appendUnique(names, PreparedSql::parameterNames(c.lookup));
    }
    for (const ReportColumn &c : columns) {
        appendUnique(names, {conditionParameter(c.visibleWhen)});
        for (const ReportStyleRule &rule : c.styles)
            appendUnique(names, PreparedSql::parameterNames(rule.when));
    }
    for (const ReportStyleRule &rule : rowStyles)
        appendUnique(names, PreparedSql::parameterNames(rule.when));
    for (const ReportGroup &g : groups) {
        appendUnique(names, ReportTemplate::parameterNames(g.header));
        appendUnique(names, ReportTemplate::parameterNames(g.footer));
        appendUnique(names, {conditionParameter(g.pageBreak)});
    }
    appendUnique(names, ReportTemplate::parameterNames(summaryLabel));
    // An element may show a parameter the query does not filter by (a title, a branch);
    // expressions mark parameters as SQL does and quote text as SQL does.
    forEachBand([&](const ReportBand &band, const QString &, BandKind, int) {
        for (const ReportElement &e : band.elements) {
            appendUnique(names, PreparedSql::parameterNames(e.valueExpression()));
            for (const ReportStyleRule &rule : e.styles)
                appendUnique(names, PreparedSql::parameterNames(rule.when));
        }
    });
    return names;
}

const ReportParamDecl *ReportDefinition::declaration(const QString &name) const
{
    for (const ReportParamDecl &p : params)
        if (p.name.compare(name, Qt::CaseInsensitive) == 0)
            return &p;
    return nullptr;
}

TParams ReportDefinition::collectParams(SqlDialect dialect) const
{
    TParams out;
    for (const QString &name : parameterNames(dialect)) {
        const ReportParamDecl *decl = declaration(name);
        TParam &p = out.CreateParam(name, decl ? decl->type : TFieldType::ftUnknown);
        if (decl && decl->defaultValue.isValid() && !decl->defaultValue.isNull())
            p.setValue(decl->defaultValue);
    }
    return out;
}

QString ReportDefinition::conditionParameter(const QString &condition)
{
    const qsizetype eq = condition.indexOf(QLatin1Char('='));
    return eq > 0 ? condition.left(eq).trimmed() : QString();
}

bool ReportDefinition::conditionHolds(const QString &condition, const TParams &params, bool whenEmpty)
{
    const QString c = condition.trimmed();
    if (c.isEmpty())
        return whenEmpty;
    if (c.compare(QLatin1String("always"), Qt::CaseInsensitive) == 0)
        return true;
    if (c.compare(QLatin1String("never"), Qt::CaseInsensitive) == 0)
        return false;
    const qsizetype eq = c.indexOf(QLatin1Char('='));
    if (eq <= 0)
        return whenEmpty;
    const TParam *p = params.FindParam(c.left(eq).trimmed());
    return p && p->AsString().trimmed() == c.mid(eq + 1).trimmed();
}
