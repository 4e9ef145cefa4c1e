#pragma once

#include "report/ReportExpression.h"
#include "suite_export.h"

#include <QWidget>
#include <functional>

class QLabel;
class QLineEdit;

// A line for an expression that checks it as it is typed, against the query's fields and
// the report's parameters, and shows a fault under it with the faulty part marked.
class SUITE_TEST_EXPORT ExpressionEdit : public QWidget
{
    Q_OBJECT
public:
    explicit ExpressionEdit(QWidget *parent = nullptr);

    // What the expression may read; called on every check (the query may have changed).
    std::function<ExpressionNames()> names;

    QString text() const;
    // Sets the text without emitting edited() and checks it.
    void setText(const QString &text);
    QLineEdit *line() const { return m_line; }
    // The fault of the text as it is; no fault when it is empty.
    ExpressionError fault() const { return m_fault; }
    QString faultText() const;

signals:
    void edited(const QString &text);

private:
    void check();

    QLineEdit *m_line;
    QLabel *m_faultLabel;
    ExpressionError m_fault;
};
