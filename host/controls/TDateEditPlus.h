#pragma once

#include "suite_export.h"
#include "controls/EditEntry.h"

#include <QColor>
#include <QDate>
#include <QLineEdit>
#include <QStringList>

class QFocusEvent;
class QKeyEvent;

// A masked date edit (dd/mm/aaaa) that may be blank.
class SUITE_EXPORT TDateEditPlus : public QLineEdit
{
    Q_OBJECT
public:
    explicit TDateEditPlus(QWidget *parent = nullptr);

    QStringList NomeSemana; // weekday names, Sunday first
    bool SaveTime = false;
    QColor ValidDateColor = Qt::blue;

    // The date typed; invalid while blank or half typed. A two-digit year is read in the
    // suite's 50-year window (Consiste::AnoCompleto).
    QDate GetDate() const;
    // Writes the date (an invalid date blanks the box) and raises DateChange.
    void SetDate(const QDate &date);
    // "" while no digit is typed, else the text with its slashes.
    QString Text() const;
    void setText(const QString &text);
    void Clear() { setText(QString()); }
    // Shows a message, puts the focus here and raises EAbort when the text is neither
    // blank nor a valid date.
    void CheckValidDate();

    // Opens the calendar below the edit (also F4 or Alt+Down).
    void showCalendar();

    // The date a text stands for: day, month and year of two or four digits between
    // slashes, blanks around each part allowed, nothing else. Invalid otherwise.
    static QDate dateOf(const QString &text);
    // The boxes that Esc puts back with the edit's text (a code's name, a week's date).
    void setEntryCompanions(const QList<QWidget *> &companions) { m_entry.setCompanions(companions); }

signals:
    // The date text changed: typed or written.
    void DateChange();

protected:
    void focusInEvent(QFocusEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    void updateColor();

    QColor m_textColor;
    bool m_writing = false;
    QWidget *m_popup = nullptr;
    EditEntry m_entry;
};
