#include "data/SqlBinding.h"
#include "data/Database.h"
#include "errors/EAbort.h"
#include "text/ListString.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QSqlError>

namespace {

bool isNameChar(QChar c)
{
    return c.isLetterOrNumber() || c == QLatin1Char('_');
}

// Walks the text, calling onParam(name, start, end) for each :NAME outside literals and
// comments.
template<class F>
void scanParams(const QString &sql, F onParam)
{
    const int n = int(sql.size());
    int i = 0;
    while (i < n) {
        const QChar c = sql.at(i);
        if (c == QLatin1Char('\'') || c == QLatin1Char('"')) {
            const QChar quote = c;
            ++i;
            while (i < n) {
                if (sql.at(i) == quote) {
                    if (i + 1 < n && sql.at(i + 1) == quote) {
                        i += 2;
                        continue;
                    }
                    break;
                }
                ++i;
            }
            ++i;
        } else if (c == QLatin1Char('-') && i + 1 < n && sql.at(i + 1) == QLatin1Char('-')) {
            while (i < n && sql.at(i) != QLatin1Char('\n'))
                ++i;
        } else if (c == QLatin1Char('/') && i + 1 < n && sql.at(i + 1) == QLatin1Char('*')) {
            const int end = int(sql.indexOf(QLatin1String("*/"), i + 2));
            i = end < 0 ? n : end + 2;
        } else if (c == QLatin1Char(':')) {
            if (i + 1 < n && sql.at(i + 1) == QLatin1Char(':')) {
                i += 2;
                continue;
            } // cast
            int j = i + 1;
            while (j < n && isNameChar(sql.at(j)))
                ++j;
            if (j > i + 1 && !sql.at(i + 1).isDigit()) {
                onParam(sql.mid(i + 1, j - i - 1), i, j);
                i = j;
            } else {
                ++i;
            }
        } else {
            ++i;
        }
    }
}

// True when the marker at [start, end) stands alone inside "IN ( ... )".
bool insideIn(const QString &sql, int start, int end, int &openParen, int &closeParen)
{
    int i = start - 1;
    while (i >= 0 && sql.at(i).isSpace())
        --i;
    if (i < 0 || sql.at(i) != QLatin1Char('('))
        return false;
    openParen = i;
    --i;
    while (i >= 0 && sql.at(i).isSpace())
        --i;
    if (i < 1)
        return false;
    if (sql.mid(i - 1, 2).compare(QLatin1String("IN"), Qt::CaseInsensitive) != 0)
        return false;
    if (i - 2 >= 0 && isNameChar(sql.at(i - 2)))
        return false;
    int k = end;
    while (k < sql.size() && sql.at(k).isSpace())
        ++k;
    if (k >= sql.size() || sql.at(k) != QLatin1Char(')'))
        return false;
    closeParen = k;
    return true;
}

// How many markers one IN list may take on each database. On Firebird each marker
// carries its cast (below) and a statement's text may not pass 64 KB.
int inListLimit(SqlDialect dialect)
{
    return dialect == SqlDialect::Firebird ? 400 : 1000;
}

// The marker of a value. Firebird gives a marker the type of what it is compared with
// (CHAR(1) in "? = 'T'"), and the client library then silently cuts a longer text to
// that size: "TT" would be taken for "T" and list every branch. A text therefore goes
// typed by its own length.
QString marker(const QVariant &value, SqlDialect dialect)
{
    if (dialect != SqlDialect::Firebird || value.typeId() != QMetaType::QString)
        return QStringLiteral("?");
    const qsizetype length = value.toString().toUcs4().size();
    if (length > 8191) // longest VARCHAR in UTF-8; past that the column decides
        return QStringLiteral("?");
    return QStringLiteral("CAST(? AS VARCHAR(%1))").arg(qMax<qsizetype>(1, length));
}

// A list for Firebird's LISTA_VALORES: items "<length>:<value>", the length counted in
// characters, so that quotes, commas, colons and accents in a value need no escaping.
QString firebirdList(const QStringList &keys)
{
    QString out;
    for (const QString &k : keys)
        out += QString::number(k.toUcs4().size()) + QLatin1Char(':') + k;
    return out;
}

} // namespace

QStringList PreparedSql::parameterNames(const QString &sql)
{
    QStringList names;
    scanParams(sql, [&](const QString &name, int, int) {
        bool seen = false;
        for (const QString &n : names)
            if (n.compare(name, Qt::CaseInsensitive) == 0)
                seen = true;
        if (!seen)
            names << name;
    });
    return names;
}

PreparedSql PreparedSql::prepare(const QString &sql, const TParams &params, SqlDialect dialect)
{
    struct Marker
    {
        QString name;
        int start, end;
    };
    std::vector<Marker> markers;
    scanParams(sql, [&](const QString &name, int s, int e) { markers.push_back({name, s, e}); });

    PreparedSql out;
    int pos = 0;
    for (const Marker &m : markers) {
        const TParam *p = params.FindParam(m.name);
        if (!p)
            throw ESuiteError(QStringLiteral("Parâmetro '%1' sem valor na consulta.").arg(m.name));
        int open = -1, close = -1;
        const bool isList =
            m.name.startsWith(QLatin1String("L_"), Qt::CaseInsensitive) && insideIn(sql, m.start, m.end, open, close);
        if (!isList) {
            const QVariant value = p->boundValue();
            out.text += sql.mid(pos, m.start - pos) + marker(value, dialect);
            out.values << value;
            pos = m.end;
            continue;
        }
        const QStringList keys = ListString::decode(p->AsString());
        out.text += sql.mid(pos, m.start - pos);
        pos = m.end;
        if (keys.size() <= inListLimit(dialect)) {
            if (keys.isEmpty()) {
                out.text += QStringLiteral("NULL");
            } else {
                QStringList marks;
                for (const QString &k : keys) {
                    marks << marker(k, dialect);
                    out.values << k;
                }
                out.text += marks.join(QLatin1Char(','));
            }
            continue;
        }
        // Longer lists travel as one value that the database unpacks itself: a JSON array,
        // or on Firebird the items its procedure reads.
        if (dialect == SqlDialect::Firebird) {
            out.text += QStringLiteral("SELECT VALOR FROM LISTA_VALORES(?)");
            out.values << firebirdList(keys);
            continue;
        }
        QJsonArray array;
        for (const QString &k : keys)
            array.append(k);
        const QString json = QString::fromUtf8(QJsonDocument(array).toJson(QJsonDocument::Compact));
        out.text += dialect == SqlDialect::SQLite ? QStringLiteral("SELECT value FROM json_each(?)")
                                                  : QStringLiteral("SELECT json_array_elements_text(CAST(? AS json))");
        out.values << json;
    }
    out.text += sql.mid(pos);
    return out;
}

void PreparedSql::exec(QSqlQuery &query) const
{
    if (!query.prepare(text))
        throw EDatabaseError(QStringLiteral("Erro ao preparar a consulta no banco de dados"),
                             databaseCause(query.lastError()));
    for (int i = 0; i < values.size(); ++i)
        query.bindValue(i, values.at(i));
    if (!query.exec())
        throw EDatabaseError(QStringLiteral("Erro ao executar a consulta no banco de dados"),
                             databaseCause(query.lastError()));
}
