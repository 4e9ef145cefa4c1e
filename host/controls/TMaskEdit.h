#pragma once

#include "suite_export.h"
#include "controls/EditEntry.h"

#include <QLineEdit>

// A masked edit with a Delphi-style EditMask ("mask;save-literals;blank"), turned into
// Qt's input mask with the same meaning. Text() gives the text as the mask returns it
// (literals kept only when the mask saves them; unfilled positions dropped).
class SUITE_EXPORT TMaskEdit : public QLineEdit
{
    Q_OBJECT
public:
    explicit TMaskEdit(QWidget *parent = nullptr);

    void setEditMask(const QString &delphiMask);
    QString EditMask() const { return m_editMask; }
    void setMaxLength(int length);

    QString Text() const;
    // Writes the text (raw, as Text() would return it); raises Change when it differs.
    void setText(const QString &text);
    void SelectAll() { selectAll(); }

    // Delphi mask to Qt input mask ("" when the mask is empty).
    static QString toQtInputMask(const QString &delphiMask);
    // Formats a raw value under a Delphi mask, literals inserted (as the edit shows it).
    static QString formatMasked(const QString &delphiMask, const QString &raw);
    // The boxes that Esc puts back with the edit's text (a code's name, a week's date).
    void setEntryCompanions(const QList<QWidget *> &companions) { m_entry.setCompanions(companions); }

signals:
    // The text changed (typed or written).
    void Change();

protected:
    void focusInEvent(QFocusEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    QString m_editMask;
    EditEntry m_entry;
    QString m_lastText;
    int m_maxLength = 0;
};
