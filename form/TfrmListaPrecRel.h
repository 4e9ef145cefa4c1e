#pragma once

#include "form/TfrmDadosGerRel.h"
#include "PriceListChoices.h"
#include "lpr_export.h"

#include <QString>
#include <vector>

class QGroupBox;
class QLabel;
class QLineEdit;
class TADOIBQuery;
class TBtnPesquisa;
class TButtonFlat;
class TCheckBox;
class TClientDataSet;
class TDataSource;
class TDateEditPlus;
class TField;
class TMaskEdit;
class TNetConnection;
class TPanel;
class TParams;
class TRadioButton;
class TSpinEdit;

// The price-list parameter form "Emissão da Lista de Preços" (screen LPR07731, report
// LPR077): branch, product range, buyers and quoted suppliers, validity period and options,
// validated before every output and handed to the report as its query parameters.
class LPR_EXPORT TfrmListaPrecRel : public TfrmDadosGerRel
{
    Q_OBJECT
public:
    explicit TfrmListaPrecRel(QWidget *parent = nullptr);
    ~TfrmListaPrecRel() override;

    // The choices as they stand now. Controls are reached by their object names (the names
    // the display-less run's --set uses); widgets, queries and state stay inside the form.
    PriceListChoices choices() const;

    // Life cycle.
    void FormCreate(QObject *Sender) override;
    void FormActivate(QObject *Sender) override;
    void FormClose(QObject *Sender, TCloseAction &Action) override;


    // Parameter sets.
    QList<Choice> parameterChoices() const override;
    QString choiceValue(const QString &control) const override;
    QStringList periodControls() const override;
    QDate periodToday() const override;
    QStringList saveFileParts() const override;

protected:
    // Before every output command the whole form is validated (the edit command asks less).
    bool outputAllowed(OutputCommand command) override;
    // The first activation: fetches the supplier list, then sets the defaults (whole product
    // range, lists on "Todos", the session's branch, in module 4 the processing date on both
    // dates, the week boxes following them).
    void firstActivation() override;
    QString firstActivationNotice(const QString &filled) const override;

private:
    // Branch panel.
    TPanel *PanFilial;
    QFrame *Bevel1;
    QLabel *lblFilial;
    TMaskEdit *medCdFilial;
    TBtnPesquisa *sbtFilial;
    QLineEdit *edtNmFilial;
    QLineEdit *edtNmRegiao;

    // Product group.
    QGroupBox *GroupBox1;
    QLabel *lblProdutoInc;
    TMaskEdit *medCdProdIni;
    TBtnPesquisa *sbtProdIni;
    QLineEdit *edtNmProdIni;
    QLabel *lblProdutoFin;
    TMaskEdit *medCdProdFin;
    TBtnPesquisa *sbtProdFin;
    QLineEdit *edtNmProdFin;
    QFrame *Bevel2;
    TRadioButton *rbtTodos;
    TRadioButton *rbtCompFili;

    // Buyer group.
    QGroupBox *GroupBox2;
    TRadioButton *rbtTodosComp;
    TRadioButton *rbtListaComp;
    TButtonFlat *sbtComprador;
    QLabel *lblQtComp; // how many buyers the list holds

    // Supplier group.
    QGroupBox *rdgFornecedor;
    TRadioButton *rbtTodosForn;
    TRadioButton *rbtListaForn;
    TButtonFlat *sbtFornecedor;
    QLabel *lblQtForn; // how many suppliers the list holds
    TCheckBox *chbFornecedor;

    // Validity group.
    QGroupBox *GroupBox3;
    QLabel *lblValFin;
    TSpinEdit *speSemIni;
    QLabel *Label1;
    TSpinEdit *speSemFin;
    TDateEditPlus *depDataIni;
    QLineEdit *edtDataIni;
    QLabel *Label2;
    TDateEditPlus *depDataFin;
    QLineEdit *edtDataFin;
    QLabel *lblAvisoValidade = nullptr; // says, without stopping anyone, that the final date is before the initial

    // Options group.
    QGroupBox *GroupBox4;
    TCheckBox *chkVariPreco;
    TCheckBox *chkOrdPrPI;

    QLineEdit *edtCdRegiao;

    // Data access. The data sources keep the object names "__dtsFilial" and the like; C++
    // reserves names that begin with two underscores, so the members go without them.
    TDataSource *dtsFilial;
    TADOIBQuery *qryFilial;
    TDataSource *dtsProduto;
    TADOIBQuery *qryProduto;
    TADOIBQuery *qryPrimProd;
    TADOIBQuery *qryUltiProd;
    TADOIBQuery *qryVdProduto;
    TDataSource *dtsComprador;
    TADOIBQuery *qryComprador;
    TADOIBQuery *qryRegiao;
    TDataSource *dtsRegiao;
    TADOIBQuery *qryCentComp;
    TDataSource *dtsFornecedor;
    TClientDataSet *cdsFornecedor;
    TNetConnection *netConsListPreco;

    // State.
    QString stListaForn;
    QString stListaComp;
    QString stListaRegiao;
    QChar chSepPagina;
    // The link could not be made when the form was created: the first activation reports
    // that failure instead of waiting for the same timeout again.
    bool linkJustFailed = false;

    // Branch.
    void PanFilialExit(QObject *Sender);
    void medCdFilialChange(QObject *Sender);
    void medCdFilialExit(QObject *Sender);
    void sbtFilialBeforePesq(QObject *Sender, bool &flag);
    void sbtFilialAfterPesq(QObject *Sender);
    void Vd_CdFilial(bool boObrigatorio);

    // Product range.
    void medCdProdIniChange(QObject *Sender);
    void medCdProdFinChange(QObject *Sender);
    void medCdProdIniExit(QObject *Sender);
    void medCdProdFinExit(QObject *Sender);
    void sbtProdIniAfterPesq(QObject *Sender);
    void sbtProdFinAfterPesq(QObject *Sender);
    QString Vd_CdProduto(TMaskEdit *medProduto, bool boObrigatorio);

    // Validity period.
    void speSemIniChange(QObject *Sender);
    void speSemFinChange(QObject *Sender);
    void depDataIniDateChange(QObject *Sender);
    void depDataFinDateChange(QObject *Sender);
    void depDataIniExit(QObject *Sender);
    void depDataFinExit(QObject *Sender);
    void Vd_Validade();

    // Lists and options.
    void rbtTodosCompClick(QObject *Sender);
    void rbtListaCompClick(QObject *Sender);
    void rbtListaCompKeyDown(QObject *Sender, quint16 &Key, Qt::KeyboardModifiers Shift);
    void sbtCompradorClick(QObject *Sender);
    void rbtTodosFornClick(QObject *Sender);
    void rbtListaFornClick(QObject *Sender);
    void rbtListaFornKeyDown(QObject *Sender, quint16 &Key, Qt::KeyboardModifiers Shift);
    void sbtFornecedorClick(QObject *Sender);
    void chbFornecedorClick(QObject *Sender);
    void sbtRegiaoClick(QObject *Sender);

    // Server link and supplier list.
    void netConsListPrecoBeforeConnect(QObject *Sender);
    void cdsFornecedorIDTPIJURFORNGetText(TField &Sender, QString &Text, bool DisplayText);
    void cdsFornecedorNRINSJURFORNGetText(TField &Sender, QString &Text, bool DisplayText);

    // The report query's parameters, from choices() each time the report engine asks.
    void rpddPadraoBeforeGetQueryParams(TParams &params, bool &flag);

    void buildControls();
    // One builder per group, in the group's own source; each returns the group.
    QWidget *buildBranchPanel();                     // Filial.cpp
    QWidget *buildProductGroup(const QFont &plain);  // Produto.cpp
    QWidget *buildBuyerGroup(const QFont &plain);    // Listas.cpp
    QWidget *buildSupplierGroup(const QFont &plain); // Listas.cpp
    QWidget *buildValidityGroup(const QFont &plain); // Validade.cpp
    QWidget *buildOptionsGroup();
    void buildQueries(); // Consultas.cpp: every query from one table, then the groups' wiring
    // A row of that table; the table names the member each query goes into, so it is
    // the form's own.
    struct QueryDef;
    static const std::vector<QueryDef> queryTable;
    // The data sources and lookups of each group over its queries, in the group's own source.
    void buildBranchQueries();  // Filial.cpp
    void buildProductQueries(); // Produto.cpp
    void buildListQueries();    // Listas.cpp
    void bindHandlers();
    // The branch and product edits offer the codes this user used last.
    void ofereceRecentes();
    void carregaFornecedores();
    // Week box to date box, and date box to week and weekday boxes (twin handlers).
    void semanaParaData(TSpinEdit *week, TDateEditPlus *date, QChar which);
    void dataParaSemana(TDateEditPlus *date, TSpinEdit *week, QLineEdit *weekday);
    void saidaData(TDateEditPlus *date, TSpinEdit *week);
    // A date far from the processing year is kept only when the person confirms it.
    void confirmaAnoDistante(TDateEditPlus *date);
    void mostraAvisoValidade();
    void pickList(TDataSource *source, TADOIBQuery *query, const QString &keyField, const QString &emptyKey,
                  const QString &titleKey, QString &list);
    // Beside each "Lista", how many are picked; the button's hint names the first few.
    void mostraSelecao();
    void outputGate();
    void editingGate();
};
