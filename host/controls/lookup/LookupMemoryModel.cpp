#include "controls/lookup/LookupMemoryModel.h"
#include "data/TDataSet.h"
#include "controls/DataSetRows.h"
#include "controls/lookup/LookupSqlModel.h"
#include "text/TextFold.h"

#include <algorithm>
#include <numeric>

LookupMemoryModel::LookupMemoryModel(TDataSet *dataSet, QVector<Column> columns, const QString &keyField,
                                     QObject *parent)
    : LookupModel(dataSet, std::move(columns), keyField, parent)
{
    dataSet->RecordCount(); // rows in memory: make sure all are at hand
    for (const Column &c : m_columns)
        m_dataColumns << columnIndex(c.name);
    m_keyColumn = columnIndex(keyField);
}

int LookupMemoryModel::columnIndex(const QString &name) const
{
    const QStringList names = m_dataSet->columnNames();
    for (int i = 0; i < names.size(); ++i)
        if (names.at(i).compare(name, Qt::CaseInsensitive) == 0)
            return i;
    return -1;
}

const LookupMemoryModel::Order &LookupMemoryModel::orderFor(const QString &field)
{
    const QString id = field.toUpper();
    auto it = m_orders.find(id);
    if (it != m_orders.end())
        return *it;
    const int column = columnIndex(field);
    const int count = m_dataSet->fetchedCount();
    QStringList texts;
    QStringList raw;
    texts.reserve(count);
    raw.reserve(count);
    for (int row = 0; row < count; ++row) {
        raw << m_dataSet->rowValue(row, column).toString();
        texts << TextFold::fold(raw.constLast());
    }
    Order order;
    order.rows.resize(count);
    std::iota(order.rows.begin(), order.rows.end(), 0);
    std::stable_sort(order.rows.begin(), order.rows.end(), [&](int a, int b) {
        const int c = texts.at(a).compare(texts.at(b));
        return c != 0 ? c < 0 : raw.at(a) < raw.at(b);
    });
    order.folded.reserve(count);
    for (int row : order.rows)
        order.folded << texts.at(row);
    return *m_orders.insert(id, std::move(order));
}

void LookupMemoryModel::search(const QString &field, const QString &text)
{
    beginResetModel();
    m_order = &orderFor(field);
    m_shown.clear();
    const QStringList &folded = m_order->folded;
    const QString part = TextFold::fold(text.simplified());
    // A code, and a name of one or two characters, by their start; more, anywhere.
    if (field.compare(m_keyField, Qt::CaseInsensitive) == 0 || part.size() < LookupSqlModel::minPartLength) {
        const QString wanted = field.compare(m_keyField, Qt::CaseInsensitive) == 0 ? TextFold::fold(text) : part;
        auto first = std::lower_bound(folded.begin(), folded.end(), wanted);
        for (auto it = first; it != folded.end() && it->startsWith(wanted); ++it)
            m_shown << int(it - folded.begin());
    } else {
        for (int i = 0; i < folded.size(); ++i)
            if (folded.at(i).contains(part))
                m_shown << i;
    }
    endResetModel();
}

QVariant LookupMemoryModel::value(int row, int column) const
{
    if (!m_order || row < 0 || row >= m_shown.size() || column < 0 || column >= m_dataColumns.size())
        return QVariant();
    return m_dataSet->rowValue(m_order->rows.at(m_shown.at(row)), m_dataColumns.at(column));
}

QVariant LookupMemoryModel::keyValue(int row) const
{
    if (!m_order || row < 0 || row >= m_shown.size())
        return QVariant();
    return m_dataSet->rowValue(m_order->rows.at(m_shown.at(row)), m_keyColumn);
}

QVariant LookupMemoryModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || role != Qt::DisplayRole || !m_order)
        return QVariant();
    // Text callbacks read the current row: format with the data set on this row.
    DataSetRows::Keeper keep(m_dataSet);
    DataSetRows::moveTo(m_dataSet, m_order->rows.at(m_shown.at(index.row())));
    return LookupModel::data(index, role);
}

int LookupMemoryModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() || !m_order ? 0 : int(m_shown.size());
}
