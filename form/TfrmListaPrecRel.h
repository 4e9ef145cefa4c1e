#pragma once

#include "data/QueryTable.h"
#include "form/TfrmDadosGerRel.h"
#include "PriceListChoices.h"
#include "lpr_export.h"

#include <QString>
#include <vector>

class BranchField;
class ListChoice;
class PeriodGroup;
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
    // Branch panel: the shared branch field; medCdFilial is its code.
    BranchField *PanFilial;
    TMaskEdit *medCdFilial;

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

    // Buyer and supplier groups: "Todos"/"Lista" with their pickers.
    ListChoice *GroupBox2;
    ListChoice *rdgFornecedor;
    TCheckBox *chbFornecedor;

    // Validity group: weeks and dates in step.
    PeriodGroup *GroupBox3;
    TSpinEdit *speSemIni;
    TSpinEdit *speSemFin;
    TDateEditPlus *depDataIni;
    TDateEditPlus *depDataFin;

    // Options group.
    QGroupBox *GroupBox4;
    TCheckBox *chkVariPreco;
    TCheckBox *chkOrdPrPI;

    // Data access. The data sources keep the object names "__dtsFilial" and the like; C++
    // reserves names that begin with two underscores, so the members go without them.
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
    QString stListaRegiao;
    QChar chSepPagina;
    // The link could not be made when the form was created: the first activation reports
    // that failure instead of waiting for the same timeout again.
    bool linkJustFailed = false;

    // Branch: the products are checked again when the focus leaves the branch panel.
    void PanFilialExit(QObject *Sender);

    // Product range.
    void medCdProdIniChange(QObject *Sender);
    void medCdProdFinChange(QObject *Sender);
    void medCdProdIniExit(QObject *Sender);
    void medCdProdFinExit(QObject *Sender);
    void sbtProdIniAfterPesq(QObject *Sender);
    void sbtProdFinAfterPesq(QObject *Sender);
    QString Vd_CdProduto(TMaskEdit *medProduto, bool boObrigatorio);

    // Lists and options.
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
    QWidget *buildProductGroup(const QFont &plain); // Produto.cpp
    QWidget *buildListGroups();                     // Listas.cpp
    QWidget *buildValidityGroup();                  // Validade.cpp
    QWidget *buildOptionsGroup();
    void buildQueries(); // Consultas.cpp: every query from one table, then the groups' wiring
    // The table names the member each query goes into, so it is the form's own.
    static const std::vector<QueryTable::Member<TfrmListaPrecRel>> queryTable;
    // The data sources and lookups of each group over its queries, in the group's own source.
    void buildProductQueries(); // Produto.cpp
    void buildListQueries();    // Listas.cpp
    void bindHandlers();
    // The branch and product edits offer the codes this user used last.
    void ofereceRecentes();
    void carregaFornecedores();
    // Beside each "Lista", how many are picked; the button's hint names the first few.
    void mostraSelecao();
    void outputGate();
    void editingGate();
};
