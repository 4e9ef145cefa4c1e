#pragma once

#include "suite_export.h"
#include "report/ReportDefinition.h"

#include <QDialog>
#include <functional>

class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QTableWidget;
class QTabWidget;

// The report editor: the title, the query (main text and each dialect's variant) and the
// columns (field, title, width in mm, alignment, format, visibility condition) of a
// definition. OK checks the definition, and that the query returns every field it names,
// and keeps it; "Verificar consulta" runs the query
// once with the screen's parameters and tells whether it works. Cancel with edits asks first.
class SUITE_TEST_EXPORT ReportEditDialog : public QDialog
{
    Q_OBJECT
public:
    ReportEditDialog(const ReportDefinition &definition, QWidget *parent);

    // The definition as the dialog now shows it.
    ReportDefinition definition() const;

    // Runs the query of a definition; returns the text to show (success or cause).
    std::function<QString(const ReportDefinition &)> checkQuery;
    // The columns and groups whose field the query does not return; OK refuses while there
    // is one. Raises ESuiteError when the query itself fails.
    std::function<QList<MissingField>(const ReportDefinition &)> missingFields;
    // The style conditions that do not read against the query and the parameters; OK
    // refuses while there is one.
    std::function<QStringList(const ReportDefinition &)> expressionProblems;

    QLineEdit *edtTitulo;
    QTabWidget *tabConsulta;
    QPlainTextEdit *txtSql;
    QPlainTextEdit *txtSqlSqlite;
    QPlainTextEdit *txtSqlPg;
    QPlainTextEdit *txtSqlIb;
    QPlainTextEdit *txtSqlOracle;
    QPlainTextEdit *txtSqlMssql;
    QTableWidget *tblColunas;
    QLabel *lblVerificacao;

    void accept() override;
    // Cancel, Esc or closing: with edits, asks before throwing them away.
    void reject() override;

private:
    void addColumn(const ReportColumn &column);
    void removeColumn();
    void moveColumn(int delta);
    void verify();
    // Raises ESuiteError naming each column and field the query lacks; selects the first.
    void refuseMissingFields(const QList<MissingField> &missing);

    ReportDefinition m_original;
    QByteArray m_shown; // the definition as first shown, to tell whether anything was edited
};
