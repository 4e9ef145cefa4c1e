#include "report/designer/SqlHighlighter.h"

namespace {
enum State { Normal = 0, InComment = 1 };

QTextCharFormat formatOf(const QColor &color, bool bold = false, bool italic = false)
{
    QTextCharFormat f;
    f.setForeground(color);
    if (bold)
        f.setFontWeight(QFont::Bold);
    f.setFontItalic(italic);
    return f;
}
} // namespace

SqlHighlighter::SqlHighlighter(QTextDocument *document)
    : QSyntaxHighlighter(document),
      m_keywords(
          QStringLiteral("\\b(SELECT|FROM|WHERE|AND|OR|NOT|IN|EXISTS|INNER|LEFT|RIGHT|FULL|OUTER|CROSS|JOIN|ON|AS|"
                         "ORDER|GROUP|BY|HAVING|UNION|ALL|DISTINCT|CASE|WHEN|THEN|ELSE|END|IS|NULL|LIKE|BETWEEN|ASC|"
                         "DESC|LIMIT|OFFSET|ROWS|FETCH|FIRST|NEXT|ONLY|TOP|WITH|RECURSIVE|OVER|PARTITION|CAST|"
                         "CHARACTER|SET|NONE|VARCHAR|CHAR|INTEGER|NUMERIC|DECIMAL|DOUBLE|PRECISION|DATE|TIMESTAMP)\\b"),
          QRegularExpression::CaseInsensitiveOption),
      m_functions(QStringLiteral("\\b(COALESCE|NULLIF|MIN|MAX|SUM|AVG|COUNT|UPPER|LOWER|TRIM|SUBSTRING|SUBSTR|"
                                 "ROUND|ABS|EXTRACT|ROW_NUMBER|RANK|DENSE_RANK|LAG|LEAD|IIF|ISNULL|NVL)\\s*(?=\\()"),
                  QRegularExpression::CaseInsensitiveOption),
      m_params(QStringLiteral(":[A-Za-z_][A-Za-z0-9_]*")), m_numbers(QStringLiteral("\\b\\d+(\\.\\d+)?\\b")),
      m_keywordFormat(formatOf(QColor(0x00, 0x33, 0x99), true)), m_functionFormat(formatOf(QColor(0x6A, 0x1B, 0x9A))),
      m_textFormat(formatOf(QColor(0x0B, 0x7A, 0x2E))), m_numberFormat(formatOf(QColor(0xA3, 0x4A, 0x00))),
      m_commentFormat(formatOf(QColor(0x70, 0x70, 0x70), false, true)),
      m_paramFormat(formatOf(QColor(0xB0, 0x00, 0x60), true))
{ }

int SqlHighlighter::closeOpenComment(const QString &text)
{
    if (previousBlockState() != InComment)
        return 0;
    const int end = int(text.indexOf(QLatin1String("*/")));
    if (end < 0) {
        setFormat(0, int(text.size()), m_commentFormat);
        setCurrentBlockState(InComment);
        return -1;
    }
    setFormat(0, end + 2, m_commentFormat);
    return end + 2;
}

void SqlHighlighter::highlightBlock(const QString &text)
{
    setCurrentBlockState(Normal);
    const int start = closeOpenComment(text);
    if (start < 0)
        return;
    for (const auto &[re, format] :
         {std::pair{&m_keywords, &m_keywordFormat}, std::pair{&m_functions, &m_functionFormat},
          std::pair{&m_numbers, &m_numberFormat}, std::pair{&m_params, &m_paramFormat}}) {
        auto it = re->globalMatch(text, start);
        while (it.hasNext()) {
            const auto m = it.next();
            setFormat(int(m.capturedStart()), int(m.capturedLength()), *format);
        }
    }
    // Texts and comments last: what they hold is neither keyword nor parameter.
    for (int i = start; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c == QLatin1Char('\'')) {
            int j = i + 1;
            while (j < text.size()) {
                if (text.at(j) == QLatin1Char('\'')) {
                    if (j + 1 < text.size() && text.at(j + 1) == QLatin1Char('\'')) {
                        j += 2;
                        continue;
                    }
                    break;
                }
                ++j;
            }
            setFormat(i, std::min<int>(j, int(text.size()) - 1) - i + 1, m_textFormat);
            i = j;
        } else if (c == QLatin1Char('-') && i + 1 < text.size() && text.at(i + 1) == QLatin1Char('-')) {
            setFormat(i, int(text.size()) - i, m_commentFormat);
            return;
        } else if (c == QLatin1Char('/') && i + 1 < text.size() && text.at(i + 1) == QLatin1Char('*')) {
            const int end = int(text.indexOf(QLatin1String("*/"), i + 2));
            if (end < 0) {
                setFormat(i, int(text.size()) - i, m_commentFormat);
                setCurrentBlockState(InComment);
                return;
            }
            setFormat(i, end + 2 - i, m_commentFormat);
            i = end + 1;
        }
    }
}
