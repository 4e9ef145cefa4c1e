#include "report/output/HtmlReportWriter.h"
#include "errors/EAbort.h"
#include "report/output/HtmlBand.h"
#include "report/output/ReportFile.h"
#include "report/ReportFormat.h"

#include <QColor>
#include <QIODevice>
#include <utility>

namespace {
QString esc(const QString &text)
{
    return text.toHtmlEscaped();
}
} // namespace

HtmlReportWriter::HtmlReportWriter(QIODevice *out) : m_out(out) { }

void HtmlReportWriter::write(const QString &html)
{
    const QByteArray bytes = html.toUtf8();
    if (m_out->write(bytes) != bytes.size())
        throw ESuiteError(ReportFile::failure(m_out, QStringLiteral("o arquivo HTML")));
}

QString HtmlReportWriter::cellClass(int column) const
{
    const QString align = m_info.columns.at(column).align.toLower();
    if (align == QLatin1String("right"))
        return QStringLiteral(" class=\"r\"");
    if (align == QLatin1String("center"))
        return QStringLiteral(" class=\"c\"");
    return QString();
}

void HtmlReportWriter::begin(const ReportRunInfo &info)
{
    m_info = info;
    m_info.columns.clear();
    m_printed.clear();
    m_valueFormats.clear();
    for (int c = 0; c < info.columns.size(); ++c)
        if (!info.columns.at(c).dataOnly) {
            m_info.columns << info.columns.at(c);
            m_valueFormats << ReportFormat::ValueFormat::parse(info.columns.at(c).format);
            m_printed << c;
        }
    QString h;
    h += QStringLiteral("<!DOCTYPE html>\n<html lang=\"pt-BR\">\n<head>\n<meta charset=\"utf-8\">\n");
    h += QStringLiteral("<title>%1 - %2</title>\n").arg(esc(info.code), esc(info.heading));
    h += QStringLiteral("<style>\n"
                        "body{font-family:'DejaVu Sans',Arial,sans-serif;font-size:10pt;margin:1.5em;color:#111}\n"
                        "h1{font-size:14pt;margin:0 0 .3em}\n"
                        ".cod{color:#555;font-weight:bold;margin-right:1em}\n"
                        ".crit{font-size:9pt;color:#333;margin:.1em 0}\n"
                        "table{border-collapse:collapse;width:100%;margin-top:.8em}\n"
                        "th,td{padding:2px 6px;font-size:9pt;white-space:nowrap}\n"
                        "thead th{border-bottom:1px solid #555;text-align:left}\n"
                        "tbody tr:nth-child(even) td{background:#f2f4f7}\n"
                        "tr.g0 th,tr.g1 th,tr.g2 th{background:#e1e7ef;text-align:left;padding-top:6px}\n"
                        "tr.tot td{font-weight:bold;border-top:1px solid #777;background:#fff}\n"
                        "tr.sum td{font-weight:bold;border-top:3px double #555;background:#fff}\n"
                        ".r{text-align:right}.c{text-align:center}\n"
                        ".up{color:#b01e1e}.down{color:#1e7a2e}\n"
                        "footer{margin-top:1em;font-size:8pt;color:#555}\n"
                        "td.bd{padding:0;background:#fff}\n");
    h += HtmlBand::imageStyles(info.images ? *info.images : PageImages());
    h += QStringLiteral("</style>\n</head>\n<body>\n");
    h += QStringLiteral("<h1><span class=\"cod\">%1</span>%2</h1>\n").arg(esc(info.code), esc(info.heading));
    for (const QString &c : info.criteria)
        h += QStringLiteral("<p class=\"crit\">%1</p>\n").arg(esc(c));
    h += QStringLiteral("<p class=\"crit\">Emissão: %1</p>\n")
             .arg(esc(info.issued.toString(QStringLiteral("dd/MM/yyyy hh:mm"))));
    m_rowAhead.clear();
    m_tableOpen = false;
    write(h);
}

void HtmlReportWriter::openTable()
{
    if (m_tableOpen)
        return;
    m_tableOpen = true;
    QString h;
    if (m_info.pageElements && m_info.pageHeaderMm > 0)
        h += HtmlBand::html(m_info.pageElements(false, 1, m_rowAhead), m_info.pageHeaderMm) + QLatin1Char('\n');
    h += QStringLiteral("<table>\n<thead><tr>");
    for (int c = 0; c < m_info.columns.size(); ++c)
        h += QStringLiteral("<th%1>%2</th>").arg(cellClass(c), esc(m_info.columns.at(c).title));
    h += QStringLiteral("</tr></thead>\n<tbody>\n");
    write(h);
}

void HtmlReportWriter::groupHeader(int level, const QString &text, bool)
{
    openTable();
    write(QStringLiteral("<tr class=\"g%1\"><th colspan=\"%2\">%3</th></tr>\n")
              .arg(qMin(level, 2))
              .arg(m_info.columns.size())
              .arg(esc(text)));
}

namespace {
// A style rule's look as an inline style; colours come from #RRGGBB, so nothing to escape.
QString styleOf(const CellLook &look)
{
    if (!look.isSet())
        return QString();
    QString css;
    if (look.color)
        css += QStringLiteral("color:%1;").arg(QColor(look.color).name());
    if (look.background)
        css += QStringLiteral("background:%1;").arg(QColor(look.background).name());
    if (look.bold)
        css += QStringLiteral("font-weight:bold;");
    return QStringLiteral(" style=\"%1\"").arg(css);
}
} // namespace

void HtmlReportWriter::detail(const QVariantList &cells, bool)
{
    openTable();
    const RowLook look = std::exchange(m_nextLook, RowLook());
    QString h = QStringLiteral("<tr>");
    for (int c = 0; c < m_info.columns.size(); ++c) {
        const int at = m_printed.at(c);
        const QString text = ReportFormat::display(cells.value(at), m_valueFormats.at(c));
        QString cls = cellClass(c);
        if (m_valueFormats.at(c).kind == ReportFormat::ValueFormat::Variation && !text.isEmpty()) {
            const char *dir = text.startsWith(QChar(0x25B2)) ? "up" : text.startsWith(QChar(0x25BC)) ? "down" : nullptr;
            if (dir)
                cls = QStringLiteral(" class=\"r %1\"").arg(QLatin1String(dir));
        }
        h += QStringLiteral("<td%1%2>%3</td>").arg(cls, styleOf(look.cells.value(at).over(look.row)), esc(text));
    }
    h += QStringLiteral("</tr>\n");
    write(h);
}

void HtmlReportWriter::totalsRow(const char *cssClass, const QString &label, const QVariantList &cells,
                                 const QStringList &formats)
{
    const int width = int(m_info.columns.size());
    int first = width;
    for (int c = 0; c < width; ++c)
        if (!cells.value(m_printed.at(c)).isNull()) {
            first = c;
            break;
        }
    openTable();
    QString h = QStringLiteral("<tr class=\"%1\">").arg(QLatin1String(cssClass));
    if (first > 0) {
        h += QStringLiteral("<td colspan=\"%1\">%2</td>").arg(first).arg(esc(label));
    } else if (!label.isEmpty()) {
        h += QStringLiteral("<td colspan=\"%1\">%2</td></tr>\n<tr class=\"%3\">")
                 .arg(m_info.columns.size())
                 .arg(esc(label), QLatin1String(cssClass));
    }
    for (int c = first; c < width; ++c) {
        const int cell = m_printed.at(c);
        const QString format = formats.value(cell).isEmpty() ? m_info.columns.at(c).format : formats.value(cell);
        const QString text = cells.value(cell).isNull() ? QString() : ReportFormat::display(cells.value(cell), format);
        h += QStringLiteral("<td%1>%2</td>").arg(cellClass(c), esc(text));
    }
    h += QStringLiteral("</tr>\n");
    write(h);
}

void HtmlReportWriter::groupFooter(int, const QString &label, const QVariantList &cells, const QStringList &formats)
{
    totalsRow("tot", label, cells, formats);
}

void HtmlReportWriter::summary(const QString &label, const QVariantList &cells, const QStringList &formats)
{
    totalsRow("sum", label, cells, formats);
}

void HtmlReportWriter::band(ReportDefinition::BandKind, int, double heightMm, const QList<PlacedElement> &elements)
{
    openTable();
    write(QStringLiteral("<tr><td class=\"bd\" colspan=\"%1\">%2</td></tr>\n")
              .arg(m_info.columns.size())
              .arg(HtmlBand::html(elements, heightMm)));
}

void HtmlReportWriter::finish(qint64 rows)
{
    openTable();
    QString h = QStringLiteral("</tbody>\n</table>\n");
    if (m_info.pageElements && m_info.pageFooterMm > 0)
        h += HtmlBand::html(m_info.pageElements(true, 1, m_rowAhead), m_info.pageFooterMm) + QLatin1Char('\n');
    if (rows == 0)
        h += QStringLiteral("<p>Nenhum registro encontrado para os parâmetros informados.</p>\n");
    if (!m_info.footer.isEmpty())
        h += QStringLiteral("<footer>%1</footer>\n").arg(esc(m_info.footer));
    h += QStringLiteral("</body>\n</html>\n");
    write(h);
}
