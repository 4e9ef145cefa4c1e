#include "net/TClientDataSet.h"
#include "net/DataPacket.h"
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
    DataPacket data = DataPacket::decode(packet);

    QStringList columns;
    columns.reserve(data.fields.size());
    for (const DataPacket::Field &f : std::as_const(data.fields))
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
        for (const DataPacket::Field &f : std::as_const(data.fields))
            if (TField *field = FindField(f.name))
                field->Size = f.size;
    }
    for (auto &row : data.rows)
        appendRow(std::move(row));
    endData();
    setCurrent(0);
    setActive(true);
}
