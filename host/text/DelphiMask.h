#pragma once

#include "suite_export.h"

#include <QChar>
#include <QString>
#include <QVector>

// A parsed edit mask in the "mask;save-literals;blank" form that the suite's masked
// edits and field definitions use. Turns it into a Qt input mask and places raw values
// into its positions or takes them back out.
class SUITE_TEST_EXPORT DelphiMask
{
public:
    enum class Case { Keep, Upper, Lower };

    struct Position
    {
        bool literal = false;
        QChar ch; // the literal, or the mask character (L l A a C c 0 9 #)
        Case letterCase = Case::Keep;
    };

    static DelphiMask parse(const QString &mask);

    bool isEmpty() const { return m_positions.isEmpty(); }
    const QVector<Position> &positions() const { return m_positions; }
    bool saveLiterals() const { return m_saveLiterals; }
    QChar blank() const { return m_blank; }

    // The Qt input mask with the same meaning ("" for an empty mask).
    QString toQtInputMask() const;
    // Places the characters of raw into the editable positions, literals between them;
    // raw may carry the literals already. Unfilled positions get the blank character.
    QString layout(const QString &raw) const;
    // The value under the mask as the edit shows it: literals inserted, cut after the
    // last filled position. raw itself when it does not fit the mask.
    QString format(const QString &raw) const;
    // The value of a displayed text: blanks dropped, literals kept only when the mask
    // saves them (and only up to the last filled position); "" when nothing is filled.
    QString extract(const QString &display) const;
    // Removes from a typed search text the literal characters of a mask that does not
    // save them (so "12.345" finds the stored "12345").
    QString stripLiterals(const QString &typed) const;

    // Whether a mask character takes c, and whether its position must be filled.
    static bool accepts(QChar maskChar, QChar c);
    static bool required(QChar maskChar);
    // A code as the mask stores it: the mask's literals dropped wherever they stand, each
    // character checked against its position and put in the position's case, required
    // positions filled. Returns why the mask cannot hold the code ("" when it can; code
    // is then rewritten). The same reading of the mask as the masked edit's.
    QString normalise(QString &code) const;
    // Why raw cannot be typed into the edit as it stands ("" when it can): a character
    // that its position does not take, or more characters than the mask has positions.
    // Literals may be given at their places; case is not a reason (the mask forces it).
    QString misfit(const QString &raw) const;

private:
    static QChar applyCase(QChar c, Case letterCase);
    // Places raw into the positions; filled[i] tells whether position i got a character.
    // Returns false when raw has characters left over.
    bool place(const QString &raw, QString &out, QVector<bool> &filled) const;

    QString text() const;

    QVector<Position> m_positions;
    bool m_saveLiterals = true;
    QChar m_blank = QLatin1Char('_');
};
