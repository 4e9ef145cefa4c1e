// The link to the application server and the quoted-supplier list it sends.
#include "TfrmListaPrecRel.h"

#include "validation/Consiste.h"
#include "errors/EAbort.h"
#include "form/TMessages.h"
#include "validation/Zelmora.h"
#include "controls/TMaskEdit.h"
#include "net/TClientDataSet.h"
#include "net/TNetConnection.h"

#include <utility>

void TfrmListaPrecRel::netConsListPrecoBeforeConnect(QObject *)
{
    netConsListPreco->setHost(Zelmora::WebURL());
    netConsListPreco->setPort(Zelmora::WebPort());
}

void TfrmListaPrecRel::carregaFornecedores()
{
    // Only once: a later activation or command asks the server again.
    if (std::exchange(linkJustFailed, false))
        throw ESuiteError(netConsListPreco->LastError());
    const QVariant packet = netConsListPreco->call(QStringLiteral("GetFornecedor"));
    cdsFornecedor->setData(packet);
}

void TfrmListaPrecRel::cdsFornecedorIDTPIJURFORNGetText(TField &Sender, QString &Text, bool)
{
    const QString tipo = Sender.DataSet()->FieldByName(QStringLiteral("IDTPIJURFORN")).AsString();
    if (tipo == QLatin1String("J"))
        Text = msgPadrao->Msg(QStringLiteral("CGC"));
    else if (tipo == QLatin1String("F"))
        Text = msgPadrao->Msg(QStringLiteral("CPF"));
    else if (tipo == QLatin1String("O"))
        Text = msgPadrao->Msg(QStringLiteral("OUTROS"));
    else if (tipo == QLatin1String("I"))
        Text = msgPadrao->Msg(QStringLiteral("CGC"));
}

void TfrmListaPrecRel::cdsFornecedorNRINSJURFORNGetText(TField &Sender, QString &Text, bool)
{
    const QString tipo = Sender.DataSet()->FieldByName(QStringLiteral("IDTPIJURFORN")).AsString();
    if (tipo == QLatin1String("J") || tipo == QLatin1String("F") || tipo == QLatin1String("O"))
        Text = TMaskEdit::formatMasked(Consiste::PictPess(tipo), Sender.AsString());
}
