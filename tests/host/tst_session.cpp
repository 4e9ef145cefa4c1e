// A session file with a setting that is not a valid value stops the program with a message
// naming the file, the key and what is accepted: nothing falls back to a default silently,
// and no value is cut to fit its field.
#include "errors/EAbort.h"
#include "app/Session.h"
#include "report/ReportJob.h"

#include <QTemporaryDir>
#include <QtTest>

class tst_Session : public QObject
{
    Q_OBJECT
private slots:
    void invalidSettingRefused_data();
    void invalidSettingRefused();
};

void tst_Session::invalidSettingRefused_data()
{
    QTest::addColumn<QString>("section");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("value");    // empty: a valid file
    QTest::addColumn<QString>("accepted"); // part of the message

    const QString number = QStringLiteral("número inteiro de ");
    for (const char *key : {"TempoLimite", "LimiteLinhas", "LimiteArquivoMB"})
        for (const char *value : {"abc", "0", "-5", "10x"})
            QTest::newRow(qPrintable(QStringLiteral("%1=%2").arg(QLatin1String(key), QLatin1String(value))))
                << QStringLiteral("Relatorios") << QString::fromLatin1(key) << QString::fromLatin1(value) << number;
    QTest::newRow("Modulo=abc") << QStringLiteral("Sessao") << QStringLiteral("Modulo") << QStringLiteral("abc")
                                << number;
    QTest::newRow("Porta=abc") << QStringLiteral("ServidorAplicacao") << QStringLiteral("Porta")
                               << QStringLiteral("abc") << number;
    // Fullwidth digits are digits to Unicode, not to a port or a code.
    QTest::newRow("Porta fullwidth") << QStringLiteral("ServidorAplicacao") << QStringLiteral("Porta")
                                     << QStringLiteral("２１１７３") << number;
    QTest::newRow("Filial longer than its field")
        << QStringLiteral("Sessao") << QStringLiteral("Filial") << QStringLiteral("0001' OR 1=1 --")
        << QStringLiteral("até 4 letras ou dígitos");
    QTest::newRow("Filial fullwidth") << QStringLiteral("Sessao") << QStringLiteral("Filial")
                                      << QStringLiteral("０１００") << QStringLiteral("até 4 letras ou dígitos");
    QTest::newRow("Compressao=talvez") << QStringLiteral("ServidorAplicacao") << QStringLiteral("Compressao")
                                       << QStringLiteral("talvez") << QStringLiteral("informe S ou N");
    QTest::newRow("valid") << QStringLiteral("Relatorios") << QStringLiteral("TempoLimite") << QStringLiteral("30")
                           << QString();
}

void tst_Session::invalidSettingRefused()
{
    QFETCH(QString, section);
    QFETCH(QString, key);
    QFETCH(QString, value);
    QFETCH(QString, accepted);
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("sessao.ini"));
    {
        QFile f(file);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(QStringLiteral("[Sessao]\nFilial=0001\n[%1]\n%2=%3\n").arg(section, key, value).toUtf8());
    }
    Session session;
    try {
        session.load(file);
        QVERIFY2(accepted.isEmpty(), "an invalid setting was taken");
        QCOMPARE(ReportLimits::fromFile(file).seconds, 30);
    } catch (const ESuiteError &e) {
        QVERIFY2(!accepted.isEmpty(), qPrintable(e.message()));
        for (const QString &part : {file, key, QStringLiteral("[%1]").arg(section), accepted})
            QVERIFY2(e.message().contains(part), qPrintable(e.message()));
    }
}

QTEST_MAIN(tst_Session)
#include "tst_session.moc"
