#pragma once

#include "suite_export.h"

#include <QCheckBox>

// A check box whose text wraps to the width it is given, as a label's does: in a narrow
// panel "Repetir o cabeçalho nas páginas de continuação" reads whole on two lines instead
// of running past the edge. Clicking the text ticks it, as with any check box.
class SUITE_TEST_EXPORT WrapCheckBox : public QCheckBox
{
    Q_OBJECT
public:
    WrapCheckBox(const QString &text, QWidget *parent);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;
    bool hasHeightForWidth() const override { return true; }
    int heightForWidth(int width) const override;

protected:
    void paintEvent(QPaintEvent *event) override;
    bool hitButton(const QPoint &pos) const override { return rect().contains(pos); }

private:
    // Where the text starts: past the box and the style's gap.
    int textIndent() const;
    QRect textRect(int width) const;
};
