#include "data/TDataSet.h"
#include "errors/EAbort.h"
#include "controls/TMaskEdit.h"
#include "text/TextFold.h"

#include <QDate>

#include <algorithm>
#include <numeric>

TField::TField(TDataSet *dataSet, const QString &name, int size) : FieldName(name), Size(size), m_dataSet(dataSet) { }

QVariant TField::Value() const
{
    if (!m_dataSet || m_column < 0)
        return QVariant();
    return m_dataSet->currentValue(m_column);
}

QString TField::AsString() const
{
    const QVariant v = Value();
    if (v.isNull())
        return QString();
    if (v.metaType().id() == QMetaType::QDate)
        return v.toDate().toString(QStringLiteral("dd/MM/yyyy"));
    return v.toString();
}

bool TField::IsNull() const
{
    return Value().isNull();
}

QString TField::textFor(const QVariant &value, bool displayText) const
{
    QString text;
    if (!value.isNull())
        text = value.metaType().id() == QMetaType::QDate ? value.toDate().toString(QStringLiteral("dd/MM/yyyy"))
                                                         : value.toString();
    if (OnGetText) {
        // The callback reads the data set's current row; lists that format other rows
        // position the data set there first (see TDataSet::rowValue users).
        OnGetText(const_cast<TField &>(*this), text, displayText);
        return text;
    }
    if (!EditMask.isEmpty() && !text.isEmpty())
        return TMaskEdit::formatMasked(EditMask, text);
    return text;
}

namespace {
int columnOf(const QStringList &columns, const QString &name)
{
    for (int i = 0; i < columns.size(); ++i)
        if (columns.at(i).compare(name, Qt::CaseInsensitive) == 0)
            return i;
    return -1;
}
} // namespace

TDataSetStore::~TDataSetStore() = default;

TDataSet::TDataSet(QObject *parent) : QObject(parent) { }

TDataSet::~TDataSet() = default;

TField &TDataSet::AddField(const QString &name, int size, const QString &displayLabel, int displayWidth, bool visible)
{
    auto field = std::make_unique<TField>(this, name, size);
    field->DisplayLabel = displayLabel;
    field->DisplayWidth = displayWidth;
    field->Visible = visible;
    m_fields.push_back(std::move(field));
    TField &f = *m_fields.back();
    const int column = columnOf(m_columns, name);
    f.setColumnIndex(column);
    return f;
}

TField *TDataSet::FindField(const QString &name) const
{
    for (const auto &f : m_fields)
        if (f->FieldName.compare(name, Qt::CaseInsensitive) == 0)
            return f.get();
    return nullptr;
}

TField &TDataSet::FieldByName(const QString &name) const
{
    if (TField *f = FindField(name))
        return *f;
    throw ESuiteError(QStringLiteral("Campo '%1' não encontrado em %2.").arg(name, objectName()));
}

void TDataSet::Close()
{
    resetRows();
    setActive(false);
}

bool TDataSet::IsEmpty()
{
    return !m_active || !fetchTo(0);
}

void TDataSet::First()
{
    m_current = 0;
}

void TDataSet::Next()
{
    if (fetchTo(m_current))
        ++m_current;
}

bool TDataSet::Eof()
{
    return !m_active || !fetchTo(m_current);
}

int TDataSet::RecordCount()
{
    if (!m_active)
        return 0;
    while (!m_complete && fetchMore()) {
    }
    return fetchedCount();
}

bool TDataSet::Locate(const QString &fieldName, const QVariant &value)
{
    TField &f = FieldByName(fieldName);
    if (f.columnIndex() < 0)
        return false;
    const QString wanted = value.toString();
    for (int row = 0; fetchTo(row); ++row) {
        if (rowValue(row, f.columnIndex()).toString() == wanted) {
            m_current = row;
            return true;
        }
    }
    return false;
}

bool TDataSet::fetchTo(int row)
{
    if (row < 0)
        return false;
    while (row >= fetchedCount()) {
        if (m_complete || !fetchMore())
            return row < fetchedCount();
    }
    return true;
}

QVariant TDataSet::rowValue(int row, int column) const
{
    if (m_store)
        return row >= 0 && row < m_store->rowCount() ? m_store->value(row, column) : QVariant();
    if (row < 0 || row >= int(m_rows.size()))
        return QVariant();
    return m_rows[size_t(row)].value(column);
}

QVariant TDataSet::currentValue(int column) const
{
    if (!m_active)
        return QVariant();
    const_cast<TDataSet *>(this)->fetchTo(m_current);
    return rowValue(m_current, column);
}

void TDataSet::beginData(const QStringList &columns)
{
    m_rows.clear();
    m_store.reset();
    m_columns = columns;
    m_complete = false;
    m_current = 0;
    if (m_fields.empty() || m_dynamicFields) {
        m_fields.clear();
        for (const QString &c : columns)
            m_fields.push_back(std::make_unique<TField>(this, c));
        m_dynamicFields = true;
    }
    for (auto &f : m_fields)
        f->setColumnIndex(columnOf(columns, f->FieldName));
}

void TDataSet::endData()
{
    m_complete = true;
    if (IndexFieldNames.trimmed().isEmpty() || fetchedCount() < 2)
        return;
    QVector<int> columns;
    for (const QString &name : IndexFieldNames.split(QLatin1Char(';'), Qt::SkipEmptyParts))
        if (const int c = columnOf(m_columns, name.trimmed()); c >= 0)
            columns << c;
    if (columns.isEmpty())
        return;
    if (m_store) {
        m_store->sortBy(columns);
        return;
    }
    // Each text once: folded first, as written for ties.
    struct Key
    {
        QStringList folded;
        QStringList raw;
    };
    std::vector<Key> keys(m_rows.size());
    for (size_t r = 0; r < m_rows.size(); ++r)
        for (int c : columns) {
            const QString text = m_rows[r].value(c).toString();
            keys[r].folded << TextFold::fold(text);
            keys[r].raw << text;
        }
    std::vector<size_t> order(m_rows.size());
    std::iota(order.begin(), order.end(), size_t(0));
    std::stable_sort(order.begin(), order.end(), [&](size_t a, size_t b) {
        for (int i = 0; i < columns.size(); ++i) {
            if (const int c = keys[a].folded.at(i).compare(keys[b].folded.at(i)); c != 0)
                return c < 0;
            if (const int c = keys[a].raw.at(i).compare(keys[b].raw.at(i)); c != 0)
                return c < 0;
        }
        return false;
    });
    std::vector<QVector<QVariant>> sorted;
    sorted.reserve(m_rows.size());
    for (size_t r : order)
        sorted.push_back(std::move(m_rows[r]));
    m_rows = std::move(sorted);
}

void TDataSet::appendRow(QVector<QVariant> row)
{
    m_rows.push_back(std::move(row));
}

void TDataSet::setStore(std::unique_ptr<TDataSetStore> store)
{
    m_rows.clear();
    m_store = std::move(store);
}

void TDataSet::setActive(bool active)
{
    if (m_active == active)
        return;
    m_active = active;
    if (active)
        emit opened();
    else
        emit closed();
}

void TDataSet::resetRows()
{
    m_rows.clear();
    m_rows.shrink_to_fit();
    m_store.reset();
    m_complete = true;
    m_current = 0;
}
