#pragma once

#include "report/ReportDefinition.h"
#include "report/ReportExpression.h"
#include "suite_export.h"

#include <QWidget>
#include <functional>

class DesignerDocument;
class ExpressionEdit;
class QCheckBox;
class QLineEdit;
class QListWidget;
class QPushButton;
class QToolButton;

// The conditional looks of one place of a definition (an element, the detail rows, a
// column's cells): every rule "when CONDITION, then colour / bold / background" listed in
// the order they apply, and the one picked there edited below the list. Adding, removing,
// reordering and each edit are changes of the document; the condition is checked as it is
// typed.
class SUITE_TEST_EXPORT StyleRulesEditor : public QWidget
{
    Q_OBJECT
public:
    // Finds the place's rules in a definition (null when the place is gone).
    using Rules = std::function<QList<ReportStyleRule> *(ReportDefinition &)>;

    // scope names the place in merge keys, so typing into two places makes two steps.
    StyleRulesEditor(DesignerDocument *document, Rules rules, const QString &scope, QWidget *parent = nullptr);

    // What a condition may read.
    std::function<ExpressionNames()> names;

    // Shows the rules as the document now has them, leaving the field being typed in alone.
    void load();

private:
    QList<ReportStyleRule> current() const;
    void change(const QString &what, const std::function<void(QList<ReportStyleRule> &)> &edit,
                const QString &key = QString());
    // Changes a field of the rule picked in the list.
    void changeRule(const QString &what, const QString &key, const std::function<void(ReportStyleRule &)> &edit);
    void pick(int row);
    void add();
    void remove();
    void move(int delta);
    QLineEdit *colorField(const QString &name, const QString &what, QString ReportStyleRule::*member);
    void loadRule();

    DesignerDocument *m_document;
    Rules m_rules;
    QString m_scope;
    int m_row = -1;

    QListWidget *m_list;
    QPushButton *m_remove;
    QToolButton *m_up, *m_down;
    QWidget *m_ruleBox;
    ExpressionEdit *m_when;
    QLineEdit *m_color, *m_background;
    QCheckBox *m_bold;
};
