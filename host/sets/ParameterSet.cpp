#include "sets/ParameterSet.h"

#include "text/ListString.h"

#include <QDateTime>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace {

const char kFormatKey[] = "formato";
const char kScreenKey[] = "tela";
const char kNameKey[] = "nome";
const char kReportKey[] = "relatorio";
const char kValuesKey[] = "valores";
const char kPeriodKey[] = "periodo";
const char kSavedKey[] = "gravadoEm";

// A value as the file holds it: text, a list of keys, a number or a yes/no. nullopt for
// anything else (an object, null).
std::optional<QString> valueText(const QJsonValue &v)
{
    switch (v.type()) {
    case QJsonValue::String: return v.toString();
    case QJsonValue::Array: {
        QStringList keys;
        for (const QJsonValue &k : v.toArray()) {
            if (!k.isString())
                return std::nullopt;
            keys << k.toString();
        }
        return ListString::encode(keys);
    }
    case QJsonValue::Double:
        if (v.toDouble() == double(qint64(v.toDouble())))
            return QString::number(qint64(v.toDouble()));
        return std::nullopt;
    case QJsonValue::Bool: return v.toBool() ? QStringLiteral("S") : QStringLiteral("N");
    default: return std::nullopt;
    }
}

// A list of keys is written as a JSON array, so the file reads as what it is.
QJsonValue fileValue(const QString &value)
{
    if (value.startsWith(QLatin1Char('['))) {
        const QJsonDocument doc = QJsonDocument::fromJson(value.toUtf8());
        if (doc.isArray())
            return doc.array();
    }
    return value;
}

void readValues(const QJsonObject &values, ParameterSet &set)
{
    for (auto it = values.begin(); it != values.end(); ++it) {
        if (const std::optional<QString> text = valueText(it.value()))
            set.values.insert(it.key(), *text);
        else
            set.skipped << QStringLiteral("o valor de '%1' não é um texto nem uma lista de chaves").arg(it.key());
    }
}

} // namespace

QString ParameterSet::cleanName(const QString &name)
{
    return name.simplified();
}

QByteArray ParameterSet::toJson() const
{
    QJsonObject values;
    for (auto it = this->values.begin(); it != this->values.end(); ++it)
        values.insert(it.key(), fileValue(it.value()));
    QJsonObject o{{QLatin1String(kFormatKey), kFormat},
                  {QLatin1String(kScreenKey), screen},
                  {QLatin1String(kNameKey), name},
                  {QLatin1String(kValuesKey), values},
                  {QLatin1String(kSavedKey), QDateTime::currentDateTime().toString(Qt::ISODate)}};
    if (!report.isEmpty())
        o.insert(QLatin1String(kReportKey), report);
    if (period)
        o.insert(QLatin1String(kPeriodKey), period->toJson());
    return QJsonDocument(o).toJson(QJsonDocument::Indented);
}

std::optional<ParameterSet> ParameterSet::fromJson(const QByteArray &data, QString *why)
{
    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(data, &error);
    if (error.error != QJsonParseError::NoError) {
        *why =
            QStringLiteral("incompleto ou danificado (%1, no caractere %2)").arg(error.errorString()).arg(error.offset);
        return std::nullopt;
    }
    const QJsonObject o = doc.object();
    const QJsonValue format = o.value(QLatin1String(kFormatKey));
    if (!doc.isObject() || !format.isDouble()) {
        *why = QStringLiteral("não é um conjunto de parâmetros (falta \"%1\")").arg(QLatin1String(kFormatKey));
        return std::nullopt;
    }
    ParameterSet set;
    set.name = cleanName(o.value(QLatin1String(kNameKey)).toString());
    set.screen = o.value(QLatin1String(kScreenKey)).toString().trimmed();
    if (set.name.isEmpty() || set.screen.isEmpty()) {
        *why = QStringLiteral("não diz o seu nome e a sua tela");
        return std::nullopt;
    }
    if (format.toInt() > kFormat)
        set.skipped << QStringLiteral("foi gravado por uma versão mais nova (formato %1; esta lê o %2)")
                           .arg(format.toInt())
                           .arg(kFormat);
    set.report = o.value(QLatin1String(kReportKey)).toString();
    readValues(o.value(QLatin1String(kValuesKey)).toObject(), set);
    if (o.contains(QLatin1String(kPeriodKey))) {
        RelativePeriod period;
        QString periodWhy;
        if (RelativePeriod::fromJson(o.value(QLatin1String(kPeriodKey)).toObject(), &period, &periodWhy))
            set.period = period;
        else
            set.skipped << periodWhy;
    }
    const QStringList known{QLatin1String(kFormatKey), QLatin1String(kScreenKey), QLatin1String(kNameKey),
                            QLatin1String(kReportKey), QLatin1String(kValuesKey), QLatin1String(kPeriodKey),
                            QLatin1String(kSavedKey)};
    for (const QString &key : o.keys())
        if (!known.contains(key))
            set.skipped << QStringLiteral("a chave \"%1\" não é conhecida").arg(key);
    return set;
}
