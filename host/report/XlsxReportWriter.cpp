#include "XlsxReportWriter.h"
#include "../EAbort.h"
#include "ReportFile.h"
#include "ReportFormat.h"

#include <cerrno>

#include <QDir>
#include <xlsxwriter.h>

namespace {

QString sheetName(const QString &code)
{
    QString name = code;
    for (QChar &c : name)
        if (QStringLiteral("[]:*?/\\").contains(c))
            c = QLatin1Char('_');
    name = name.left(31);
    return name.isEmpty() ? QStringLiteral("Relatorio") : name;
}

QByteArray decimalsPattern(int decimals)
{
    return decimals > 0 ? QByteArray(".") + QByteArray(decimals, '0') : QByteArray();
}

} // namespace

XlsxReportWriter::XlsxReportWriter(const QString &fileName, const QString &shownName)
    : m_fileName(fileName), m_shownName(shownName.isEmpty() ? fileName : shownName),
      m_fileNameBytes(QFile::encodeName(fileName))
{
    errno = 0;
    lxw_workbook_options options = {};
    options.constant_memory = LXW_TRUE;
    m_book = workbook_new_opt(m_fileNameBytes.constData(), &options);
    if (!m_book)
        throw ESuiteError(ReportFile::writeError(m_shownName, errno ? errno : EIO));
}

XlsxReportWriter::~XlsxReportWriter()
{
    if (m_book)
        lxw_workbook_free(m_book);
}

void XlsxReportWriter::check(int error, const char *what) const
{
    if (error == LXW_NO_ERROR)
        return;
    const int cause = errno;
    if (error == LXW_ERROR_WORKSHEET_INDEX_OUT_OF_RANGE)
        throw ESuiteError(QStringLiteral("O relatório tem mais linhas do que uma planilha do Excel comporta "
                                         "(%1). Salve em CSV ou restrinja os parâmetros.")
                              .arg(ReportFormat::number(double(maxRows), 0)));
    if (error == LXW_ERROR_MEMORY_MALLOC_FAILED)
        throw ESuiteError(QStringLiteral("Não foi possível gravar a planilha '%1': memória insuficiente (%2).")
                              .arg(QDir::toNativeSeparators(m_shownName), QString::fromUtf8(what)));
    // The library's failures here are the file system's: its errno says why.
    throw ESuiteError(ReportFile::writeError(m_shownName, cause ? cause : EIO));
}

void XlsxReportWriter::begin(const ReportRunInfo &info)
{
    m_columns = info.columns;
    const QByteArray name = sheetName(info.code).toUtf8();
    m_sheet = workbook_add_worksheet(m_book, name.constData());
    if (!m_sheet)
        throw ESuiteError(QStringLiteral("Não foi possível criar a folha da planilha '%1'.").arg(m_fileName));

    const QByteArray title = info.heading.toUtf8();
    lxw_doc_properties properties = {};
    properties.title = const_cast<char *>(title.constData());
    workbook_set_properties(m_book, &properties);

    m_titleFormat = workbook_add_format(m_book);
    format_set_bold(m_titleFormat);
    format_set_bottom(m_titleFormat, LXW_BORDER_THIN);

    m_formats.clear();
    m_valueFormats.clear();
    for (int c = 0; c < m_columns.size(); ++c) {
        m_valueFormats << ReportFormat::ValueFormat::parse(m_columns.at(c).format);
        const ReportColumn &col = m_columns.at(c);
        const QString kind = ReportFormat::kindOf(col.format);
        const int decimals = ReportFormat::decimalsOf(col.format);
        lxw_format *f = workbook_add_format(m_book);
        QByteArray pattern;
        if (kind == QLatin1String("integer") || kind == QLatin1String("number") || kind == QLatin1String("money"))
            pattern = "#,##0" + decimalsPattern(decimals);
        else if (kind == QLatin1String("percent"))
            pattern = "0" + decimalsPattern(decimals) + "%";
        else if (kind == QLatin1String("variation")) {
            const QByteArray p = "0" + decimalsPattern(decimals) + "%";
            pattern = "[Red]\"\xE2\x96\xB2 +\"" + p + ";[Color10]\"\xE2\x96\xBC -\"" + p + ";" + p;
        } else if (kind == QLatin1String("date"))
            pattern = "dd/mm/yyyy";
        else if (kind == QLatin1String("datetime"))
            pattern = "dd/mm/yyyy hh:mm";
        if (!pattern.isEmpty())
            format_set_num_format(f, pattern.constData());
        if (col.align.compare(QLatin1String("right"), Qt::CaseInsensitive) == 0)
            format_set_align(f, LXW_ALIGN_RIGHT);
        else if (col.align.compare(QLatin1String("center"), Qt::CaseInsensitive) == 0)
            format_set_align(f, LXW_ALIGN_CENTER);
        m_formats << f;
        // Column widths are in characters of the default font, about 1.9 mm each.
        check(worksheet_set_column(m_sheet, lxw_col_t(c), lxw_col_t(c), qMax(6.0, col.width / 1.9), f),
              "largura das colunas");
        const QByteArray text = col.title.toUtf8();
        check(worksheet_write_string(m_sheet, 0, lxw_col_t(c), text.constData(), m_titleFormat), "títulos");
    }
    worksheet_freeze_panes(m_sheet, 1, 0);
    m_row = 1;
}

void XlsxReportWriter::detail(const QVariantList &cells, bool)
{
    if (m_row >= maxRows)
        check(LXW_ERROR_WORKSHEET_INDEX_OUT_OF_RANGE, "linhas");
    for (int c = 0; c < cells.size() && c < m_columns.size(); ++c) {
        const QVariant &v = cells.at(c);
        if (v.isNull())
            continue;
        const ReportFormat::ValueFormat &style = m_valueFormats.at(c);
        lxw_format *f = m_formats.at(c);
        const lxw_col_t col = lxw_col_t(c);
        if (style.numeric()) {
            bool ok = false;
            double n = ReportFormat::toNumber(v, &ok);
            if (ok) {
                if (style.kind == ReportFormat::ValueFormat::Percent || style.kind == ReportFormat::ValueFormat::Variation)
                    n /= 100.0;
                check(worksheet_write_number(m_sheet, m_row, col, n, f), "números");
                continue;
            }
        } else if (style.kind == ReportFormat::ValueFormat::Date || style.kind == ReportFormat::ValueFormat::DateTime) {
            const QDate d = ReportFormat::toDate(v);
            if (d.isValid()) {
                lxw_datetime dt = {d.year(), d.month(), d.day(), 0, 0, 0};
                if (style.kind == ReportFormat::ValueFormat::DateTime) {
                    const QTime t = v.toDateTime().time();
                    dt.hour = t.hour();
                    dt.min = t.minute();
                    dt.sec = t.second();
                }
                check(worksheet_write_datetime(m_sheet, m_row, col, &dt, f), "datas");
                continue;
            }
        }
        const QByteArray text = ReportFormat::plain(v, style).toUtf8();
        check(worksheet_write_string(m_sheet, m_row, col, text.constData(), f), "textos");
    }
    ++m_row;
}

void XlsxReportWriter::finish(qint64)
{
    if (!m_columns.isEmpty())
        worksheet_autofilter(m_sheet, 0, 0, m_row > 1 ? m_row - 1 : 0, lxw_col_t(m_columns.size() - 1));
    close();
}

void XlsxReportWriter::close()
{
    if (!m_book)
        return;
    lxw_workbook *book = m_book;
    m_book = nullptr;
    errno = 0;
    check(workbook_close(book), "arquivo");
}
