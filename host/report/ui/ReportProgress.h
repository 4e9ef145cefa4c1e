#pragma once

#include "suite_export.h"

#include <QElapsedTimer>
#include <QPointer>
#include <QString>
#include <functional>

class QProgressDialog;
class QWidget;

// Progress of a report run. A run that lasts more than half a second shows a dialog with
// the pages and rows done and a Cancel button (only when there is a screen to show it
// on); Cancel, or a hook that answers false, raises EAbort from the next call.
class SUITE_TEST_EXPORT ReportProgress
{
public:
    using Hook = std::function<bool(qint64 rows, int pages)>;

    ReportProgress(QWidget *parent, bool withDialog, Hook hook, const QString &title);
    ~ReportProgress();
    ReportProgress(const ReportProgress &) = delete;
    ReportProgress &operator=(const ReportProgress &) = delete;

    // What is being done now ("Contando as páginas", "Gerando o PDF") and, when known,
    // how many pages there will be.
    void setPhase(const QString &text, int totalPages = 0);
    // Called when the run has read more rows; raises EAbort when cancelled.
    void update(qint64 rows, int pages);
    // Called on every turn while the run waits for the database (before its first row,
    // say): shows the dialog when it is time and raises EAbort when it was cancelled.
    void tick();
    // Whether the dialog is up (the person can then use the screen only through it).
    bool hasDialog() const { return !m_dialog.isNull(); }

private:
    void showWhenDue();

    QWidget *m_parent;
    bool m_withDialog;
    Hook m_hook;
    QString m_title;
    QString m_phase;
    int m_totalPages = 0;
    QElapsedTimer m_clock;
    QPointer<QProgressDialog> m_dialog;
};
