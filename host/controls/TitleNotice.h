#pragma once

#include "suite_export.h"

#include <QLabel>

class QGroupBox;

// A short notice in the title line of a group box, at its right end, over nothing the
// group lays out: showing it moves no control of the screen.
class SUITE_TEST_EXPORT TitleNotice : public QLabel
{
    Q_OBJECT
public:
    TitleNotice(const QString &text, QGroupBox *group);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void place();
};
