#include "TfrmListaPrecRel.h"
#include "Cli_Lpr07731.h"

#include "Consiste.h"
#include "Cp1252.h"
#include "ExceptionGuard.h"
#include "ModuleRegistry.h"
#include "Showavi.h"
#include "TADOIBQuery.h"
#include "TApplication.h"
#include "TMessages.h"
#include "Zelmora.h"
#include "controls/FocusTracker.h"
#include "controls/TBtnPesquisa.h"
#include "controls/TControls.h"
#include "controls/TDateEditPlus.h"
#include "controls/TMaskEdit.h"
#include "controls/TSpinEdit.h"
#include "net/TClientDataSet.h"
#include "net/TNetConnection.h"
#include "report/TReportDesignerDialog.h"

#include <QComboBox>
#include <QFile>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QVBoxLayout>

namespace {

const QColor clInfoBk(255, 255, 225);

QFont boldOf(const QWidget *w)
{
    QFont f = w->font();
    f.setBold(true);
    return f;
}

QLabel *boldLabel(const QString &name, const QString &caption, QWidget *parent)
{
    auto *l = new QLabel(caption, parent);
    l->setObjectName(name);
    l->setFont(boldOf(l));
    return l;
}

// A box the person types into.
template <class W> W *inputBox(W *w, const QString &name)
{
    w->setObjectName(name);
    QPalette p = w->palette();
    p.setColor(QPalette::Base, clInfoBk);
    w->setPalette(p);
    return w;
}

// A box that only shows a looked-up text.
QLineEdit *displayBox(const QString &name, QWidget *parent)
{
    auto *e = new QLineEdit(parent);
    e->setObjectName(name);
    e->setEnabled(false);
    e->setFocusPolicy(Qt::NoFocus);
    QPalette p = e->palette();
    p.setColor(QPalette::Disabled, QPalette::Base, p.color(QPalette::Button));
    p.setColor(QPalette::Disabled, QPalette::Text, p.color(QPalette::Active, QPalette::Text));
    e->setPalette(p);
    return e;
}

QGroupBox *group(const QString &name, const QString &caption, QWidget *parent)
{
    auto *g = new QGroupBox(caption, parent);
    g->setObjectName(name);
    if (!caption.isEmpty()) {
        g->setFont(boldOf(g));
    }
    return g;
}

// Group boxes are bold for their caption only: their children keep the normal font.
void normalFont(QWidget *w, QFont font)
{
    font.setBold(false);
    for (QWidget *child : w->findChildren<QWidget *>(QString(), Qt::FindDirectChildrenOnly))
        if (!qobject_cast<QLabel *>(child))
            child->setFont(font);
}

TADOIBQuery *query(const QString &name, QObject *parent)
{
    auto *q = new TADOIBQuery(parent);
    q->setObjectName(name);
    return q;
}

} // namespace

TfrmListaPrecRel::TfrmListaPrecRel(QWidget *parent) : TfrmDadosGerRel(parent)
{
    setObjectName(QStringLiteral("frmListaPrecRel"));
    setWindowTitle(QStringLiteral("Emissão da Lista de Preços"));
    setProperty("helpFile", QStringLiteral("LprHelp.hlp"));
    setProperty("helpContext", 10407731);
    lblCodTela->setText(QStringLiteral("LPR07731"));
    lblCodRel->setText(QStringLiteral("LPR077"));

    buildControls();
    buildQueries();
    loadMessages();
    bindHandlers();
    ofereceRecentes();
    setClientSize(491, 383);
}

TfrmListaPrecRel::~TfrmListaPrecRel() = default;

void TfrmListaPrecRel::loadMessages()
{
    // A localized resource module, when the module found one, takes precedence.
    const ModuleInfo *info = ModuleRegistry::find(QStringLiteral("Lpr07731"));
    QString file = QStringLiteral(":/Lpr07731/messages.txt");
    if (info && !info->resourceModule.isEmpty() && QFile::exists(QStringLiteral(":/Lpr07731_loc/messages.txt")))
        file = QStringLiteral(":/Lpr07731_loc/messages.txt");
    QFile f(file);
    QStringList lines;
    if (f.open(QIODevice::ReadOnly))
        for (const QString &line : Cp1252::toUnicode(f.readAll()).split(QLatin1Char('\n')))
            if (!line.trimmed().isEmpty())
                lines << QString(line).remove(QLatin1Char('\r'));
    msgPadrao->setMessages(lines);
}

void TfrmListaPrecRel::buildControls()
{
    const QFont plain = font();
    auto *area = new QVBoxLayout(grbDadosRel);
    area->setContentsMargins(1, 1, 1, 1);
    area->setSpacing(3);

    // Branch panel.
    PanFilial = new TPanel(grbDadosRel);
    PanFilial->setObjectName(QStringLiteral("PanFilial"));
    auto *pan = new QGridLayout(PanFilial);
    pan->setContentsMargins(4, 1, 4, 1);
    pan->setHorizontalSpacing(4);
    pan->setVerticalSpacing(2);
    lblFilial = boldLabel(QStringLiteral("lblFilial"), QStringLiteral("Filial"), PanFilial);
    medCdFilial = inputBox(new TMaskEdit(PanFilial), QStringLiteral("medCdFilial"));
    medCdFilial->setEditMask(QStringLiteral(">aaaa;0; "));
    medCdFilial->setMaxLength(4);
    medCdFilial->setFixedWidth(48);
    sbtFilial = new TBtnPesquisa(PanFilial);
    sbtFilial->setObjectName(QStringLiteral("sbtFilial"));
    sbtFilial->setToolTip(QStringLiteral("Pesquisar"));
    edtNmFilial = displayBox(QStringLiteral("edtNmFilial"), PanFilial);
    edtNmRegiao = displayBox(QStringLiteral("edtNmRegiao"), PanFilial);
    edtNmRegiao->setFixedWidth(130);
    Bevel1 = new QFrame(PanFilial);
    Bevel1->setObjectName(QStringLiteral("Bevel1"));
    Bevel1->setFrameShape(QFrame::HLine);
    Bevel1->setFrameShadow(QFrame::Sunken);
    pan->addWidget(lblFilial, 0, 0);
    pan->addWidget(medCdFilial, 0, 1);
    pan->addWidget(sbtFilial, 0, 2);
    pan->addWidget(edtNmFilial, 0, 3);
    pan->addWidget(edtNmRegiao, 0, 4);
    pan->addWidget(Bevel1, 1, 0, 1, 5);
    pan->setColumnStretch(3, 1);
    area->addWidget(PanFilial);

    // Product group.
    GroupBox1 = group(QStringLiteral("GroupBox1"), QStringLiteral("Produto"), grbDadosRel);
    auto *prod = new QGridLayout(GroupBox1);
    prod->setContentsMargins(6, 2, 6, 2);
    prod->setHorizontalSpacing(4);
    prod->setVerticalSpacing(2);
    lblProdutoInc = boldLabel(QStringLiteral("lblProdutoInc"), QStringLiteral("Inicial"), GroupBox1);
    medCdProdIni = inputBox(new TMaskEdit(GroupBox1), QStringLiteral("medCdProdIni"));
    sbtProdIni = new TBtnPesquisa(GroupBox1);
    sbtProdIni->setObjectName(QStringLiteral("sbtProdIni"));
    edtNmProdIni = displayBox(QStringLiteral("edtNmProdIni"), GroupBox1);
    lblProdutoFin = boldLabel(QStringLiteral("lblProdutoFin"), QStringLiteral("Final"), GroupBox1);
    medCdProdFin = inputBox(new TMaskEdit(GroupBox1), QStringLiteral("medCdProdFin"));
    sbtProdFin = new TBtnPesquisa(GroupBox1);
    sbtProdFin->setObjectName(QStringLiteral("sbtProdFin"));
    edtNmProdFin = displayBox(QStringLiteral("edtNmProdFin"), GroupBox1);
    for (TMaskEdit *e : {medCdProdIni, medCdProdFin})
        e->setFixedWidth(110);
    for (TBtnPesquisa *b : {sbtProdIni, sbtProdFin})
        b->setToolTip(QStringLiteral("Pesquisar"));
    Bevel2 = new QFrame(GroupBox1);
    Bevel2->setObjectName(QStringLiteral("Bevel2"));
    Bevel2->setFrameShape(QFrame::HLine);
    Bevel2->setFrameShadow(QFrame::Sunken);
    rbtTodos = new TRadioButton(QStringLiteral("Todos"), GroupBox1);
    rbtTodos->setObjectName(QStringLiteral("rbtTodos"));
    rbtTodos->setChecked(true);
    rbtCompFili = new TRadioButton(QStringLiteral("Somente Comprados na Filial"), GroupBox1);
    rbtCompFili->setObjectName(QStringLiteral("rbtCompFili"));
    prod->addWidget(lblProdutoInc, 0, 0);
    prod->addWidget(medCdProdIni, 0, 1);
    prod->addWidget(sbtProdIni, 0, 2);
    prod->addWidget(edtNmProdIni, 0, 3);
    prod->addWidget(lblProdutoFin, 1, 0);
    prod->addWidget(medCdProdFin, 1, 1);
    prod->addWidget(sbtProdFin, 1, 2);
    prod->addWidget(edtNmProdFin, 1, 3);
    prod->addWidget(Bevel2, 2, 0, 1, 4);
    auto *radios = new QHBoxLayout;
    radios->addWidget(rbtTodos);
    radios->addSpacing(16);
    radios->addWidget(rbtCompFili);
    radios->addStretch(1);
    prod->addLayout(radios, 3, 0, 1, 4);
    prod->setColumnStretch(3, 1);
    normalFont(GroupBox1, plain);
    area->addWidget(GroupBox1);

    // Buyer and supplier groups, side by side.
    auto *lists = new QHBoxLayout;
    lists->setSpacing(3);
    GroupBox2 = group(QStringLiteral("GroupBox2"), QStringLiteral("Comprador"), grbDadosRel);
    auto *compBox = new QVBoxLayout(GroupBox2);
    compBox->setContentsMargins(4, 0, 4, 2);
    compBox->setSpacing(0);
    auto *comp = new QHBoxLayout;
    comp->setSpacing(4);
    rbtTodosComp = new TRadioButton(QStringLiteral("Todos"), GroupBox2);
    rbtTodosComp->setObjectName(QStringLiteral("rbtTodosComp"));
    rbtTodosComp->setChecked(true);
    rbtListaComp = new TRadioButton(QStringLiteral("Lista"), GroupBox2);
    comp->setSpacing(2);
    rbtListaComp->setObjectName(QStringLiteral("rbtListaComp"));
    sbtComprador = new TButtonFlat(GroupBox2);
    sbtComprador->setObjectName(QStringLiteral("sbtComprador"));
    sbtComprador->setToolTip(QStringLiteral("Pesquisar"));
    sbtComprador->setEnabled(false);
    lblQtComp = new QLabel(GroupBox2);
    lblQtComp->setObjectName(QStringLiteral("lblQtComp"));
    comp->addWidget(rbtTodosComp);
    comp->addWidget(rbtListaComp);
    comp->addWidget(sbtComprador);
    comp->addStretch(1);
    compBox->addLayout(comp);
    compBox->addWidget(lblQtComp);
    normalFont(GroupBox2, plain);

    rdgFornecedor = group(QStringLiteral("rdgFornecedor"), QStringLiteral("Fornecedor"), grbDadosRel);
    auto *fornBox = new QVBoxLayout(rdgFornecedor);
    fornBox->setContentsMargins(4, 0, 4, 2);
    fornBox->setSpacing(0);
    auto *forn = new QHBoxLayout;
    forn->setSpacing(2);
    rbtTodosForn = new TRadioButton(QStringLiteral("Todos"), rdgFornecedor);
    rbtTodosForn->setObjectName(QStringLiteral("rbtTodosForn"));
    rbtTodosForn->setChecked(true);
    rbtListaForn = new TRadioButton(QStringLiteral("Lista"), rdgFornecedor);
    rbtListaForn->setObjectName(QStringLiteral("rbtListaForn"));
    sbtFornecedor = new TButtonFlat(rdgFornecedor);
    sbtFornecedor->setObjectName(QStringLiteral("sbtFornecedor"));
    sbtFornecedor->setToolTip(QStringLiteral("Pesquisar"));
    sbtFornecedor->setEnabled(false);
    chbFornecedor = new TCheckBox(QStringLiteral("Separar por Página"), rdgFornecedor);
    chbFornecedor->setObjectName(QStringLiteral("chbFornecedor"));
    lblQtForn = new QLabel(rdgFornecedor);
    lblQtForn->setObjectName(QStringLiteral("lblQtForn"));
    forn->addWidget(rbtTodosForn);
    forn->addWidget(rbtListaForn);
    forn->addWidget(sbtFornecedor);
    forn->addSpacing(2);
    normalFont(rdgFornecedor, plain);
    chbFornecedor->setFont(boldOf(chbFornecedor));
    // The counts are information, not captions.
    for (QLabel *count : {lblQtComp, lblQtForn}) {
        QFont font = plain;
        font.setBold(false);
        count->setFont(font);
    }
    forn->addWidget(chbFornecedor);
    forn->addStretch(1);
    fornBox->addLayout(forn);
    fornBox->addWidget(lblQtForn);
    lists->addWidget(GroupBox2, 0);
    lists->addWidget(rdgFornecedor, 1);
    area->addLayout(lists);

    // Validity group: "Semana" [ini] "a" [fin], [date ini] (day) "a" [date fin] (day).
    GroupBox3 = group(QStringLiteral("GroupBox3"), QStringLiteral("Validade"), grbDadosRel);
    auto *val = new QHBoxLayout(GroupBox3);
    val->setContentsMargins(6, 0, 6, 2);
    val->setSpacing(3);
    lblValFin = boldLabel(QStringLiteral("lblValFin"), QStringLiteral("Semana"), GroupBox3);
    speSemIni = inputBox(new TSpinEdit(GroupBox3), QStringLiteral("speSemIni"));
    Label1 = boldLabel(QStringLiteral("Label1"), QStringLiteral("a"), GroupBox3);
    speSemFin = inputBox(new TSpinEdit(GroupBox3), QStringLiteral("speSemFin"));
    for (TSpinEdit *s : {speSemIni, speSemFin}) {
        s->MinValue = 1;
        s->MaxValue = 53;
        s->setValue(1);
        s->setFixedWidth(40);
    }
    const QStringList dayNames = {QStringLiteral("Domingo"), QStringLiteral("Segunda"), QStringLiteral("Terça"),
                                  QStringLiteral("Quarta"), QStringLiteral("Quinta"), QStringLiteral("Sexta"),
                                  QStringLiteral("Sábado")};
    depDataIni = inputBox(new TDateEditPlus(GroupBox3), QStringLiteral("depDataIni"));
    edtDataIni = displayBox(QStringLiteral("edtDataIni"), GroupBox3);
    Label2 = boldLabel(QStringLiteral("Label2"), QStringLiteral("a"), GroupBox3);
    depDataFin = inputBox(new TDateEditPlus(GroupBox3), QStringLiteral("depDataFin"));
    edtDataFin = displayBox(QStringLiteral("edtDataFin"), GroupBox3);
    for (TDateEditPlus *d : {depDataIni, depDataFin}) {
        d->NomeSemana = dayNames;
        d->SaveTime = false;
        d->ValidDateColor = Qt::blue;
        d->setFixedWidth(104);
    }
    for (QLineEdit *e : {edtDataIni, edtDataFin})
        e->setFixedWidth(34);
    val->addWidget(lblValFin);
    val->addWidget(speSemIni);
    val->addWidget(Label1);
    val->addWidget(speSemFin);
    val->addSpacing(4);
    val->addWidget(depDataIni);
    val->addWidget(edtDataIni);
    val->addWidget(Label2);
    val->addWidget(depDataFin);
    val->addWidget(edtDataFin);
    val->addStretch(1);
    normalFont(GroupBox3, plain);
    area->addWidget(GroupBox3);

    // Options.
    GroupBox4 = group(QStringLiteral("GroupBox4"), QString(), grbDadosRel);
    auto *opt = new QVBoxLayout(GroupBox4);
    opt->setContentsMargins(6, 2, 6, 2);
    opt->setSpacing(1);
    chkVariPreco = new TCheckBox(QStringLiteral("Utilizar Indicador de Variação de Preço do Produto"), GroupBox4);
    chkVariPreco->setObjectName(QStringLiteral("chkVariPreco"));
    chkOrdPrPI = new TCheckBox(QStringLiteral("Ordenar pelo Preço Econômico com PI/DSV"), GroupBox4);
    chkOrdPrPI->setObjectName(QStringLiteral("chkOrdPrPI"));
    opt->addWidget(chkVariPreco);
    opt->addWidget(chkOrdPrPI);
    area->addWidget(GroupBox4);
    area->addStretch(1);

    edtCdRegiao = new QLineEdit(grbDadosRel);
    edtCdRegiao->setObjectName(QStringLiteral("edtCdRegiao"));
    edtCdRegiao->setVisible(false);
    edtCdRegiao->setEnabled(false);
    edtCdRegiao->setFixedWidth(0);

    // Tab order: report list, branch, products, buyers, suppliers, validity, options.
    QWidget *order[] = {cbbReportNames, medCdFilial, medCdProdIni, medCdProdFin, rbtTodos, rbtCompFili,
                        rbtTodosComp, rbtListaComp, rbtTodosForn, rbtListaForn, chbFornecedor,
                        speSemIni, speSemFin, depDataIni, depDataFin, chkVariPreco, chkOrdPrPI, edtCdRegiao};
    for (size_t i = 1; i < std::size(order); ++i)
        setTabOrder(order[i - 1], order[i]);
}

void TfrmListaPrecRel::buildQueries()
{
    qryFilial = query(QStringLiteral("qryFilial"), this);
    qryFilial->SQL = QStringList{
        QStringLiteral("SELECT CDFILIAL, NMFILIAL, NMREGIAO, IDCNTRRESC, CDFILCENTCMP, FILIAL.CDREGIAO"),
        QStringLiteral("FROM FILIAL, REGIAO"),
        QStringLiteral("WHERE (CDFILIAL = :P_CDFILIAL OR :P_TCDFILIAL = 'T') AND"),
        QStringLiteral("FILIAL.CDREGIAO = REGIAO.CDREGIAO"),
        QStringLiteral("ORDER BY FILIAL.CDREGIAO")};
    qryFilial->DeclareParam(QStringLiteral("P_CDFILIAL"), TFieldType::ftString);
    qryFilial->DeclareParam(QStringLiteral("P_TCDFILIAL"), TFieldType::ftString);
    qryFilial->AddField(QStringLiteral("CDFILIAL"), 4, QStringLiteral("Código"), 8);
    qryFilial->AddField(QStringLiteral("NMFILIAL"), 30, QStringLiteral("Nome"));
    qryFilial->AddField(QStringLiteral("NMREGIAO"), 30, QStringLiteral("Região"));
    qryFilial->AddField(QStringLiteral("IDCNTRRESC"), 1, QString(), 0, false);
    qryFilial->AddField(QStringLiteral("CDFILCENTCMP"), 4, QString(), 0, false);
    qryFilial->AddField(QStringLiteral("CDREGIAO"), 3, QStringLiteral("Código"), 0, false);
    __dtsFilial = new TDataSource(this, qryFilial);
    __dtsFilial->setObjectName(QStringLiteral("__dtsFilial"));

    const QString productColumns = QStringLiteral("CDPRODUTO, CDARVPROD, NMPRODUTO");
    auto productFields = [](TADOIBQuery *q) {
        q->AddField(QStringLiteral("CDPRODUTO"), 10, QStringLiteral("Código"), 15, false);
        q->AddField(QStringLiteral("CDARVPROD"), 20, QStringLiteral("Código"));
        q->AddField(QStringLiteral("NMPRODUTO"), 50, QStringLiteral("Nome"));
    };
    qryProduto = query(QStringLiteral("qryProduto"), this);
    // With the folded name the schema keeps: the lookup finds a part of the name through it.
    qryProduto->SQL = QStringList{QStringLiteral("SELECT ") + productColumns + QStringLiteral(", NMBUSCA"),
                                  QStringLiteral("FROM PRODUTO"), QStringLiteral("ORDER BY CDARVPROD")};
    productFields(qryProduto);
    qryProduto->AddField(QStringLiteral("NMBUSCA"), 50, QString(), 0, false);
    TField &productName = qryProduto->FieldByName(QStringLiteral("NMPRODUTO"));
    productName.SearchField = QStringLiteral("NMBUSCA");
    productName.SearchTable = QStringLiteral("PRODUTO_BUSCA");
    productName.SearchWords = QStringLiteral("PRODUTO_PALAVRA");
    productName.SearchVocabulary = QStringLiteral("PRODUTO_VOCABULO");
    __dtsProduto = new TDataSource(this, qryProduto);
    __dtsProduto->setObjectName(QStringLiteral("__dtsProduto"));

    qryPrimProd = query(QStringLiteral("qryPrimProd"), this);
    qryPrimProd->SQL = QStringList{QStringLiteral("SELECT ") + productColumns, QStringLiteral("FROM PRODUTO"),
                                   QStringLiteral("WHERE CDARVPROD = (SELECT MIN(CDARVPROD) FROM PRODUTO)")};
    productFields(qryPrimProd);
    qryUltiProd = query(QStringLiteral("qryUltiProd"), this);
    qryUltiProd->SQL = QStringList{QStringLiteral("SELECT ") + productColumns, QStringLiteral("FROM PRODUTO"),
                                   QStringLiteral("WHERE CDARVPROD = (SELECT MAX(CDARVPROD) FROM PRODUTO)")};
    productFields(qryUltiProd);
    qryVdProduto = query(QStringLiteral("qryVdProduto"), this);
    qryVdProduto->SQL = QStringList{QStringLiteral("SELECT P.CDPRODUTO, P.CDARVPROD, P.NMPRODUTO"),
                                    QStringLiteral("FROM PRODUTO P"),
                                    QStringLiteral("WHERE (P.CDARVPROD = :P_CDPRODUTO)")};
    qryVdProduto->DeclareParam(QStringLiteral("P_CDPRODUTO"), TFieldType::ftString);
    productFields(qryVdProduto);

    qryComprador = query(QStringLiteral("qryComprador"), this);
    qryComprador->SQL = QStringList{
        QStringLiteral("SELECT"), QStringLiteral("  COM.CDOPERADOR,"), QStringLiteral("  OPE.NMOPERADOR"),
        QStringLiteral("FROM"), QStringLiteral("  COMPRADOR COM,"), QStringLiteral("  OPERADOR OPE"),
        QStringLiteral("WHERE"), QStringLiteral("  (COM.CDOPERADOR = OPE.CDOPERADOR)"),
        QStringLiteral("ORDER BY"), QStringLiteral("   COM.CDOPERADOR"), QStringLiteral("  ")};
    qryComprador->AddField(QStringLiteral("CDOPERADOR"), 12, QStringLiteral("Código"), 14);
    qryComprador->AddField(QStringLiteral("NMOPERADOR"), 40, QStringLiteral("Nome"));
    __dtsComprador = new TDataSource(this, qryComprador);
    __dtsComprador->setObjectName(QStringLiteral("__dtsComprador"));

    qryRegiao = query(QStringLiteral("qryRegiao"), this);
    qryRegiao->SQL = QStringList{QStringLiteral("SELECT"), QStringLiteral("   CDREGIAO, NMREGIAO"),
                                 QStringLiteral("FROM"), QStringLiteral("   REGIAO"),
                                 QStringLiteral("ORDER BY"), QStringLiteral("   CDREGIAO")};
    qryRegiao->AddField(QStringLiteral("CDREGIAO"), 3, QStringLiteral("Código"));
    qryRegiao->AddField(QStringLiteral("NMREGIAO"), 30, QStringLiteral("Nome"));
    dtsRegiao = new TDataSource(this, qryRegiao);
    dtsRegiao->setObjectName(QStringLiteral("dtsRegiao"));

    qryCentComp = query(QStringLiteral("qryCentComp"), this);
    qryCentComp->SQL = QStringList{
        QStringLiteral("SELECT"),
        QStringLiteral("  CAST(NVLSTR(FILIAL.CDFILCENTCMP, FILIAL.CDFILIAL) AS VARCHAR(4)) AS CDFILCENTCMP,"),
        QStringLiteral("  FILCENT.NMFILIAL AS NMFILIAL"), QStringLiteral("FROM "), QStringLiteral("  FILIAL FILCENT,"),
        QStringLiteral("  FILIAL "), QStringLiteral("WHERE"), QStringLiteral("  FILIAL.CDFILIAL = :P_CDFILIAL AND"),
        QStringLiteral("  NVLSTR(FILIAL.CDFILCENTCMP, FILIAL.CDFILIAL) = FILCENT.CDFILIAL")};
    qryCentComp->SQL_IB = qryCentComp->SQL;
    qryCentComp->SQL_IB << QString();
    qryCentComp->SQL_ORACLE = QStringList{
        QStringLiteral("SELECT"), QStringLiteral("  NVL(FILIAL.CDFILCENTCMP, FILIAL.CDFILIAL) AS CDFILCENTCMP,"),
        QStringLiteral("  FILCENT.NMFILIAL AS NMFILIAL"), QStringLiteral("FROM"), QStringLiteral("  FILIAL FILCENT,"),
        QStringLiteral("  FILIAL"), QStringLiteral("WHERE"), QStringLiteral("  FILIAL.CDFILIAL = :P_CDFILIAL AND"),
        QStringLiteral("  NVL(FILIAL.CDFILCENTCMP, FILIAL.CDFILIAL) = FILCENT.CDFILIAL")};
    qryCentComp->SQL_MSSQL = QStringList{
        QStringLiteral("SELECT"), QStringLiteral("  ISNULL(FILIAL.CDFILCENTCMP, FILIAL.CDFILIAL) AS CDFILCENTCMP,"),
        QStringLiteral("  FILCENT.NMFILIAL AS NMFILIAL"), QStringLiteral("FROM"), QStringLiteral("  FILIAL FILCENT,"),
        QStringLiteral("  FILIAL"), QStringLiteral("WHERE"), QStringLiteral("  FILIAL.CDFILIAL = :P_CDFILIAL AND"),
        QStringLiteral("  ISNULL(FILIAL.CDFILCENTCMP, FILIAL.CDFILIAL) = FILCENT.CDFILIAL"), QString(),
        QStringLiteral(" ")};
    // The databases we run: COALESCE in place of the InterBase function.
    qryCentComp->SQL_SQLITE = QStringList{
        QStringLiteral("SELECT"),
        QStringLiteral("  CAST(COALESCE(FILIAL.CDFILCENTCMP, FILIAL.CDFILIAL) AS VARCHAR(4)) AS CDFILCENTCMP,"),
        QStringLiteral("  FILCENT.NMFILIAL AS NMFILIAL"), QStringLiteral("FROM"), QStringLiteral("  FILIAL FILCENT,"),
        QStringLiteral("  FILIAL"), QStringLiteral("WHERE"), QStringLiteral("  FILIAL.CDFILIAL = :P_CDFILIAL AND"),
        QStringLiteral("  COALESCE(FILIAL.CDFILCENTCMP, FILIAL.CDFILIAL) = FILCENT.CDFILIAL")};
    qryCentComp->SQL_PG = qryCentComp->SQL_SQLITE;
    qryCentComp->DeclareParam(QStringLiteral("P_CDFILIAL"), TFieldType::ftString);
    qryCentComp->AddField(QStringLiteral("CDFILCENTCMP"), 4, QStringLiteral("Código"), 8);

    cdsFornecedor = new TClientDataSet(this);
    cdsFornecedor->setObjectName(QStringLiteral("cdsFornecedor"));
    cdsFornecedor->AddField(QStringLiteral("IDMARCADO"), 1, QStringLiteral(" "), 2);
    // The code is shown, first: buyers know their suppliers by it.
    cdsFornecedor->AddField(QStringLiteral("CDFORNECED"), 21, QStringLiteral("Código"), 8);
    cdsFornecedor->AddField(QStringLiteral("IDTPIJURFORN"), 1, QStringLiteral("Tipo        "));
    cdsFornecedor->AddField(QStringLiteral("NRINSJURFORN"), 20, QStringLiteral("Inscrição"));
    cdsFornecedor->AddField(QStringLiteral("NMFANTFORN"), 40, QStringLiteral("Nome Fantasia"));
    cdsFornecedor->AddField(QStringLiteral("NMRAZSOCFORN"), 40, QStringLiteral("Razão Social"));
    // In the order people read names, whatever order the server sent.
    cdsFornecedor->IndexFieldNames = QStringLiteral("NMFANTFORN;CDFORNECED");
    __dtsFornecedor = new TDataSource(this, cdsFornecedor);
    __dtsFornecedor->setObjectName(QStringLiteral("__dtsFornecedor"));

    netConsListPreco = new TNetConnection(this);
    netConsListPreco->setObjectName(QStringLiteral("netConsListPreco"));
    netConsListPreco->setServerName(QStringLiteral("Lpr07700.rdmConsListaPreco"));
    netConsListPreco->setThrowException(false);

    // The lookup buttons.
    sbtFilial->Associate = medCdFilial;
    sbtFilial->Title = QStringLiteral("Filial");
    sbtFilial->DataSource = __dtsFilial;
    sbtFilial->EmptyError = QStringLiteral("Não há filial cadastrada.");
    sbtFilial->KeyField = QStringLiteral("CDFILIAL");
    for (TBtnPesquisa *b : {sbtProdIni, sbtProdFin}) {
        b->Title = QStringLiteral("Produto");
        b->DataSource = __dtsProduto;
        b->EmptyError = QStringLiteral("Não há produto cadastrado.");
        b->PesqChave = true;
        b->KeyField = QStringLiteral("CDARVPROD");
    }
    sbtProdIni->Associate = medCdProdIni;
    sbtProdFin->Associate = medCdProdFin;
}

void TfrmListaPrecRel::bindHandlers()
{
    auto on = [this](auto *sender, auto signal, auto handler) {
        connect(sender, signal, this, [this, sender, handler] { guarded([&] { (this->*handler)(sender); }); });
    };
    on(medCdFilial, &TMaskEdit::Change, &TfrmListaPrecRel::medCdFilialChange);
    on(medCdProdIni, &TMaskEdit::Change, &TfrmListaPrecRel::medCdProdIniChange);
    on(medCdProdFin, &TMaskEdit::Change, &TfrmListaPrecRel::medCdProdFinChange);
    on(speSemIni, &TSpinEdit::Change, &TfrmListaPrecRel::speSemIniChange);
    on(speSemFin, &TSpinEdit::Change, &TfrmListaPrecRel::speSemFinChange);
    on(depDataIni, &TDateEditPlus::DateChange, &TfrmListaPrecRel::depDataIniDateChange);
    on(depDataFin, &TDateEditPlus::DateChange, &TfrmListaPrecRel::depDataFinDateChange);
    on(rbtTodosComp, &TRadioButton::Click, &TfrmListaPrecRel::rbtTodosCompClick);
    on(rbtListaComp, &TRadioButton::Click, &TfrmListaPrecRel::rbtListaCompClick);
    on(rbtTodosForn, &TRadioButton::Click, &TfrmListaPrecRel::rbtTodosFornClick);
    on(rbtListaForn, &TRadioButton::Click, &TfrmListaPrecRel::rbtListaFornClick);
    on(sbtComprador, &TButtonFlat::clicked, &TfrmListaPrecRel::sbtCompradorClick);
    on(sbtFornecedor, &TButtonFlat::clicked, &TfrmListaPrecRel::sbtFornecedorClick);
    on(chbFornecedor, &TCheckBox::Click, &TfrmListaPrecRel::chbFornecedorClick);

    OnExit(medCdFilial, [this] { medCdFilialExit(medCdFilial); });
    OnExit(PanFilial, [this] { PanFilialExit(PanFilial); });
    OnExit(medCdProdIni, [this] { medCdProdIniExit(medCdProdIni); });
    OnExit(medCdProdFin, [this] { medCdProdFinExit(medCdProdFin); });
    OnExit(depDataIni, [this] { depDataIniExit(depDataIni); });
    OnExit(depDataFin, [this] { depDataFinExit(depDataFin); });

    rbtListaComp->OnKeyDown = [this](QObject *s, quint16 &key, Qt::KeyboardModifiers shift) {
        rbtListaCompKeyDown(s, key, shift);
    };
    rbtListaForn->OnKeyDown = [this](QObject *s, quint16 &key, Qt::KeyboardModifiers shift) {
        rbtListaFornKeyDown(s, key, shift);
    };
    sbtFilial->OnBeforePesq = [this](QObject *s, bool &flag) { sbtFilialBeforePesq(s, flag); };
    sbtFilial->OnAfterPesq = [this](QObject *s) { sbtFilialAfterPesq(s); };
    sbtProdIni->OnAfterPesq = [this](QObject *s) { sbtProdIniAfterPesq(s); };
    sbtProdFin->OnAfterPesq = [this](QObject *s) { sbtProdFinAfterPesq(s); };

    netConsListPreco->BeforeConnect = [this](QObject *s) { netConsListPrecoBeforeConnect(s); };
    cdsFornecedor->FieldByName(QStringLiteral("IDTPIJURFORN")).OnGetText =
        [this](TField &f, QString &text, bool display) { cdsFornecedorIDTPIJURFORNGetText(f, text, display); };
    cdsFornecedor->FieldByName(QStringLiteral("NRINSJURFORN")).OnGetText =
        [this](TField &f, QString &text, bool display) { cdsFornecedorNRINSJURFORNGetText(f, text, display); };

    rpddPadrao->BeforeGetQueryParams = [this](TParams &params, bool &flag) {
        rpddPadraoBeforeGetQueryParams(params, flag);
    };
}

void TfrmListaPrecRel::FormCreate(QObject *Sender)
{
    TfrmDadosGerRel::FormCreate(Sender);
    boPrimAtiv = true;
    Showavi::ActiveShowAvi(Application().MainForm(), 0);
    if (!netConsListPreco->Connected()) {
        netConsListPreco->setConnected(true);
        linkJustFailed = !netConsListPreco->Connected();
    }
    Showavi::DeactiveShowAvi();
    chkOrdPrPI->setVisible(Geral::ModuloAtiv() == 34);
}

void TfrmListaPrecRel::FormActivate(QObject *Sender)
{
    TfrmDadosGerRel::FormActivate(Sender);
    repaint();
    if (!boPrimAtiv)
        return;
    primeiraAtivacao();
}

void TfrmListaPrecRel::primeiraAtivacao()
{
    carregaFornecedores();

    qryPrimProd->Open();
    qryUltiProd->Open();

    medCdProdIni->setEditMask(Zelmora::DBPict(TPictType::ptProduto));
    medCdProdFin->setEditMask(Zelmora::DBPict(TPictType::ptProduto));

    medCdProdIni->setText(qryPrimProd->FieldByName(QStringLiteral("CDARVPROD")).AsString());
    medCdProdFin->setText(qryUltiProd->FieldByName(QStringLiteral("CDARVPROD")).AsString());
    edtNmProdIni->setText(qryPrimProd->FieldByName(QStringLiteral("NMPRODUTO")).AsString());
    edtNmProdFin->setText(qryUltiProd->FieldByName(QStringLiteral("NMPRODUTO")).AsString());

    qryProduto->FieldByName(QStringLiteral("CDARVPROD")).EditMask = Zelmora::DBPict(TPictType::ptProduto);

    stListaForn = QStringLiteral("T");
    stListaComp = QStringLiteral("T");
    stListaRegiao = QStringLiteral("T");
    chSepPagina = QLatin1Char('F');

    qryFilial->Close();
    qryFilial->ParamByName(QStringLiteral("P_CDFILIAL")).setValue(Zelmora::FiliProc());
    qryFilial->ParamByName(QStringLiteral("P_TCDFILIAL")).setValue(QString(QLatin1String("")));
    qryFilial->Open();

    medCdFilial->setText(Zelmora::FiliProc());
    edtNmFilial->setText(qryFilial->FieldByName(QStringLiteral("NMFILIAL")).AsString());
    edtNmRegiao->setText(qryFilial->FieldByName(QStringLiteral("NMREGIAO")).AsString());

    medCdFilial->setEnabled(!Zelmora::ModuFili());
    sbtFilial->setEnabled(!Zelmora::ModuFili());
    lblFilial->setEnabled(!Zelmora::ModuFili());

    if (Geral::ModuloAtiv() == 4) {
        depDataIni->SetDate(Zelmora::DataProc(medCdFilial->Text()));
        depDataFin->SetDate(Zelmora::DataProc(medCdFilial->Text()));
    }

    speSemIni->setValue(Consiste::NumeroSemana(depDataIni->GetDate()));
    speSemFin->setValue(Consiste::NumeroSemana(depDataFin->GetDate()));

    const QLocale locale;
    edtDataIni->setText(locale.toString(depDataIni->GetDate(), QStringLiteral("dddd")).left(3));
    edtDataFin->setText(locale.toString(depDataFin->GetDate(), QStringLiteral("dddd")).left(3));

    depDataIniDateChange(depDataIni);
    depDataFinDateChange(depDataFin);

    if (medCdFilial->isEnabled()) {
        medCdFilial->SelectAll();
        medCdFilial->setFocus();
    }

    boPrimAtiv = false;
    mostraSelecao();
}

void TfrmListaPrecRel::FormClose(QObject *Sender, TCloseAction &Action)
{
    if (netConsListPreco->Connected())
        netConsListPreco->setConnected(false);
    boIdCriado = false;
    TfrmDadosGerRel::FormClose(Sender, Action);
}
