#pragma once

#include "suite_export.h"

#include <QDialog>
#include <QKeySequence>
#include <QStyle>
#include <QTimer>
#include <functional>

class PageStore;
class QAction;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSpinBox;
class QToolBar;
class ReportJob;
class ReportPreviewView;
class SavedNotice;

// The report preview: shows page 1 as soon as it is laid out and lets the person page,
// jump, zoom and find text while the rest is still coming (the page count grows, then
// settles); prints and saves from what it shows. Closing it, or Cancelar, stops the run.
class SUITE_TEST_EXPORT ReportPreviewDialog : public QDialog
{
    Q_OBJECT
public:
    ReportPreviewDialog(const PageStore &store, ReportJob &job, const QString &title, QWidget *parent = nullptr);
    ~ReportPreviewDialog() override;

    // The commands of the toolbar, supplied by the report runner (they raise as commands do).
    std::function<void(ReportPreviewDialog &)> print;
    std::function<void(ReportPreviewDialog &)> save;

    int currentPage() const;
    void showPage(int page);
    // Finds the next occurrence of a text (case and accents ignored) after the current
    // one; false when there is none in the pages laid out so far.
    bool find(const QString &text, bool backwards = false);
    ReportPreviewView *view() const { return m_view; }
    // After a save from the preview: where the file went, with links to open it.
    void showSaved(const QString &file);
    QString savedFile() const;
    // Whether the run stopped with an error or was cancelled (the dialog then closes).
    bool runFailed() const { return m_runFailed; }

    // Closes the preview; a run still going is stopped.
    void reject() override;

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void buildToolBar();
    // The tool bar's parts, left to right.
    void buildPageControls(QToolBar *bar);
    void buildZoomControls(QToolBar *bar);
    void buildFindControls(QToolBar *bar);
    QAction *addBarAction(QToolBar *bar, const char *theme, QStyle::StandardPixmap fallback, const QString &text,
                          const QString &tip, const QKeySequence &key, const std::function<void()> &slot);
    void poll();
    void updateStatus();
    void runCommand(const std::function<void(ReportPreviewDialog &)> &command);
    void zoomChosen(int index);
    void findAndSay(bool backwards);

    const PageStore &m_store;
    ReportJob &m_job;
    ReportPreviewView *m_view = nullptr;
    QSpinBox *m_pageBox = nullptr;
    QLabel *m_pageTotal = nullptr;
    QComboBox *m_zoomBox = nullptr;
    QLineEdit *m_findBox = nullptr;
    QLabel *m_status = nullptr;
    SavedNotice *m_saved = nullptr;
    QPushButton *m_cancel = nullptr;
    QTimer m_poll;
    bool m_runFailed = false;
    int m_matchPage = 0;
    int m_matchItem = -1;
};
