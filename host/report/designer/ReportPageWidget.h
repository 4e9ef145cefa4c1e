#pragma once

#include "report/ReportPage.h"
#include "suite_export.h"

#include <QWidget>
#include <memory>

// One laid-out page drawn as the PDF and the printer draw it (PagePainter), scaled to the
// widget's width, on a grey desk.
class SUITE_TEST_EXPORT ReportPageWidget : public QWidget
{
    Q_OBJECT
public:
    explicit ReportPageWidget(QWidget *parent = nullptr);

    // pageCount: the run's count, 0 while it is not known.
    void setPage(const ReportPage &page, const PageSetup &setup, int pageCount);
    void setPageCount(int pageCount);
    void clear();
    bool hasPage() const { return m_hasPage; }
    const ReportPage &page() const { return m_page; }
    int pageCount() const { return m_pageCount; }

    bool hasHeightForWidth() const override { return true; }
    int heightForWidth(int width) const override;
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    double scaleFor(int width) const;

    ReportPage m_page;
    PageSetup m_setup;
    int m_pageCount = 0;
    bool m_hasPage = false;
};
