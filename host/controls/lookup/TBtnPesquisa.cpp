#include "controls/lookup/TBtnPesquisa.h"
#include "errors/ExceptionGuard.h"
#include "app/Interaction.h"
#include "data/TDataSet.h"
#include "controls/Glyphs.h"
#include "controls/TMaskEdit.h"

#include <QKeyEvent>
#include <QLineEdit>

TBtnPesquisa::TBtnPesquisa(QWidget *parent) : QToolButton(parent)
{
    setFocusPolicy(Qt::NoFocus);
    setAutoRaise(true);
    setIcon(Glyphs::search());
    setToolTip(QStringLiteral("Pesquisar (F9)"));
    connect(this, &QToolButton::clicked, this, [this] { guarded([this] { Execute(); }); });
}

void TBtnPesquisa::showEvent(QShowEvent *event)
{
    watchAssociate();
    QToolButton::showEvent(event);
}

void TBtnPesquisa::watchAssociate()
{
    if (m_watched == Associate)
        return;
    if (m_watched)
        m_watched->removeEventFilter(this);
    m_watched = Associate;
    if (m_watched)
        m_watched->installEventFilter(this);
}

bool TBtnPesquisa::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_watched && event->type() == QEvent::KeyPress) {
        const auto *key = static_cast<QKeyEvent *>(event);
        const Qt::KeyboardModifiers mods = key->modifiers() & ~Qt::KeypadModifier;
        const bool f9 = key->key() == Qt::Key_F9 && mods == Qt::NoModifier;
        const bool altDown = key->key() == Qt::Key_Down && mods == Qt::AltModifier;
        if ((f9 || altDown) && isEnabled() && isVisible()) {
            guarded([this] { Execute(); });
            return true;
        }
    }
    return QToolButton::eventFilter(watched, event);
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
        Interaction::instance()->showError(EmptyError.isEmpty() ? QStringLiteral("Não há registros para pesquisar.")
                                                                : EmptyError);
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
