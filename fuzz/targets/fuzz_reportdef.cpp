// Report definitions: any file in the report folder is read, checked and asked for its
// parameters without failing, and a definition that was read is written back to a JSON
// that reads as the same definition.
#include "errors/EAbort.h"
#include "FuzzTarget.h"
#include "data/SqlBinding.h"
#include "report/ReportDefinition.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    QString error;
    const ReportDefinition def = ReportDefinition::fromJson(fuzz::bytes(data, size), &error);
    if (!error.isEmpty())
        return 0;
    try {
        def.validate();
    } catch (const ESuiteError &) {
    }
    for (SqlDialect dialect : {SqlDialect::SQLite, SqlDialect::PostgreSQL, SqlDialect::Firebird}) {
        const TParams params = def.collectParams(dialect);
        try {
            (void)PreparedSql::prepare(def.sqlFor(dialect), params, dialect);
        } catch (const ESuiteError &) {
        }
    }
    const QByteArray json = def.toJson();
    QString again;
    const ReportDefinition copy = ReportDefinition::fromJson(json, &again);
    if (!again.isEmpty())
        fuzz::violated("a definição gravada não é lida de volta");
    if (copy.toJson() != json)
        fuzz::violated("a definição lida de volta é outra");
    return 0;
}
