#include "controls/pick/MultiSelectModel.h"
#include "data/TDataSet.h"
#include "controls/DataSetRows.h"
#include "text/TextFold.h"

#include <climits>
#include <numeric>

namespace {
bool markedValue(const QVariant &v)
{
    const QString s = v.toString().trimmed().toUpper();
    return s == QLatin1String("S") || s == QLatin1String("T") || s == QLatin1String("1") || s == QLatin1String("TRUE");
}
} // namespace

MultiSelectModel::MultiSelectModel(TDataSet *dataSet, const QString &keyField, const QSet<QString> &preselected,
                                   QObject *parent)
    : QAbstractTableModel(parent), m_dataSet(dataSet)
{
    // The field IDMARCADO, when the data set has one, is the mark column itself.
    TField *markField = dataSet->FindField(QStringLiteral("IDMARCADO"));
    m_markLabel = markField && !markField->DisplayLabel.isEmpty() ? markField->DisplayLabel : QString();
    for (int i = 0; i < dataSet->FieldCount(); ++i) {
        TField &f = dataSet->Fields(i);
        if (f.Visible && &f != markField)
            m_fields << &f;
    }
    const int count = dataSet->RecordCount();
    const int keyColumn = dataSet->FieldByName(keyField).columnIndex();
    const int markColumn = markField ? markField->columnIndex() : -1;
    m_keys.reserve(count);
    m_marks.resize(count);
    for (int row = 0; row < count; ++row) {
        m_keys << dataSet->rowValue(row, keyColumn).toString();
        const bool marked = preselected.contains(m_keys.constLast())
                            || (markColumn >= 0 && markedValue(dataSet->rowValue(row, markColumn)));
        m_marks[row] = marked;
        m_markedCount += marked;
    }
    m_shown.resize(count);
    std::iota(m_shown.begin(), m_shown.end(), 0);
}

int MultiSelectModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_shown.size());
}

int MultiSelectModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_fields.size()) + 1;
}

QString MultiSelectModel::cellText(int dataRow, int fieldIndex) const
{
    TField *f = m_fields.at(fieldIndex);
    const QVariant raw = m_dataSet->rowValue(dataRow, f->columnIndex());
    if (!f->OnGetText)
        return f->textFor(raw, true);
    // A text callback reads the current row.
    DataSetRows::Keeper keep(m_dataSet);
    DataSetRows::moveTo(m_dataSet, dataRow);
    return f->textFor(raw, true);
}

QVariant MultiSelectModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= m_shown.size())
        return QVariant();
    const int dataRow = m_shown.at(index.row());
    if (index.column() == 0) {
        if (role == Qt::CheckStateRole)
            return m_marks.at(dataRow) ? Qt::Checked : Qt::Unchecked;
        return QVariant();
    }
    if (role == Qt::DisplayRole)
        return cellText(dataRow, index.column() - 1);
    return QVariant();
}

QVariant MultiSelectModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QAbstractTableModel::headerData(section, orientation, role);
    if (section == 0)
        return m_markLabel;
    if (section - 1 < m_fields.size())
        return m_fields.at(section - 1)->label();
    return QVariant();
}

Qt::ItemFlags MultiSelectModel::flags(const QModelIndex &index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren;
}

bool MultiSelectModel::isMarked(int row) const
{
    return row >= 0 && row < m_shown.size() && m_marks.at(m_shown.at(row));
}

void MultiSelectModel::setMarked(const QVector<int> &rows, bool marked)
{
    int first = INT_MAX;
    int last = -1;
    for (int row : rows) {
        if (row < 0 || row >= m_shown.size())
            continue;
        char &mark = m_marks[m_shown.at(row)];
        if (bool(mark) == marked)
            continue;
        mark = marked;
        m_markedCount += marked ? 1 : -1;
        first = qMin(first, row);
        last = qMax(last, row);
    }
    if (last < 0)
        return;
    emit dataChanged(index(first, 0), index(last, 0), {Qt::CheckStateRole});
    emit marksChanged();
}

void MultiSelectModel::toggle(const QVector<int> &rows)
{
    bool anyUnmarked = false;
    for (int row : rows)
        if (row >= 0 && row < m_shown.size() && !m_marks.at(m_shown.at(row)))
            anyUnmarked = true;
    setMarked(rows, anyUnmarked);
}

void MultiSelectModel::setAllMarked(bool marked)
{
    QVector<int> rows(m_shown.size());
    std::iota(rows.begin(), rows.end(), 0);
    setMarked(rows, marked);
}

void MultiSelectModel::clearMarks()
{
    if (m_markedCount == 0)
        return;
    m_marks.fill(0);
    m_markedCount = 0;
    if (!m_shown.isEmpty())
        emit dataChanged(index(0, 0), index(int(m_shown.size()) - 1, 0), {Qt::CheckStateRole});
    emit marksChanged();
}

int MultiSelectModel::hiddenMarkedCount() const
{
    int shown = 0;
    for (int row : m_shown)
        shown += m_marks.at(row) ? 1 : 0;
    return m_markedCount - shown;
}

QStringList MultiSelectModel::markedKeys() const
{
    QStringList keys;
    for (int row = 0; row < m_marks.size(); ++row)
        if (m_marks.at(row))
            keys << m_keys.at(row);
    return keys;
}

namespace {

QString digitsOf(const QString &text)
{
    QString digits;
    for (QChar c : text)
        if (c.isDigit())
            digits += c;
    return digits;
}

// Digits, with at most the punctuation a code or registration number is written with.
bool isNumber(const QString &text)
{
    bool digit = false;
    for (QChar c : text) {
        if (c.isDigit())
            digit = true;
        else if (!QStringLiteral("./- ").contains(c))
            return false;
    }
    return digit;
}

} // namespace

void MultiSelectModel::foldRow(int row)
{
    QString text;
    QString digits;
    for (int f = 0; f < m_fields.size(); ++f) {
        const QString cell = cellText(row, f);
        text += cell;
        text += QChar(0x1F); // keeps a match from running across two columns
        digits += digitsOf(cell);
        digits += QChar(0x1F);
    }
    m_haystack << TextFold::fold(text);
    m_digits << digits;
}

bool MultiSelectModel::prepareSearch(int rows)
{
    const int count = int(m_keys.size());
    m_haystack.reserve(count);
    m_digits.reserve(count);
    for (int row = int(m_haystack.size()); row < count && rows > 0; ++row, --rows)
        foldRow(row);
    return m_haystack.size() < count;
}

void MultiSelectModel::setFilter(const QString &text)
{
    const QString wanted = TextFold::fold(text.trimmed());
    const QString digits = isNumber(wanted) ? digitsOf(wanted) : QString();
    beginResetModel();
    m_shown.clear();
    if (wanted.isEmpty()) {
        m_shown.resize(m_keys.size());
        std::iota(m_shown.begin(), m_shown.end(), 0);
    } else {
        prepareSearch(INT_MAX);
        for (int row = 0; row < m_haystack.size(); ++row)
            if (m_haystack.at(row).contains(wanted) || (!digits.isEmpty() && m_digits.at(row).contains(digits)))
                m_shown << row;
    }
    endResetModel();
}
