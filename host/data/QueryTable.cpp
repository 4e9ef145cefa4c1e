#include "data/QueryTable.h"

#include "data/TADOIBQuery.h"

namespace QueryTable {

namespace {

QStringList toList(const Lines &lines)
{
    QStringList list;
    list.reserve(qsizetype(lines.size()));
    for (const char *line : lines)
        list << QString::fromUtf8(line);
    return list;
}

} // namespace

TADOIBQuery *make(const Query &def, QObject *parent)
{
    auto *q = new TADOIBQuery(parent);
    q->setObjectName(QString::fromLatin1(def.name));
    q->SQL = toList(def.sql);
    q->SQL_IB = toList(def.sqlIb);
    q->SQL_ORACLE = toList(def.sqlOracle);
    q->SQL_MSSQL = toList(def.sqlMssql);
    q->SQL_SQLITE = toList(def.sqlSqlite);
    q->SQL_PG = toList(def.sqlPg);
    for (const char *param : def.params)
        q->DeclareParam(QString::fromLatin1(param), TFieldType::ftString);
    for (const Field &f : def.fields)
        q->AddField(QString::fromLatin1(f.name), f.size, QString::fromUtf8(f.label), f.width, f.visible);
    return q;
}

Lines plus(Lines lines, std::initializer_list<const char *> more)
{
    lines.insert(lines.end(), more);
    return lines;
}

} // namespace QueryTable
