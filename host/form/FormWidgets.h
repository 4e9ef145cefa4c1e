#pragma once

#include "suite_export.h"

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

// The look of a report screen's parameter area, shared by the builders of its groups and
// by the shared fields (branch, week and date, lists).
namespace FormWidgets {

// The background of a box the person types into.
inline const QColor clInfoBk(255, 255, 225);

SUITE_EXPORT QFont boldOf(const QWidget *w);
SUITE_EXPORT QLabel *boldLabel(const QString &name, const QString &caption, QWidget *parent);

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
SUITE_EXPORT QLineEdit *displayBox(const QString &name, QWidget *parent);
SUITE_EXPORT QGroupBox *group(const QString &name, const QString &caption, QWidget *parent);
// The font of a count beside a list: information, not a caption.
SUITE_EXPORT QFont countFont(QFont plain);
// A query of the screen, named.
SUITE_EXPORT TADOIBQuery *query(const QString &name, QObject *parent);
// The report screen a widget is on (the widget's window when none), and its plain font:
// the font the children of a bold group box go back to.
SUITE_EXPORT QWidget *screenOf(QWidget *w);
SUITE_EXPORT QFont plainFont(QWidget *w);
// Group boxes are bold for their caption only: their children keep the normal font.
SUITE_EXPORT void normalFont(QWidget *w, QFont font);

} // namespace FormWidgets
