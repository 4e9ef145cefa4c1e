#pragma once

#include "suite_export.h"

#include <QRegularExpression>
#include <QSyntaxHighlighter>
#include <QTextCharFormat>

// Colours the SQL of a report's query: keywords, functions of every dialect the reports
// use, texts, numbers, comments (-- and /* */ across lines) and the :P_/:L_ parameters.
class SUITE_TEST_EXPORT SqlHighlighter : public QSyntaxHighlighter
{
    Q_OBJECT
public:
    explicit SqlHighlighter(QTextDocument *document);

protected:
    void highlightBlock(const QString &text) override;

private:
    // Where a comment or text that runs to the end of the line starts; -1 for none.
    int closeOpenComment(const QString &text);

    QRegularExpression m_keywords;
    QRegularExpression m_functions;
    QRegularExpression m_params;
    QRegularExpression m_numbers;
    QTextCharFormat m_keywordFormat, m_functionFormat, m_textFormat, m_numberFormat, m_commentFormat, m_paramFormat;
};
