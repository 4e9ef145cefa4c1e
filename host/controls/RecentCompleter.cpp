#include "controls/RecentCompleter.h"
#include "controls/TMaskEdit.h"

#include "app/RecentValues.h"

#include <QAbstractItemView>
#include <QCompleter>
#include <QKeyEvent>
#include <QScrollBar>
#include <QStandardItemModel>

#include <algorithm>

namespace {
constexpr int kCodeRole = Qt::UserRole;
}

RecentCompleter::RecentCompleter(TMaskEdit *edit, const QString &kind, QLineEdit *nameBox)
    : QObject(edit), m_edit(edit), m_kind(kind), m_nameBox(nameBox), m_model(new QStandardItemModel(this)),
      m_completer(new QCompleter(m_model, this))
{
    setObjectName(edit->objectName() + QStringLiteral("Recentes"));
    m_completer->setWidget(edit);
    m_completer->setCompletionRole(kCodeRole);
    m_completer->setCaseSensitivity(Qt::CaseInsensitive);
    // Most recent first, as kept.
    m_completer->setModelSorting(QCompleter::UnsortedModel);
    m_completer->setCompletionMode(QCompleter::PopupCompletion);
    m_completer->setMaxVisibleItems(RecentValues::kKept);
    connect(m_completer, qOverload<const QModelIndex &>(&QCompleter::activated), this,
            [this](const QModelIndex &index) { choose(index.data(kCodeRole).toString()); });
    connect(edit, &QLineEdit::textEdited, this, &RecentCompleter::narrowOffers);
    edit->installEventFilter(this);
}

void RecentCompleter::reload()
{
    m_model->clear();
    for (const RecentValues::Entry &e : RecentValues::list(m_kind)) {
        auto *item = new QStandardItem(e.name.isEmpty() ? e.code : QStringLiteral("%1  %2").arg(e.code, e.name));
        item->setData(e.code, kCodeRole);
        item->setEditable(false);
        m_model->appendRow(item);
    }
}

void RecentCompleter::narrowOffers()
{
    // Typing alone never opens the list: a person typing a code leaves the box as always,
    // and its exit validates what was typed.
    if (!m_completer->popup()->isVisible())
        return;
    m_completer->setCompletionPrefix(m_edit->Text().trimmed());
    if (m_completer->completionCount() == 0)
        m_completer->popup()->hide();
    else
        m_completer->complete(popupRect());
}

void RecentCompleter::showOffers()
{
    reload();
    m_completer->setCompletionPrefix(QString());
    if (m_completer->completionCount() > 0)
        m_completer->complete(popupRect());
}

QRect RecentCompleter::popupRect() const
{
    // As wide as the codes with their names, not as narrow as the box.
    QAbstractItemView *popup = m_completer->popup();
    const int width =
        popup->sizeHintForColumn(0) + popup->verticalScrollBar()->sizeHint().width() + 2 * popup->frameWidth();
    return QRect(0, 0, std::max(width, m_edit->width()), m_edit->height());
}

void RecentCompleter::choose(const QString &code)
{
    if (code.isEmpty())
        return;
    m_edit->setText(code);
    m_edit->selectAll();
}

void RecentCompleter::rememberCurrent()
{
    RecentValues::remember(m_kind, m_edit->Text().trimmed(), m_nameBox ? m_nameBox->text() : QString());
}

bool RecentCompleter::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_edit && event->type() == QEvent::KeyPress) {
        const auto *key = static_cast<QKeyEvent *>(event);
        // Alt+Down belongs to the lookup; a plain Down shows the recent codes.
        if (key->key() == Qt::Key_Down && key->modifiers() == Qt::NoModifier && !m_completer->popup()->isVisible()) {
            m_edit->selectAll();
            showOffers();
            return true;
        }
    }
    return QObject::eventFilter(watched, event);
}
