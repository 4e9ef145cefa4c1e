#pragma once

#include "suite_export.h"

#include <QWidget>

class QLineEdit;

// A colour typed as #RRGGBB beside a button that opens the colour dialog. chosen() comes
// once the text is a whole colour or empty (half a colour is no colour), or when one is
// picked in the dialog; the colour in upper case.
class SUITE_TEST_EXPORT ColorField : public QWidget
{
    Q_OBJECT
public:
    // name: the text field's object name; title: the colour dialog's.
    ColorField(const QString &name, const QString &title, QWidget *parent = nullptr);
    QLineEdit *line() const { return m_edit; }

signals:
    void chosen(const QString &color);

private:
    QLineEdit *m_edit;
};
