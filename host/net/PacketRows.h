#pragma once

#include "data/TDataSet.h"
#include "suite_export.h"

#include <QByteArray>
#include <QVector>
#include <memory>
#include <vector>

// The rows of a data packet read in place: every value stays in the packet's bytes, which are
// shared with whoever handed them over (never copied), and becomes a QString only when asked
// for. A list of 50,000 suppliers is then one pass over its bytes rather than 300,000 strings
// made and freed at each load.
class SUITE_TEST_EXPORT PacketRows : public TDataSetStore
{
public:
    // Reads the "rows" array that starts at offset in packet, each row of columns values, a
    // text or null (see DataPacket). Null when the array takes a form only DataPacket::decode
    // reads (a tag, a text in chunks, a value of another kind), is malformed (truncated, a row
    // of another width, a text that is not UTF-8), or when its values might take more than
    // budgetBytes the way decode() holds them: decode() then decides. end: where it ends.
    static std::unique_ptr<PacketRows> scan(const QByteArray &packet, qsizetype offset, int columns,
                                            qint64 budgetBytes, qsizetype &end);

    int rowCount() const override { return m_rows; }
    QVariant value(int row, int column) const override;
    // Texts as people read them: folded first (TextFold), as written for ties, column after
    // column; rows that tie on all keep their order. A null sorts as an empty text.
    void sortBy(const QVector<int> &columns) override;

private:
    struct Cell
    {
        quint32 offset;
        qint32 size; // -1: null
    };
    class Keys;

    PacketRows(const QByteArray &packet, int columns) : m_packet(packet), m_columns(columns) { }
    const Cell &cell(int physicalRow, int column) const
    {
        return m_cells[size_t(physicalRow) * size_t(m_columns) + size_t(column)];
    }
    QString text(const Cell &c) const;
    // The texts as written, compared as QString compares them.
    int compareRaw(const Cell &a, const Cell &b) const;

    QByteArray m_packet;
    int m_columns;
    int m_rows = 0;
    std::vector<Cell> m_cells;  // row after row, in the packet's order
    std::vector<int> m_order;   // the packet's row shown at each position; empty: the packet's order
};
