#include "controls/pick/ListChoice.h"

#include "controls/TControls.h"
#include "controls/pick/Pesqlista.h"
#include "data/TADOIBQuery.h"
#include "data/TDataSet.h"
#include "errors/ExceptionGuard.h"
#include "form/FormWidgets.h"
#include "form/TMessages.h"
#include "text/ListString.h"
#include "validation/Consiste.h"

#include <QHBoxLayout>
#include <QHash>
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

} // namespace

ListChoice::ListChoice(const Names &names, QWidget *parent) : QGroupBox(names.caption, parent)
{
    setObjectName(names.group);
    setFont(boldOf(this));
    const QFont plain = plainFont(parent);
    auto *box = new QVBoxLayout(this);
    box->setContentsMargins(4, 0, 4, 2);
    box->setSpacing(0);
    m_row = new QHBoxLayout;
    m_row->setSpacing(2);
    m_todos = new TRadioButton(QStringLiteral("Todos"), this);
    m_todos->setObjectName(names.todos);
    m_todos->setChecked(true);
    m_lista = new TRadioButton(QStringLiteral("Lista"), this);
    m_lista->setObjectName(names.lista);
    m_button = new TButtonFlat(this);
    m_button->setObjectName(names.button);
    m_button->setToolTip(QStringLiteral("Pesquisar"));
    m_button->setEnabled(false);
    m_count = new QLabel(this);
    m_count->setObjectName(names.count);
    m_row->addWidget(m_todos);
    m_row->addWidget(m_lista);
    m_row->addWidget(m_button);
    box->addLayout(m_row);
    box->addWidget(m_count);
    normalFont(this, plain);
    m_count->setFont(countFont(plain));
    bindEvents();
}

void ListChoice::bindEvents()
{
    connect(m_todos, &TRadioButton::Click, this, [this] {
        guarded([this] {
            m_list = QStringLiteral("T");
            m_button->setEnabled(m_lista->isChecked());
            showCount();
        });
    });
    connect(m_lista, &TRadioButton::Click, this, [this] {
        guarded([this] {
            m_list.clear();
            m_button->setEnabled(m_lista->isChecked());
            showCount();
        });
    });
    connect(m_button, &TButtonFlat::clicked, this, [this] { guarded([this] { pick(); }); });
    // F9 on "Lista" opens the dialog, as the button does.
    m_lista->OnKeyDown = [this](QObject *, quint16 &key, Qt::KeyboardModifiers) {
        if (key == 120)
            pick();
    };
}

void ListChoice::setRows(TDataSource *source, TADOIBQuery *query, const QString &keyField, const QString &nameField)
{
    m_source = source;
    m_query = query;
    m_keyField = keyField;
    m_nameField = nameField;
}

void ListChoice::setMessages(TMessages *messages, const QString &emptyKey, const QString &titleKey)
{
    m_messages = messages;
    m_emptyKey = emptyKey;
    m_titleKey = titleKey;
}

void ListChoice::pickInto(TDataSource *source, TADOIBQuery *query, const QString &keyField, const QString &emptyText,
                          const QString &title, QString &list)
{
    if (query) {
        query->Close();
        query->Open();
    }
    if (source->DataSet()->IsEmpty())
        Consiste::MensErro(emptyText, true);
    Pesqlista::PesquisaLista(source, keyField, title, false, list);
}

void ListChoice::pick()
{
    if (m_beforePick)
        m_beforePick();
    if (m_query) {
        m_query->Close();
        m_query->Open();
    }
    if (m_source->DataSet()->IsEmpty())
        Consiste::MensErro(m_messages->Msg(m_emptyKey), true);
    Pesqlista::PesquisaLista(m_source, m_keyField, m_messages->Msg(m_titleKey), false, m_list);
    showCount();
}

void ListChoice::showCount()
{
    const QStringList keys =
        m_lista->isChecked() && m_list != QLatin1String("T") ? ListString::decode(m_list) : QStringList();
    const int n = int(keys.size());
    if (!m_lista->isChecked())
        m_count->clear();
    else
        m_count->setText(n == 0   ? QStringLiteral("nenhum selecionado")
                         : n == 1 ? QStringLiteral("1 selecionado")
                                  : QStringLiteral("%1 selecionados").arg(n));
    constexpr int shown = 5;
    QString hint = QStringLiteral("Pesquisar");
    if (n > 0) {
        hint += QStringLiteral("\nSelecionados:\n")
                + firstNames(m_source ? m_source->DataSet() : nullptr, m_keyField, m_nameField, keys, shown)
                      .join(QLatin1Char('\n'));
        if (n > shown)
            hint += QStringLiteral("\ne mais %1").arg(n - shown);
    }
    m_button->setToolTip(hint);
}
