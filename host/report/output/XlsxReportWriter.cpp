#include "report/output/XlsxReportWriter.h"
#include "errors/EAbort.h"
#include "report/output/Utf8Text.h"
#include "report/output/WriteQueue.h"
#include "report/output/ZipWriter.h"

#include <QDateTime>
#include <charconv>
#include <cmath>

namespace {

constexpr qsizetype chunkSize = 256 * 1024;
constexpr int titleStyle = 1;
constexpr int firstColumnStyle = 2; // column c has style firstColumnStyle + c

const char *const contentTypes =
    "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n"
    "<Types xmlns=\"http://schemas.openxmlformats.org/package/2006/content-types\">"
    "<Default Extension=\"rels\" ContentType=\"application/vnd.openxmlformats-package.relationships+xml\"/>"
    "<Default Extension=\"xml\" ContentType=\"application/xml\"/>"
    "<Override PartName=\"/xl/workbook.xml\" "
    "ContentType=\"application/vnd.openxmlformats-officedocument.spreadsheetml.sheet.main+xml\"/>"
    "<Override PartName=\"/xl/worksheets/sheet1.xml\" "
    "ContentType=\"application/vnd.openxmlformats-officedocument.spreadsheetml.worksheet+xml\"/>"
    "<Override PartName=\"/xl/styles.xml\" "
    "ContentType=\"application/vnd.openxmlformats-officedocument.spreadsheetml.styles+xml\"/>"
    "<Override PartName=\"/docProps/core.xml\" ContentType=\"application/vnd.openxmlformats-package.core-properties+xml\"/>"
    "<Override PartName=\"/docProps/app.xml\" "
    "ContentType=\"application/vnd.openxmlformats-officedocument.extended-properties+xml\"/>"
    "</Types>";

const char *const rootRelations =
    "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n"
    "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
    "<Relationship Id=\"rId1\" Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/officeDocument\" "
    "Target=\"xl/workbook.xml\"/>"
    "<Relationship Id=\"rId2\" Type=\"http://schemas.openxmlformats.org/package/2006/relationships/metadata/core-properties\" "
    "Target=\"docProps/core.xml\"/>"
    "<Relationship Id=\"rId3\" Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/extended-properties\" "
    "Target=\"docProps/app.xml\"/>"
    "</Relationships>";

const char *const workbookRelations =
    "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n"
    "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
    "<Relationship Id=\"rId1\" Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/worksheet\" "
    "Target=\"worksheets/sheet1.xml\"/>"
    "<Relationship Id=\"rId2\" Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/styles\" "
    "Target=\"styles.xml\"/>"
    "</Relationships>";

QByteArray escaped(const QString &text)
{
    return text.toHtmlEscaped().toUtf8();
}

QString sheetName(const QString &code)
{
    QString name = code;
    for (QChar &c : name)
        if (QStringLiteral("[]:*?/\\'").contains(c))
            c = QLatin1Char('_');
    name = name.left(31);
    return name.isEmpty() ? QStringLiteral("Relatorio") : name;
}

QByteArray columnName(int column)
{
    QByteArray name;
    for (int n = column + 1; n > 0; n = (n - 1) / 26)
        name.prepend(char('A' + (n - 1) % 26));
    return name;
}

QByteArray decimalsPattern(int decimals)
{
    return decimals > 0 ? QByteArray(".") + QByteArray(decimals, '0') : QByteArray();
}

// Days since 1899-12-30, the way a spreadsheet counts dates.
qint64 serialDay(const QDate &date)
{
    return date.toJulianDay() - QDate(1899, 12, 30).toJulianDay();
}

bool typedNumber(const QVariant &v)
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

void appendNumber(std::string &out, double v)
{
    char digits[32];
    const auto r = std::to_chars(digits, digits + sizeof digits, v);
    out.append(digits, size_t(r.ptr - digits));
}

} // namespace

XlsxReportWriter::XlsxReportWriter(QIODevice *out) : m_out(out) { }

XlsxReportWriter::~XlsxReportWriter()
{
    m_queue.reset(); // stops the writing thread before the archive it writes goes
}

QByteArray XlsxReportWriter::formatCode(const QString &format)
{
    const QString kind = ReportFormat::kindOf(format);
    const int decimals = ReportFormat::decimalsOf(format);
    if (kind == QLatin1String("integer") || kind == QLatin1String("number") || kind == QLatin1String("money"))
        return "#,##0" + decimalsPattern(decimals);
    if (kind == QLatin1String("percent"))
        return "0" + decimalsPattern(decimals) + "%";
    if (kind == QLatin1String("variation")) {
        const QByteArray p = "0" + decimalsPattern(decimals) + "%";
        return "[Red]\"\xE2\x96\xB2 +\"" + p + ";[Color10]\"\xE2\x96\xBC -\"" + p + ";" + p;
    }
    if (kind == QLatin1String("date"))
        return "dd/mm/yyyy";
    if (kind == QLatin1String("datetime"))
        return "dd/mm/yyyy hh:mm";
    return QByteArray();
}

QByteArray XlsxReportWriter::stylesXml() const
{
    QByteArray formats, cells;
    int formatCount = 0;
    for (int c = 0; c < m_info.columns.size(); ++c) {
        const ReportColumn &col = m_info.columns.at(c);
        const QByteArray code = formatCode(col.format);
        int id = 0;
        if (!code.isEmpty()) {
            id = 164 + formatCount++;
            formats +=
                "<numFmt numFmtId=\"" + QByteArray::number(id) + "\" formatCode=\""
                + QString::fromUtf8(code).toHtmlEscaped().replace(QLatin1Char('"'), QLatin1String("&quot;")).toUtf8()
                + "\"/>";
        }
        QByteArray align;
        if (col.align.compare(QLatin1String("right"), Qt::CaseInsensitive) == 0)
            align = "right";
        else if (col.align.compare(QLatin1String("center"), Qt::CaseInsensitive) == 0)
            align = "center";
        cells += "<xf numFmtId=\"" + QByteArray::number(id) + "\" fontId=\"0\" fillId=\"0\" borderId=\"0\" xfId=\"0\""
                 + (id ? QByteArray(" applyNumberFormat=\"1\"") : QByteArray());
        cells +=
            align.isEmpty() ? QByteArray("/>") : " applyAlignment=\"1\"><alignment horizontal=\"" + align + "\"/></xf>";
    }
    QByteArray xml = "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n"
                     "<styleSheet xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\">";
    if (formatCount)
        xml += "<numFmts count=\"" + QByteArray::number(formatCount) + "\">" + formats + "</numFmts>";
    xml +=
        "<fonts count=\"2\"><font><sz val=\"11\"/><name val=\"Calibri\"/><family val=\"2\"/></font>"
        "<font><b/><sz val=\"11\"/><name val=\"Calibri\"/><family val=\"2\"/></font></fonts>"
        "<fills count=\"2\"><fill><patternFill patternType=\"none\"/></fill>"
        "<fill><patternFill patternType=\"gray125\"/></fill></fills>"
        "<borders count=\"2\"><border><left/><right/><top/><bottom/><diagonal/></border>"
        "<border><left/><right/><top/><bottom style=\"thin\"><color auto=\"1\"/></bottom><diagonal/></border></borders>"
        "<cellStyleXfs count=\"1\"><xf numFmtId=\"0\" fontId=\"0\" fillId=\"0\" borderId=\"0\"/></cellStyleXfs>"
        "<cellXfs count=\""
        + QByteArray::number(firstColumnStyle + m_info.columns.size())
        + "\"><xf numFmtId=\"0\" fontId=\"0\" fillId=\"0\" borderId=\"0\" xfId=\"0\"/>"
          "<xf numFmtId=\"0\" fontId=\"1\" fillId=\"0\" borderId=\"1\" xfId=\"0\" applyFont=\"1\" applyBorder=\"1\"/>"
        + cells
        + "</cellXfs><cellStyles count=\"1\"><cellStyle name=\"Normal\" xfId=\"0\" builtinId=\"0\"/></cellStyles>"
          "</styleSheet>";
    return xml;
}

QByteArray XlsxReportWriter::workbookXml() const
{
    const QByteArray sheet = escaped(sheetName(m_info.code));
    const QByteArray last = m_columnNames.isEmpty() ? QByteArray("A") : m_columnNames.last();
    return "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n"
           "<workbook xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\" "
           "xmlns:r=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships\">"
           "<bookViews><workbookView/></bookViews><sheets><sheet name=\""
           + sheet + "\" sheetId=\"1\" r:id=\"rId1\"/></sheets>"
           + "<definedNames><definedName name=\"_xlnm._FilterDatabase\" localSheetId=\"0\" hidden=\"1\">'" + sheet
           + "'!$A$1:$" + last + "$" + QByteArray::number(qMax<qint64>(1, m_row)) + "</definedName></definedNames>"
           + "</workbook>";
}

void XlsxReportWriter::begin(const ReportRunInfo &info)
{
    m_info = info;
    m_valueFormats.clear();
    m_columnNames.clear();
    for (int c = 0; c < info.columns.size(); ++c) {
        m_valueFormats << ReportFormat::ValueFormat::parse(info.columns.at(c).format);
        m_columnNames << columnName(c);
    }
    m_zip = std::make_unique<ZipWriter>(m_out);
    m_queue = std::make_unique<WriteQueue>(4);
    m_queue->add([this] { m_zip->beginEntry(QStringLiteral("xl/worksheets/sheet1.xml")); });
    m_chunk.reserve(size_t(chunkSize) + 64 * 1024);
    m_chunk += "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n"
               "<worksheet xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\" "
               "xmlns:r=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships\">"
               "<sheetViews><sheetView workbookViewId=\"0\"><pane ySplit=\"1\" topLeftCell=\"A2\" "
               "activePane=\"bottomLeft\" state=\"frozen\"/><selection pane=\"bottomLeft\"/></sheetView></sheetViews>"
               "<sheetFormatPr defaultRowHeight=\"15\"/><cols>";
    for (int c = 0; c < info.columns.size(); ++c) {
        // Widths are in characters of the default font, about 1.9 mm each.
        const QByteArray n = QByteArray::number(c + 1);
        m_chunk += "<col min=\"" + n + "\" max=\"" + n + "\" width=\""
                   + QByteArray::number(qMax(6.0, info.columns.at(c).width / 1.9), 'f', 1) + "\" customWidth=\"1\"/>";
    }
    m_chunk += "</cols><sheetData><row r=\"1\">";
    m_row = 1;
    for (int c = 0; c < info.columns.size(); ++c) {
        cellStart(c, titleStyle);
        m_chunk += " t=\"inlineStr\"><is><t>";
        appendText(info.columns.at(c).title);
        m_chunk += "</t></is></c>";
    }
    m_chunk += "</row>";
}

void XlsxReportWriter::cellStart(int column, int style)
{
    m_chunk += "<c r=\"";
    m_chunk.append(m_columnNames.at(column).constData(), size_t(m_columnNames.at(column).size()));
    char digits[24];
    auto r = std::to_chars(digits, digits + sizeof digits, m_row);
    m_chunk.append(digits, size_t(r.ptr - digits));
    m_chunk += "\" s=\"";
    r = std::to_chars(digits, digits + sizeof digits, style);
    m_chunk.append(digits, size_t(r.ptr - digits));
    m_chunk += '"';
}

void XlsxReportWriter::appendText(QStringView text)
{
    Utf8Text::append(m_chunk, text, [](std::string &out, char32_t c) {
        switch (c) {
        case u'&': out += "&amp;"; return true;
        case u'<': out += "&lt;"; return true;
        case u'>': out += "&gt;"; return true;
        default: break;
        }
        // What XML 1.0 forbids (control characters but tab and line ends, U+FFFE, U+FFFF)
        // is replaced as UTF-8 replaces what it cannot hold.
        if ((c < 0x20 && c != u'\t' && c != u'\n' && c != u'\r') || c == 0xFFFE || c == 0xFFFF) {
            Utf8Text::appendCodePoint(out, Utf8Text::replacement);
            return true;
        }
        return false;
    });
}

void XlsxReportWriter::detail(const QVariantList &cells, bool)
{
    if (m_row >= maxRows)
        throw ESuiteError(QStringLiteral("O relatório tem mais linhas do que uma planilha do Excel comporta (%1). "
                                         "Salve em CSV ou restrinja os parâmetros.")
                              .arg(ReportFormat::number(double(maxRows), 0)));
    ++m_row;
    m_chunk += "<row r=\"";
    char digits[24];
    const auto r = std::to_chars(digits, digits + sizeof digits, m_row);
    m_chunk.append(digits, size_t(r.ptr - digits));
    m_chunk += "\">";
    for (int c = 0; c < cells.size() && c < m_info.columns.size(); ++c) {
        const QVariant &v = cells.at(c);
        if (v.isNull())
            continue;
        const ReportFormat::ValueFormat &style = m_valueFormats.at(c);
        // A number is a number to a spreadsheet, whatever the column shows it as; a code
        // the database gives as text ("0001") stays text.
        const bool number = style.numeric() || (style.kind == ReportFormat::ValueFormat::Text && typedNumber(v));
        if (number) {
            bool ok = false;
            double n = ReportFormat::toNumber(v, &ok);
            if (ok && std::isfinite(n)) { // an infinity is no number a sheet holds
                if (style.kind == ReportFormat::ValueFormat::Percent
                    || style.kind == ReportFormat::ValueFormat::Variation)
                    n /= 100.0;
                cellStart(c, firstColumnStyle + c);
                m_chunk += "><v>";
                appendNumber(m_chunk, n);
                m_chunk += "</v></c>";
                continue;
            }
        } else if (style.kind == ReportFormat::ValueFormat::Date || style.kind == ReportFormat::ValueFormat::DateTime) {
            const QDate d = ReportFormat::toDate(v);
            if (d.isValid()) {
                double serial = double(serialDay(d));
                if (style.kind == ReportFormat::ValueFormat::DateTime)
                    serial += v.toDateTime().time().msecsSinceStartOfDay() / 86400000.0;
                cellStart(c, firstColumnStyle + c);
                m_chunk += "><v>";
                appendNumber(m_chunk, serial);
                m_chunk += "</v></c>";
                continue;
            }
        }
        const QString text = ReportFormat::plain(v, style);
        cellStart(c, firstColumnStyle + c);
        const bool spaced = !text.isEmpty() && (text.front().isSpace() || text.back().isSpace());
        m_chunk += spaced ? " t=\"inlineStr\"><is><t xml:space=\"preserve\">" : " t=\"inlineStr\"><is><t>";
        appendText(text);
        m_chunk += "</t></is></c>";
    }
    m_chunk += "</row>";
    if (qsizetype(m_chunk.size()) >= chunkSize)
        flush(false);
}

void XlsxReportWriter::flush(bool last)
{
    // The chunk goes to the writing thread, which deflates it into the archive.
    m_queue->add([this, chunk = std::move(m_chunk), last] {
        m_zip->write(chunk.data(), qsizetype(chunk.size()));
        if (last)
            m_zip->endEntry();
    });
    m_chunk = std::string();
    m_chunk.reserve(size_t(chunkSize) + 64 * 1024);
}

void XlsxReportWriter::finish(qint64)
{
    m_chunk += "</sheetData>";
    if (!m_info.columns.isEmpty())
        m_chunk +=
            "<autoFilter ref=\"A1:" + std::string(m_columnNames.last().constData()) + std::to_string(m_row) + "\"/>";
    m_chunk += "</worksheet>";
    flush(true);
    m_queue->finish();
    m_queue.reset();

    const QString created = QDateTime::currentDateTimeUtc().toString(Qt::ISODate);
    m_zip->addEntry(QStringLiteral("[Content_Types].xml"), QByteArray(contentTypes));
    m_zip->addEntry(QStringLiteral("_rels/.rels"), QByteArray(rootRelations));
    m_zip->addEntry(QStringLiteral("docProps/app.xml"),
                    "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n"
                    "<Properties xmlns=\"http://schemas.openxmlformats.org/officeDocument/2006/extended-properties\">"
                    "<Application>Suite</Application></Properties>");
    m_zip->addEntry(
        QStringLiteral("docProps/core.xml"),
        "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n"
        "<cp:coreProperties xmlns:cp=\"http://schemas.openxmlformats.org/package/2006/metadata/core-properties\" "
        "xmlns:dc=\"http://purl.org/dc/elements/1.1/\" xmlns:dcterms=\"http://purl.org/dc/terms/\" "
        "xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\"><dc:title>"
            + escaped(m_info.heading) + "</dc:title><dc:creator>Suite</dc:creator>"
            + "<dcterms:created xsi:type=\"dcterms:W3CDTF\">" + created.toLatin1()
            + "</dcterms:created></cp:coreProperties>");
    m_zip->addEntry(QStringLiteral("xl/workbook.xml"), workbookXml());
    m_zip->addEntry(QStringLiteral("xl/_rels/workbook.xml.rels"), QByteArray(workbookRelations));
    m_zip->addEntry(QStringLiteral("xl/styles.xml"), stylesXml());
    m_zip->finish();
}
