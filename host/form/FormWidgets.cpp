#include "form/FormWidgets.h"

#include "data/TADOIBQuery.h"

#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>

namespace FormWidgets {

QFont boldOf(const QWidget *w)
{
    QFont f = w->font();
    f.setBold(true);
    return f;
}

QLabel *boldLabel(const QString &name, const QString &caption, QWidget *parent)
{
    auto *l = new QLabel(caption, parent);
    l->setObjectName(name);
    l->setFont(boldOf(l));
    return l;
}

QLineEdit *displayBox(const QString &name, QWidget *parent)
{
    auto *e = new QLineEdit(parent);
    e->setObjectName(name);
    e->setEnabled(false);
    e->setFocusPolicy(Qt::NoFocus);
    QPalette p = e->palette();
    p.setColor(QPalette::Disabled, QPalette::Base, p.color(QPalette::Button));
    p.setColor(QPalette::Disabled, QPalette::Text, p.color(QPalette::Active, QPalette::Text));
    e->setPalette(p);
    return e;
}

QGroupBox *group(const QString &name, const QString &caption, QWidget *parent)
{
    auto *g = new QGroupBox(caption, parent);
    g->setObjectName(name);
    if (!caption.isEmpty()) {
        g->setFont(boldOf(g));
    }
    return g;
}

QFont countFont(QFont plain)
{
    plain.setBold(false);
    return plain;
}

TADOIBQuery *query(const QString &name, QObject *parent)
{
    auto *q = new TADOIBQuery(parent);
    q->setObjectName(name);
    return q;
}

QWidget *screenOf(QWidget *w)
{
    for (QWidget *p = w; p; p = p->parentWidget())
        if (p->inherits("TfrmDadosGerRel"))
            return p;
    return w->window();
}

QFont plainFont(QWidget *w)
{
    return screenOf(w)->font();
}

void normalFont(QWidget *w, QFont font)
{
    font.setBold(false);
    for (QWidget *child : w->findChildren<QWidget *>(QString(), Qt::FindDirectChildrenOnly))
        if (!qobject_cast<QLabel *>(child))
            child->setFont(font);
}

} // namespace FormWidgets
