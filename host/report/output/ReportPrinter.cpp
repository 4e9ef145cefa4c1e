#include "report/output/ReportPrinter.h"
#include "errors/EAbort.h"

#include <QFile>
#include <QPrintEngine>
#include <QPrinter>
#include <QRegularExpression>
#include <cups/cups.h>

namespace {

// The print dialog's own options for the print system (page ranges typed as text, odd or
// even pages, and whatever the printer's properties set), name and value in turn.
const QPrintEngine::PrintEnginePropertyKey printSystemOptions = QPrintEngine::PrintEnginePropertyKey(0xfe00);

} // namespace

bool PrintRequest::parseRanges(const QString &text, QList<QPair<int, int>> &ranges)
{
    ranges.clear();
    static const QRegularExpression part(QStringLiteral("^\\s*(\\d*)\\s*(-)?\\s*(\\d*)\\s*$"));
    for (const QString &item : text.split(QLatin1Char(','), Qt::SkipEmptyParts)) {
        const QRegularExpressionMatch m = part.match(item);
        if (!m.hasMatch() || (m.captured(1).isEmpty() && m.captured(3).isEmpty()))
            return false;
        const int from = m.captured(1).isEmpty() ? 1 : m.captured(1).toInt();
        const int to = m.captured(2).isEmpty() ? from : (m.captured(3).isEmpty() ? 0 : m.captured(3).toInt());
        if (from < 1 || (to != 0 && to < from))
            return false;
        ranges << qMakePair(from, to);
    }
    return !ranges.isEmpty();
}

PrintRequest PrintRequest::fromPrinter(const QPrinter &printer, int currentPage)
{
    PrintRequest r;
    r.copies = qMax(1, printer.copyCount());
    r.collate = printer.collateCopies();
    r.reverse = printer.pageOrder() == QPrinter::LastPageFirst;
    r.title = printer.docName();
    r.printerName = printer.printerName();
    if (printer.outputFormat() == QPrinter::PdfFormat)
        r.outputFile = printer.outputFileName();
    switch (printer.printRange()) {
    case QPrinter::PageRange:
        if (printer.fromPage() > 0)
            r.ranges << qMakePair(printer.fromPage(), qMax(printer.fromPage(), printer.toPage()));
        break;
    case QPrinter::CurrentPage:
        if (currentPage > 0)
            r.ranges << qMakePair(currentPage, currentPage);
        break;
    default: break;
    }
    const QStringList options =
        printer.printEngine() ? printer.printEngine()->property(printSystemOptions).toStringList() : QStringList();
    for (qsizetype i = 0; i + 1 < options.size(); i += 2) {
        // Pages typed as text are chosen here, like the dialog's "de ... até", so that both
        // ways print the same pages with the same numbers.
        if (options.at(i) == QLatin1String("page-ranges")) {
            QList<QPair<int, int>> typed;
            if (parseRanges(options.at(i + 1), typed))
                r.ranges = typed;
            continue;
        }
        r.options << options.at(i) << options.at(i + 1);
    }
    if (printer.duplex() == QPrinter::DuplexAuto || printer.duplex() == QPrinter::DuplexShortSide)
        r.options << QStringLiteral("sides") << QStringLiteral("two-sided-short-edge");
    else if (printer.duplex() == QPrinter::DuplexLongSide)
        r.options << QStringLiteral("sides") << QStringLiteral("two-sided-long-edge");
    return r;
}

bool PrintRequest::includes(int page) const
{
    if (ranges.isEmpty())
        return true;
    for (const auto &[from, to] : ranges)
        if (page >= from && (to == 0 || page <= to))
            return true;
    return false;
}

int PrintRequest::selectedCount(int pageCount) const
{
    int n = 0;
    for (int p = 1; p <= pageCount; ++p)
        n += includes(p) ? 1 : 0;
    return n;
}

int PrintRequest::lastWanted() const
{
    int last = 0;
    for (const auto &[from, to] : ranges) {
        if (to == 0)
            return 0;
        last = qMax(last, to);
    }
    return last;
}

namespace ReportPrinter {

void submit(const QString &pdfFile, const PrintRequest &request)
{
    QList<QPair<QByteArray, QByteArray>> options;
    options << qMakePair(QByteArray("media"), QByteArray("A4"));
    if (request.copies > 1) {
        options << qMakePair(QByteArray("copies"), QByteArray::number(request.copies));
        options << qMakePair(QByteArray("Collate"), QByteArray(request.collate ? "True" : "False"));
    }
    for (qsizetype i = 0; i + 1 < request.options.size(); i += 2)
        options << qMakePair(request.options.at(i).toUtf8(), request.options.at(i + 1).toUtf8());
    QList<cups_option_t> list;
    for (auto &[name, value] : options)
        list << cups_option_t{name.data(), value.data()};
    // The print system wants the queue's name without the instance.
    const QByteArray queue = request.printerName.section(QLatin1Char('/'), 0, 0).toLocal8Bit();
    const int job =
        cupsPrintFile(queue.constData(), QFile::encodeName(pdfFile).constData(), request.title.toUtf8().constData(),
                      int(list.size()), list.isEmpty() ? nullptr : list.data());
    if (job <= 0)
        throw ESuiteError(QStringLiteral("Não foi possível enviar o relatório para a impressora '%1': %2.")
                              .arg(request.printerName, QString::fromUtf8(cupsLastErrorString())));
}

} // namespace ReportPrinter
