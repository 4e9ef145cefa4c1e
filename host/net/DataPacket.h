#pragma once

#include "suite_export.h"

#include <QByteArray>
#include <QCborStreamWriter>
#include <QList>
#include <QString>
#include <QStringView>
#include <QVariant>
#include <QVector>
#include <memory>
#include <vector>

class PacketRows;

// A data packet: field definitions plus rows, the form in which the application
// server hands a data set to a TClientDataSet.
//
// Encoding (CBOR):
//   {"fields": [[name, size, type], ...],
//    "rows":   [[value, value, ...], ...]}
// name: text, unique (case-insensitive); size: unsigned integer, the width in
// characters; type: text, "string" (values are text). value: text or null; every row
// has exactly one value per field, in field order. Arrays may have a definite or an
// indefinite length (the writer streams rows, so "rows" is indefinite). Other keys
// are ignored (skipped whole, tags included); tags in front of a value are ignored.
class SUITE_EXPORT DataPacket
{
public:
    struct Field
    {
        QString name;
        int size = 0;
        QString type = QStringLiteral("string");
    };

    QList<Field> fields;
    // One value per field: a QString, or a null QVariant.
    std::vector<QVector<QVariant>> rows;

    QByteArray encode() const;
    // Raises ESuiteError("Pacote de dados inválido: ...") when the bytes are not a
    // well-formed packet, or when its rows would take more than a dozen times the
    // packet's size in memory (a real list takes about eight).
    static DataPacket decode(const QByteArray &packet);
    // The same packet with its rows read in place (PacketRows: the values stay in the packet's
    // bytes, which are shared, not copied), the field definitions into fields. Null, fields
    // untouched, when the rows take a form only decode() reads (a tag, a text in chunks, keys
    // after "rows") or are malformed: decode() then gives them or says what is wrong. Raises
    // what decode() raises for a malformed map or field list.
    static std::unique_ptr<PacketRows> decodeInPlace(const QByteArray &packet, QList<Field> &fields);

    // Writes a packet row by row, without holding the rows.
    class SUITE_EXPORT Writer
    {
    public:
        explicit Writer(const QList<Field> &fields);
        Writer(const Writer &) = delete;
        Writer &operator=(const Writer &) = delete;

        // A row as its values (QString or null).
        void addRow(const QVector<QVariant> &values);
        // A row value by value: beginRow, one addText/addNull per field, endRow.
        void beginRow();
        void addText(QStringView text);
        void addNull();
        void endRow();

        int rowCount() const { return m_rows; }
        // The encoded packet; the writer is spent.
        QByteArray finish();

    private:
        QByteArray m_data;
        QCborStreamWriter m_writer;
        int m_fieldCount;
        int m_inRow = -1;
        int m_rows = 0;
        bool m_done = false;
    };
};
