#include "TBtnPesquisa.h"
#include "../ExceptionGuard.h"
#include "../Interaction.h"
#include "../TDataSet.h"
#include "Glyphs.h"
#include "TMaskEdit.h"

#include <QLineEdit>

TBtnPesquisa::TBtnPesquisa(QWidget *parent) : QToolButton(parent)
{
    setFocusPolicy(Qt::NoFocus);
    setAutoRaise(true);
    setIcon(Glyphs::search());
    setToolTip(QStringLiteral("Pesquisar"));
    connect(this, &QToolButton::clicked, this, [this] { guarded([this] { Execute(); }); });
}

namespace {

QString textOf(QWidget *edit)
{
    if (auto *masked = qobject_cast<TMaskEdit *>(edit))
        return masked->Text();
    if (auto *line = qobject_cast<QLineEdit *>(edit))
        return line->text();
    return QString();
}

void writeText(QWidget *edit, const QString &text)
{
    if (auto *masked = qobject_cast<TMaskEdit *>(edit))
        masked->setText(text);
    else if (auto *line = qobject_cast<QLineEdit *>(edit))
        line->setText(text);
}

QString firstVisibleField(TDataSet *dataSet)
{
    for (int i = 0; i < dataSet->FieldCount(); ++i)
        if (dataSet->Fields(i).Visible)
            return dataSet->Fields(i).FieldName;
    return dataSet->FieldCount() > 0 ? dataSet->Fields(0).FieldName : QString();
}

} // namespace

bool TBtnPesquisa::Execute()
{
    if (!DataSource || !DataSource->DataSet())
        return false;
    TDataSet *dataSet = DataSource->DataSet();

    if (OnBeforePesq) {
        bool flag = false;
        OnBeforePesq(this, flag);
    } else if (!dataSet->Active()) {
        dataSet->Open();
    }

    if (dataSet->IsEmpty()) {
        Interaction::instance()->showError(
            EmptyError.isEmpty() ? QStringLiteral("Não há registros para pesquisar.") : EmptyError);
        return false;
    }

    const QString keyField = KeyField.isEmpty() ? firstVisibleField(dataSet) : KeyField;
    QString key = textOf(Associate);
    // The list searches by the key column first when PesqChave is set.
    DataSource->setProperty("pesqChave", PesqChave);
    const bool chosen = Interaction::instance()->lookup(window(), DataSource, Title, keyField, key);
    if (chosen) {
        dataSet->Locate(keyField, key);
        if (OnAfterPesq)
            OnAfterPesq(this);
        else
            writeText(Associate, key);
    }
    if (Associate && Associate->isEnabled())
        Associate->setFocus();
    return chosen;
}
