#pragma once

#include "ReportDefinition.h"

#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>
#include <QVariantList>

// What a run shows besides its rows: resolved once per run, the same in every pass.
struct ReportRunInfo
{
    QString code;
    QString heading;      // title line, parameters filled in
    QStringList criteria; // "Filial: 0001 - Loja Centro", ...
    QString footer;
    QDateTime issued;
    bool landscape = true;
    QList<ReportColumn> columns; // the visible columns, in order (data-only ones included)
    int groupCount = 0;
};

// Receives a report run band by band, in order (begin, then headers, rows, footers,
// summary, finish). Each output type (paged painter, CSV, XLSX, HTML) is one.
class ReportSink
{
public:
    virtual ~ReportSink() = default;

    virtual void begin(const ReportRunInfo &info) = 0;
    // pageBreak: the group asks to start on a page of its own.
    virtual void groupHeader(int level, const QString &text, bool pageBreak) = 0;
    // One value per visible column (paged and HTML outputs leave out data-only ones).
    // footerFollows: this row closes a group (or the report), so a footer comes next.
    virtual void detail(const QVariantList &cells, bool footerFollows) = 0;
    // cells: a total under each column or null; formats: the format of each total
    // (empty = the column's own).
    virtual void groupFooter(int level, const QString &label, const QVariantList &cells,
                             const QStringList &formats) = 0;
    virtual void summary(const QString &label, const QVariantList &cells, const QStringList &formats) = 0;
    virtual void finish(qint64 rows) = 0;

    // Pages completed so far (paged outputs).
    virtual int pagesDone() const { return 0; }
};
