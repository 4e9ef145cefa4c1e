#include "ShellOptions.h"

#include <QTest>

// The shell's command line read into options, and what it refuses before anything starts.
class tst_ShellOptions : public QObject
{
    Q_OBJECT

private slots:
    void commandLine_data();
    void commandLine();
    void batchRead();
};

void tst_ShellOptions::commandLine_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QString>("said"); // part of the refusal; empty: accepted
    QTest::addColumn<bool>("batch");
    QTest::addColumn<bool>("headless");

    QTest::newRow("window") << QStringList{"--open", "LPR07731"} << QString() << false << false;
    QTest::newRow("modules, even with --batch")
        << QStringList{"--modules", "--batch", "LPR07731"} << QString() << false << true;
    QTest::newRow("batch without an output")
        << QStringList{"--batch", "LPR07731"} << "--batch precisa de --save" << true << true;
    QTest::newRow("batch listing its sets")
        << QStringList{"--batch", "LPR07731", "--list-variants"} << QString() << true << true;
    QTest::newRow("--set without a name") << QStringList{"--batch", "LPR07731", "--save", "a.pdf", "--set", "=1"}
                                          << "--set espera CONTROLE=VALOR: =1" << true << true;
    QTest::newRow("period not understood") << QStringList{"--batch", "LPR07731", "--save", "a.pdf", "--period", "ontem"}
                                           << "período não reconhecido: ontem" << true << true;
    QTest::newRow("unknown flag") << QStringList{"--verbose"} << "suite: " << false << false;
}

void tst_ShellOptions::commandLine()
{
    QFETCH(QStringList, args);
    QFETCH(QString, said);
    QFETCH(bool, batch);
    QFETCH(bool, headless);
    const QStringList arguments = QStringList{"suite"} + args;
    const ShellCommandLine line = parseShellOptions(arguments);
    QVERIFY2(said.isEmpty() ? line.error.isEmpty() : line.error.contains(said), qPrintable(line.error));
    QCOMPARE(line.options.batch.has_value(), batch);
    QCOMPARE(headlessRun(arguments), headless);
}

// Every part of a display-less run reaches its options, the settings in their order and
// a value that holds "=" whole.
void tst_ShellOptions::batchRead()
{
    const ShellCommandLine line =
        parseShellOptions({"suite", "--config", "s.ini", "--batch", "LPR07731", "--report", "Por fornecedor", "--save",
                           "a.csv", "--set", "medCdFilial=0001", "--set", "edtObs=a=b", "--variant", "Semanal",
                           "--period", "semana atual", "--dump-params"});
    QVERIFY2(line.error.isEmpty(), qPrintable(line.error));
    QCOMPARE(line.options.config, QStringLiteral("s.ini"));
    const BatchOptions &b = *line.options.batch;
    QCOMPARE(b.screen, QStringLiteral("LPR07731"));
    QCOMPARE(b.report, QStringLiteral("Por fornecedor"));
    QCOMPARE(b.saveFile, QStringLiteral("a.csv"));
    QCOMPARE(b.variant, QStringLiteral("Semanal"));
    QVERIFY(b.period.has_value());
    QVERIFY(b.dumpParams);
    QCOMPARE(int(b.settings.size()), 2);
    QCOMPARE(b.settings.at(0), std::make_pair(QStringLiteral("medCdFilial"), QStringLiteral("0001")));
    QCOMPARE(b.settings.at(1), std::make_pair(QStringLiteral("edtObs"), QStringLiteral("a=b")));
}

QTEST_GUILESS_MAIN(tst_ShellOptions)
#include "tst_shelloptions.moc"
