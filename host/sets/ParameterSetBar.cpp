#include "sets/ParameterSetBar.h"

#include "errors/EAbort.h"
#include "errors/ExceptionGuard.h"
#include "sets/FormChoices.h"
#include "app/Interaction.h"
#include "form/ReportScreen.h"

#include <QComboBox>
#include <QDir>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QStandardItemModel>
#include <QStyle>
#include <QToolButton>

namespace {

constexpr int kNameRole = Qt::UserRole;
constexpr int kSharedRole = Qt::UserRole + 1;

QString quoted(const QString &name)
{
    return QStringLiteral("\"%1\"").arg(name);
}

} // namespace

ParameterSetBar::ParameterSetBar(ReportScreen *screen, QWidget *parent) : QFrame(parent), m_screen(screen)
{
    setObjectName(QStringLiteral("panConjunto"));
    auto *row = new QHBoxLayout(this);
    row->setContentsMargins(4, 0, 4, 0);
    row->setSpacing(3);
    lblConjunto = new QLabel(QStringLiteral("Co&njunto"), this);
    lblConjunto->setObjectName(QStringLiteral("lblConjunto"));
    QFont bold = lblConjunto->font();
    bold.setBold(true);
    lblConjunto->setFont(bold);
    cbbConjuntos = new QComboBox(this);
    cbbConjuntos->setObjectName(QStringLiteral("cbbConjuntos"));
    cbbConjuntos->setFocusPolicy(Qt::ClickFocus);
    cbbConjuntos->setToolTip(QStringLiteral("Conjuntos de parâmetros: escolher um preenche a tela com ele"));
    lblConjunto->setBuddy(cbbConjuntos);

    sbtSalvarConjunto = new QToolButton(this);
    sbtSalvarConjunto->setObjectName(QStringLiteral("sbtSalvarConjunto"));
    sbtSalvarConjunto->setText(QStringLiteral("Salvar conjunto"));
    sbtSalvarConjunto->setToolTip(QStringLiteral("Salvar as escolhas da tela como um conjunto de parâmetros"));
    sbtSalvarConjunto->setIcon(style()->standardIcon(QStyle::SP_DialogSaveButton));
    sbtSalvarConjunto->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);

    sbtConjuntos = new QToolButton(this);
    sbtConjuntos->setObjectName(QStringLiteral("sbtConjuntos"));
    sbtConjuntos->setText(QStringLiteral("…"));
    sbtConjuntos->setToolTip(QStringLiteral("Renomear, excluir ou aplicar ao abrir a tela"));
    sbtConjuntos->setPopupMode(QToolButton::InstantPopup);
    auto *menu = new QMenu(sbtConjuntos);
    actRenomear = menu->addAction(QStringLiteral("Renomear..."));
    actExcluir = menu->addAction(QStringLiteral("Excluir..."));
    menu->addSeparator();
    actPadrao = menu->addAction(QStringLiteral("Aplicar ao abrir a tela"));
    actPadrao->setCheckable(true);
    sbtConjuntos->setMenu(menu);
    for (QToolButton *b : {sbtSalvarConjunto, sbtConjuntos}) {
        b->setAutoRaise(true);
        b->setFocusPolicy(Qt::NoFocus);
    }

    row->addWidget(lblConjunto);
    row->addWidget(cbbConjuntos, 1);
    row->addWidget(sbtSalvarConjunto);
    row->addWidget(sbtConjuntos);

    auto on = [this](auto *sender, auto signal, void (ParameterSetBar::*handler)()) {
        connect(sender, signal, this, [this, handler] { guarded([&] { (this->*handler)(); }); });
    };
    on(sbtSalvarConjunto, &QToolButton::clicked, &ParameterSetBar::saveCurrent);
    on(actRenomear, &QAction::triggered, &ParameterSetBar::renameCurrent);
    on(actExcluir, &QAction::triggered, &ParameterSetBar::removeCurrent);
    on(actPadrao, &QAction::triggered, &ParameterSetBar::toggleDefault);
    connect(cbbConjuntos, &QComboBox::activated, this, [this](int index) {
        const QString name = cbbConjuntos->itemData(index, kNameRole).toString();
        if (!name.isEmpty())
            guarded([&] { apply(name); });
        updateActions();
    });
    updateActions();
}

ParameterSetBar::~ParameterSetBar() = default;

ParameterSetStore &ParameterSetBar::store()
{
    if (!m_store)
        m_store = std::make_unique<ParameterSetStore>(m_screen->screenCode());
    return *m_store;
}

void ParameterSetBar::refresh(const QString &current)
{
    const QList<ParameterSet> sets = store().sets();
    const QString defaultName = store().defaultName();
    QSignalBlocker block(cbbConjuntos);
    cbbConjuntos->clear();
    cbbConjuntos->addItem(QStringLiteral("(nenhum)"));
    for (const ParameterSet &set : sets) {
        QString text = set.name;
        if (set.shared)
            text += QStringLiteral(" (compartilhado)");
        if (set.name == defaultName)
            text += QStringLiteral(" (ao abrir)");
        cbbConjuntos->addItem(text);
        const int i = cbbConjuntos->count() - 1;
        cbbConjuntos->setItemData(i, set.name, kNameRole);
        cbbConjuntos->setItemData(i, set.shared, kSharedRole);
        cbbConjuntos->setItemData(i, set.period ? QStringLiteral("Período: %1").arg(set.period->text()) : QString(),
                                  Qt::ToolTipRole);
        if (set.name == current)
            cbbConjuntos->setCurrentIndex(i);
    }
    auto *model = qobject_cast<QStandardItemModel *>(cbbConjuntos->model());
    for (const ParameterSetStore::Damaged &d : store().damaged()) {
        cbbConjuntos->addItem(QStringLiteral("%1 (danificado)").arg(QFileInfo(d.file).completeBaseName()));
        const int i = cbbConjuntos->count() - 1;
        cbbConjuntos->setItemData(i, QStringLiteral("%1: %2").arg(QDir::toNativeSeparators(d.file), d.why),
                                  Qt::ToolTipRole);
        if (model)
            model->item(i)->setEnabled(false);
    }
    updateActions();
}

QString ParameterSetBar::currentName() const
{
    return cbbConjuntos->currentData(kNameRole).toString();
}

bool ParameterSetBar::currentIsShared() const
{
    return cbbConjuntos->currentData(kSharedRole).toBool();
}

void ParameterSetBar::updateActions()
{
    const bool chosen = !currentName().isEmpty();
    actRenomear->setEnabled(chosen && !currentIsShared());
    actExcluir->setEnabled(chosen && !currentIsShared());
    actPadrao->setEnabled(chosen);
    actPadrao->setChecked(chosen && m_store && m_store->defaultName() == currentName());
}

void ParameterSetBar::apply(const QString &name)
{
    const std::optional<ParameterSet> set = store().find(name);
    if (!set)
        throw ESuiteError(QStringLiteral("O conjunto de parâmetros %1 não existe mais.").arg(quoted(name)));
    const QStringList leftOut = FormChoices::apply(*m_screen, *set);
    refresh(set->name);
    if (!leftOut.isEmpty())
        Interaction::instance()->showError(FormChoices::leftOutMessage(set->name, leftOut));
}

void ParameterSetBar::applyDefault()
{
    refresh();
    const QString name = store().defaultName();
    if (name.isEmpty())
        return;
    if (!store().find(name))
        throw ESuiteError(
            QStringLiteral(
                "O conjunto %1, que esta tela aplicava ao abrir, não existe mais; a tela abriu com os seus valores iniciais.")
                .arg(quoted(name)));
    apply(name);
}

void ParameterSetBar::saveCurrent()
{
    ParameterSet set = FormChoices::capture(*m_screen, currentName());
    ParameterSetQuestion question;
    question.name = set.name;
    for (const ParameterSet &s : store().sets())
        if (!s.shared)
            question.ownNames << s.name;
    question.hasPeriod = set.period.has_value();
    question.singleDate = m_screen->periodControls().size() == 1;
    question.today = m_screen->periodToday();
    if (set.period) {
        question.period = *set.period;
        question.from = set.period->resolvedFrom(question.today);
        question.to = set.period->resolvedTo(question.today);
    }
    question.defaultName = store().defaultName();
    question.makeDefault = !set.name.isEmpty() && question.defaultName == set.name;
    if (!Interaction::instance()->askParameterSet(m_screen->widget(), question))
        return;
    if (question.ownNames.contains(question.name) && question.name != currentName()
        && !Interaction::instance()->confirm(
            m_screen->widget(), QStringLiteral("Salvar conjunto de parâmetros"),
            QStringLiteral("Já existe o conjunto %1. Substituí-lo?").arg(quoted(question.name))))
        return;
    set.name = question.name;
    if (set.period)
        set.period = question.period;
    store().save(set);
    if (question.makeDefault)
        store().setDefaultName(set.name);
    else if (store().defaultName() == set.name)
        store().setDefaultName(QString());
    refresh(set.name);
}

void ParameterSetBar::renameCurrent()
{
    const QString from = currentName();
    if (from.isEmpty())
        return;
    QString to = from;
    if (!Interaction::instance()->askText(m_screen->widget(), QStringLiteral("Renomear conjunto"),
                                          QStringLiteral("Novo nome do conjunto %1:").arg(quoted(from)), to))
        return;
    store().rename(from, to);
    refresh(ParameterSet::cleanName(to));
}

void ParameterSetBar::removeCurrent()
{
    const QString name = currentName();
    if (name.isEmpty())
        return;
    if (!Interaction::instance()->confirm(m_screen->widget(), QStringLiteral("Excluir conjunto"),
                                          QStringLiteral("Excluir o conjunto de parâmetros %1?").arg(quoted(name))))
        return;
    store().remove(name);
    refresh();
}

void ParameterSetBar::toggleDefault()
{
    const QString name = currentName();
    if (name.isEmpty())
        return;
    store().setDefaultName(store().defaultName() == name ? QString() : name);
    refresh(name);
}
