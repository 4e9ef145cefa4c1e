#include "form/BranchField.h"

#include "controls/FocusTracker.h"
#include "controls/RecentCompleter.h"
#include "controls/TMaskEdit.h"
#include "controls/lookup/TBtnPesquisa.h"
#include "data/QueryTable.h"
#include "data/TADOIBQuery.h"
#include "data/TDataSet.h"
#include "errors/ExceptionGuard.h"
#include "form/FormWidgets.h"
#include "form/TMessages.h"
#include "validation/Consiste.h"
#include "validation/Zelmora.h"

#include <QFrame>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>

using namespace FormWidgets;

namespace {

// One branch by its code, or every branch when P_TODAS is 'T' (the lookup).
const QueryTable::Query branchQuery{"qryFilial",
                                    {"SELECT CDFILIAL, NMFILIAL, NMREGIAO, IDCNTRRESC, CDFILCENTCMP, FILIAL.CDREGIAO",
                                     "FROM FILIAL, REGIAO", "WHERE (CDFILIAL = :P_FILIAL OR :P_TODAS = 'T') AND",
                                     "FILIAL.CDREGIAO = REGIAO.CDREGIAO", "ORDER BY FILIAL.CDREGIAO"},
                                    {},
                                    {},
                                    {},
                                    {},
                                    {},
                                    {"P_FILIAL", "P_TODAS"},
                                    {{"CDFILIAL", 4, "Código", 8},
                                     {"NMFILIAL", 30, "Nome"},
                                     {"NMREGIAO", 30, "Região"},
                                     {"IDCNTRRESC", 1, "", 0, false},
                                     {"CDFILCENTCMP", 4, "", 0, false},
                                     {"CDREGIAO", 3, "Código", 0, false}}};

} // namespace

BranchField::BranchField(TMessages *messages, QWidget *parent, const Names &names)
    : TPanel(parent), m_messages(messages)
{
    build(names);
    m_query = QueryTable::make(branchQuery, this);
    m_query->setObjectName(names.query);
    m_source = new TDataSource(this, m_query);
    m_source->setObjectName(names.source);
    m_lookup->Associate = m_code;
    m_lookup->Title = QStringLiteral("Filial");
    m_lookup->DataSource = m_source;
    m_lookup->EmptyError = QStringLiteral("Não há filial cadastrada.");
    m_lookup->KeyField = QStringLiteral("CDFILIAL");
    // Esc in the code puts back the branch it named on entry: its name, region and the
    // region's code too.
    m_code->setEntryCompanions({m_name, m_region, m_regionCode});
    bindEvents();
    new RecentCompleter(m_code, QStringLiteral("Filial"), m_name);
}

void BranchField::build(const Names &names)
{
    setObjectName(names.panel);
    auto *pan = new QGridLayout(this);
    pan->setContentsMargins(4, 1, 4, 1);
    pan->setHorizontalSpacing(4);
    pan->setVerticalSpacing(2);
    m_label = boldLabel(names.label, QStringLiteral("Filial"), this);
    m_code = inputBox(new TMaskEdit(this), names.code);
    m_code->setEditMask(QStringLiteral(">aaaa;0; "));
    m_code->setMaxLength(4);
    m_code->setFixedWidth(48);
    m_lookup = new TBtnPesquisa(this);
    m_lookup->setObjectName(names.lookup);
    m_lookup->setToolTip(QStringLiteral("Pesquisar"));
    m_name = displayBox(names.name, this);
    m_region = displayBox(names.region, this);
    m_region->setFixedWidth(130);
    m_rule = new QFrame(this);
    m_rule->setObjectName(names.rule);
    m_rule->setFrameShape(QFrame::HLine);
    m_rule->setFrameShadow(QFrame::Sunken);
    pan->addWidget(m_label, 0, 0);
    pan->addWidget(m_code, 0, 1);
    pan->addWidget(m_lookup, 0, 2);
    pan->addWidget(m_name, 0, 3);
    pan->addWidget(m_region, 0, 4);
    pan->addWidget(m_rule, 1, 0, 1, 5);
    pan->setColumnStretch(3, 1);
    // Not shown: the report reads the region of the branch from it.
    m_regionCode = new QLineEdit(this);
    m_regionCode->setObjectName(names.regionCode);
    m_regionCode->setVisible(false);
    m_regionCode->setEnabled(false);
    m_regionCode->setFixedWidth(0);
}

void BranchField::bindEvents()
{
    connect(m_code, &TMaskEdit::Change, this, [this] {
        guarded([this] {
            m_name->clear();
            m_region->clear();
        });
    });
    OnExit(m_code, [this] { Vd_CdFilial(false); });
    m_lookup->OnBeforePesq = [this](QObject *, bool &) {
        m_query->Close();
        m_query->ParamByName(QStringLiteral("P_FILIAL")).setValue(QStringLiteral(" "));
        m_query->ParamByName(QStringLiteral("P_TODAS")).setValue(QStringLiteral("T"));
        m_query->Open();
    };
    m_lookup->OnAfterPesq = [this](QObject *) {
        m_code->setText(m_query->FieldByName(QStringLiteral("CDFILIAL")).AsString());
        showRow();
        m_regionCode->setText(m_query->FieldByName(QStringLiteral("CDREGIAO")).AsString());
    };
}

QString BranchField::branch() const
{
    return m_code->Text();
}

QString BranchField::regionCode() const
{
    return m_regionCode->text();
}

void BranchField::showRow()
{
    m_name->setText(m_query->FieldByName(QStringLiteral("NMFILIAL")).AsString());
    m_region->setText(m_query->FieldByName(QStringLiteral("NMREGIAO")).AsString());
}

void BranchField::Vd_CdFilial(bool boObrigatorio)
{
    m_code->setText(Consiste::Ajusta(m_code->Text(), 4));
    m_name->clear();
    const bool vazio = Consiste::EmptyString(m_code->Text());
    try {
        if (boObrigatorio && vazio)
            Consiste::MensErro(m_messages->Msg(QStringLiteral("FILI_DEVE")), true);
        if (vazio)
            return;

        m_query->Close();
        m_query->ParamByName(QStringLiteral("P_FILIAL")).setValue(m_code->Text());
        m_query->ParamByName(QStringLiteral("P_TODAS")).setValue(QString(QLatin1String("")));
        m_query->Open();

        showRow();
        m_regionCode->setText(m_query->FieldByName(QStringLiteral("CDREGIAO")).AsString());

        if (m_query->IsEmpty())
            Consiste::MensErro(m_messages->Msg(QStringLiteral("FILI_NAO_CAD")), true);
        if (m_query->FieldByName(QStringLiteral("IDCNTRRESC")).AsString() == QLatin1String("S"))
            Consiste::MensErro(m_messages->Msg(QStringLiteral("FILI_RESC")), true);

        const QString central = m_query->FieldByName(QStringLiteral("CDFILCENTCMP")).AsString();
        const QString controladora = Consiste::EmptyString(central) ? m_code->Text() : central;
        if (m_checkCentre && controladora != Zelmora::FiliProc() && Geral::ModuloAtiv() == 34)
            Consiste::MensErro(m_messages->Msg(QStringLiteral("FiliNCentCmp")), true);
    } catch (...) {
        if (m_code->isEnabled())
            m_code->setFocus();
        throw;
    }
}

void BranchField::fromSession()
{
    m_query->Close();
    m_query->ParamByName(QStringLiteral("P_FILIAL")).setValue(Zelmora::FiliProc());
    m_query->ParamByName(QStringLiteral("P_TODAS")).setValue(QString(QLatin1String("")));
    m_query->Open();

    m_code->setText(Zelmora::FiliProc());
    showRow();

    const bool free = !Zelmora::ModuFili();
    m_code->setEnabled(free);
    m_lookup->setEnabled(free);
    m_label->setEnabled(free);
}
