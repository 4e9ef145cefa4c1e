// Supplier, buyer and region lists: "Todos"/"Lista" choices, the pickers and the page break.
#include "TfrmListaPrecRel.h"

#include "PriceListServer.h"
#include "net/TNetConnection.h"
#include "data/TDataSet.h"
#include "validation/Consiste.h"
#include "controls/TControls.h"
#include "FormWidgets.h"
#include "text/ListString.h"
#include "net/TClientDataSet.h"
#include "controls/pick/Pesqlista.h"
#include "data/TADOIBQuery.h"
#include "form/TMessages.h"

#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

using namespace FormWidgets;

namespace {

// "código - nome" of the first keys of a list, from the rows the picker showed.
QStringList firstNames(TDataSet *rows, const QString &keyField, const QString &nameField, const QStringList &keys,
                       int count)
{
    const QStringList wanted = keys.mid(0, count);
    QHash<QString, QString> names;
    if (rows && rows->Active()) {
        const TField *key = rows->FindField(keyField);
        const TField *name = rows->FindField(nameField);
        for (int row = 0; key && name && row < rows->fetchedCount() && names.size() < wanted.size(); ++row) {
            const QString k = rows->rowValue(row, key->columnIndex()).toString();
            if (wanted.contains(k))
                names.insert(k, rows->rowValue(row, name->columnIndex()).toString().trimmed());
        }
    }
    QStringList lines;
    for (const QString &k : wanted)
        lines << (names.value(k).isEmpty() ? k.trimmed() : QStringLiteral("%1 - %2").arg(k.trimmed(), names.value(k)));
    return lines;
}

void showPicked(TRadioButton *lista, const QString &list, QLabel *count, TButtonFlat *button, TDataSet *rows,
                const QString &keyField, const QString &nameField)
{
    const QStringList keys =
        lista->isChecked() && list != QLatin1String("T") ? ListString::decode(list) : QStringList();
    const int n = int(keys.size());
    if (!lista->isChecked())
        count->clear();
    else
        count->setText(n == 0   ? QStringLiteral("nenhum selecionado")
                       : n == 1 ? QStringLiteral("1 selecionado")
                                : QStringLiteral("%1 selecionados").arg(n));
    constexpr int shown = 5;
    QString hint = QStringLiteral("Pesquisar");
    if (n > 0) {
        hint += QStringLiteral("\nSelecionados:\n")
                + firstNames(rows, keyField, nameField, keys, shown).join(QLatin1Char('\n'));
        if (n > shown)
            hint += QStringLiteral("\ne mais %1").arg(n - shown);
    }
    button->setToolTip(hint);
}

} // namespace

void TfrmListaPrecRel::mostraSelecao()
{
    showPicked(rbtListaComp, stListaComp, lblQtComp, sbtComprador, qryComprador, QStringLiteral("CDOPERADOR"),
               QStringLiteral("NMOPERADOR"));
    showPicked(rbtListaForn, stListaForn, lblQtForn, sbtFornecedor, cdsFornecedor, QStringLiteral("CDFORNECED"),
               QStringLiteral("NMFANTFORN"));
}

void TfrmListaPrecRel::rbtTodosCompClick(QObject *)
{
    stListaComp = QStringLiteral("T");
    sbtComprador->setEnabled(rbtListaComp->isChecked());
    mostraSelecao();
}

void TfrmListaPrecRel::rbtListaCompClick(QObject *)
{
    stListaComp.clear();
    sbtComprador->setEnabled(rbtListaComp->isChecked());
    mostraSelecao();
}

void TfrmListaPrecRel::rbtTodosFornClick(QObject *)
{
    stListaForn = QStringLiteral("T");
    sbtFornecedor->setEnabled(rbtListaForn->isChecked());
    mostraSelecao();
}

void TfrmListaPrecRel::rbtListaFornClick(QObject *)
{
    stListaForn.clear();
    sbtFornecedor->setEnabled(rbtListaForn->isChecked());
    mostraSelecao();
}

void TfrmListaPrecRel::pickList(TDataSource *source, TADOIBQuery *query, const QString &keyField,
                                const QString &emptyKey, const QString &titleKey, QString &list)
{
    if (query) {
        query->Close();
        query->Open();
    }
    if (source->DataSet()->IsEmpty())
        Consiste::MensErro(msgPadrao->Msg(emptyKey), true);
    const QString title = msgPadrao->Msg(titleKey);
    Pesqlista::PesquisaLista(source, keyField, title, false, list);
    mostraSelecao();
}

void TfrmListaPrecRel::sbtFornecedorClick(QObject *)
{
    pickList(dtsFornecedor, nullptr, QStringLiteral("CDFORNECED"), QStringLiteral("forn_cad"),
             QStringLiteral("Fornecedor"), stListaForn);
}

void TfrmListaPrecRel::sbtCompradorClick(QObject *)
{
    pickList(dtsComprador, qryComprador, QStringLiteral("CDOPERADOR"), QStringLiteral("comp_cad"),
             QStringLiteral("Comprador"), stListaComp);
}

void TfrmListaPrecRel::sbtRegiaoClick(QObject *)
{
    pickList(dtsRegiao, qryRegiao, QStringLiteral("CDREGIAO"), QStringLiteral("reg_cad"), QStringLiteral("Regiao"),
             stListaRegiao);
}

void TfrmListaPrecRel::rbtListaCompKeyDown(QObject *, quint16 &Key, Qt::KeyboardModifiers)
{
    if (Key == 120)
        sbtCompradorClick(sbtComprador);
}

void TfrmListaPrecRel::rbtListaFornKeyDown(QObject *, quint16 &Key, Qt::KeyboardModifiers)
{
    if (Key == 120)
        sbtFornecedorClick(sbtFornecedor);
}

void TfrmListaPrecRel::chbFornecedorClick(QObject *)
{
    chSepPagina = chbFornecedor->isChecked() ? QLatin1Char('T') : QLatin1Char('F');
}

// The group's controls, built once by buildControls.
QWidget *TfrmListaPrecRel::buildBuyerGroup(const QFont &plain)
{
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
    lblQtComp->setFont(countFont(plain));
    return GroupBox2;
}

QWidget *TfrmListaPrecRel::buildSupplierGroup(const QFont &plain)
{
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
    lblQtForn->setFont(countFont(plain));
    forn->addWidget(chbFornecedor);
    forn->addStretch(1);
    fornBox->addLayout(forn);
    fornBox->addWidget(lblQtForn);

    return rdgFornecedor;
}

// The group's data sources and lookup, over the queries buildQueries made from the table in
// Consultas.cpp.
void TfrmListaPrecRel::buildListQueries()
{
    dtsComprador = new TDataSource(this, qryComprador);
    dtsComprador->setObjectName(QStringLiteral("__dtsComprador"));

    dtsRegiao = new TDataSource(this, qryRegiao);
    dtsRegiao->setObjectName(QStringLiteral("dtsRegiao"));

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
    dtsFornecedor = new TDataSource(this, cdsFornecedor);
    dtsFornecedor->setObjectName(QStringLiteral("__dtsFornecedor"));

    netConsListPreco = new TNetConnection(this);
    netConsListPreco->setObjectName(QStringLiteral("netConsListPreco"));
    PriceListServer::configure(*netConsListPreco);
    netConsListPreco->setThrowException(false);
}
