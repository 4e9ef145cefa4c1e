#include "Tabvalid.h"
#include "Consiste.h"

namespace {

// One position of a Delphi mask: the class of character it takes and the case it forces.
struct Slot { QChar kind; QChar caseMode; };

bool accepts(QChar kind, QChar c)
{
    switch (kind.toLatin1()) {
    case 'L': case 'l': return c.isLetter();
    case 'A': case 'a': return c.isLetterOrNumber();
    case 'C': case 'c': return !c.isNull();
    case '0': case '9': return c.isDigit();
    case '#': return c.isDigit() || c == QLatin1Char('+') || c == QLatin1Char('-');
    default: return false;
    }
}

} // namespace

namespace Tabvalid {

QString normalise(const QString &delphiMask, QString &code)
{
    const QString mask = delphiMask.section(QLatin1Char(';'), 0, 0);
    if (mask.isEmpty())
        return QString();
    QList<Slot> positions;
    QString literals;
    QChar caseMode;
    for (int i = 0; i < mask.size(); ++i) {
        const QChar m = mask.at(i);
        if (m == QLatin1Char('>')) {
            caseMode = (i + 1 < mask.size() && mask.at(i + 1) == QLatin1Char('<')) ? QChar() : m;
            if (caseMode.isNull()) ++i;
        } else if (m == QLatin1Char('<')) {
            caseMode = m;
        } else if (m == QLatin1Char('!')) {
        } else if (m == QLatin1Char('\\')) {
            if (++i < mask.size()) literals += mask.at(i);
        } else if (QStringLiteral("LlAaCc09#").contains(m)) {
            positions.append({m, caseMode});
        } else {
            literals += m;
        }
    }
    QString raw;
    for (const QChar c : code.trimmed())
        if (!literals.contains(c))
            raw += c;
    if (raw.size() > positions.size())
        return QStringLiteral("O código '%1' tem mais caracteres do que a máscara %2 comporta.")
            .arg(code.trimmed(), mask);
    for (int i = 0; i < raw.size(); ++i) {
        const Slot &s = positions.at(i);
        if (!accepts(s.kind, raw.at(i)))
            return QStringLiteral("O caractere '%1' não é aceito na posição %2 do código (máscara %3).")
                .arg(raw.at(i)).arg(i + 1).arg(mask);
        if (s.caseMode == QLatin1Char('>')) raw[i] = raw.at(i).toUpper();
        else if (s.caseMode == QLatin1Char('<')) raw[i] = raw.at(i).toLower();
    }
    for (int i = int(raw.size()); i < positions.size(); ++i) {
        const QChar k = positions.at(i).kind;
        if (k == QLatin1Char('L') || k == QLatin1Char('A') || k == QLatin1Char('C') || k == QLatin1Char('0'))
            return QStringLiteral("O código '%1' está incompleto para a máscara %2.").arg(code.trimmed(), mask);
    }
    code = raw;
    return QString();
}

void ValidEx(TDataSource *, TPictType pictType, QString &code, int, const QString &, bool)
{
    const QString error = normalise(Zelmora::DBPict(pictType), code);
    if (!error.isEmpty())
        Consiste::MensErro(error, true);
}

} // namespace Tabvalid
