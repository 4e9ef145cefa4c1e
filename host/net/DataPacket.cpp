#include "DataPacket.h"
#include "CborText.h"
#include "EAbort.h"

#include <QCborStreamReader>
#include <QSet>
#include <limits>
#include <utility>

namespace {

[[noreturn]] void invalid(const QString &what)
{
    throw ESuiteError(QStringLiteral("Pacote de dados inválido: %1.").arg(what));
}

class PacketReader
{
public:
    explicit PacketReader(const QByteArray &bytes) : m_bytes(bytes), m_reader(bytes) {}

    DataPacket read()
    {
        DataPacket packet;
        if (m_bytes.isEmpty())
            invalid(QStringLiteral("vazio"));
        if (!m_reader.isMap())
            invalid(QStringLiteral("não começa por um mapa CBOR"));
        enter();
        bool haveFields = false;
        bool haveRows = false;
        while (more()) {
            QString key;
            if (!readCborText(m_reader, key))
                invalid(QStringLiteral("chave do mapa não é texto"));
            if (key == QLatin1String("fields")) {
                if (haveRows)
                    invalid(QStringLiteral("\"rows\" antes de \"fields\""));
                readFields(packet);
                haveFields = true;
            } else if (key == QLatin1String("rows")) {
                if (!haveFields)
                    invalid(QStringLiteral("\"rows\" antes de \"fields\""));
                readRows(packet);
                haveRows = true;
            } else {
                m_reader.next();
            }
            check();
        }
        leave();
        if (!haveFields)
            invalid(QStringLiteral("falta a lista de campos \"fields\""));
        if (!haveRows)
            invalid(QStringLiteral("falta a lista de linhas \"rows\""));
        if (m_reader.currentOffset() != m_bytes.size())
            invalid(QStringLiteral("bytes sobrando após o pacote"));
        return packet;
    }

private:
    void check()
    {
        if (m_reader.lastError() != QCborError::NoError)
            invalid(QStringLiteral("CBOR malformado na posição %1 (%2)")
                        .arg(m_reader.currentOffset())
                        .arg(m_reader.lastError().toString()));
    }
    void enter()
    {
        if (!m_reader.enterContainer())
            check();
        check();
    }
    void leave()
    {
        check();
        if (!m_reader.leaveContainer())
            check();
    }
    bool more()
    {
        check();
        return m_reader.hasNext();
    }

    void readFields(DataPacket &packet)
    {
        if (!m_reader.isArray())
            invalid(QStringLiteral("\"fields\" não é uma lista"));
        enter();
        QSet<QString> names;
        while (more()) {
            if (!m_reader.isArray())
                invalid(QStringLiteral("definição de campo não é uma lista"));
            enter();
            DataPacket::Field field;
            if (!more() || !readCborText(m_reader, field.name) || field.name.isEmpty())
                invalid(QStringLiteral("campo %1 sem nome").arg(packet.fields.size() + 1));
            if (!more() || !m_reader.isUnsignedInteger())
                invalid(QStringLiteral("campo %1 sem tamanho").arg(field.name));
            const quint64 size = m_reader.toUnsignedInteger();
            if (size > quint64(std::numeric_limits<int>::max()))
                invalid(QStringLiteral("tamanho do campo %1 fora do limite").arg(field.name));
            field.size = int(size);
            m_reader.next();
            if (!more() || !readCborText(m_reader, field.type))
                invalid(QStringLiteral("campo %1 sem tipo").arg(field.name));
            if (field.type != QLatin1String("string"))
                invalid(QStringLiteral("tipo \"%1\" do campo %2 desconhecido").arg(field.type.left(32), field.name));
            if (more())
                invalid(QStringLiteral("definição do campo %1 com itens demais").arg(field.name));
            leave();
            if (names.contains(field.name.toUpper()))
                invalid(QStringLiteral("campo %1 repetido").arg(field.name));
            names.insert(field.name.toUpper());
            packet.fields.append(field);
        }
        leave();
        if (packet.fields.isEmpty())
            invalid(QStringLiteral("nenhum campo definido"));
    }

    void readRows(DataPacket &packet)
    {
        if (!m_reader.isArray())
            invalid(QStringLiteral("\"rows\" não é uma lista"));
        const int columns = int(packet.fields.size());
        enter();
        while (more()) {
            const size_t rowNumber = packet.rows.size() + 1;
            if (!m_reader.isArray())
                invalid(QStringLiteral("linha %1 não é uma lista").arg(rowNumber));
            enter();
            QVector<QVariant> row;
            row.reserve(columns);
            while (more()) {
                if (row.size() == columns)
                    invalid(QStringLiteral("linha %1 com mais valores que campos").arg(rowNumber));
                if (m_reader.isNull()) {
                    row.append(QVariant());
                    m_reader.next();
                } else {
                    QString text;
                    if (!readCborText(m_reader, text)) {
                        check();
                        invalid(QStringLiteral("valor %1 da linha %2 não é texto")
                                    .arg(packet.fields.at(row.size()).name)
                                    .arg(rowNumber));
                    }
                    row.append(QVariant(std::move(text)));
                }
            }
            leave();
            if (row.size() != columns)
                invalid(QStringLiteral("linha %1 com %2 valores para %3 campos")
                            .arg(rowNumber).arg(row.size()).arg(columns));
            packet.rows.push_back(std::move(row));
        }
        leave();
    }

    const QByteArray &m_bytes;
    QCborStreamReader m_reader;
};

} // namespace

QByteArray DataPacket::encode() const
{
    Writer writer(fields);
    for (const auto &row : rows)
        writer.addRow(row);
    return writer.finish();
}

DataPacket DataPacket::decode(const QByteArray &packet)
{
    return PacketReader(packet).read();
}

DataPacket::Writer::Writer(const QList<Field> &fields)
    : m_writer(&m_data), m_fieldCount(int(fields.size()))
{
    m_writer.startMap(2);
    m_writer.append(QLatin1StringView("fields"));
    m_writer.startArray(quint64(fields.size()));
    for (const Field &f : fields) {
        m_writer.startArray(3);
        m_writer.append(f.name);
        m_writer.append(quint64(qMax(0, f.size)));
        m_writer.append(f.type);
        m_writer.endArray();
    }
    m_writer.endArray();
    m_writer.append(QLatin1StringView("rows"));
    m_writer.startArray();
}

void DataPacket::Writer::addRow(const QVector<QVariant> &values)
{
    beginRow();
    for (const QVariant &v : values) {
        if (v.isNull())
            addNull();
        else
            addText(v.toString());
    }
    endRow();
}

void DataPacket::Writer::beginRow()
{
    if (m_done)
        throw ESuiteError(QStringLiteral("Pacote de dados: o pacote já foi terminado."));
    if (m_inRow >= 0)
        throw ESuiteError(QStringLiteral("Pacote de dados: linha iniciada antes de terminar a anterior."));
    m_writer.startArray(quint64(m_fieldCount));
    m_inRow = 0;
}

void DataPacket::Writer::addText(QStringView text)
{
    if (m_inRow < 0 || m_inRow >= m_fieldCount)
        throw ESuiteError(QStringLiteral("Pacote de dados: valor fora de uma linha ou além dos campos."));
    m_writer.append(text);
    ++m_inRow;
}

void DataPacket::Writer::addNull()
{
    if (m_inRow < 0 || m_inRow >= m_fieldCount)
        throw ESuiteError(QStringLiteral("Pacote de dados: valor fora de uma linha ou além dos campos."));
    m_writer.appendNull();
    ++m_inRow;
}

void DataPacket::Writer::endRow()
{
    if (m_inRow != m_fieldCount)
        throw ESuiteError(QStringLiteral("Pacote de dados: linha com %1 valores para %2 campos.")
                              .arg(qMax(0, m_inRow)).arg(m_fieldCount));
    m_writer.endArray();
    m_inRow = -1;
    ++m_rows;
}

QByteArray DataPacket::Writer::finish()
{
    if (m_done)
        throw ESuiteError(QStringLiteral("Pacote de dados: o pacote já foi terminado."));
    if (m_inRow >= 0)
        throw ESuiteError(QStringLiteral("Pacote de dados: última linha incompleta."));
    m_done = true;
    m_writer.endArray();
    m_writer.endMap();
    return std::exchange(m_data, QByteArray());
}
