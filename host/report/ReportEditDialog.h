#pragma once

#include "suite_export.h"
#include "ReportDefinition.h"

#include <QDialog>
#include <functional>

class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QTableWidget;
class QTabWidget;

// The report editor: the title, the query (main text and each dialect's variant) and the
// columns (field, title, width in mm, alignment, format, visibility condition) of a
// definition. OK checks the definition and keeps it; "Verificar consulta" runs the query
// once with the screen's parameters and tells whether it works.
class SUITE_EXPORT ReportEditDialog : public QDialog
{
    Q_OBJECT
public:
    ReportEditDialog(const ReportDefinition &definition, QWidget *parent);

    // The definition as the dialog now shows it.
    ReportDefinition definition() const;

    // Runs the query of a definition; returns the text to show (success or cause).
    std::function<QString(const ReportDefinition &)> checkQuery;

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

private:
    void addColumn(const ReportColumn &column);
    void removeColumn();
    void moveColumn(int delta);
    void verify();

    ReportDefinition m_original;
};
