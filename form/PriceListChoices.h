#pragma once

#include <QDate>
#include <QString>

// What the person chose on the price-list screen, gathered from its controls at one moment:
// all the report run needs of the screen, and what the tests read back. A copy: changing it
// changes nothing on the screen.
struct PriceListChoices
{
    QString branch;       // the branch code as typed
    QString firstProduct; // the product range, codes as typed
    QString lastProduct;
    bool allProducts = true; // "Todos"; false: only products bought at the branch

    // "T" while "Todos" is marked; otherwise the picked codes as a list string (empty when
    // "Lista" is marked and nothing is picked yet).
    QString buyers;
    QString suppliers;
    QString regions;
    QString region; // the region code of the region picker, empty for all

    QDate from; // the validity period (its week boxes only follow the dates)
    QDate to;

    bool pageBySupplier = false;       // "Separar por Página"
    bool priceVariation = false;       // "Utilizar Indicador de Variação de Preço do Produto"
    bool orderByEconomicPrice = false; // "Ordenar pelo Preço Econômico com PI/DSV"

    // False until the first activation has put the defaults in (branch, products, lists);
    // no report runs on choices gathered before that.
    bool defaultsApplied = false;
};
