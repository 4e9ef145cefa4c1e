// The screen stays usable when its database comes back: a dropped link to the server is
// opened again at the next query, and a server that stays away is named in the message.
#include "data/Database.h"
#include "errors/EAbort.h"
#include "data/TADOIBQuery.h"
#include "TestEnv.h"

#include <QSqlQuery>
#include <QTest>

class tst_Reconnect : public QObject
{
    Q_OBJECT
private slots:
    void droppedLinkIsOpenedAgain();
    void serverAwayIsNamed();
};

void tst_Reconnect::droppedLinkIsOpenedAgain()
{
    TestEnv env(SqlDialect::PostgreSQL);
    TADOIBQuery q;
    q.SQL = QStringList{QStringLiteral("SELECT CDFILIAL, NMFILIAL FROM FILIAL WHERE CDFILIAL = :P_CDFILIAL")};
    q.ParamByName(QStringLiteral("P_CDFILIAL")).setValue(QStringLiteral("0001"));
    q.Open();
    const QString name = q.FieldByName(QStringLiteral("NMFILIAL")).AsString();
    QVERIFY(!name.isEmpty());

    // The server ends the screen's session, as a restart or a network cut does. Only the
    // sessions on this test's own database: the other tests running beside it use the same
    // read-only user.
    env.exec(QStringLiteral("SELECT pg_terminate_backend(pid) FROM pg_stat_activity WHERE usename = ? AND datname = ?"),
             {Session::current().db.user, Session::current().db.database});
    QTest::qWait(200);
    QSqlQuery probe(dtmDBGeral::dtbGeral());
    QVERIFY(!probe.exec(QStringLiteral("SELECT 1"))); // the link is really gone

    q.Close();
    q.Open();
    QCOMPARE(q.FieldByName(QStringLiteral("NMFILIAL")).AsString(), name);
    QVERIFY(dtmDBGeral::isOpen());
}

void tst_Reconnect::serverAwayIsNamed()
{
    TestEnv env(SqlDialect::PostgreSQL);
    const DbConfig good = Session::current().db;
    TADOIBQuery q;
    q.SQL = QStringList{QStringLiteral("SELECT COUNT(*) AS N FROM FILIAL")};
    q.Open();

    // The next attempt finds no server at the address the session gives.
    DbConfig away = good;
    away.port = 1;
    try {
        dtmDBGeral::open(away);
        QFAIL("opened a database with no server");
    } catch (const EDatabaseError &e) {
        QVERIFY2(e.message().contains(QStringLiteral("127.0.0.1:1"))
                     || e.message().contains(QStringLiteral("localhost:1")),
                 qPrintable(e.message()));
    }
    // Back at the right address, the screen's queries work again.
    dtmDBGeral::open(good);
    q.Close();
    q.Open();
    QVERIFY(q.FieldByName(QStringLiteral("N")).AsString().toInt() > 0);
}

QTEST_MAIN(tst_Reconnect)
#include "tst_reconnect.moc"
