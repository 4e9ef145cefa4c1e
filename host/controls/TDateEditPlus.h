#pragma once

#include "../suite_export.h"

#include <QColor>
#include <QDate>
#include <QLineEdit>
#include <QStringList>

class QKeyEvent;

// A masked date edit (dd/mm/aaaa) that may be blank.
class SUITE_EXPORT TDateEditPlus : public QLineEdit
{
    Q_OBJECT
public:
    explicit TDateEditPlus(QWidget *parent = nullptr);

    QStringList NomeSemana;          // weekday names, Sunday first
    bool SaveTime = false;
    QColor ValidDateColor = Qt::blue;

    // The date typed; invalid while blank or half typed.
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

signals:
    // The date text changed: typed or written.
    void DateChange();

protected:
    void keyPressEvent(QKeyEvent *event) override;

private:
    void updateColor();

    QColor m_textColor;
    bool m_writing = false;
    QWidget *m_popup = nullptr;
};
