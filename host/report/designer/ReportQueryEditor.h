#pragma once

#include "data/TParams.h"
#include "report/ReportDefinition.h"
#include "report/designer/ReportQueryProbe.h"
#include "suite_export.h"

#include <QWidget>
#include <functional>

class QLabel;
class QPlainTextEdit;
class QPushButton;
class QTabWidget;
class QTableWidget;

// The query of a report: the standard text and each database's variant in tabs, with SQL
// colours, and "Testar", which runs it with the screen's parameters (bounded as a report
// run is) and shows its first rows, read-only.
class SUITE_TEST_EXPORT ReportQueryEditor : public QWidget
{
    Q_OBJECT
public:
    static constexpr int sampleRows = 50;

    explicit ReportQueryEditor(QWidget *parent = nullptr);

    void setDefinition(const ReportDefinition &definition);
    // Writes the texts of the tabs into definition.
    void applyTo(ReportDefinition &definition) const;
    void setParams(const TParams &params) { m_params = params; }

    // Runs the query for "Testar"; the session's database unless a caller sets another.
    std::function<ReportQuerySample(const ReportDefinition &, const TParams &, int rows)> sampler;

    QTabWidget *tabs() const { return m_tabs; }
    QPlainTextEdit *standardText() const { return m_texts.at(0); }
    QTableWidget *grid() const { return m_grid; }
    QString verdict() const;

public slots:
    void test();

signals:
    void changed();
    // Testar read the fields again (the field list may take them).
    void fieldsRead(const QList<ReportQueryField> &fields);

private:
    void showSample(const ReportQuerySample &sample);

    ReportDefinition m_definition;
    TParams m_params;
    QTabWidget *m_tabs;
    QList<QPlainTextEdit *> m_texts; // standard, sqlite, pg, ib, oracle, mssql
    QPushButton *m_test;
    QLabel *m_verdict;
    QTableWidget *m_grid;
};
