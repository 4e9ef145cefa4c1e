// Remembered choices: which controls make up the screen's parameter sets, how its period is
// kept, and the product edits that offer the user's recent codes (the branch field offers its own).
#include "TfrmListaPrecRel.h"

#include "text/ListString.h"
#include "app/SaveLocation.h"
#include "validation/Zelmora.h"
#include "controls/RecentCompleter.h"
#include "controls/TMaskEdit.h"
#include "controls/pick/ListChoice.h"

#include <QLineEdit>

void TfrmListaPrecRel::ofereceRecentes()
{
    new RecentCompleter(medCdProdIni, QStringLiteral("Produto"), edtNmProdIni);
    new RecentCompleter(medCdProdFin, QStringLiteral("Produto"), edtNmProdFin);
}

QList<TfrmDadosGerRel::Choice> TfrmListaPrecRel::parameterChoices() const
{
    // In the order a person fills the screen: a "Lista" is marked before its picker.
    return {
        {QStringLiteral("medCdFilial"), QStringLiteral("Filial")},
        {QStringLiteral("medCdProdIni"), QStringLiteral("Produto inicial")},
        {QStringLiteral("medCdProdFin"), QStringLiteral("Produto final")},
        {QStringLiteral("rbtTodos"), QStringLiteral("Produtos: Todos")},
        {QStringLiteral("rbtCompFili"), QStringLiteral("Produtos: Somente Comprados na Filial")},
        {QStringLiteral("rbtTodosComp"), QStringLiteral("Comprador: Todos")},
        {QStringLiteral("rbtListaComp"), QStringLiteral("Comprador: Lista")},
        {QStringLiteral("sbtComprador"), QStringLiteral("Comprador")},
        {QStringLiteral("rbtTodosForn"), QStringLiteral("Fornecedor: Todos")},
        {QStringLiteral("rbtListaForn"), QStringLiteral("Fornecedor: Lista")},
        {QStringLiteral("sbtFornecedor"), QStringLiteral("Fornecedor")},
        {QStringLiteral("chbFornecedor"), QStringLiteral("Separar por Página")},
        {QStringLiteral("chkVariPreco"), QStringLiteral("Indicador de Variação de Preço")},
        {QStringLiteral("chkOrdPrPI"), QStringLiteral("Ordenar pelo Preço Econômico com PI/DSV")},
    };
}

QString TfrmListaPrecRel::choiceValue(const QString &control) const
{
    if (control == QLatin1String("sbtComprador"))
        return ListString::encode(ListString::decode(GroupBox2->list()));
    if (control == QLatin1String("sbtFornecedor"))
        return ListString::encode(ListString::decode(rdgFornecedor->list()));
    return TfrmDadosGerRel::choiceValue(control);
}

QStringList TfrmListaPrecRel::periodControls() const
{
    // The week boxes follow the dates (Validade.cpp).
    return {QStringLiteral("depDataIni"), QStringLiteral("depDataFin")};
}

QDate TfrmListaPrecRel::periodToday() const
{
    return Zelmora::DataProc(medCdFilial->Text());
}

QStringList TfrmListaPrecRel::saveFileParts() const
{
    const PriceListChoices c = choices();
    return SaveLocation::branchAndPeriod(c.branch, c.from, c.to);
}
