#pragma once

#include <QSqlError>
#include <QSqlRecord>
#include <QVariant>
#include <QVariantList>
#include <algorithm>
#include <vector>

// Rows that come in order of their leading columns only, handed on in the report's whole
// order: each stretch of rows equal in the leading columns is read, sorted by the columns
// that follow (ascending, nulls first, stable) and then given out, so a long list needs
// memory for one stretch, not for the list. Rows reads as a forward-only QSqlQuery does,
// and so does this.
template <class Rows>
class SortedRuns
{
public:
    // record: the executed rows' columns.
    SortedRuns(Rows &rows, const QSqlRecord &record, QList<int> leading, QList<int> then)
        : m_rows(rows), m_record(record), m_leading(std::move(leading)), m_then(std::move(then))
    { }

    bool next()
    {
        if (++m_pos < m_run.size())
            return true;
        return readRun();
    }
    QVariant value(int i) const { return m_run.at(m_pos).at(i); }
    QSqlRecord record() const { return m_record; }
    QSqlError lastError() const { return m_rows.lastError(); }

    // Nulls first; numbers by value whatever their type; then as QVariant orders them (text
    // by its characters' codes, dates by date).
    static int compare(const QVariant &a, const QVariant &b)
    {
        if (a.isNull() || b.isNull())
            return int(b.isNull()) - int(a.isNull());
        if (isNumber(a) && isNumber(b)) {
            const double x = a.toDouble(), y = b.toDouble();
            return x < y ? -1 : y < x ? 1 : 0;
        }
        if (a.typeId() == QMetaType::QString && b.typeId() == QMetaType::QString)
            return a.toString().compare(b.toString());
        const QPartialOrdering order = QVariant::compare(a, b);
        return order == QPartialOrdering::Less ? -1 : order == QPartialOrdering::Greater ? 1 : 0;
    }

private:
    static bool isNumber(const QVariant &v)
    {
        switch (v.typeId()) {
        case QMetaType::Int:
        case QMetaType::UInt:
        case QMetaType::LongLong:
        case QMetaType::ULongLong:
        case QMetaType::Double:
        case QMetaType::Float: return true;
        default: return false;
        }
    }

    QVariantList readRow() const
    {
        // Asked once: a driver may ask the database each time (Firebird's asks for each column).
        QVariantList row(m_record.count());
        for (int i = 0; i < row.size(); ++i)
            row[i] = m_rows.value(i);
        return row;
    }

    bool sameRun(const QVariantList &a, const QVariantList &b) const
    {
        for (int c : m_leading)
            if (compare(a.at(c), b.at(c)) != 0)
                return false;
        return true;
    }

    bool readRun()
    {
        m_run.clear();
        m_pos = 0;
        if (m_ahead.isEmpty()) {
            if (m_done || !m_rows.next())
                return false;
            m_ahead = readRow();
        }
        m_run.push_back(std::move(m_ahead));
        m_ahead.clear();
        while (true) {
            if (!m_rows.next()) {
                m_done = true;
                break;
            }
            QVariantList row = readRow();
            if (!sameRun(row, m_run.front())) {
                m_ahead = std::move(row);
                break;
            }
            m_run.push_back(std::move(row));
        }
        std::stable_sort(m_run.begin(), m_run.end(), [this](const QVariantList &a, const QVariantList &b) {
            for (int c : m_then)
                if (const int d = compare(a.at(c), b.at(c)))
                    return d < 0;
            return false;
        });
        return true;
    }

    Rows &m_rows;
    const QSqlRecord m_record;
    QList<int> m_leading, m_then;
    std::vector<QVariantList> m_run;
    size_t m_pos = 0;
    QVariantList m_ahead; // the first row of the next stretch, read to find this one's end
    bool m_done = false;
};
