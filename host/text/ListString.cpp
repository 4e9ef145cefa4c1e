#include "text/ListString.h"

#include <QJsonArray>
#include <QJsonDocument>

namespace ListString {

QString encode(const QStringList &keys)
{
    QJsonArray array;
    for (const QString &k : keys)
        array.append(k);
    return QString::fromUtf8(QJsonDocument(array).toJson(QJsonDocument::Compact));
}

QStringList decode(const QString &list)
{
    if (list.isEmpty())
        return {};
    if (list.startsWith(QLatin1Char('['))) {
        QJsonParseError error;
        const QJsonDocument doc = QJsonDocument::fromJson(list.toUtf8(), &error);
        if (error.error == QJsonParseError::NoError && doc.isArray()) {
            QStringList keys;
            for (const QJsonValue &v : doc.array())
                keys << v.toString();
            return keys;
        }
    }
    return {list};
}

} // namespace ListString
