#include "report/designer/StyleRulesEditor.h"
#include "report/designer/ColorField.h"
#include "report/designer/DesignerDocument.h"
#include "report/designer/ExpressionEdit.h"

#include <QCheckBox>
#include <QColorDialog>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QListWidget>
#include <QPointer>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QToolButton>
#include <QVBoxLayout>

namespace {

QString summary(int index, const ReportStyleRule &rule)
{
    QStringList then;
    if (!rule.color.isEmpty())
        then << QStringLiteral("cor %1").arg(rule.color);
    if (!rule.background.isEmpty())
        then << QStringLiteral("fundo %1").arg(rule.background);
    if (rule.bold)
        then << QStringLiteral("negrito");
    return QStringLiteral("%1. quando %2 → %3")
        .arg(index + 1)
        .arg(rule.when.trimmed().isEmpty() ? QStringLiteral("(sem condição)") : rule.when,
             then.isEmpty() ? QStringLiteral("(nada)") : then.join(QStringLiteral(", ")));
}

} // namespace

StyleRulesEditor::StyleRulesEditor(DesignerDocument *document, Rules rules, const QString &scope, QWidget *parent)
    : QWidget(parent), m_document(document), m_rules(std::move(rules)), m_scope(scope), m_list(new QListWidget(this)),
      m_remove(new QPushButton(QStringLiteral("Excluir"), this)), m_up(new QToolButton(this)), m_down(new QToolButton(this)),
      m_ruleBox(new QWidget(this)),
      m_when(new ExpressionEdit(m_ruleBox)), m_bold(new QCheckBox(QStringLiteral("Então negrito"), m_ruleBox))
{
    setObjectName(QStringLiteral("styleRules"));
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    m_list->setObjectName(QStringLiteral("lstEstilos"));
    m_list->setMaximumHeight(110);
    // A rule reads whole in the narrow panel: long ones wrap instead of scrolling sideways.
    m_list->setWordWrap(true);
    m_list->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_list->setToolTip(QStringLiteral("As regras valem na ordem da lista; uma regra posterior prevalece."));
    layout->addWidget(m_list);
    connect(m_list, &QListWidget::currentRowChanged, this, &StyleRulesEditor::pick);

    auto *buttons = new QHBoxLayout;
    auto *addButton = new QPushButton(QStringLiteral("Incluir"), this);
    addButton->setObjectName(QStringLiteral("btnIncluirEstilo"));
    m_remove->setObjectName(QStringLiteral("btnExcluirEstilo"));
    m_up->setObjectName(QStringLiteral("btnSubirEstilo"));
    m_down->setObjectName(QStringLiteral("btnDescerEstilo"));
    m_up->setArrowType(Qt::UpArrow);
    m_up->setToolTip(QStringLiteral("Subir: aplicar antes"));
    m_down->setArrowType(Qt::DownArrow);
    m_down->setToolTip(QStringLiteral("Descer: aplicar depois"));
    buttons->addWidget(addButton);
    buttons->addWidget(m_remove);
    buttons->addStretch(1);
    buttons->addWidget(m_up);
    buttons->addWidget(m_down);
    layout->addLayout(buttons);
    connect(addButton, &QPushButton::clicked, this, &StyleRulesEditor::add);
    connect(m_remove, &QPushButton::clicked, this, &StyleRulesEditor::remove);
    connect(m_up, &QToolButton::clicked, this, [this] { move(-1); });
    connect(m_down, &QToolButton::clicked, this, [this] { move(1); });

    auto *form = new QFormLayout(m_ruleBox);
    form->setContentsMargins(0, 0, 0, 0);
    m_when->setObjectName(QStringLiteral("styleWhen"));
    m_when->names = [this] { return names ? names() : ExpressionNames(); };
    connect(m_when, &ExpressionEdit::edited, this, [this](const QString &text) {
        changeRule(QStringLiteral("a condição do estilo"), QStringLiteral("when"),
                   [&](ReportStyleRule &rule) { rule.when = text; });
    });
    form->addRow(QStringLiteral("Quando"), m_when);
    m_color = colorField(QStringLiteral("styleColor"), QStringLiteral("a cor do estilo"), &ReportStyleRule::color);
    form->addRow(QStringLiteral("Então cor"), m_color->parentWidget());
    m_background = colorField(QStringLiteral("styleBackground"), QStringLiteral("o fundo do estilo"),
                              &ReportStyleRule::background);
    form->addRow(QStringLiteral("Então fundo"), m_background->parentWidget());
    m_bold->setObjectName(QStringLiteral("styleBold"));
    connect(m_bold, &QCheckBox::toggled, this, [this](bool on) {
        if (!m_bold->signalsBlocked())
            changeRule(QStringLiteral("o negrito do estilo"), QStringLiteral("bold"),
                       [on](ReportStyleRule &rule) { rule.bold = on; });
    });
    form->addRow(QString(), m_bold);
    layout->addWidget(m_ruleBox);
    // Tab goes down the rule's fields as they show, not in the order they were made.
    setTabOrder(m_when->line(), m_color);
    setTabOrder(m_color, m_background);
    setTabOrder(m_background, m_bold);
}

QLineEdit *StyleRulesEditor::colorField(const QString &name, const QString &what, QString ReportStyleRule::*member)
{
    auto *field = new ColorField(name, QString(), m_ruleBox);
    connect(field, &ColorField::chosen, this, [this, what, name, member](const QString &color) {
        changeRule(what, name, [&](ReportStyleRule &rule) { rule.*member = color; });
    });
    return field->line();
}

QList<ReportStyleRule> StyleRulesEditor::current() const
{
    // The accessor only finds the list; the definition is not changed through it here.
    const QList<ReportStyleRule> *rules = m_rules(const_cast<ReportDefinition &>(m_document->definition()));
    return rules ? *rules : QList<ReportStyleRule>();
}

void StyleRulesEditor::change(const QString &what, const std::function<void(QList<ReportStyleRule> &)> &edit,
                              const QString &key)
{
    m_document->change(QStringLiteral("Alterar %1").arg(what), [&](ReportDefinition &d) {
        if (QList<ReportStyleRule> *rules = m_rules(d))
            edit(*rules);
    }, key.isEmpty() ? QString() : m_scope + QLatin1Char('/') + key);
}

void StyleRulesEditor::changeRule(const QString &what, const QString &key,
                                  const std::function<void(ReportStyleRule &)> &edit)
{
    const int row = m_row;
    // Typing into one rule makes one step; into another rule, another.
    change(what, [&](QList<ReportStyleRule> &rules) {
        if (row >= 0 && row < rules.size())
            edit(rules[row]);
    }, QStringLiteral("rule%1/%2").arg(row).arg(key));
}

void StyleRulesEditor::add()
{
    const int row = int(current().size());
    m_row = row;
    const QPointer<StyleRulesEditor> self(this);
    change(QStringLiteral("os estilos: incluir"), [](QList<ReportStyleRule> &rules) {
        // Bold until the author says otherwise, so a new rule shows at once.
        ReportStyleRule rule;
        rule.bold = true;
        rules << rule;
    });
    if (!self)
        return;
    load();
    m_when->line()->setFocus();
}

void StyleRulesEditor::remove()
{
    const int row = m_row;
    const QPointer<StyleRulesEditor> self(this);
    change(QStringLiteral("os estilos: excluir"), [row](QList<ReportStyleRule> &rules) {
        if (row >= 0 && row < rules.size())
            rules.removeAt(row);
    });
    if (self)
        load();
}

void StyleRulesEditor::move(int delta)
{
    const int row = m_row, to = m_row + delta;
    const int count = int(current().size());
    if (row < 0 || row >= count || to < 0 || to >= count)
        return;
    m_row = to;
    const QPointer<StyleRulesEditor> self(this);
    change(QStringLiteral("a ordem dos estilos"), [row, to](QList<ReportStyleRule> &rules) { rules.move(row, to); });
    if (self)
        load();
}

void StyleRulesEditor::pick(int row)
{
    if (m_list->signalsBlocked())
        return;
    m_row = row;
    // A field typed in belongs to the rule it was typed for.
    m_when->line()->clearFocus();
    loadRule();
}

void StyleRulesEditor::load()
{
    const QList<ReportStyleRule> rules = current();
    m_row = rules.isEmpty() ? -1 : std::clamp(m_row < 0 ? 0 : m_row, 0, int(rules.size()) - 1);
    {
        const QSignalBlocker block(m_list);
        m_list->clear();
        for (int i = 0; i < rules.size(); ++i) {
            m_list->addItem(summary(i, rules.at(i)));
            m_list->item(i)->setToolTip(m_list->item(i)->text());
        }
        m_list->setCurrentRow(m_row);
    }
    loadRule();
}

void StyleRulesEditor::loadRule()
{
    const QList<ReportStyleRule> rules = current();
    const bool any = m_row >= 0 && m_row < rules.size();
    m_ruleBox->setEnabled(any);
    m_remove->setEnabled(any);
    m_up->setEnabled(any && m_row > 0);
    m_down->setEnabled(any && m_row < rules.size() - 1);
    const ReportStyleRule rule = any ? rules.at(m_row) : ReportStyleRule();
    if (!m_when->line()->hasFocus()) {
        m_when->setText(rule.when);
        m_when->line()->setCursorPosition(0); // the start of a long condition says the most
    }
    for (const auto &[edit, value] : {std::pair{m_color, rule.color}, std::pair{m_background, rule.background}})
        if (!edit->hasFocus())
            edit->setText(value);
    const QSignalBlocker block(m_bold);
    m_bold->setChecked(rule.bold);
}
