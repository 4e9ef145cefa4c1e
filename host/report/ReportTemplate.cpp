#include "report/ReportTemplate.h"
#include "errors/EAbort.h"
#include "text/ListString.h"
#include "report/ReportFormat.h"

#include <QRegularExpression>
#include <QSqlRecord>

namespace {

const QRegularExpression &placeholder()
{
    static const QRegularExpression re(QStringLiteral("\\{(:?[A-Za-z_][A-Za-z0-9_]*|@count)((?:\\|[^|{}]*)*)\\}"));
    return re;
}

QStringList formatsOf(const QString &tail)
{
    QStringList formats = tail.split(QLatin1Char('|'), Qt::SkipEmptyParts);
    return formats;
}

QString listText(const QString &list)
{
    if (list == QLatin1String("T"))
        return QStringLiteral("Todos");
    const QStringList keys = ListString::decode(list);
    if (keys.isEmpty())
        return QStringLiteral("nenhum");
    const int shown = 8;
    QStringList trimmed;
    for (qsizetype i = 0; i < keys.size() && i < shown; ++i)
        trimmed << keys.at(i).trimmed();
    QString text = trimmed.join(QStringLiteral(", "));
    if (keys.size() > shown)
        text += QStringLiteral(" e mais %1").arg(keys.size() - shown);
    return text;
}

} // namespace

QString ReportTemplate::applyFormats(const QVariant &value, const QStringList &formats)
{
    QVariant current = value;
    QString text;
    bool isText = false;
    auto asText = [&]() -> QString {
        if (!isText) {
            text = ReportFormat::display(current, QString());
            isText = true;
        }
        return text;
    };
    for (const QString &format : formats) {
        const QString kind = ReportFormat::kindOf(format);
        const QString arg = ReportFormat::argumentOf(format);
        if (kind == QLatin1String("list")) {
            text = listText(asText());
        } else if (kind == QLatin1String("map")) {
            const QString key = asText();
            QString mapped = key;
            for (const QString &pair : arg.split(QLatin1Char(';'))) {
                const qsizetype eq = pair.indexOf(QLatin1Char('='));
                if (eq > 0 && pair.left(eq).trimmed() == key.trimmed()) {
                    mapped = pair.mid(eq + 1);
                    break;
                }
            }
            text = mapped;
        } else if (kind == QLatin1String("trimright")) {
            QString t = asText();
            const QChar c = arg.isEmpty() ? QLatin1Char(' ') : arg.at(0);
            while (!t.isEmpty() && t.back() == c)
                t.chop(1);
            text = t;
        } else if (kind == QLatin1String("default")) {
            if (asText().trimmed().isEmpty())
                text = arg;
        } else if (kind == QLatin1String("upper")) {
            text = asText().toUpper();
        } else {
            text = isText ? ReportFormat::display(text, format) : ReportFormat::display(current, format);
        }
        isText = true;
    }
    return asText();
}

QStringList ReportTemplate::parameterNames(const QString &text)
{
    QStringList names;
    auto it = placeholder().globalMatch(text);
    while (it.hasNext()) {
        const QString name = it.next().captured(1);
        if (name.startsWith(QLatin1Char(':')) && !names.contains(name.mid(1), Qt::CaseInsensitive))
            names << name.mid(1);
    }
    return names;
}

QStringList ReportTemplate::fieldNames(const QString &text)
{
    QStringList names;
    auto it = placeholder().globalMatch(text);
    while (it.hasNext()) {
        const QString name = it.next().captured(1);
        if (!name.startsWith(QLatin1Char(':')) && !name.startsWith(QLatin1Char('@'))
            && !names.contains(name, Qt::CaseInsensitive))
            names << name;
    }
    return names;
}

QString ReportTemplate::expandParams(const QString &text, const TParams &params)
{
    QString out;
    qsizetype pos = 0;
    auto it = placeholder().globalMatch(text);
    while (it.hasNext()) {
        const QRegularExpressionMatch m = it.next();
        const QString name = m.captured(1);
        if (!name.startsWith(QLatin1Char(':')))
            continue;
        out += text.mid(pos, m.capturedStart() - pos);
        const TParam *p = params.FindParam(name.mid(1));
        const QVariant value =
            p ? (p->DataType() == TFieldType::ftDate ? QVariant(p->AsDate()) : p->Value()) : QVariant();
        out += applyFormats(value, formatsOf(m.captured(2)));
        pos = m.capturedEnd();
    }
    out += text.mid(pos);
    return out;
}

ReportTemplate ReportTemplate::compile(const QString &text, const TParams &params, const QSqlRecord &fields)
{
    ReportTemplate t;
    qsizetype pos = 0;
    auto addLiteral = [&](const QString &literal) {
        if (literal.isEmpty())
            return;
        if (!t.m_segments.isEmpty() && t.m_segments.back().kind == Segment::Literal)
            t.m_segments.back().text += literal;
        else
            t.m_segments.append({Segment::Literal, literal, -1, {}});
    };
    auto it = placeholder().globalMatch(text);
    while (it.hasNext()) {
        const QRegularExpressionMatch m = it.next();
        const QString name = m.captured(1);
        addLiteral(text.mid(pos, m.capturedStart() - pos));
        pos = m.capturedEnd();
        if (name.startsWith(QLatin1Char(':'))) {
            // Parameter values are fixed for the run: they become literal text, never
            // placeholders of their own.
            addLiteral(expandParams(m.captured(0), params));
            continue;
        }
        Segment s;
        s.formats = formatsOf(m.captured(2));
        if (name == QLatin1String("@count")) {
            s.kind = Segment::Count;
        } else {
            s.kind = Segment::Field;
            s.index = fields.indexOf(name);
            if (s.index < 0)
                throw ESuiteError(QStringLiteral("O texto \"%1\" da definição do relatório usa o campo %2, "
                                                 "que a consulta do relatório não retorna.")
                                      .arg(text, name));
        }
        t.m_segments.append(s);
    }
    addLiteral(text.mid(pos));
    return t;
}

QString ReportTemplate::expand(const QVariantList &row, qint64 count) const
{
    QString out;
    for (const Segment &s : m_segments) {
        switch (s.kind) {
        case Segment::Literal: out += s.text; break;
        case Segment::Count:
            out += applyFormats(count, s.formats.isEmpty() ? QStringList{QStringLiteral("integer")} : s.formats);
            break;
        case Segment::Field: out += applyFormats(s.index < row.size() ? row.at(s.index) : QVariant(), s.formats); break;
        }
    }
    return out;
}
