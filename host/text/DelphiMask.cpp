#include "text/DelphiMask.h"

namespace {

bool isMaskChar(QChar c)
{
    switch (c.unicode()) {
    case 'L':
    case 'l':
    case 'A':
    case 'a':
    case 'C':
    case 'c':
    case '0':
    case '9':
    case '#': return true;
    default: return false;
    }
}

// Characters that Qt's input mask gives a meaning to, so a literal must be escaped.
bool isQtMeta(QChar c)
{
    static const QString meta = QStringLiteral("AaNnXx90Dd#HhBb<>!\\[]{};");
    return meta.contains(c);
}

QChar qtCode(QChar delphi)
{
    switch (delphi.unicode()) {
    case 'L': return QLatin1Char('A');
    case 'l': return QLatin1Char('a');
    case 'A': return QLatin1Char('N');
    case 'a': return QLatin1Char('n');
    case 'C': return QLatin1Char('X');
    case 'c': return QLatin1Char('x');
    case '0': return QLatin1Char('9');
    case '9': return QLatin1Char('0');
    default: return QLatin1Char('#');
    }
}

} // namespace

DelphiMask DelphiMask::parse(const QString &mask)
{
    DelphiMask result;
    Case letterCase = Case::Keep;
    int i = 0;
    for (; i < mask.size(); ++i) {
        const QChar c = mask.at(i);
        if (c == QLatin1Char(';'))
            break;
        if (c == QLatin1Char('!'))
            continue;
        if (c == QLatin1Char('<') && i + 1 < mask.size() && mask.at(i + 1) == QLatin1Char('>')) {
            letterCase = Case::Keep;
            ++i;
            continue;
        }
        if (c == QLatin1Char('>')) {
            letterCase = Case::Upper;
            continue;
        }
        if (c == QLatin1Char('<')) {
            letterCase = Case::Lower;
            continue;
        }
        Position p;
        p.letterCase = letterCase;
        if (c == QLatin1Char('\\')) {
            if (++i >= mask.size())
                break;
            p.literal = true;
            p.ch = mask.at(i);
        } else {
            p.literal = !isMaskChar(c);
            p.ch = c;
        }
        result.m_positions.append(p);
    }
    // Fields after the mask: save-literals flag, then the blank character.
    const QString rest = i < mask.size() ? mask.mid(i + 1) : QString();
    if (i < mask.size()) {
        const int sep = rest.indexOf(QLatin1Char(';'));
        const QString save = sep < 0 ? rest : rest.left(sep);
        if (!save.isEmpty())
            result.m_saveLiterals = save.at(0) != QLatin1Char('0');
        if (sep >= 0 && sep + 1 < rest.size())
            result.m_blank = rest.at(sep + 1);
    }
    return result;
}

QString DelphiMask::toQtInputMask() const
{
    if (m_positions.isEmpty())
        return QString();
    QString out;
    Case current = Case::Keep;
    for (const Position &p : m_positions) {
        if (p.letterCase != current) {
            out += p.letterCase == Case::Upper   ? QLatin1Char('>')
                   : p.letterCase == Case::Lower ? QLatin1Char('<')
                                                 : QLatin1Char('!');
            current = p.letterCase;
        }
        if (p.literal) {
            if (isQtMeta(p.ch))
                out += QLatin1Char('\\');
            out += p.ch;
        } else {
            out += qtCode(p.ch);
        }
    }
    out += QLatin1Char(';');
    out += m_blank;
    return out;
}

QChar DelphiMask::applyCase(QChar c, Case letterCase)
{
    switch (letterCase) {
    case Case::Upper: return c.toUpper();
    case Case::Lower: return c.toLower();
    case Case::Keep: break;
    }
    return c;
}

bool DelphiMask::place(const QString &raw, QString &out, QVector<bool> &filled) const
{
    out.clear();
    filled.fill(false, m_positions.size());
    int r = 0;
    for (int i = 0; i < m_positions.size(); ++i) {
        const Position &p = m_positions.at(i);
        if (p.literal) {
            if (r < raw.size() && raw.at(r) == p.ch)
                ++r;
            out += p.ch;
        } else if (r < raw.size()) {
            const QChar c = raw.at(r++);
            filled[i] = c != m_blank;
            out += applyCase(c, p.letterCase);
        } else {
            out += m_blank;
        }
    }
    return r >= raw.size();
}

QString DelphiMask::layout(const QString &raw) const
{
    if (m_positions.isEmpty())
        return raw;
    QString out;
    QVector<bool> filled;
    place(raw, out, filled);
    return out;
}

QString DelphiMask::format(const QString &raw) const
{
    if (m_positions.isEmpty() || raw.isEmpty())
        return raw;
    QString out;
    QVector<bool> filled;
    if (!place(raw, out, filled))
        return raw; // longer than the mask: show it whole rather than lose characters
    const int last = int(filled.lastIndexOf(true));
    return last < 0 ? QString() : out.left(last + 1);
}

QString DelphiMask::extract(const QString &display) const
{
    if (m_positions.isEmpty())
        return display;
    QString out;
    int keep = 0; // length of out up to its last filled character
    const int n = qMin(int(m_positions.size()), int(display.size()));
    for (int i = 0; i < n; ++i) {
        const Position &p = m_positions.at(i);
        const QChar c = display.at(i);
        if (p.literal) {
            if (m_saveLiterals)
                out += p.ch;
        } else if (c != m_blank) {
            out += c;
            keep = int(out.size());
        }
    }
    return out.left(keep);
}

QString DelphiMask::stripLiterals(const QString &typed) const
{
    if (m_saveLiterals || m_positions.isEmpty())
        return typed;
    QString literals;
    for (const Position &p : m_positions)
        if (p.literal && !p.ch.isLetterOrNumber())
            literals += p.ch;
    QString out;
    for (QChar c : typed)
        if (!literals.contains(c))
            out += c;
    return out;
}

bool DelphiMask::accepts(QChar maskChar, QChar c)
{
    // Codes are ASCII: a fullwidth or another script's digit looks like one and is not,
    // and would sort and compare apart from the codes the database holds.
    const bool digit = c >= QLatin1Char('0') && c <= QLatin1Char('9');
    const bool letter = c.unicode() < 128 && c.isLetter();
    switch (maskChar.unicode()) {
    case 'L':
    case 'l': return letter;
    case 'A':
    case 'a': return letter || digit;
    case 'C':
    case 'c': return !c.isNull();
    case '0':
    case '9': return digit;
    case '#': return digit || c == QLatin1Char('+') || c == QLatin1Char('-');
    default: return false;
    }
}

bool DelphiMask::required(QChar maskChar)
{
    switch (maskChar.unicode()) {
    case 'L':
    case 'A':
    case 'C':
    case '0': return true;
    default: return false;
    }
}

QString DelphiMask::text() const
{
    QString out;
    for (const Position &p : m_positions)
        out += p.ch;
    return out;
}

QString DelphiMask::normalise(QString &code) const
{
    if (m_positions.isEmpty())
        return QString();
    QString literals;
    QVector<const Position *> editable;
    for (const Position &p : m_positions) {
        if (p.literal)
            literals += p.ch;
        else
            editable << &p;
    }
    const QString typed = code.trimmed();
    QString raw;
    for (QChar c : typed)
        if (!literals.contains(c))
            raw += c;
    if (raw.size() > editable.size())
        return QStringLiteral("O código '%1' tem mais caracteres do que a máscara %2 comporta.").arg(typed, text());
    for (int i = 0; i < raw.size(); ++i) {
        const Position &p = *editable.at(i);
        if (!accepts(p.ch, raw.at(i)))
            return QStringLiteral("O caractere '%1' não é aceito na posição %2 do código (máscara %3).")
                .arg(raw.at(i))
                .arg(i + 1)
                .arg(text());
        raw[i] = applyCase(raw.at(i), p.letterCase);
    }
    for (qsizetype i = raw.size(); i < editable.size(); ++i)
        if (required(editable.at(i)->ch))
            return QStringLiteral("O código '%1' está incompleto para a máscara %2.").arg(typed, text());
    code = raw;
    return QString();
}

QString DelphiMask::misfit(const QString &raw) const
{
    if (m_positions.isEmpty())
        return QString();
    int r = 0;
    for (const Position &p : m_positions) {
        if (r >= raw.size())
            break;
        if (p.literal) {
            if (raw.at(r) == p.ch)
                ++r;
            continue;
        }
        const QChar c = raw.at(r++);
        if (c != m_blank && !accepts(p.ch, c))
            return QStringLiteral("o caractere '%1' não cabe na posição %2 da máscara %3").arg(c).arg(r).arg(text());
    }
    if (r < raw.size())
        return QStringLiteral("'%1' tem mais caracteres do que a máscara %2 comporta").arg(raw, text());
    return QString();
}
