// Supplier, buyer and region lists: "Todos"/"Lista" choices, the pickers and the page break.
#include "TfrmListaPrecRel.h"

#include "Consiste.h"
#include "Pesqlista.h"
#include "TADOIBQuery.h"
#include "TMessages.h"
#include "ListString.h"
#include "controls/TControls.h"
#include "net/TClientDataSet.h"

#include <QLabel>

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
    const QStringList keys = lista->isChecked() && list != QLatin1String("T") ? ListString::decode(list) : QStringList();
    const int n = int(keys.size());
    if (!lista->isChecked())
        count->clear();
    else
        count->setText(n == 0 ? QStringLiteral("nenhum selecionado")
                       : n == 1 ? QStringLiteral("1 selecionado")
                                : QStringLiteral("%1 selecionados").arg(n));
    constexpr int shown = 5;
    QString hint = QStringLiteral("Pesquisar");
    if (n > 0) {
        hint += QStringLiteral("\nSelecionados:\n") + firstNames(rows, keyField, nameField, keys, shown).join(QLatin1Char('\n'));
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
