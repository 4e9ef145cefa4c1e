#include "controls/lookup/LookupModel.h"
#include "data/TDataSet.h"

LookupModel::LookupModel(TDataSet *dataSet, QVector<Column> columns, const QString &keyField, QObject *parent)
    : QAbstractTableModel(parent), m_dataSet(dataSet), m_columns(std::move(columns)), m_keyField(keyField)
{ }

int LookupModel::rowOfKey(const QString &key)
{
    for (int r = 0; r < rowCount(); ++r)
        if (keyValue(r).toString() == key)
            return r;
    return -1;
}

int LookupModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_columns.size());
}

QVariant LookupModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || role != Qt::DisplayRole)
        return QVariant();
    const Column &column = m_columns.at(index.column());
    const QVariant raw = value(index.row(), index.column());
    return column.field ? column.field->textFor(raw, true) : raw.toString();
}

QVariant LookupModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole && section >= 0 && section < m_columns.size())
        return m_columns.at(section).label;
    return QAbstractTableModel::headerData(section, orientation, role);
}
