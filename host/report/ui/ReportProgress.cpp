#include "report/ui/ReportProgress.h"
#include "errors/EAbort.h"

#include <QCoreApplication>
#include <QProgressDialog>

namespace {
QString count(qint64 n)
{
    QString digits = QString::number(n);
    for (qsizetype i = digits.size() - 3; i > 0; i -= 3)
        digits.insert(i, QLatin1Char('.'));
    return digits;
}
} // namespace

ReportProgress::ReportProgress(QWidget *parent, bool withDialog, Hook hook, const QString &title)
    : m_parent(parent), m_withDialog(withDialog), m_hook(std::move(hook)), m_title(title)
{
    m_clock.start();
}

ReportProgress::~ReportProgress()
{
    delete m_dialog.data();
}

void ReportProgress::setPhase(const QString &text, int totalPages)
{
    m_phase = text;
    m_totalPages = totalPages;
    if (m_dialog) {
        m_dialog->setRange(0, totalPages);
        m_dialog->setValue(0);
    }
}

void ReportProgress::tick()
{
    if (!m_withDialog)
        return;
    showWhenDue();
    if (m_dialog) {
        QCoreApplication::processEvents();
        if (m_dialog->wasCanceled())
            throw EAbort();
    }
}

void ReportProgress::showWhenDue()
{
    if (!m_dialog && m_clock.elapsed() > 500) {
        m_dialog = new QProgressDialog(m_parent);
        m_dialog->setWindowTitle(m_title);
        m_dialog->setWindowModality(m_parent ? Qt::WindowModal : Qt::ApplicationModal);
        m_dialog->setCancelButtonText(QStringLiteral("Cancelar"));
        m_dialog->setAutoClose(false);
        m_dialog->setAutoReset(false);
        m_dialog->setMinimumDuration(0);
        m_dialog->setMinimumWidth(360);
        m_dialog->setRange(0, m_totalPages);
        m_dialog->setLabelText(m_phase + QStringLiteral("\nAguardando o banco de dados..."));
        m_dialog->show();
    }
}

void ReportProgress::update(qint64 rows, int pages)
{
    if (m_hook && !m_hook(rows, pages))
        throw EAbort();
    if (!m_withDialog)
        return;
    showWhenDue();
    if (!m_dialog)
        return;
    QString text = m_phase;
    if (m_totalPages > 0)
        text += QStringLiteral("\nPágina %1 de %2").arg(pages).arg(m_totalPages);
    else if (pages > 0)
        text += QStringLiteral("\n%1 página(s)").arg(pages);
    text += QStringLiteral("\n%1 linha(s) processada(s)").arg(count(rows));
    m_dialog->setLabelText(text);
    if (m_totalPages > 0)
        m_dialog->setValue(qMin(pages, m_totalPages));
    QCoreApplication::processEvents();
    if (m_dialog->wasCanceled())
        throw EAbort();
}
