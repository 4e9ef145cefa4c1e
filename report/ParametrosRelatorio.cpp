// The report query's parameters, filled from the form each time the report engine asks.
#include "TfrmListaPrecRel.h"

#include "Consiste.h"
#include "Qrddlgs.h"
#include "TADOIBQuery.h"
#include "Zelmora.h"
#include "controls/TControls.h"
#include "controls/TDateEditPlus.h"
#include "controls/TMaskEdit.h"

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

void TfrmListaPrecRel::rpddPadraoBeforeGetQueryParams(TParams &params, bool &)
{
    auto exists = [&](const char *name) { return Qrddlgs::ExistParam(params, QString::fromLatin1(name)); };
    auto param = [&](const char *name) -> TParam & { return params.ParamByName(QString::fromLatin1(name)); };

    if (exists("P_PAGINA"))
        param("P_PAGINA").setValue(QString(chSepPagina));
    if (exists("P_CDFILIAL"))
        param("P_CDFILIAL").setValue(medCdFilial->Text());

    qryCentComp->Close();
    qryCentComp->ParamByName(QStringLiteral("P_CDFILIAL")).setValue(medCdFilial->Text());
    qryCentComp->Open();

    if (exists("P_CDFILCENTCMP"))
        param("P_CDFILCENTCMP").setValue(qryCentComp->FieldByName(QStringLiteral("CDFILCENTCMP")).AsString());
    if (exists("P_TODOSPROD"))
        param("P_TODOSPROD").setValue(rbtTodos->isChecked() ? QStringLiteral("T") : QStringLiteral("C"));
    if (exists("P_CDPRODINI"))
        param("P_CDPRODINI").setValue(trimControls(medCdProdIni->Text()));
    if (exists("P_CDPRODFIN")) {
        const QString texto = medCdProdFin->Text();
        param("P_CDPRODFIN")
            .setValue(trimControls(texto) + Consiste::Replicate(QStringLiteral("Z"), 10 - int(texto.size())));
    }
    if (exists("L_LISTAOPER"))
        param("L_LISTAOPER").setAsString(stListaComp);
    if (exists("L_LISTAFORNE"))
        param("L_LISTAFORNE").setAsString(stListaForn);
    if (exists("L_LISTAOPER1"))
        param("L_LISTAOPER1").setAsString(stListaComp);
    if (exists("L_LISTAFORNE1"))
        param("L_LISTAFORNE1").setAsString(stListaForn);
    if (exists("P_CDREGIAO"))
        param("P_CDREGIAO").setAsString(edtCdRegiao->text());
    if (exists("P_DTINI"))
        param("P_DTINI").setAsDate(depDataIni->GetDate());
    if (exists("P_DTFIN"))
        param("P_DTFIN").setAsDate(depDataFin->GetDate());
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
        param("P_VARIPRECO").setAsString(chkVariPreco->isChecked() ? QStringLiteral("S") : QStringLiteral("N"));
    if (exists("P_ORDPI"))
        param("P_ORDPI").setAsString(chkOrdPrPI->isChecked() ? QStringLiteral("S") : QStringLiteral("N"));
}
