// The report query's parameters, filled from the form each time the report engine asks.
#include "TfrmListaPrecRel.h"

#include "validation/Consiste.h"
#include "data/Qrddlgs.h"
#include "data/TADOIBQuery.h"
#include "validation/Zelmora.h"
#include "controls/TControls.h"
#include "controls/TDateEditPlus.h"
#include "controls/TMaskEdit.h"
#include "controls/pick/ListChoice.h"
#include "form/BranchField.h"

#include <QLineEdit>

namespace {

// Removes leading and trailing blanks and control characters.
QString trimControls(const QString &text)
{
    int begin = 0, end = int(text.size());
    while (begin < end && text.at(begin).unicode() <= ' ')
        ++begin;
    while (end > begin && text.at(end - 1).unicode() <= ' ')
        --end;
    return text.mid(begin, end - begin);
}

} // namespace

PriceListChoices TfrmListaPrecRel::choices() const
{
    PriceListChoices c;
    c.branch = medCdFilial->Text();
    c.firstProduct = medCdProdIni->Text();
    c.lastProduct = medCdProdFin->Text();
    c.allProducts = rbtTodos->isChecked();
    c.buyers = GroupBox2->list();
    c.suppliers = rdgFornecedor->list();
    c.regions = stListaRegiao;
    c.region = PanFilial->regionCode();
    c.from = depDataIni->GetDate();
    c.to = depDataFin->GetDate();
    c.pageBySupplier = chSepPagina == QLatin1Char('T');
    c.priceVariation = chkVariPreco->isChecked();
    c.orderByEconomicPrice = chkOrdPrPI->isChecked();
    c.defaultsApplied = !firstActivationPending();
    return c;
}

void TfrmListaPrecRel::rpddPadraoBeforeGetQueryParams(TParams &params, bool &)
{
    auto exists = [&](const char *name) { return Qrddlgs::ExistParam(params, QString::fromLatin1(name)); };
    auto param = [&](const char *name) -> TParam & { return params.ParamByName(QString::fromLatin1(name)); };
    auto yesNo = [](bool on) { return on ? QStringLiteral("S") : QStringLiteral("N"); };
    const PriceListChoices c = choices();

    if (exists("P_PAGINA"))
        param("P_PAGINA").setValue(c.pageBySupplier ? QStringLiteral("T") : QStringLiteral("F"));
    if (exists("P_CDFILIAL"))
        param("P_CDFILIAL").setValue(c.branch);

    qryCentComp->Close();
    qryCentComp->ParamByName(QStringLiteral("P_CDFILIAL")).setValue(c.branch);
    qryCentComp->Open();

    if (exists("P_CDFILCENTCMP"))
        param("P_CDFILCENTCMP").setValue(qryCentComp->FieldByName(QStringLiteral("CDFILCENTCMP")).AsString());
    if (exists("P_TODOSPROD"))
        param("P_TODOSPROD").setValue(c.allProducts ? QStringLiteral("T") : QStringLiteral("C"));
    if (exists("P_CDPRODINI"))
        param("P_CDPRODINI").setValue(trimControls(c.firstProduct));
    if (exists("P_CDPRODFIN"))
        param("P_CDPRODFIN")
            .setValue(trimControls(c.lastProduct)
                      + Consiste::Replicate(QStringLiteral("Z"), 10 - int(c.lastProduct.size())));
    for (const char *name : {"L_LISTAOPER", "L_LISTAOPER1"})
        if (exists(name))
            param(name).setAsString(c.buyers);
    for (const char *name : {"L_LISTAFORNE", "L_LISTAFORNE1"})
        if (exists(name))
            param(name).setAsString(c.suppliers);
    if (exists("P_CDREGIAO"))
        param("P_CDREGIAO").setAsString(c.region);
    if (exists("P_DTINI"))
        param("P_DTINI").setAsDate(c.from);
    if (exists("P_DTFIN"))
        param("P_DTFIN").setAsDate(c.to);
    if (exists("P_SISTEMA")) {
        const quint8 modulo = Geral::ModuloAtiv();
        if (modulo == 4)
            param("P_SISTEMA").setAsString(QStringLiteral("CMP"));
        if (modulo == 34)
            param("P_SISTEMA").setAsString(QStringLiteral("SUP"));
        if (modulo == 75)
            param("P_SISTEMA").setAsString(QStringLiteral("AGL"));
    }
    if (exists("P_VARIPRECO"))
        param("P_VARIPRECO").setAsString(yesNo(c.priceVariation));
    if (exists("P_ORDPI"))
        param("P_ORDPI").setAsString(yesNo(c.orderByEconomicPrice));
}
