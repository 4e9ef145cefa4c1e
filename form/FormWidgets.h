#pragma once

#include <QColor>
#include <QFont>
#include <QPalette>
#include <QString>
#include <QWidget>

class QGroupBox;
class QObject;
class TADOIBQuery;
class QLabel;
class QLineEdit;

// The screen's look, shared by the builders of its groups (one per group's source).
namespace FormWidgets {

// The background of a box the person types into.
inline const QColor clInfoBk(255, 255, 225);

QFont boldOf(const QWidget *w);
QLabel *boldLabel(const QString &name, const QString &caption, QWidget *parent);

// A box the person types into.
template<class W>
W *inputBox(W *w, const QString &name)
{
    w->setObjectName(name);
    QPalette p = w->palette();
    p.setColor(QPalette::Base, clInfoBk);
    w->setPalette(p);
    return w;
}

// A box that only shows a looked-up text.
QLineEdit *displayBox(const QString &name, QWidget *parent);
QGroupBox *group(const QString &name, const QString &caption, QWidget *parent);
// The font of a count beside a list: information, not a caption.
QFont countFont(QFont plain);
// A query of the screen, named.
TADOIBQuery *query(const QString &name, QObject *parent);
// Group boxes are bold for their caption only: their children keep the normal font.
void normalFont(QWidget *w, QFont font);

} // namespace FormWidgets
