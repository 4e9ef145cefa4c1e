#include "net/TClientDataSet.h"
#include "net/DataPacket.h"
#include "net/PacketRows.h"
#include "errors/EAbort.h"

#include <QStringList>

TClientDataSet::TClientDataSet(QObject *parent) : TDataSet(parent) { }

void TClientDataSet::setData(const QVariant &data)
{
    if (data.metaType().id() != QMetaType::QByteArray)
        throw ESuiteError(QStringLiteral("Pacote de dados inválido: o valor recebido (%1) não é um pacote de dados.")
                              .arg(data.isValid() ? QString::fromLatin1(data.typeName()) : QStringLiteral("vazio")));
    setData(data.toByteArray());
}

void TClientDataSet::setData(const QByteArray &packet)
{
    // A packet as servers write it is read in place; any other form the general way, which
    // also says what is wrong with a malformed one.
    QList<DataPacket::Field> fields;
    std::unique_ptr<PacketRows> inPlace = DataPacket::decodeInPlace(packet, fields);
    DataPacket data;
    if (!inPlace) {
        data = DataPacket::decode(packet);
        fields = data.fields;
    }

    QStringList columns;
    columns.reserve(fields.size());
    for (const DataPacket::Field &f : std::as_const(fields))
        columns.append(f.name);

    const bool persistent = FieldCount() > 0 && !m_fieldsFromPacket;
    if (persistent) {
        for (int i = 0; i < FieldCount(); ++i) {
            const QString &name = Fields(i).FieldName;
            if (!columns.contains(name, Qt::CaseInsensitive))
                throw ESuiteError(
                    QStringLiteral("Pacote de dados inválido: falta o campo %1, que %2 exige (campos recebidos: %3).")
                        .arg(name, objectName().isEmpty() ? QStringLiteral("o conjunto de dados") : objectName(),
                             columns.join(QStringLiteral(", "))));
        }
    }

    Close();
    m_fieldsFromPacket = !persistent;
    beginData(columns);
    if (m_fieldsFromPacket) {
        for (const DataPacket::Field &f : std::as_const(fields))
            if (TField *field = FindField(f.name))
                field->Size = f.size;
    }
    if (inPlace)
        setStore(std::move(inPlace));
    for (auto &row : data.rows)
        appendRow(std::move(row));
    endData();
    setCurrent(0);
    setActive(true);
}
