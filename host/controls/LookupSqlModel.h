#pragma once

#include "../SqlDialect.h"
#include "../suite_export.h"
#include "LookupModel.h"

#include <QStringList>

class TADOIBQuery;

// Lookup rows read from the database a page at a time: the query's own statement is
// wrapped in a statement that orders by the searched column, restricts it to the typed
// prefix and continues after the last row read (keyset paging), so opening and
// narrowing cost the same on a thousand rows as on a million.
class SUITE_EXPORT LookupSqlModel : public LookupModel
{
    Q_OBJECT
public:
    LookupSqlModel(TADOIBQuery *query, QVector<Column> columns, const QString &keyField, QObject *parent);

    static SqlDialect dialectOf(const QString &driverName);
    static QStringList caseVariants(const QString &text);
    // The statement without a final top-level ORDER BY (kept when a row limit follows it).
    static QString withoutFinalOrder(const QString &sql);
    // The page statement for a search column, with a prefix range and/or a continuation
    // after the last row read (exposed for plans and tests).
    QString pageSql(const QString &field, bool prefix, bool continuation, int limit) const;

    void search(const QString &field, const QString &text) override;
    QVariant value(int row, int column) const override;
    QVariant keyValue(int row) const override;

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    bool canFetchMore(const QModelIndex &parent) const override;
    void fetchMore(const QModelIndex &parent) override;

    static constexpr int firstPage = 100;
    static constexpr int nextPage = 300;

private:
    // Reads one page: from the start of the search, or after the last row held.
    QVector<QVector<QVariant>> readPage(bool continuation, int limit);

    TADOIBQuery *m_query;
    SqlDialect m_dialect;
    QString m_field;
    QString m_prefix;
    QVector<QVector<QVariant>> m_rows;   // each row: the shown columns, then the key, then the field searched
    bool m_exhausted = true;
};
