#include "net/DataPacket.h"
#include "net/CborRead.h"
#include "errors/EAbort.h"
#include "net/PacketRows.h"

#include <QCborStreamReader>
#include <QSet>
#include <limits>
#include <utility>

namespace {

[[noreturn]] void invalid(const QString &what)
{
    throw ESuiteError(QStringLiteral("Pacote de dados inválido: %1.").arg(what));
}

// What the decoded rows may take in memory, against the size of the packet: enough
// for any real list (a supplier list takes about eight times its packet), too little for a
// packet of millions of empty values made to take thirty times its size.
constexpr qint64 kMemoryRatio = 12;
constexpr qint64 kMemoryFloor = 1 << 20;
// The cost of a heap block beyond its contents (header and allocator overhead).
constexpr qint64 kBlockCost = 32;

class PacketReader
{
public:
    explicit PacketReader(const QByteArray &bytes)
        : m_bytes(bytes), m_reader(bytes), m_budget(kMemoryRatio * bytes.size() + kMemoryFloor)
    { }

    DataPacket read()
    {
        DataPacket packet;
        readPacket(packet, false);
        return packet;
    }

    // The fields into packet and the rows in place; null when only read() can say what the
    // rows hold (see DataPacket::decodeInPlace).
    std::unique_ptr<PacketRows> readInPlace(DataPacket &packet)
    {
        readPacket(packet, true);
        return std::move(m_inPlace);
    }

private:
    void readPacket(DataPacket &packet, bool inPlace)
    {
        if (m_bytes.isEmpty())
            invalid(QStringLiteral("vazio"));
        if (!m_reader.isMap())
            invalid(QStringLiteral("não começa por um mapa CBOR"));
        const bool definite = m_reader.isLengthKnown();
        const quint64 pairs = definite ? m_reader.length() : 0;
        quint64 pairsRead = 0;
        enter();
        bool haveFields = false;
        bool haveRows = false;
        while (more()) {
            ++pairsRead;
            QString key;
            if (!CborRead::readText(m_reader, key))
                invalid(QStringLiteral("chave do mapa não é texto"));
            if (key == QLatin1String("fields")) {
                if (haveRows)
                    invalid(QStringLiteral("\"rows\" antes de \"fields\""));
                readFields(packet);
                haveFields = true;
            } else if (key == QLatin1String("rows")) {
                if (!haveFields)
                    invalid(QStringLiteral("\"rows\" antes de \"fields\""));
                if (inPlace) {
                    // The rows must close the packet, as a writer puts them: what would
                    // follow them is left to read().
                    qsizetype end = 0;
                    m_inPlace = PacketRows::scan(m_bytes, m_reader.currentOffset(), int(packet.fields.size()),
                                                 m_budget, end);
                    const bool closes = definite ? pairsRead == pairs && end == m_bytes.size()
                                                 : end + 1 == m_bytes.size() && m_bytes.at(end) == char(0xFF);
                    if (!closes)
                        m_inPlace.reset();
                    return;
                }
                readRows(packet);
                haveRows = true;
            } else if (!CborRead::skip(m_reader)) {
                check();
                invalid(QStringLiteral("o valor de \"%1\" tem listas ou mapas aninhados em mais de %2 níveis")
                            .arg(key.left(64))
                            .arg(CborRead::MaxDepth));
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
    }

    void check()
    {
        if (m_reader.lastError() != QCborError::NoError)
            invalid(QStringLiteral("%1 na posição %2")
                        .arg(CborRead::describe(m_reader.lastError()))
                        .arg(m_reader.currentOffset()));
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
    void charge(qint64 bytes)
    {
        m_budget -= bytes;
        if (m_budget < 0)
            invalid(QStringLiteral("os valores ocupariam mais de %1 vezes o tamanho do pacote na memória "
                                   "(%2 bytes)")
                        .arg(kMemoryRatio)
                        .arg(m_bytes.size()));
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
            if (!more() || !CborRead::readText(m_reader, field.name) || field.name.isEmpty())
                invalid(QStringLiteral("campo %1 sem nome").arg(packet.fields.size() + 1));
            if (!more() || !m_reader.isUnsignedInteger())
                invalid(QStringLiteral("campo %1 sem tamanho").arg(field.name));
            const quint64 size = m_reader.toUnsignedInteger();
            if (size > quint64(std::numeric_limits<int>::max()))
                invalid(QStringLiteral("tamanho do campo %1 fora do limite").arg(field.name));
            field.size = int(size);
            m_reader.next();
            if (!more() || !CborRead::readText(m_reader, field.type))
                invalid(QStringLiteral("campo %1 sem tipo").arg(field.name));
            if (field.type != QLatin1String("string"))
                invalid(QStringLiteral("tipo \"%1\" do campo %2 desconhecido").arg(field.type.left(32), field.name));
            if (more())
                invalid(QStringLiteral("definição do campo %1 com itens demais").arg(field.name));
            leave();
            charge(sizeof(DataPacket::Field) + 3 * kBlockCost + 4 * field.name.size());
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
            charge(kBlockCost + columns * qint64(sizeof(QVariant)));
            QVector<QVariant> row;
            row.reserve(columns);
            while (more()) {
                if (row.size() == columns)
                    invalid(QStringLiteral("linha %1 com mais valores que campos").arg(rowNumber));
                CborRead::skipTags(m_reader);
                check();
                if (m_reader.isNull()) {
                    row.append(QVariant());
                    m_reader.next();
                } else {
                    QString text;
                    if (!CborRead::readText(m_reader, text)) {
                        check();
                        invalid(QStringLiteral("valor %1 da linha %2 não é texto")
                                    .arg(packet.fields.at(row.size()).name)
                                    .arg(rowNumber));
                    }
                    if (!text.isEmpty())
                        charge(kBlockCost + 2 * text.size());
                    row.append(QVariant(std::move(text)));
                }
            }
            leave();
            if (row.size() != columns)
                invalid(QStringLiteral("linha %1 com %2 valores para %3 campos")
                            .arg(rowNumber)
                            .arg(row.size())
                            .arg(columns));
            packet.rows.push_back(std::move(row));
        }
        leave();
    }

    const QByteArray &m_bytes;
    QCborStreamReader m_reader;
    qint64 m_budget;
    std::unique_ptr<PacketRows> m_inPlace;
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

std::unique_ptr<PacketRows> DataPacket::decodeInPlace(const QByteArray &packet, QList<Field> &fields)
{
    DataPacket header;
    std::unique_ptr<PacketRows> rows = PacketReader(packet).readInPlace(header);
    if (rows)
        fields = std::move(header.fields);
    return rows;
}

DataPacket::Writer::Writer(const QList<Field> &fields) : m_writer(&m_data), m_fieldCount(int(fields.size()))
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
                              .arg(qMax(0, m_inRow))
                              .arg(m_fieldCount));
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
