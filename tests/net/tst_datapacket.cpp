// Data packets, protocol frames and the client data set: encodings round-trip and
// every malformed input is refused with a clear error rather than half-loaded.

#include "errors/EAbort.h"
#include "net/DataPacket.h"
#include "net/Frame.h"
#include "net/FrameReader.h"
#include "net/PacketRows.h"
#include "net/TClientDataSet.h"

#include <QBuffer>
#include <QCborArray>
#include <QCborMap>
#include <QCborValue>
#include <QRandomGenerator>
#include <QSignalSpy>
#include <QTest>
#include <QtEndian>

using Rows = std::vector<QVector<QVariant>>;
using Fields = QList<DataPacket::Field>;

Q_DECLARE_METATYPE(Rows)
Q_DECLARE_METATYPE(Fields)

namespace {

DataPacket::Field field(const char *name, int size)
{
    return {QString::fromUtf8(name), size, QStringLiteral("string")};
}

QVariant text(const char *utf8)
{
    return QVariant(QString::fromUtf8(utf8));
}

QByteArray cbor(const QCborValue &value)
{
    return value.toCbor();
}

QCborArray fieldDef(const char *name, int size, const char *type = "string")
{
    return {QString::fromUtf8(name), size, QString::fromUtf8(type)};
}

QByteArray supplierPacket(const Rows &rows, bool withCode = true)
{
    Fields fields = {field("IDMARCADO", 1), field("NMFANTFORN", 40), field("IDTPIJURFORN", 1)};
    if (withCode)
        fields.append(field("CDFORNECED", 21));
    DataPacket::Writer writer(fields);
    for (const auto &row : rows)
        writer.addRow(withCode ? row : row.mid(0, 3));
    return writer.finish();
}

// CBOR pieces written by hand: what a broken or hostile peer may send, which QCborValue
// and QCborStreamWriter would never produce.
QByteArray textHead(int length)
{
    return QByteArray(1, char(0x60 | length));
}

QByteArray key(const char *name)
{
    return textHead(int(qstrlen(name))) + QByteArray(name);
}

// A map of one pair.
QByteArray mapOf(const QByteArray &pair)
{
    return QByteArray("\xa1", 1) + pair;
}

// An indefinite-length array of count copies of item.
QByteArray manyOf(const QByteArray &item, int count)
{
    return QByteArray("\x9f", 1) + item.repeated(count) + QByteArray("\xff", 1);
}

QByteArray nested(int depth, const QByteArray &inner)
{
    return QByteArray(depth, '\x81') + inner;
}

// The payload of a complete frame.
QByteArray payloadOf(const QByteArray &frame)
{
    return frame.mid(Frame::HeaderSize);
}

// A packet's rows as decode() gives them, one QVariant per value, ordered by TDataSet itself:
// what a client data set holds when it cannot read the packet in place.
class DecodedDataSet : public TDataSet
{
public:
    void load(const QByteArray &bytes)
    {
        DataPacket packet = DataPacket::decode(bytes);
        QStringList columns;
        for (const DataPacket::Field &f : std::as_const(packet.fields))
            columns << f.name;
        beginData(columns);
        for (auto &row : packet.rows)
            appendRow(std::move(row));
        endData();
        setActive(true);
    }
};

// A supplier list as a server sends it: names of a few words, with accents and cases mixed,
// repeated under other codes, some nulls; in the order of the texts as written, or shuffled.
QByteArray generatedList(int count, bool serverOrder)
{
    static const char *const words[] = {"Água", "agua", "AGUA", "Álamo", "alamo", "Zebra", "zé", "Ótica",
                                        "Ação", "acao", "Distribuidora", "Comercial", "São João",
                                        "Sao Joao", "Ünico", "µ", "Straße", "Ωmega", "😀", "Z"};
    QRandomGenerator random(7731);
    Rows rows;
    for (int i = 0; i < count; ++i) {
        const int n = 1 + int(random.bounded(3));
        QStringList name;
        for (int w = 0; w < n; ++w)
            name << QString::fromUtf8(words[random.bounded(int(std::size(words)))]);
        const QVariant code = random.bounded(50) == 0 ? QVariant()
                                                      : QVariant(QString::number(random.bounded(900)).rightJustified(6, u'0'));
        rows.push_back({text(""), random.bounded(40) == 0 ? QVariant() : QVariant(name.join(u' ')), text("J"), code});
    }
    if (serverOrder)
        std::stable_sort(rows.begin(), rows.end(), [](const QVector<QVariant> &a, const QVector<QVariant> &b) {
            return std::pair(a[1].toString(), a[3].toString()) < std::pair(b[1].toString(), b[3].toString());
        });
    return supplierPacket(rows);
}

} // namespace

class tst_DataPacket : public QObject
{
    Q_OBJECT
private slots:
    void roundTrip_data();
    void roundTrip();
    void decodeRefuses_data();
    void decodeRefuses();
    void writerRefusesWrongRowWidth();

    void clientDataSetMapsColumnsByName();
    void clientDataSetReplacesData();
    void clientDataSetRefusesMissingField();
    void clientDataSetWithoutPersistentFields();
    void clientDataSetRefusesNonPacket();
    void clientDataSetHoldsWhatDecodeGives_data();
    void clientDataSetHoldsWhatDecodeGives();

    void messagesRoundTrip();
    void byteArrayResultIsNotCopied();
    void parseRefuses_data();
    void parseRefuses();
    void frameReaderReassembles();
    void frameReaderRefusesOversizeHeader();

    void hostileMessagesRefused_data();
    void hostileMessagesRefused();
    void taggedValuesSkipped_data();
    void taggedValuesSkipped();
    void argumentsDecodedOnlyOnRequest();
    void packetMemoryBounded();
};

void tst_DataPacket::roundTrip_data()
{
    QTest::addColumn<Fields>("fields");
    QTest::addColumn<Rows>("rows");

    const Fields two = {field("CODIGO", 6), field("NOME", 40)};
    QTest::newRow("plain") << two << Rows{{text("000001"), text("Atacadão Sul")}, {text("000002"), text("Beta")}};
    QTest::newRow("no rows") << two << Rows{};
    // Null and empty text are different values and must stay so.
    QTest::newRow("null vs empty") << two << Rows{{QVariant(), text("")}, {text(""), QVariant()}};
    QTest::newRow("accents") << two
                             << Rows{{text("ÇÃO"), text("Açúcar União São João Ébano")},
                                     {text("€‰"), text("Fisíca Júridica")}};
    QTest::newRow("quotes and separators")
        << two << Rows{{text("a'b"), text("Joe's \"Bar\"; a,b|c\\d")}, {text("\t\n"), text("\x01")}};
    QTest::newRow("long text") << Fields{field("X", 0)} << Rows{{QVariant(QString(70000, QChar(u'ã')))}};
    QTest::newRow("six fields, one row") << Fields{field("IDMARCADO", 1),     field("IDTPIJURFORN", 1),
                                                   field("NRINSJURFORN", 20), field("NMFANTFORN", 40),
                                                   field("NMRAZSOCFORN", 40), field("CDFORNECED", 21)}
                                         << Rows{{text(""), text("J"), text("12345678000199"), text("Fantasia"),
                                                  text("Razão S.A."), text("000042")}};
}

void tst_DataPacket::roundTrip()
{
    QFETCH(Fields, fields);
    QFETCH(Rows, rows);

    DataPacket packet;
    packet.fields = fields;
    packet.rows = rows;
    const DataPacket back = DataPacket::decode(packet.encode());

    QCOMPARE(back.fields.size(), fields.size());
    for (int i = 0; i < fields.size(); ++i) {
        QCOMPARE(back.fields[i].name, fields[i].name);
        QCOMPARE(back.fields[i].size, fields[i].size);
        QCOMPARE(back.fields[i].type, QStringLiteral("string"));
    }
    QCOMPARE(back.rows.size(), rows.size());
    for (size_t r = 0; r < rows.size(); ++r) {
        for (int c = 0; c < fields.size(); ++c) {
            const QVariant &got = back.rows[r][c];
            const QVariant &want = rows[r][c];
            QCOMPARE(got.isNull(), want.isNull());
            QCOMPARE(got.toString(), want.toString());
        }
    }
}

void tst_DataPacket::decodeRefuses_data()
{
    QTest::addColumn<QByteArray>("bytes");

    const QCborArray fields = {fieldDef("A", 1), fieldDef("B", 2)};
    const auto packet = [&](const QCborValue &f, const QCborValue &r) {
        QCborMap m;
        m.insert(QStringLiteral("fields"), f);
        m.insert(QStringLiteral("rows"), r);
        return cbor(m);
    };
    const QByteArray good = packet(fields, QCborArray{QCborArray{"x", "y"}});

    QTest::newRow("empty") << QByteArray();
    QTest::newRow("not cbor") << QByteArray("\xff\xfe garbage", 10);
    QTest::newRow("text, not a map") << cbor(QCborValue(QStringLiteral("fields")));
    QTest::newRow("array, not a map") << cbor(QCborArray{fields, QCborArray{}});
    QTest::newRow("no rows") << cbor(QCborMap{{QStringLiteral("fields"), fields}});
    QTest::newRow("no fields") << cbor(QCborMap{{QStringLiteral("rows"), QCborArray{}}});
    QTest::newRow("rows before fields") << cbor(
        QCborMap{{QStringLiteral("rows"), QCborArray{}}, {QStringLiteral("fields"), fields}});
    QTest::newRow("zero fields") << packet(QCborArray{}, QCborArray{});
    QTest::newRow("field without size") << packet(QCborArray{QCborArray{"A"}}, QCborArray{});
    QTest::newRow("negative size") << packet(QCborArray{QCborArray{"A", -1, "string"}}, QCborArray{});
    QTest::newRow("unknown type") << packet(QCborArray{fieldDef("A", 1, "integer")}, QCborArray{});
    QTest::newRow("duplicate field, other case")
        << packet(QCborArray{fieldDef("Nome", 1), fieldDef("NOME", 1)}, QCborArray{});
    QTest::newRow("row too short") << packet(fields, QCborArray{QCborArray{"x"}});
    QTest::newRow("row too long") << packet(fields, QCborArray{QCborArray{"x", "y", "z"}});
    QTest::newRow("number value") << packet(fields, QCborArray{QCborArray{"x", 7}});
    QTest::newRow("row not an array") << packet(fields, QCborArray{"x"});
    QTest::newRow("truncated") << good.left(good.size() - 2);
    QTest::newRow("trailing bytes") << good + QByteArray("\x00", 1);
    QByteArray badUtf8 = good;
    badUtf8[badUtf8.size() - 1] = char(0xC3); // "y" becomes half of a two-byte sequence
    QTest::newRow("invalid UTF-8") << badUtf8;
}

void tst_DataPacket::decodeRefuses()
{
    QFETCH(QByteArray, bytes);
    QString refusal;
    try {
        DataPacket::decode(bytes);
        QFAIL("a malformed packet was accepted");
    } catch (const ESuiteError &e) {
        QVERIFY2(e.message().startsWith(QStringLiteral("Pacote de dados inválido: ")), qPrintable(e.message()));
        refusal = e.message();
    }
    // The client data set, which reads packets in place, refuses it with the same words.
    TClientDataSet cds;
    try {
        cds.setData(bytes);
        QFAIL("a client data set loaded a malformed packet");
    } catch (const ESuiteError &e) {
        QCOMPARE(e.message(), refusal);
    }
}

void tst_DataPacket::writerRefusesWrongRowWidth()
{
    DataPacket::Writer writer({field("A", 1), field("B", 1)});
    QVERIFY_THROWS_EXCEPTION(ESuiteError, writer.addRow({text("1")}));
}

void tst_DataPacket::clientDataSetMapsColumnsByName()
{
    TClientDataSet cds;
    // Declared in another order than the packet carries them.
    cds.AddField(QStringLiteral("CDFORNECED"), 21);
    cds.AddField(QStringLiteral("IDTPIJURFORN"), 1);
    cds.AddField(QStringLiteral("IDMARCADO"), 1);
    QSignalSpy opened(&cds, &TDataSet::opened);

    cds.setData(supplierPacket(
        {{text(""), text("Ômega"), text("J"), text("000001")}, {QVariant(), text("Beta"), text("F"), text("000002")}}));

    QVERIFY(cds.Active());
    QCOMPARE(opened.count(), 1);
    QCOMPARE(cds.RecordCount(), 2);
    QCOMPARE(cds.FieldCount(), 3); // the packet's extra NMFANTFORN is not a field
    cds.First();
    QCOMPARE(cds.FieldByName(QStringLiteral("CDFORNECED")).AsString(), QStringLiteral("000001"));
    QCOMPARE(cds.FieldByName(QStringLiteral("IDTPIJURFORN")).AsString(), QStringLiteral("J"));
    QVERIFY(!cds.FieldByName(QStringLiteral("IDMARCADO")).IsNull());
    cds.Next();
    QCOMPARE(cds.FieldByName(QStringLiteral("CDFORNECED")).AsString(), QStringLiteral("000002"));
    QVERIFY(cds.FieldByName(QStringLiteral("IDMARCADO")).IsNull());
    cds.Next();
    QVERIFY(cds.Eof());
}

void tst_DataPacket::clientDataSetReplacesData()
{
    TClientDataSet cds;
    cds.AddField(QStringLiteral("CDFORNECED"), 21);
    cds.setData(supplierPacket({{text(""), text("A"), text("J"), text("1")},
                                {text(""), text("B"), text("J"), text("2")},
                                {text(""), text("C"), text("J"), text("3")}}));
    cds.Next();
    cds.Next();
    cds.setData(supplierPacket({{text(""), text("Z"), text("O"), text("9")}}));
    QCOMPARE(cds.RecordCount(), 1);
    QCOMPARE(cds.RecNo(), 0);
    QCOMPARE(cds.FieldByName(QStringLiteral("CDFORNECED")).AsString(), QStringLiteral("9"));

    cds.setData(supplierPacket({}));
    QVERIFY(cds.Active());
    QVERIFY(cds.IsEmpty());
}

void tst_DataPacket::clientDataSetRefusesMissingField()
{
    TClientDataSet cds;
    cds.setObjectName(QStringLiteral("cdsFornecedor"));
    cds.AddField(QStringLiteral("NMFANTFORN"), 40);
    cds.AddField(QStringLiteral("CDFORNECED"), 21);
    cds.setData(supplierPacket({{text(""), text("Antes"), text("J"), text("000007")}}));

    try {
        cds.setData(supplierPacket({{text(""), text("Depois"), text("J"), text("x")}}, false));
        QFAIL("a packet without CDFORNECED was loaded");
    } catch (const ESuiteError &e) {
        QVERIFY2(e.message().contains(QStringLiteral("CDFORNECED")), qPrintable(e.message()));
        QVERIFY2(e.message().contains(QStringLiteral("cdsFornecedor")), qPrintable(e.message()));
    }
    // A refused packet leaves the previous rows in place.
    QVERIFY(cds.Active());
    QCOMPARE(cds.RecordCount(), 1);
    QCOMPARE(cds.FieldByName(QStringLiteral("NMFANTFORN")).AsString(), QStringLiteral("Antes"));

    QVERIFY_THROWS_EXCEPTION(ESuiteError, cds.setData(QByteArray("lixo")));
    QCOMPARE(cds.FieldByName(QStringLiteral("CDFORNECED")).AsString(), QStringLiteral("000007"));
}

void tst_DataPacket::clientDataSetWithoutPersistentFields()
{
    TClientDataSet cds;
    cds.setData(supplierPacket({{text(""), text("A"), text("J"), text("1")}}));
    QCOMPARE(cds.FieldCount(), 4);
    QCOMPARE(cds.Fields(3).FieldName, QStringLiteral("CDFORNECED"));
    QCOMPARE(cds.Fields(3).Size, 21);
    // The fields came from a packet: a packet of other columns is not "missing" them.
    cds.setData(supplierPacket({{text(""), text("B"), text("F"), text("2")}}, false));
    QCOMPARE(cds.FieldCount(), 3);
    QCOMPARE(cds.FieldByName(QStringLiteral("NMFANTFORN")).AsString(), QStringLiteral("B"));
}

void tst_DataPacket::clientDataSetRefusesNonPacket()
{
    TClientDataSet cds;
    QVERIFY_THROWS_EXCEPTION(ESuiteError, cds.setData(QVariant()));
    QVERIFY_THROWS_EXCEPTION(ESuiteError, cds.setData(QVariant(42)));
    QVERIFY(!cds.Active());
    cds.setData(QVariant(supplierPacket({})));
    QVERIFY(cds.Active());
}

void tst_DataPacket::clientDataSetHoldsWhatDecodeGives_data()
{
    QTest::addColumn<QByteArray>("packet");
    QTest::addColumn<QString>("index");
    QTest::addColumn<bool>("inPlace"); // whether the packet is read in place

    const QString byName = QStringLiteral("NMFANTFORN;CDFORNECED");
    QTest::newRow("empty list") << supplierPacket({}) << byName << true;
    QTest::newRow("nulls and empty texts")
        << supplierPacket({{QVariant(), text(""), QVariant(), text("2")},
                           {text(""), QVariant(), text("F"), QVariant()},
                           {QVariant(), QVariant(), QVariant(), text("1")},
                           {text(""), text(""), text(""), text("")}})
        << byName << true;
    QTest::newRow("accents and cases, as people read them")
        << supplierPacket({{text(""), text("Zebra"), text("J"), text("1")},
                           {text(""), text("agua"), text("J"), text("2")},
                           {text(""), text("Água"), text("J"), text("3")},
                           {text(""), text("AGUA"), text("J"), text("4")},
                           {text(""), text("Água"), text("J"), text("0")},
                           {text(""), text("álamo"), text("J"), text("5")}})
        << byName << true;
    const QString wide = QString(70000, QChar(u'ã'));
    QTest::newRow("long names, alike for more than 16 characters")
        << supplierPacket({{text(""), QVariant(wide + u'b'), text("J"), text("1")},
                           {text(""), QVariant(wide + u'a'), text("J"), text("2")},
                           {text(""), text("Distribuidora Central Sul"), text("J"), text("3")},
                           {text(""), text("Distribuidora Central Norte"), text("J"), text("4")},
                           {text(""), text("DISTRIBUIDORA CENTRAL NORTE"), text("J"), text("5")}})
        << byName << true;
    QTest::newRow("beyond Latin-1")
        << supplierPacket({{text(""), text("Ωmega"), text("J"), text("1")},
                           {text(""), text("Straße"), text("J"), text("2")},
                           {text(""), text("STRASSE"), text("J"), text("3")},
                           {text(""), text("😀 Sorrisos"), text("J"), text("4")},
                           {text(""), text("\xEF\xBB\xBF" "Marca"), text("J"), text("5")},
                           {text(""), text("µ"), text("J"), text("6")},
                           {text(""), text("\xEF\xBB\xBF"), text("J"), text("7")}})
        << byName << true;
    QTest::newRow("generated, in the server's order") << generatedList(3000, true) << byName << true;
    QTest::newRow("generated, shuffled") << generatedList(3000, false) << byName << true;
    QTest::newRow("generated, by code only") << generatedList(500, false) << QStringLiteral("CDFORNECED") << true;
    QTest::newRow("generated, unsorted") << generatedList(500, false) << QString() << true;

    const QCborArray fields = {fieldDef("NOME", 40), fieldDef("CODIGO", 6)};
    const auto packet = [&](const QCborValue &rows, const QCborMap &extra = {}) {
        QCborMap m;
        m.insert(QStringLiteral("fields"), fields);
        m.insert(QStringLiteral("rows"), rows);
        for (auto it = extra.begin(); it != extra.end(); ++it)
            m.insert(it.key(), it.value());
        return cbor(m);
    };
    const QString byNome = QStringLiteral("NOME;CODIGO");
    QTest::newRow("arrays of known length")
        << packet(QCborArray{QCborArray{"Beta", "2"}, QCborArray{"alfa", nullptr}}) << byNome << true;
    QTest::newRow("tagged value") << packet(QCborArray{QCborArray{QCborValue(QCborTag(1000), "Beta"), "2"},
                                                       QCborArray{"alfa", "1"}})
                                  << byNome << false;
    QTest::newRow("a key after the rows")
        << packet(QCborArray{QCborArray{"Beta", "2"}, QCborArray{"alfa", "1"}}, QCborMap{{"zz", 1}}) << byNome
        << false;
    // "rows": [["Beta" in two chunks, "2"]]
    QByteArray chunked = cbor(QCborMap{{QStringLiteral("fields"), fields}});
    chunked[0] = char(0xA2);
    chunked += key("rows") + QByteArray("\x81\x82\x7f\x62" "Be" "\x62" "ta" "\xff\x61" "2", 12);
    QTest::newRow("text in chunks") << chunked << byNome << false;
}

void tst_DataPacket::clientDataSetHoldsWhatDecodeGives()
{
    QFETCH(QByteArray, packet);
    QFETCH(QString, index);
    QFETCH(bool, inPlace);

    QList<DataPacket::Field> fields;
    QCOMPARE(bool(DataPacket::decodeInPlace(packet, fields)), inPlace);
    DecodedDataSet want;
    want.IndexFieldNames = index;
    want.load(packet);
    TClientDataSet got;
    got.IndexFieldNames = index;
    got.setData(packet);

    QCOMPARE(got.columnNames(), want.columnNames());
    QCOMPARE(got.RecordCount(), want.RecordCount());
    for (int row = 0; row < want.RecordCount(); ++row)
        for (int column = 0; column < want.columnNames().size(); ++column) {
            const QVariant g = got.rowValue(row, column);
            const QVariant w = want.rowValue(row, column);
            const QByteArray where = QStringLiteral("row %1, %2").arg(row).arg(want.columnNames().at(column)).toUtf8();
            QVERIFY2(g.metaType() == w.metaType(), where.constData());
            QVERIFY2(g.toString() == w.toString(), (where + ": " + g.toString().left(40).toUtf8() + " / "
                                                    + w.toString().left(40).toUtf8())
                                                       .constData());
            QVERIFY2(g.toString().isNull() == w.toString().isNull(), where.constData());
        }
    // Fields positioned on the rows read the same values.
    if (got.RecordCount() > 0) {
        got.setRecNo(got.RecordCount() - 1);
        want.setRecNo(want.RecordCount() - 1);
        QCOMPARE(got.Fields(0).Value(), want.Fields(0).Value());
        QVERIFY(got.Locate(got.Fields(0).FieldName, want.Fields(0).Value()));
    }
}

void tst_DataPacket::messagesRoundTrip()
{
    const Frame::Request hello = Frame::parseRequest(
        payloadOf(Frame::helloFrame(QStringLiteral("Lpr07700.rdmConsListaPreco"), QStringLiteral("tôken"))));
    QCOMPARE(hello.kind, Frame::Request::Hello);
    QCOMPARE(hello.server, QStringLiteral("Lpr07700.rdmConsListaPreco"));
    QCOMPARE(hello.token, QStringLiteral("tôken"));

    const QByteArray frame = Frame::callFrame(QStringLiteral("GetFornecedor"), {42, QStringLiteral("São")});
    QCOMPARE(qFromBigEndian<quint32>(frame.constData()), quint32(frame.size() - Frame::HeaderSize));
    const Frame::Request call = Frame::parseRequest(payloadOf(frame));
    QCOMPARE(call.kind, Frame::Request::Call);
    QCOMPARE(call.method, QStringLiteral("GetFornecedor"));
    QVERIFY(!call.deflate);
    QVERIFY(Frame::parseRequest(payloadOf(Frame::callFrame(QStringLiteral("G"), {}, QString(), true))).deflate);
    const QVariantList args = Frame::parseArgs(payloadOf(frame), call);
    QCOMPARE(args.size(), 2);
    QCOMPARE(args[0].toInt(), 42);
    QCOMPARE(args[1].toString(), QStringLiteral("São"));

    const Frame::Reply error =
        Frame::parseReply(payloadOf(Frame::errorFrame(QStringLiteral("Método desconhecido: X"))));
    QVERIFY(!error.ok);
    QCOMPARE(error.error, QStringLiteral("Método desconhecido: X"));

    const Frame::Reply text = Frame::parseReply(payloadOf(Frame::resultFrame(QStringLiteral("ok")).join()));
    QVERIFY(text.ok);
    QCOMPARE(text.result.toString(), QStringLiteral("ok"));
}

void tst_DataPacket::byteArrayResultIsNotCopied()
{
    const QByteArray packet = supplierPacket({{text(""), text("A"), text("J"), text("1")}});
    const QByteArrayList parts = Frame::resultFrame(packet);
    QCOMPARE(parts.size(), 2);
    QCOMPARE(parts[1].constData(), packet.constData()); // shared, not copied

    const QByteArray frame = parts.join();
    QCOMPARE(qFromBigEndian<quint32>(frame.constData()), quint32(frame.size() - Frame::HeaderSize));
    const Frame::Reply reply = Frame::parseReply(payloadOf(frame));
    QVERIFY(reply.ok);
    QCOMPARE(reply.result.metaType().id(), QMetaType::QByteArray);
    QCOMPARE(reply.result.toByteArray(), packet);
}

void tst_DataPacket::parseRefuses_data()
{
    QTest::addColumn<QByteArray>("payload");
    QTest::addColumn<bool>("request");

    QTest::newRow("empty") << QByteArray() << true;
    QTest::newRow("garbage") << QByteArray("\x9f\xff\xff\x01", 4) << true;
    QTest::newRow("array") << cbor(QCborArray{"hello"}) << true;
    QTest::newRow("no op") << cbor(QCborMap{{QStringLiteral("method"), QStringLiteral("X")}}) << true;
    QTest::newRow("unknown op") << cbor(QCborMap{{QStringLiteral("op"), QStringLiteral("drop")}}) << true;
    QTest::newRow("hello without server") << cbor(QCborMap{{QStringLiteral("op"), QStringLiteral("hello")}}) << true;
    QTest::newRow("call without method") << cbor(QCborMap{{QStringLiteral("op"), QStringLiteral("call")}}) << true;
    QTest::newRow("args not a list") << cbor(QCborMap{{QStringLiteral("op"), QStringLiteral("call")},
                                                      {QStringLiteral("method"), QStringLiteral("X")},
                                                      {QStringLiteral("args"), 5}})
                                     << true;
    QTest::newRow("key not text") << cbor(QCborMap{{1, QStringLiteral("call")}}) << true;
    QTest::newRow("reply with neither") << cbor(QCborMap{}) << false;
    QTest::newRow("reply with both") << cbor(
        QCborMap{{QStringLiteral("result"), 1}, {QStringLiteral("error"), QStringLiteral("x")}})
                                     << false;
    QTest::newRow("error not text") << cbor(QCborMap{{QStringLiteral("error"), 1}}) << false;
    QTest::newRow("truncated byte string") << QByteArray("\xa1\x66result\x5a\x00\x10\x00\x00xy", 14) << false;
}

void tst_DataPacket::parseRefuses()
{
    QFETCH(QByteArray, payload);
    QFETCH(bool, request);
    if (request)
        QVERIFY_THROWS_EXCEPTION(ESuiteError, Frame::parseRequest(payload));
    else
        QVERIFY_THROWS_EXCEPTION(ESuiteError, Frame::parseReply(payload));
}

void tst_DataPacket::frameReaderReassembles()
{
    const QByteArray first = Frame::callFrame(QStringLiteral("A"), {});
    const QByteArray second = Frame::callFrame(QStringLiteral("B"), {});
    QByteArray data;
    QBuffer device(&data);
    QVERIFY(device.open(QIODevice::ReadOnly));
    FrameReader reader(Frame::MaxRequestSize);

    // Byte by byte, then the rest of both frames at once.
    const QByteArray both = first + second;
    for (int i = 0; i < first.size() - 1; ++i) {
        data.append(both[i]);
        QCOMPARE(reader.read(&device), FrameReader::Status::Incomplete);
        QVERIFY(reader.started());
    }
    data.append(both.mid(first.size() - 1));
    QCOMPARE(reader.read(&device), FrameReader::Status::Complete);
    QCOMPARE(Frame::parseRequest(reader.takePayload()).method, QStringLiteral("A"));
    QVERIFY(!reader.started());
    // The second frame's bytes were left in the device for the next read.
    QCOMPARE(device.bytesAvailable(), qint64(second.size()));
    QCOMPARE(reader.read(&device), FrameReader::Status::Complete);
    QCOMPARE(Frame::parseRequest(reader.takePayload()).method, QStringLiteral("B"));
}

void tst_DataPacket::frameReaderRefusesOversizeHeader()
{
    QByteArray data(4, '\0');
    qToBigEndian(quint32(Frame::MaxRequestSize + 1), data.data());
    data.append("xxxx");
    QBuffer device(&data);
    QVERIFY(device.open(QIODevice::ReadOnly));
    FrameReader reader(Frame::MaxRequestSize);
    QCOMPARE(reader.read(&device), FrameReader::Status::TooLarge);
    QCOMPARE(reader.declaredSize(), Frame::MaxRequestSize + 1);
    QCOMPARE(device.pos(), qint64(4)); // nothing of the body was read
    QCOMPARE(reader.read(&device), FrameReader::Status::TooLarge);

    // Exactly at the cap is accepted.
    QByteArray edge(4, '\0');
    qToBigEndian(quint32(8), edge.data());
    edge.append("12345678");
    QBuffer edgeDevice(&edge);
    QVERIFY(edgeDevice.open(QIODevice::ReadOnly));
    FrameReader small(8);
    QCOMPARE(small.read(&edgeDevice), FrameReader::Status::Complete);
    QCOMPARE(small.takePayload(), QByteArray("12345678"));
}

// What a broken or hostile peer sends is refused with a message, never a crash (Qt 6.4's
// QCborValue crashed on a text that is not UTF-8), nor an allocation many times its size.
void tst_DataPacket::hostileMessagesRefused_data()
{
    QTest::addColumn<QByteArray>("payload");
    QTest::addColumn<bool>("request");
    QTest::addColumn<QString>("expected");

    const QByteArray badText = textHead(3) + QByteArray("\xff\xfe\x41", 3);
    // 11 bytes: {"result": a text that announces five bytes and holds two invalid ones}.
    QTest::newRow("result text not UTF-8, 11 bytes")
        << mapOf(key("result") + textHead(2) + QByteArray("\xc3\x28", 2)) << false << QStringLiteral("UTF-8");
    QTest::newRow("result text truncated")
        << mapOf(key("result") + textHead(5) + QByteArray("ab")) << false << QStringLiteral("truncad");
    QTest::newRow("error text not UTF-8") << mapOf(key("error") + badText) << false << QStringLiteral("error");
    QTest::newRow("text not UTF-8 deep in a result")
        << mapOf(key("result") + QByteArray("\x82\xa1", 2) + key("a") + badText + QByteArray("\x01", 1)) << false
        << QStringLiteral("UTF-8");
    QTest::newRow("map key not UTF-8 in a result")
        << mapOf(key("result") + QByteArray("\xa1", 1) + badText + QByteArray("\x01", 1)) << false
        << QStringLiteral("UTF-8");
    QTest::newRow("result nested 1000 deep")
        << mapOf(key("result") + nested(1000, QByteArray("\x01", 1))) << false << QStringLiteral("níveis");
    QTest::newRow("unknown key nested 1000 deep")
        << QByteArray("\xa2", 1) + key("x") + nested(1000, QByteArray("\x01", 1)) + key("result")
               + QByteArray("\x01", 1)
        << false << QStringLiteral("níveis");
    // Each empty text is one byte here and a QVariant of 32 once decoded.
    QTest::newRow("result of 200,000 empty texts")
        << mapOf(key("result") + manyOf(textHead(0), 200000)) << false << QStringLiteral("memória");
    QTest::newRow("token not UTF-8") << QByteArray("\xa2", 1) + key("op") + key("hello") + key("token") + badText
                                     << true << QStringLiteral("token");
    QTest::newRow("args nested 1000 deep") << QByteArray("\xa3", 1) + key("op") + key("call") + key("method") + key("X")
                                                  + key("args") + nested(1000, QByteArray("\x01", 1))
                                           << true << QStringLiteral("níveis");
}

void tst_DataPacket::hostileMessagesRefused()
{
    QFETCH(QByteArray, payload);
    QFETCH(bool, request);
    QFETCH(QString, expected);
    try {
        if (request)
            Frame::parseRequest(payload);
        else
            Frame::parseReply(payload);
        QFAIL("accepted");
    } catch (const ESuiteError &e) {
        QVERIFY2(e.message().contains(expected), qPrintable(e.message()));
    }
}

// A tag in front of a value is stepped over, wherever it stands: skipping an unknown key
// used to stop at the tag and read the tagged item as the next key.
void tst_DataPacket::taggedValuesSkipped_data()
{
    QTest::addColumn<QByteArray>("payload");
    QTest::addColumn<int>("kind"); // 0 request, 1 reply, 2 data packet

    const QByteArray tagged = QByteArray("\xc1\xd8\x20", 3) + textHead(1) + "x"; // two tags, then "x"
    QTest::newRow("request: unknown key, tagged value")
        << QByteArray("\xa3", 1) + key("op") + key("hello") + key("extra") + tagged + key("server") + key("S") << 0;
    QTest::newRow("request: \"accept\" as a list, as a later client may send it")
        << QByteArray("\xa3", 1) + key("op") + key("hello") + key("accept") + QByteArray("\x82", 1) + key("zstd")
               + key("deflate") + key("server") + key("S")
        << 0;
    QTest::newRow("reply: unknown key, tagged value")
        << QByteArray("\xa2", 1) + key("extra") + tagged + key("result") + QByteArray("\x01", 1) << 1;
    QTest::newRow("reply: tagged error text") << mapOf(key("error") + tagged) << 1;
    QTest::newRow("reply: tagged result") << mapOf(key("result") + QByteArray("\xc1\x82\x01\xc0", 4) + tagged) << 1;
    const QByteArray fields =
        key("fields") + QByteArray("\x81\x83", 2) + key("A") + QByteArray("\x01", 1) + key("string");
    QTest::newRow("packet: unknown key, tagged value")
        << QByteArray("\xa3", 1) + key("extra") + tagged + fields + key("rows") + QByteArray("\x81\x81", 2) + tagged
        << 2;
}

void tst_DataPacket::taggedValuesSkipped()
{
    QFETCH(QByteArray, payload);
    QFETCH(int, kind);
    try {
        if (kind == 0) {
            QCOMPARE(Frame::parseRequest(payload).server, QStringLiteral("S"));
        } else if (kind == 1) {
            const Frame::Reply reply = Frame::parseReply(payload);
            if (reply.ok)
                QVERIFY(reply.result.isValid());
            else
                QCOMPARE(reply.error, QStringLiteral("x"));
        } else {
            const DataPacket packet = DataPacket::decode(payload);
            QCOMPARE(int(packet.rows.size()), 1);
            QCOMPARE(packet.rows[0][0].toString(), QStringLiteral("x"));
        }
    } catch (const ESuiteError &e) {
        QFAIL(qPrintable(e.message()));
    }
}

// The server reads who sends a request before it decodes any argument: a request whose
// arguments would be refused (or would have crashed) still says what it is.
void tst_DataPacket::argumentsDecodedOnlyOnRequest()
{
    // args: [{1: 2}], well-formed CBOR that no argument decodes from (a key that is not text).
    const QByteArray payload = QByteArray("\xa3", 1) + key("op") + key("call") + key("method") + key("GetFornecedor")
                               + key("args") + QByteArray("\x81\xa1\x01\x02", 4);
    const Frame::Request request = Frame::parseRequest(payload);
    QCOMPARE(request.kind, Frame::Request::Call);
    QCOMPARE(request.method, QStringLiteral("GetFornecedor"));
    QVERIFY(request.argsOffset > 0);
    QVERIFY_THROWS_EXCEPTION(ESuiteError, Frame::parseArgs(payload, request));
}

// A packet may not decode into many times its size: millions of empty values are refused,
// a real supplier list of the same size is not.
void tst_DataPacket::packetMemoryBounded()
{
    const Fields six = {field("IDMARCADO", 1),   field("IDTPIJURFORN", 1),  field("NRINSJURFORN", 20),
                        field("NMFANTFORN", 40), field("NMRAZSOCFORN", 40), field("CDFORNECED", 21)};
    DataPacket::Writer empties(six);
    for (int i = 0; i < 300000; ++i) {
        empties.beginRow();
        for (int c = 0; c < 6; ++c)
            empties.addText(QStringView());
        empties.endRow();
    }
    const QByteArray hostile = empties.finish();
    try {
        DataPacket::decode(hostile);
        QFAIL("accepted");
    } catch (const ESuiteError &e) {
        QVERIFY2(e.message().contains(QStringLiteral("vezes o tamanho do pacote")), qPrintable(e.message()));
    }
    TClientDataSet cds;
    QVERIFY_THROWS_EXCEPTION(ESuiteError, cds.setData(hostile));

    DataPacket::Writer real(six);
    for (int i = 0; i < 20000; ++i) {
        const QString n = QString::number(i).rightJustified(6, QLatin1Char('0'));
        real.addRow({text(""), text("J"), QVariant(QStringLiteral("112223330001") + n.right(2)),
                     QVariant(QStringLiteral("Fantasia ") + n), QVariant(QStringLiteral("Razão Social Ltda ") + n),
                     QVariant(n)});
    }
    QCOMPARE(int(DataPacket::decode(real.finish()).rows.size()), 20000);
}

QTEST_GUILESS_MAIN(tst_DataPacket)
#include "tst_datapacket.moc"
