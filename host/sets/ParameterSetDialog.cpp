#include "sets/ParameterSetDialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

namespace {

QString brDate(const QDate &date)
{
    return date.isValid() ? date.toString(QStringLiteral("dd/MM/yyyy")) : QStringLiteral("em branco");
}

} // namespace

ParameterSetDialog::ParameterSetDialog(const ParameterSetQuestion &question, QWidget *parent)
    : QDialog(parent), m_question(question)
{
    setObjectName(QStringLiteral("ParameterSetDialog"));
    setWindowTitle(QStringLiteral("Salvar conjunto de parâmetros"));
    auto *root = new QVBoxLayout(this);
    auto *form = new QFormLayout;
    root->addLayout(form);

    m_name = new QComboBox(this);
    m_name->setObjectName(QStringLiteral("cbbNome"));
    m_name->setEditable(true);
    m_name->addItems(question.ownNames);
    m_name->setCurrentText(question.name);
    m_name->lineEdit()->setMaxLength(80);
    m_name->setMinimumWidth(260);
    m_name->setToolTip(QStringLiteral("Um nome novo cria um conjunto; o nome de um conjunto seu o substitui."));
    form->addRow(QStringLiteral("&Nome:"), m_name);

    m_period = new QComboBox(this);
    m_period->setObjectName(QStringLiteral("cbbPeriodo"));
    m_weeks = new QSpinBox(this);
    m_weeks->setValue(2);
    if (question.singleDate) {
        m_weeks->setObjectName(QStringLiteral("speDias"));
        m_weeks->setRange(-365, 365);
        m_weeks->setSuffix(QStringLiteral(" dias"));
    } else {
        m_weeks->setObjectName(QStringLiteral("speSemanas"));
        m_weeks->setRange(-52, 52);
        m_weeks->setSuffix(QStringLiteral(" semanas"));
    }
    m_rows = question.singleDate ? dateRows(question.from) : periodRows(question.from, question.to);
    for (const Row &row : m_rows)
        m_period->addItem(row.text);
    auto *periodRow = new QHBoxLayout;
    periodRow->addWidget(m_period, 1);
    periodRow->addWidget(m_weeks);
    m_dates = new QLabel(this);
    m_dates->setObjectName(QStringLiteral("lblDatas"));
    if (question.hasPeriod) {
        auto *periodLabel =
            new QLabel(question.singleDate ? QStringLiteral("&Data:") : QStringLiteral("&Período:"), this);
        periodLabel->setBuddy(m_period);
        form->addRow(periodLabel, periodRow);
        form->addRow(QString(), m_dates);
    } else {
        m_period->hide();
        m_weeks->hide();
        m_dates->hide();
    }

    m_default = new QCheckBox(QStringLiteral("&Aplicar ao abrir a tela"), this);
    m_default->setObjectName(QStringLiteral("chkPadrao"));
    m_default->setChecked(question.makeDefault);
    form->addRow(QString(), m_default);
    connect(m_default, &QCheckBox::clicked, this, [this] { m_defaultChosen = true; });
    connect(m_name, &QComboBox::currentTextChanged, this, [this](const QString &text) {
        if (!m_defaultChosen)
            m_default->setChecked(!m_question.defaultName.isEmpty()
                                  && ParameterSet::cleanName(text) == m_question.defaultName);
    });
    m_name->setFocus();
    m_name->lineEdit()->selectAll();

    auto *buttons = new QDialogButtonBox(this);
    QPushButton *save = buttons->addButton(QStringLiteral("Salvar"), QDialogButtonBox::AcceptRole);
    buttons->addButton(QStringLiteral("Cancelar"), QDialogButtonBox::RejectRole);
    save->setDefault(true);
    root->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(m_name, &QComboBox::currentTextChanged, save,
            [save](const QString &text) { save->setEnabled(!ParameterSet::cleanName(text).isEmpty()); });
    save->setEnabled(!ParameterSet::cleanName(question.name).isEmpty());

    connect(m_period, &QComboBox::currentIndexChanged, this, &ParameterSetDialog::showDates);
    connect(m_weeks, &QSpinBox::valueChanged, this, &ParameterSetDialog::showDates);
    selectPeriod(question.period);
    showDates();
}

QList<ParameterSetDialog::Row> ParameterSetDialog::periodRows(const QDate &from, const QDate &to)
{
    return {
        {QStringLiteral("Datas fixas: de %1 a %2").arg(brDate(from), brDate(to)),
         [from, to](int) { return RelativePeriod::fixed(from, to); }, false},
        {QStringLiteral("Semana atual"), [](int) { return RelativePeriod::week(0); }, false},
        {QStringLiteral("Próxima semana"), [](int) { return RelativePeriod::week(1); }, false},
        {QStringLiteral("Semana atual mais"), [](int n) { return RelativePeriod::week(n); }, true},
        {QStringLiteral("Mês atual"), [](int) { return RelativePeriod::currentMonth(); }, false},
    };
}

QList<ParameterSetDialog::Row> ParameterSetDialog::dateRows(const QDate &at)
{
    return {
        {QStringLiteral("Data fixa: %1").arg(brDate(at)), [at](int) { return RelativePeriod::date(at); }, false},
        {QStringLiteral("Hoje"), [](int) { return RelativePeriod::day(0); }, false},
        {QStringLiteral("Hoje mais"), [](int n) { return RelativePeriod::day(n); }, true},
        {QStringLiteral("Primeiro dia do mês"), [](int) { return RelativePeriod::monthStart(); }, false},
        {QStringLiteral("Último dia do mês"), [](int) { return RelativePeriod::monthEnd(); }, false},
        {QStringLiteral("Último dia do mês anterior"), [](int) { return RelativePeriod::previousMonthEnd(); }, false},
    };
}

void ParameterSetDialog::selectPeriod(const RelativePeriod &period)
{
    // A row of its own before the counted one ("semana atual" is not "semana atual mais 0").
    for (int i = 0; i < int(m_rows.size()); ++i)
        if (!m_rows[i].counted && i > 0 && m_rows[i].make(0) == period) {
            m_period->setCurrentIndex(i);
            return;
        }
    for (int i = 0; i < int(m_rows.size()); ++i)
        if (m_rows[i].counted && m_rows[i].make(period.offset()) == period) {
            m_weeks->setValue(period.offset());
            m_period->setCurrentIndex(i);
            return;
        }
    m_period->setCurrentIndex(0);
}

RelativePeriod ParameterSetDialog::chosenPeriod() const
{
    const int i = m_period->currentIndex();
    if (i < 0 || i >= int(m_rows.size()))
        return m_rows.first().make(0);
    return m_rows[i].make(m_weeks->value());
}

void ParameterSetDialog::showDates()
{
    const int i = m_period->currentIndex();
    m_weeks->setEnabled(i >= 0 && i < int(m_rows.size()) && m_rows[i].counted);
    const RelativePeriod period = chosenPeriod();
    const QDate from = period.resolvedFrom(m_question.today);
    const QDate to = period.resolvedTo(m_question.today);
    const bool moves = period.kind() != RelativePeriod::Kind::Fixed && period.kind() != RelativePeriod::Kind::Date;
    const QString dates = period.single() ? QStringLiteral("em %1").arg(brDate(from))
                                          : QStringLiteral("de %1 a %2").arg(brDate(from), brDate(to));
    if (!moves)
        m_dates->setText(QStringLiteral("Sempre %1.").arg(dates));
    else
        m_dates->setText(QStringLiteral("Com a data de processamento de %1: %2.").arg(brDate(m_question.today), dates));
}

ParameterSetQuestion ParameterSetDialog::answer() const
{
    ParameterSetQuestion a = m_question;
    a.name = ParameterSet::cleanName(m_name->currentText());
    a.period = chosenPeriod();
    a.makeDefault = m_default->isChecked();
    return a;
}

bool ParameterSetDialog::run(QWidget *parent, ParameterSetQuestion &question)
{
    ParameterSetDialog dialog(question, parent);
    if (dialog.exec() != QDialog::Accepted)
        return false;
    question = dialog.answer();
    return true;
}
