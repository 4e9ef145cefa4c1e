#pragma once

#include "suite_export.h"
#include "report/ReportPage.h"

#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>
#include <atomic>
#include <functional>

class QPrinter;

// What the print dialog asked for, in the terms the report engine prints in: which pages
// of the run (by their numbers in the run), how many copies and how they are gathered,
// and where they go. Printing writes the pages as PDF while they are laid out: into the
// chosen file when printing to a file, else into a spool file that goes to the print
// system (CUPS) with the dialog's options when the run ends.
struct SUITE_TEST_EXPORT PrintRequest
{
    QList<QPair<int, int>> ranges; // inclusive, 1-based; empty = every page
    int copies = 1;
    bool collate = true;
    bool reverse = false; // last page first
    QString outputFile;   // print to file; empty = to a printer
    QString printerName;
    QString title;
    QStringList options; // further print-system options, name and value in turn

    // Reads a printer as the print dialog left it. currentPage: the page shown when the
    // dialog came from the preview (for "página atual"), else 0.
    static PrintRequest fromPrinter(const QPrinter &printer, int currentPage = 0);
    // "1-3,5,8-" as the print system writes page ranges; false when it cannot be read.
    static bool parseRanges(const QString &text, QList<QPair<int, int>> &ranges);

    bool includes(int page) const;
    // Pages of a run of pageCount pages that will be printed (one copy).
    int selectedCount(int pageCount) const;
    // The highest page the ranges name (0 = no upper bound).
    int lastWanted() const;
};

// Passes on only the pages a request includes, keeping their numbers in the run.
class SUITE_TEST_EXPORT PageSelection : public PageSink
{
public:
    PageSelection(const PrintRequest &request, PageSink &out) : m_request(request), m_out(out) { }
    void beginDocument(const PageSetup &setup) override { m_out.beginDocument(setup); }
    void page(const ReportPage &page) override
    {
        if (m_request.includes(page.number)) {
            m_out.page(page);
            ++m_passed;
        }
    }
    void endDocument(int pageCount) override { m_out.endDocument(pageCount); }
    // Any thread.
    int passed() const { return m_passed.load(); }

private:
    const PrintRequest &m_request;
    PageSink &m_out;
    std::atomic<int> m_passed{0};
};

namespace ReportPrinter {
// Sends a finished PDF to the print system; raises ESuiteError with the cause.
SUITE_TEST_EXPORT void submit(const QString &pdfFile, const PrintRequest &request);
} // namespace ReportPrinter
