#include "Zelmora.h"
#include "Database.h"
#include "EAbort.h"
#include "Session.h"

#include <QSqlError>
#include <QSqlQuery>

namespace {
QVariant lookupOne(const QString &sql, const QVariant &key)
{
    QSqlDatabase db = dtmDBGeral::dtbGeral();
    if (!db.isOpen())
        throw EDatabaseError(QStringLiteral("O banco de dados %1 não está aberto.")
                                 .arg(dtmDBGeral::config().describe()));
    QSqlQuery q(db);
    q.setForwardOnly(true);
    if (!q.prepare(sql))
        throw EDatabaseError(QStringLiteral("Erro ao consultar o banco de dados %1: %2")
                                 .arg(dtmDBGeral::config().describe(), q.lastError().text()));
    q.addBindValue(key);
    if (!q.exec())
        throw EDatabaseError(QStringLiteral("Erro ao consultar o banco de dados %1: %2")
                                 .arg(dtmDBGeral::config().describe(), q.lastError().text()));
    return q.next() ? q.value(0) : QVariant();
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
    const QVariant v = lookupOne(QStringLiteral("SELECT DTPROCESSO FROM FILIAL WHERE CDFILIAL = ?"), branch);
    QDate d = v.metaType().id() == QMetaType::QDate ? v.toDate()
                                                     : QDate::fromString(v.toString().left(10), Qt::ISODate);
    return d.isValid() ? d : QDate::currentDate();
}

QString DBPict(TPictType pictType)
{
    return lookupOne(QStringLiteral("SELECT DSMASCARA FROM PICTURA WHERE IDPICTURA = ?"),
                     int(pictType)).toString();
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
