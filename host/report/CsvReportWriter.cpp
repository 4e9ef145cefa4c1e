#include "CsvReportWriter.h"
#include "../EAbort.h"
#include "ReportFile.h"
#include "ReportFormat.h"

#include <QIODevice>

CsvReportWriter::CsvReportWriter(QIODevice *out) : m_out(out) {}

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

void CsvReportWriter::detail(const QVariantList &cells, bool)
{
    QStringList fields;
    fields.reserve(cells.size());
    for (qsizetype c = 0; c < cells.size() && c < m_columns.size(); ++c) {
        const ReportFormat::ValueFormat &style = m_valueFormats.at(c);
        QString text = ReportFormat::plain(cells.at(c), style);
        if (!style.numeric() && !text.isEmpty()) {
            const QChar first = text.at(0);
            if (first == QLatin1Char('=') || first == QLatin1Char('+') || first == QLatin1Char('-')
                || first == QLatin1Char('@') || first == QLatin1Char('\t') || first == QLatin1Char('\r'))
                text.prepend(QLatin1Char('\''));
        }
        fields << quoted(text);
    }
    writeLine(fields);
}

void CsvReportWriter::finish(qint64) {}
