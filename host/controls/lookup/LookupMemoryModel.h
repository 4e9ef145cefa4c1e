#pragma once

#include "controls/lookup/LookupModel.h"
#include "suite_export.h"

#include <QHash>
#include <QStringList>

// Lookup rows of a data set held in memory (a client data set, or a small query read
// whole): every row is already there, so the list keeps an order per searched column
// (folded text, then as written: "Água" among the A's), narrows a code by binary search
// on its start and a name as LookupSqlModel does: by its start for one or two
// characters, anywhere in it for more.
class SUITE_TEST_EXPORT LookupMemoryModel : public LookupModel
{
    Q_OBJECT
public:
    LookupMemoryModel(TDataSet *dataSet, QVector<Column> columns, const QString &keyField, QObject *parent);

    void search(const QString &field, const QString &text) override;
    QVariant value(int row, int column) const override;
    QVariant keyValue(int row) const override;
    QVariant data(const QModelIndex &index, int role) const override;

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;

private:
    struct Order
    {
        QVector<int> rows;  // data set rows sorted by the folded text
        QStringList folded; // folded text, in that order
    };
    const Order &orderFor(const QString &field);
    int columnIndex(const QString &name) const;

    QHash<QString, Order> m_orders;
    const Order *m_order = nullptr;
    QVector<int> m_shown;       // positions in the order, of the rows shown
    QVector<int> m_dataColumns; // data set column of each shown column
    int m_keyColumn = -1;
};
