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

// The period list: what each row stands for.
enum PeriodRow { rowFixed, rowCurrentWeek, rowNextWeek, rowWeeks, rowMonth };

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
    m_period->addItem(QStringLiteral("Datas fixas: de %1 a %2").arg(brDate(question.from), brDate(question.to)));
    m_period->addItem(QStringLiteral("Semana atual"));
    m_period->addItem(QStringLiteral("Próxima semana"));
    m_period->addItem(QStringLiteral("Semana atual mais"));
    m_period->addItem(QStringLiteral("Mês atual"));
    m_weeks = new QSpinBox(this);
    m_weeks->setObjectName(QStringLiteral("speSemanas"));
    m_weeks->setRange(-52, 52);
    m_weeks->setValue(2);
    m_weeks->setSuffix(QStringLiteral(" semanas"));
    auto *periodRow = new QHBoxLayout;
    periodRow->addWidget(m_period, 1);
    periodRow->addWidget(m_weeks);
    m_dates = new QLabel(this);
    m_dates->setObjectName(QStringLiteral("lblDatas"));
    if (question.hasPeriod) {
        auto *periodLabel = new QLabel(QStringLiteral("&Período:"), this);
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

void ParameterSetDialog::selectPeriod(const RelativePeriod &period)
{
    switch (period.kind()) {
    case RelativePeriod::Kind::Fixed: m_period->setCurrentIndex(rowFixed); break;
    case RelativePeriod::Kind::Month: m_period->setCurrentIndex(rowMonth); break;
    case RelativePeriod::Kind::Week:
        if (period.offset() == 0 || period.offset() == 1) {
            m_period->setCurrentIndex(period.offset() == 0 ? rowCurrentWeek : rowNextWeek);
        } else {
            m_weeks->setValue(period.offset());
            m_period->setCurrentIndex(rowWeeks);
        }
        break;
    }
}

RelativePeriod ParameterSetDialog::chosenPeriod() const
{
    switch (m_period->currentIndex()) {
    case rowCurrentWeek: return RelativePeriod::week(0);
    case rowNextWeek: return RelativePeriod::week(1);
    case rowWeeks: return RelativePeriod::week(m_weeks->value());
    case rowMonth: return RelativePeriod::currentMonth();
    default: return RelativePeriod::fixed(m_question.from, m_question.to);
    }
}

void ParameterSetDialog::showDates()
{
    m_weeks->setEnabled(m_period->currentIndex() == rowWeeks);
    const RelativePeriod period = chosenPeriod();
    const QDate from = period.resolvedFrom(m_question.today);
    const QDate to = period.resolvedTo(m_question.today);
    if (period.kind() == RelativePeriod::Kind::Fixed)
        m_dates->setText(QStringLiteral("Sempre de %1 a %2.").arg(brDate(from), brDate(to)));
    else
        m_dates->setText(QStringLiteral("Com a data de processamento de %1: de %2 a %3.")
                             .arg(brDate(m_question.today), brDate(from), brDate(to)));
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
