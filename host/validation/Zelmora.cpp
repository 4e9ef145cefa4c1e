#include "validation/Zelmora.h"
#include "data/Database.h"
#include "app/Session.h"
#include "data/TADOIBQuery.h"

namespace {
// One value of the session's tables, through the query component (bound value, the
// database named in any failure, the link reopened when the server came back).
QVariant lookupOne(const QString &sql, const QVariant &key)
{
    TADOIBQuery q;
    q.SQL = QStringList{sql};
    q.DeclareParam(QStringLiteral("CHAVE"),
                   key.metaType().id() == QMetaType::Int ? TFieldType::ftInteger : TFieldType::ftString);
    q.ParamByName(QStringLiteral("CHAVE")).setValue(key);
    q.Open();
    return q.IsEmpty() ? QVariant() : q.Fields(0).Value();
}
} // namespace

namespace Zelmora {

QString FiliProc()
{
    return Session::current().filial;
}

bool ModuFili()
{
    return Session::current().vinculadoFilial;
}

QDate DataProc(const QString &branch)
{
    const QVariant v = lookupOne(QStringLiteral("SELECT DTPROCESSO FROM FILIAL WHERE CDFILIAL = :CHAVE"), branch);
    QDate d =
        v.metaType().id() == QMetaType::QDate ? v.toDate() : QDate::fromString(v.toString().left(10), Qt::ISODate);
    return d.isValid() ? d : QDate::currentDate();
}

QString DBPict(TPictType pictType)
{
    return lookupOne(QStringLiteral("SELECT DSMASCARA FROM PICTURA WHERE IDPICTURA = :CHAVE"), int(pictType))
        .toString();
}

QString WebURL()
{
    return Session::current().serverHost;
}

int WebPort()
{
    return Session::current().serverPort;
}

} // namespace Zelmora

namespace Geral {
quint8 ModuloAtiv()
{
    return quint8(Session::current().modulo);
}
} // namespace Geral
