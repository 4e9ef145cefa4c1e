#include "net/CborRead.h"
#include "errors/EAbort.h"

#include <QVariantList>
#include <QVariantMap>
#include <limits>

namespace CborRead {

namespace {

bool fine(QCborStreamReader &reader)
{
    return reader.lastError() == QCborError::NoError;
}

// What a QVariant holding a value costs, beyond the text or bytes it points to: the
// QVariant itself, and a heap block (header and allocator overhead) when it has one.
constexpr qint64 kItemCost = qint64(sizeof(QVariant));
constexpr qint64 kBlockCost = 32;

class ValueReader
{
public:
    ValueReader(QCborStreamReader &reader, qint64 budget) : m_reader(reader), m_left(budget) { }

    QVariant read(int depth)
    {
        skipTags(m_reader);
        check();
        charge(kItemCost);
        switch (m_reader.type()) {
        case QCborStreamReader::UnsignedInteger: {
            const quint64 n = m_reader.toUnsignedInteger();
            advance();
            if (n <= quint64(std::numeric_limits<qint64>::max()))
                return QVariant(qint64(n));
            return QVariant(n);
        }
        case QCborStreamReader::NegativeInteger: {
            // QCborNegativeInteger holds the absolute value; 0 stands for -2^64.
            const quint64 n = quint64(m_reader.toNegativeInteger());
            advance();
            constexpr quint64 lowest = quint64(std::numeric_limits<qint64>::max()) + 1u;
            if (n == 0 || n > lowest)
                fail(QStringLiteral("inteiro negativo fora do limite"));
            return QVariant(n == lowest ? std::numeric_limits<qint64>::min() : -qint64(n));
        }
        case QCborStreamReader::Float16: {
            const double d = double(m_reader.toFloat16());
            advance();
            return QVariant(d);
        }
        case QCborStreamReader::Float: {
            const double d = double(m_reader.toFloat());
            advance();
            return QVariant(d);
        }
        case QCborStreamReader::Double: {
            const double d = m_reader.toDouble();
            advance();
            return QVariant(d);
        }
        case QCborStreamReader::SimpleType: {
            const QCborSimpleType t = m_reader.toSimpleType();
            advance();
            if (t == QCborSimpleType::False)
                return QVariant(false);
            if (t == QCborSimpleType::True)
                return QVariant(true);
            return QVariant();
        }
        case QCborStreamReader::ByteArray: {
            QByteArray bytes;
            if (!readBytes(m_reader, bytes))
                check(QStringLiteral("sequência de bytes malformada"));
            charge(bytes.isEmpty() ? 0 : kBlockCost + bytes.size());
            return QVariant(std::move(bytes));
        }
        case QCborStreamReader::String: {
            QString text;
            if (!readText(m_reader, text))
                check(QStringLiteral("texto malformado"));
            charge(text.isEmpty() ? 0 : kBlockCost + 2 * text.size());
            return QVariant(std::move(text));
        }
        case QCborStreamReader::Array: return readArray(depth);
        case QCborStreamReader::Map: return readMap(depth);
        default: fail(QStringLiteral("item CBOR de tipo desconhecido"));
        }
    }

private:
    [[noreturn]] void fail(const QString &what) { throw ESuiteError(what); }
    void check(const QString &what = QString())
    {
        if (!fine(m_reader))
            fail(describe(m_reader.lastError()));
        if (!what.isEmpty())
            fail(what);
    }
    void advance()
    {
        m_reader.next();
        check();
    }
    void charge(qint64 bytes)
    {
        m_left -= bytes;
        if (m_left < 0)
            fail(QStringLiteral("o valor ocuparia memória demais para o tamanho da mensagem"));
    }
    void enter(int depth)
    {
        if (depth >= MaxDepth)
            fail(QStringLiteral("listas e mapas aninhados em mais de %1 níveis").arg(MaxDepth));
        if (!m_reader.enterContainer())
            check(QStringLiteral("lista ou mapa truncado"));
        charge(kBlockCost);
    }
    void leave()
    {
        check();
        if (!m_reader.leaveContainer())
            check(QStringLiteral("lista ou mapa truncado"));
    }

    QVariant readArray(int depth)
    {
        enter(depth);
        QVariantList list;
        while (fine(m_reader) && m_reader.hasNext())
            list.append(read(depth + 1));
        leave();
        return QVariant(std::move(list));
    }

    QVariant readMap(int depth)
    {
        enter(depth);
        QVariantMap map;
        while (fine(m_reader) && m_reader.hasNext()) {
            QString key;
            if (!readText(m_reader, key))
                check(QStringLiteral("chave de mapa que não é texto"));
            charge(kBlockCost + 2 * key.size());
            check();
            if (!m_reader.hasNext())
                check(QStringLiteral("chave de mapa sem valor"));
            map.insert(key, read(depth + 1));
        }
        leave();
        return QVariant(std::move(map));
    }

    QCborStreamReader &m_reader;
    qint64 m_left;
};

bool skipItem(QCborStreamReader &reader, int depth)
{
    skipTags(reader);
    if (!fine(reader))
        return false;
    if (reader.isContainer()) {
        if (depth >= MaxDepth || !reader.enterContainer())
            return false;
        while (fine(reader) && reader.hasNext())
            if (!skipItem(reader, depth + 1))
                return false;
        return fine(reader) && reader.leaveContainer();
    }
    return reader.next() && fine(reader);
}

} // namespace

QString describe(QCborError error)
{
    switch (error.c) {
    case QCborError::NoError: return QStringLiteral("sem erro");
    case QCborError::EndOfFile: return QStringLiteral("dados truncados");
    case QCborError::InvalidUtf8String: return QStringLiteral("texto que não é UTF-8 válido");
    case QCborError::GarbageAtEnd: return QStringLiteral("bytes sobrando após a mensagem");
    case QCborError::UnexpectedBreak: return QStringLiteral("fim de lista inesperado");
    case QCborError::DataTooLarge: return QStringLiteral("item grande demais");
    case QCborError::NestingTooDeep: return QStringLiteral("aninhamento profundo demais");
    case QCborError::UnknownType:
    case QCborError::IllegalType:
    case QCborError::IllegalNumber:
    case QCborError::IllegalSimpleType:
    case QCborError::UnsupportedType: return QStringLiteral("item CBOR inválido");
    default: break;
    }
    return QStringLiteral("CBOR malformado (%1)").arg(error.toString());
}

void skipTags(QCborStreamReader &reader)
{
    while (reader.isTag() && fine(reader))
        reader.next();
}

namespace {
// A string whole, from the chunks read() hands out one after the other.
template<typename Out, typename Read>
bool readChunks(Out &out, bool isKind, Read read)
{
    out.clear();
    if (!isKind)
        return false;
    auto chunk = read();
    while (chunk.status == QCborStreamReader::Ok) {
        out += chunk.data;
        chunk = read();
    }
    return chunk.status == QCborStreamReader::EndOfString;
}
} // namespace

bool readText(QCborStreamReader &reader, QString &out)
{
    skipTags(reader);
    return readChunks(out, reader.isString(), [&] { return reader.readString(); });
}

bool readBytes(QCborStreamReader &reader, QByteArray &out)
{
    skipTags(reader);
    return readChunks(out, reader.isByteArray(), [&] { return reader.readByteArray(); });
}

bool skip(QCborStreamReader &reader)
{
    return skipItem(reader, 0);
}

QVariant readValue(QCborStreamReader &reader, qint64 budgetBytes)
{
    return ValueReader(reader, budgetBytes).read(0);
}

} // namespace CborRead
