#include "report/output/CsvReportWriter.h"
#include "errors/EAbort.h"
#include "report/output/ReportFile.h"
#include "report/output/Utf8Text.h"
#include "report/ReportFormat.h"

#include <QIODevice>

CsvReportWriter::CsvReportWriter(QIODevice *out) : m_out(out) { }

QString CsvReportWriter::quoted(const QString &field)
{
    if (field.contains(QLatin1Char(';')) || field.contains(QLatin1Char('"')) || field.contains(QLatin1Char('\n'))
        || field.contains(QLatin1Char('\r'))) {
        QString f = field;
        f.replace(QLatin1Char('"'), QLatin1String("\"\""));
        return QLatin1Char('"') + f + QLatin1Char('"');
    }
    return field;
}

void CsvReportWriter::writeLine(const QStringList &fields)
{
    const QByteArray line = (fields.join(QLatin1Char(';')) + QStringLiteral("\r\n")).toUtf8();
    if (m_out->write(line) != line.size())
        throw ESuiteError(ReportFile::failure(m_out, QStringLiteral("o arquivo CSV")));
}

void CsvReportWriter::begin(const ReportRunInfo &info)
{
    m_columns = info.columns;
    m_valueFormats.clear();
    for (const ReportColumn &c : m_columns)
        m_valueFormats << ReportFormat::ValueFormat::parse(c.format);
    const QByteArray bom("\xEF\xBB\xBF");
    if (m_out->write(bom) != bom.size())
        throw ESuiteError(ReportFile::failure(m_out, QStringLiteral("o arquivo CSV")));
    QStringList titles;
    for (const ReportColumn &c : m_columns)
        titles << quoted(c.title);
    writeLine(titles);
}

namespace {

// Appends a text as UTF-8, doubling quotes when it is quoted. A CSV holds any character.
void appendUtf8(std::string &out, QStringView text, bool doubleQuotes)
{
    Utf8Text::append(out, text, [doubleQuotes](std::string &to, char32_t c) {
        if (!doubleQuotes || c != u'"')
            return false;
        to += "\"\"";
        return true;
    });
}

bool needsQuotes(QStringView text)
{
    for (QChar c : text) {
        const char16_t u = c.unicode();
        if (u == u';' || u == u'"' || u == u'\n' || u == u'\r')
            return true;
    }
    return false;
}

} // namespace

void CsvReportWriter::detail(const QVariantList &cells, bool)
{
    m_line.clear();
    for (qsizetype c = 0; c < cells.size() && c < m_columns.size(); ++c) {
        if (c > 0)
            m_line += ';';
        const ReportFormat::ValueFormat &style = m_valueFormats.at(c);
        const QVariant &value = cells.at(c);
        if (value.isNull())
            continue;
        // Numbers and dates, most of a price list, go straight into the line.
        if (style.numeric()) {
            bool ok = false;
            const double v = ReportFormat::toNumber(value, &ok);
            if (ok) {
                char digits[ReportFormat::maxNumberLength];
                m_line.append(digits, size_t(ReportFormat::formatNumber(digits, v, style.decimals, false)));
                continue;
            }
        } else if (style.kind == ReportFormat::ValueFormat::Date) {
            char digits[10];
            if (const int n = ReportFormat::formatDate(digits, ReportFormat::toDate(value))) {
                m_line.append(digits, size_t(n));
                continue;
            }
        }
        const QString text = ReportFormat::plain(value, style);
        if (text.isEmpty())
            continue;
        // A text a spreadsheet would take for a formula gets an apostrophe in front; a
        // number shown as text (-5,2) is none.
        const QChar first = text.at(0);
        const bool number = value.typeId() == QMetaType::Double || value.typeId() == QMetaType::Float
                            || value.typeId() == QMetaType::Int || value.typeId() == QMetaType::LongLong;
        const bool guard =
            !style.numeric() && !number
            && (first == QLatin1Char('=') || first == QLatin1Char('+') || first == QLatin1Char('-')
                || first == QLatin1Char('@') || first == QLatin1Char('\t') || first == QLatin1Char('\r'));
        const bool quote = needsQuotes(text);
        if (quote)
            m_line += '"';
        if (guard)
            m_line += '\'';
        appendUtf8(m_line, text, quote);
        if (quote)
            m_line += '"';
    }
    m_line += "\r\n";
    if (m_out->write(m_line.data(), qint64(m_line.size())) != qint64(m_line.size()))
        throw ESuiteError(ReportFile::failure(m_out, QStringLiteral("o arquivo CSV")));
}

void CsvReportWriter::finish(qint64) { }
