// Supplier, buyer and region lists: "Todos"/"Lista" choices, the pickers and the page break.
#include "TfrmListaPrecRel.h"

#include "Consiste.h"
#include "Pesqlista.h"
#include "TADOIBQuery.h"
#include "TMessages.h"
#include "controls/TControls.h"
#include "net/TClientDataSet.h"

void TfrmListaPrecRel::rbtTodosCompClick(QObject *)
{
    stListaComp = QStringLiteral("T");
    sbtComprador->setEnabled(rbtListaComp->isChecked());
}

void TfrmListaPrecRel::rbtListaCompClick(QObject *)
{
    stListaComp.clear();
    sbtComprador->setEnabled(rbtListaComp->isChecked());
}

void TfrmListaPrecRel::rbtTodosFornClick(QObject *)
{
    stListaForn = QStringLiteral("T");
    sbtFornecedor->setEnabled(rbtListaForn->isChecked());
}

void TfrmListaPrecRel::rbtListaFornClick(QObject *)
{
    stListaForn.clear();
    sbtFornecedor->setEnabled(rbtListaForn->isChecked());
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
}

void TfrmListaPrecRel::sbtFornecedorClick(QObject *)
{
    pickList(__dtsFornecedor, nullptr, QStringLiteral("CDFORNECED"), QStringLiteral("forn_cad"),
             QStringLiteral("Fornecedor"), stListaForn);
}

void TfrmListaPrecRel::sbtCompradorClick(QObject *)
{
    pickList(__dtsComprador, qryComprador, QStringLiteral("CDOPERADOR"), QStringLiteral("comp_cad"),
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
