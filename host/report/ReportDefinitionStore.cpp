#include "report/ReportDefinitionStore.h"

#include <QFileInfo>
#include <QHash>

namespace {

QHash<QString, ReportDefinition> &edits()
{
    static QHash<QString, ReportDefinition> store;
    return store;
}

QString keyOf(const QString &fileName)
{
    return QFileInfo(fileName).absoluteFilePath();
}

} // namespace

namespace ReportDefinitionStore {

std::optional<ReportDefinition> edited(const QString &fileName)
{
    const auto it = edits().constFind(keyOf(fileName));
    if (it == edits().constEnd())
        return std::nullopt;
    return *it;
}

void keep(const QString &fileName, const ReportDefinition &definition)
{
    edits().insert(keyOf(fileName), definition);
}

void discard(const QString &fileName)
{
    edits().remove(keyOf(fileName));
}

void discardAll()
{
    edits().clear();
}

} // namespace ReportDefinitionStore
