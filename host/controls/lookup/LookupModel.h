#pragma once

#include "suite_export.h"

#include <QAbstractTableModel>
#include <QVector>

class TDataSet;
class TField;

// The rows of a lookup list: the visible fields of a data set, ordered by the column
// searched, restricted to the rows whose value in that column starts with the text
// typed. Subclasses read the rows from the database in pages or from rows in memory.
class SUITE_TEST_EXPORT LookupModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    struct Column
    {
        TField *field = nullptr;
        QString name;
        QString label;
        int chars = 10; // display width in characters
    };

    LookupModel(TDataSet *dataSet, QVector<Column> columns, const QString &keyField, QObject *parent);

    const QVector<Column> &columns() const { return m_columns; }
    QString keyField() const { return m_keyField; }

    // Orders by field and keeps the rows whose value there starts with text (all rows
    // for an empty text). Raises the database's error.
    virtual void search(const QString &field, const QString &text) = 0;
    // Raw values of a shown row.
    virtual QVariant value(int row, int column) const = 0;
    virtual QVariant keyValue(int row) const = 0;
    // The row of the list that holds key, bringing it into the list when the list is read
    // in pages; -1 when no row has it.
    virtual int rowOfKey(const QString &key);

    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

protected:
    TDataSet *m_dataSet;
    QVector<Column> m_columns;
    QString m_keyField;
};
