#include "net/Frame.h"
#include "net/CborRead.h"
#include "errors/EAbort.h"

#include <QBuffer>
#include <QCborArray>
#include <QCborStreamWriter>
#include <QCborValue>
#include <QCborStreamReader>
#include <QtEndian>
#include <libdeflate.h>

namespace {

// A frame under construction: the header is filled in by finishFrame(). Writers append
// after it (a QCborStreamWriter on a QByteArray would write from its start).
QByteArray startFrame()
{
    QByteArray frame;
    frame.reserve(256);
    frame.append(Frame::HeaderSize, '\0');
    return frame;
}

void finishFrame(QByteArray &frame, qint64 extra = 0)
{
    const qint64 payload = frame.size() - Frame::HeaderSize + extra;
    if (payload > qint64(0xFFFFFFFFu))
        throw ESuiteError(QStringLiteral("Mensagem grande demais para o protocolo (%1 bytes).").arg(payload));
    qToBigEndian(quint32(payload), frame.data());
}

// A whole frame whose payload write() produces.
template<class Write>
QByteArray buildFrame(Write write)
{
    QByteArray frame = startFrame();
    {
        QBuffer out(&frame);
        out.open(QIODevice::WriteOnly | QIODevice::Append);
        QCborStreamWriter writer(&out);
        write(writer);
    }
    finishFrame(frame);
    return frame;
}

void writeValue(QCborStreamWriter &writer, const QVariant &value)
{
    QCborValue::fromVariant(value).toCbor(writer);
}

// The head of a CBOR item of the given major type and length.
void appendCborHead(QByteArray &out, quint8 majorType, quint64 length)
{
    const char major = char(majorType << 5);
    if (length < 24) {
        out.append(char(major | char(length)));
    } else if (length <= 0xFF) {
        out.append(char(major | 24));
        out.append(char(length));
    } else if (length <= 0xFFFF) {
        out.append(char(major | 25));
        char b[2];
        qToBigEndian(quint16(length), b);
        out.append(b, 2);
    } else if (length <= 0xFFFFFFFFu) {
        out.append(char(major | 26));
        char b[4];
        qToBigEndian(quint32(length), b);
        out.append(b, 4);
    } else {
        out.append(char(major | 27));
        char b[8];
        qToBigEndian(length, b);
        out.append(b, 8);
    }
}

[[noreturn]] void fail(const QString &what)
{
    throw ESuiteError(what);
}

// What decoding a value of a message may cost in memory: a few times the message, so
// that a message of many tiny items (each at least a QVariant once decoded) cannot make
// the receiver allocate far more than it received.
qint64 valueBudget(qsizetype payloadSize)
{
    return 8 * qint64(payloadSize) + 64 * 1024;
}

// Walks a CBOR map whose keys are texts, handing each key to visit() with the reader
// on its value; visit() must consume the value (skipValue() for a key it ignores).
template<typename Visit>
void readMap(const QByteArray &payload, Visit visit)
{
    if (payload.isEmpty())
        fail(QStringLiteral("mensagem vazia"));
    QCborStreamReader reader(payload);
    if (!reader.isMap())
        fail(QStringLiteral("a mensagem não é um mapa CBOR"));
    if (!reader.enterContainer())
        fail(QStringLiteral("mapa CBOR truncado"));
    while (reader.lastError() == QCborError::NoError && reader.hasNext()) {
        QString key;
        if (!CborRead::readText(reader, key))
            fail(reader.lastError() != QCborError::NoError ? CborRead::describe(reader.lastError())
                                                           : QStringLiteral("chave do mapa não é texto"));
        if (!reader.hasNext() && reader.lastError() == QCborError::NoError)
            fail(QStringLiteral("chave \"%1\" sem valor").arg(key.left(64)));
        visit(reader, key);
    }
    if (reader.lastError() != QCborError::NoError)
        fail(CborRead::describe(reader.lastError()));
    if (!reader.leaveContainer())
        fail(CborRead::describe(reader.lastError()));
    if (reader.currentOffset() != payload.size())
        fail(QStringLiteral("bytes sobrando após a mensagem"));
}

void skipValue(QCborStreamReader &reader, const QString &key)
{
    if (!CborRead::skip(reader) && reader.lastError() == QCborError::NoError)
        fail(QStringLiteral("o valor de \"%1\" tem listas ou mapas aninhados em mais de %2 níveis")
                 .arg(key.left(64))
                 .arg(CborRead::MaxDepth));
}

QString textValue(QCborStreamReader &reader, const QString &key)
{
    QString text;
    if (!CborRead::readText(reader, text))
        fail(reader.lastError() != QCborError::NoError
                 ? QStringLiteral("o valor de \"%1\": %2").arg(key, CborRead::describe(reader.lastError()))
                 : QStringLiteral("o valor de \"%1\" não é texto").arg(key));
    return text;
}

} // namespace

QByteArray Frame::helloFrame(const QString &server, const QString &token)
{
    return buildFrame([&](QCborStreamWriter &writer) {
        writer.startMap(3);
        writer.append(QLatin1StringView("op"));
        writer.append(QLatin1StringView("hello"));
        writer.append(QLatin1StringView("server"));
        writer.append(server);
        writer.append(QLatin1StringView("token"));
        writer.append(token);
        writer.endMap();
    });
}

QByteArray Frame::callFrame(const QString &method, const QVariantList &args, const QString &mark, bool acceptDeflate)
{
    return buildFrame([&](QCborStreamWriter &writer) {
        writer.startMap(3 + (mark.isEmpty() ? 0 : 1) + (acceptDeflate ? 1 : 0));
        if (!mark.isEmpty()) {
            writer.append(QLatin1StringView("mark"));
            writer.append(mark);
        }
        if (acceptDeflate) {
            writer.append(QLatin1StringView("accept"));
            writer.append(QLatin1StringView("deflate"));
        }
        writer.append(QLatin1StringView("op"));
        writer.append(QLatin1StringView("call"));
        writer.append(QLatin1StringView("method"));
        writer.append(method);
        writer.append(QLatin1StringView("args"));
        writer.startArray(quint64(args.size()));
        for (const QVariant &a : args)
            writeValue(writer, a);
        writer.endArray();
        writer.endMap();
    });
}

QByteArray Frame::errorFrame(const QString &text)
{
    return buildFrame([&](QCborStreamWriter &writer) {
        writer.startMap(1);
        writer.append(QLatin1StringView("error"));
        writer.append(text);
        writer.endMap();
    });
}

QByteArray Frame::unchangedFrame(const QString &mark)
{
    return buildFrame([&](QCborStreamWriter &writer) {
        writer.startMap(2);
        writer.append(QLatin1StringView("unchanged"));
        writer.append(true);
        writer.append(QLatin1StringView("mark"));
        writer.append(mark);
        writer.endMap();
    });
}

namespace {

void appendCborText(QByteArray &out, QLatin1StringView text)
{
    appendCborHead(out, 3, quint64(text.size()));
    out.append(text.data(), text.size());
}

// A map whose last value is a byte string that goes out as its own part, after a head
// written here: no copy of it. `pairs` counts the pairs written before it, the mark aside.
QByteArray startBytesFrame(const QString &mark, int pairs)
{
    QByteArray frame = startFrame();
    appendCborHead(frame, 5, quint64(pairs + 1 + (mark.isEmpty() ? 0 : 1)));
    if (!mark.isEmpty()) {
        const QByteArray text = mark.toUtf8();
        appendCborText(frame, QLatin1StringView("mark"));
        appendCborHead(frame, 3, quint64(text.size()));
        frame.append(text);
    }
    return frame;
}

QByteArrayList endBytesFrame(QByteArray &frame, QLatin1StringView key, const QByteArray &bytes)
{
    appendCborText(frame, key);
    appendCborHead(frame, 2, quint64(bytes.size()));
    finishFrame(frame, bytes.size());
    return {frame, bytes};
}

} // namespace

QByteArrayList Frame::deflatedFrame(const QByteArray &deflated, qint64 size, const QString &mark)
{
    QByteArray frame = startBytesFrame(mark, 1);
    appendCborText(frame, QLatin1StringView("size"));
    appendCborHead(frame, 0, quint64(size));
    return endBytesFrame(frame, QLatin1StringView("deflated"), deflated);
}

QByteArray Frame::deflate(const QByteArray &bytes)
{
    // The fastest level: a packet of names and codes shrinks about five times at it, and the
    // higher levels save a few more percent for several times the time.
    libdeflate_compressor *compressor = libdeflate_alloc_compressor(1);
    if (!compressor)
        return QByteArray();
    QByteArray out(qsizetype(libdeflate_deflate_compress_bound(compressor, size_t(bytes.size()))), Qt::Uninitialized);
    const size_t size = libdeflate_deflate_compress(compressor, bytes.constData(), size_t(bytes.size()), out.data(),
                                                    size_t(out.size()));
    libdeflate_free_compressor(compressor);
    if (size == 0 || qint64(size) * 10 > qint64(bytes.size()) * 9)
        return QByteArray();
    out.truncate(qsizetype(size));
    out.squeeze();
    return out;
}

QByteArrayList Frame::resultFrame(const QVariant &result, const QString &mark)
{
    if (result.metaType().id() == QMetaType::QByteArray) {
        // A data packet goes out as it is: no copy of it.
        QByteArray frame = startBytesFrame(mark, 0);
        return endBytesFrame(frame, QLatin1StringView("result"), result.toByteArray());
    }
    return {buildFrame([&](QCborStreamWriter &writer) {
        writer.startMap(mark.isEmpty() ? 1 : 2);
        if (!mark.isEmpty()) {
            writer.append(QLatin1StringView("mark"));
            writer.append(mark);
        }
        writer.append(QLatin1StringView("result"));
        writeValue(writer, result);
        writer.endMap();
    })};
}

Frame::Request Frame::parseRequest(const QByteArray &payload)
{
    Request request;
    QString op;
    readMap(payload, [&](QCborStreamReader &reader, const QString &key) {
        if (key == QLatin1String("op")) {
            op = textValue(reader, key);
        } else if (key == QLatin1String("server")) {
            request.server = textValue(reader, key);
        } else if (key == QLatin1String("token")) {
            request.token = textValue(reader, key);
        } else if (key == QLatin1String("method")) {
            request.method = textValue(reader, key);
        } else if (key == QLatin1String("mark")) {
            request.mark = textValue(reader, key);
            if (request.mark.size() > MaxMarkLength)
                fail(QStringLiteral("marca com mais de %1 caracteres").arg(MaxMarkLength));
        } else if (key == QLatin1String("accept")) {
            // Only "deflate" is taken; whatever else a later client may send there is
            // stepped over, not refused.
            CborRead::skipTags(reader);
            if (reader.isString())
                request.deflate = textValue(reader, key) == QLatin1String("deflate");
            else
                skipValue(reader, key);
        } else if (key == QLatin1String("args")) {
            // Only stepped over here: the arguments are decoded by parseArgs(), once the
            // sender is known.
            CborRead::skipTags(reader);
            if (!reader.isArray())
                fail(QStringLiteral("\"args\" não é uma lista"));
            request.argsOffset = reader.currentOffset();
            skipValue(reader, key);
        } else {
            skipValue(reader, key);
        }
    });
    if (op == QLatin1String("hello")) {
        request.kind = Request::Hello;
        if (request.server.isEmpty())
            fail(QStringLiteral("identificação sem o nome do objeto do servidor"));
    } else if (op == QLatin1String("call")) {
        request.kind = Request::Call;
        if (request.method.isEmpty())
            fail(QStringLiteral("chamada sem o nome do método"));
    } else if (op.isEmpty()) {
        fail(QStringLiteral("mensagem sem \"op\""));
    } else {
        fail(QStringLiteral("operação desconhecida \"%1\"").arg(op.left(64)));
    }
    return request;
}

QVariantList Frame::parseArgs(const QByteArray &payload, const Request &request)
{
    if (request.argsOffset < 0 || request.argsOffset >= payload.size())
        return {};
    const QByteArray rest =
        QByteArray::fromRawData(payload.constData() + request.argsOffset, payload.size() - request.argsOffset);
    QCborStreamReader reader(rest);
    const QVariant args = CborRead::readValue(reader, valueBudget(payload.size()));
    if (args.metaType().id() != QMetaType::QVariantList)
        fail(QStringLiteral("\"args\" não é uma lista"));
    return args.toList();
}

namespace {

// A compressed result back to its `size` bytes, which it must fill exactly.
QByteArray inflated(const QByteArray &deflated, qint64 size, qint64 maxResult)
{
    if (size > maxResult)
        fail(QStringLiteral("resultado comprimido de %1 bytes excede o limite de %2 bytes").arg(size).arg(maxResult));
    QByteArray out(qsizetype(size), Qt::Uninitialized);
    libdeflate_decompressor *decompressor = libdeflate_alloc_decompressor();
    if (!decompressor)
        fail(QStringLiteral("sem memória para descomprimir o resultado"));
    const libdeflate_result result = libdeflate_deflate_decompress(
        decompressor, deflated.constData(), size_t(deflated.size()), out.data(), size_t(out.size()), nullptr);
    libdeflate_free_decompressor(decompressor);
    if (result != LIBDEFLATE_SUCCESS)
        fail(QStringLiteral("resultado comprimido danificado ou de tamanho diferente do anunciado (%1 bytes)")
                 .arg(size));
    return out;
}

} // namespace

Frame::Reply Frame::parseReply(const QByteArray &payload, qint64 maxResult)
{
    Reply reply;
    bool hasResult = false;
    bool hasError = false;
    bool hasDeflated = false;
    QByteArray deflated;
    qint64 inflatedSize = -1;
    readMap(payload, [&](QCborStreamReader &reader, const QString &key) {
        if (key == QLatin1String("mark")) {
            reply.mark = textValue(reader, key);
            if (reply.mark.size() > MaxMarkLength)
                fail(QStringLiteral("marca com mais de %1 caracteres").arg(MaxMarkLength));
            return;
        }
        if (key == QLatin1String("unchanged")) {
            CborRead::skipTags(reader);
            if (!reader.isBool())
                fail(QStringLiteral("\"unchanged\" não é verdadeiro ou falso"));
            reply.unchanged = reader.toBool();
            reader.next();
            return;
        }
        if (key == QLatin1String("size")) {
            CborRead::skipTags(reader);
            if (!reader.isUnsignedInteger() || reader.toUnsignedInteger() > quint64(qint64(1) << 40))
                fail(QStringLiteral("\"size\" não é um tamanho"));
            inflatedSize = qint64(reader.toUnsignedInteger());
            reader.next();
            return;
        }
        if (key == QLatin1String("deflated")) {
            hasDeflated = true;
            if (!CborRead::readBytes(reader, deflated))
                fail(QStringLiteral("resultado comprimido truncado ou não é uma sequência de bytes"));
        } else if (key == QLatin1String("result")) {
            hasResult = true;
            CborRead::skipTags(reader);
            if (reader.isByteArray()) {
                QByteArray bytes;
                if (!CborRead::readBytes(reader, bytes))
                    fail(QStringLiteral("resultado truncado"));
                reply.result = bytes;
            } else {
                reply.result = CborRead::readValue(reader, valueBudget(payload.size()));
            }
        } else if (key == QLatin1String("error")) {
            hasError = true;
            reply.error = textValue(reader, key);
        } else {
            skipValue(reader, key);
        }
    });
    if (int(hasResult) + int(hasDeflated) + int(hasError) + int(reply.unchanged) != 1)
        fail(QStringLiteral("a resposta deve ter ou um resultado ou um erro"));
    if (reply.unchanged && reply.mark.isEmpty())
        fail(QStringLiteral("resposta \"inalterada\" sem a marca"));
    if (hasDeflated) {
        if (inflatedSize < 0)
            fail(QStringLiteral("resultado comprimido sem o tamanho"));
        reply.result = inflated(deflated, inflatedSize, maxResult);
        reply.deflated = true;
    }
    reply.ok = !hasError;
    return reply;
}
