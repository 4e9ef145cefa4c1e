#pragma once

#include "suite_export.h"
#include "report/ReportPage.h"

#include <QMutex>
#include <atomic>
#include <functional>
#include <vector>

// The pages of a run kept for the preview (and for printing or saving from it) in an
// unnamed temporary file, compressed, so memory does not grow with the pages. The run's
// thread appends; the screen's thread reads any page already laid out while later ones
// are still coming. The file has no name and disappears with the store, whatever ends it.
class SUITE_TEST_EXPORT PageStore : public PageSink
{
public:
    // Creates the file in the system's temporary folder; raises ESuiteError with the cause.
    PageStore();
    ~PageStore() override;
    PageStore(const PageStore &) = delete;
    PageStore &operator=(const PageStore &) = delete;

    void beginDocument(const PageSetup &setup) override;
    void page(const ReportPage &page) override;
    void endDocument(int pageCount) override;

    // Any thread.
    PageSetup setup() const;
    int pageCount() const { return m_count.load(); }
    // The final count once the run laid out its last page, else 0.
    int finalCount() const { return m_final.load(); }
    bool isComplete() const { return m_final.load() > 0; }
    // A page already laid out (0-based); raises ESuiteError when the file cannot be read.
    ReportPage page(int index) const;

    // Sends pages [from, to) to a sink, in order (the run must be complete).
    void replay(PageSink &sink, int from, int to, const std::function<void(int)> &step = {}) const;

    static QByteArray encode(const ReportPage &page);
    static ReportPage decode(const QByteArray &bytes);

private:
    int m_fd = -1;
    mutable QMutex m_mutex;
    PageSetup m_setup;
    std::vector<qint64> m_offsets; // start of each page, and the end of the last
    qint64 m_end = 0;
    std::atomic<int> m_count{0};
    std::atomic<int> m_final{0};
};
