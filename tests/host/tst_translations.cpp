// Qt's own dialogs in Portuguese once the suite's translations are installed, as the shell
// does at start.
#include "app/Translations.h"

#include <QApplication>
#include <QFileDialog>
#include <QPrintDialog>
#include <QPrinter>
#include <QPushButton>
#include <QTest>
#include <QTimer>

class tst_Translations : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void printDialog();
    void fileDialog();
};

void tst_Translations::initTestCase()
{
    const QString file = Translations::install(qApp);
    QVERIFY2(!file.isEmpty(), "Qt's Brazilian Portuguese translations are not installed (qt6-translations-l10n)");
}

void tst_Translations::printDialog()
{
    QPrinter printer;
    QPrintDialog dialog(&printer);
    QStringList texts;
    for (QPushButton *b : dialog.findChildren<QPushButton *>())
        texts << b->text().remove(QLatin1Char('&'));
    for (const char *english : {"Cancel", "Options >>", "Print"})
        QVERIFY2(!texts.contains(QLatin1String(english)), qPrintable(texts.join(QLatin1String(" | "))));
    QVERIFY2(texts.contains(QStringLiteral("Cancelar")), qPrintable(texts.join(QLatin1String(" | "))));
}

void tst_Translations::fileDialog()
{
    QFileDialog dialog(nullptr, QStringLiteral("Salvar Relatório"));
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    QStringList texts;
    for (QPushButton *b : dialog.findChildren<QPushButton *>())
        texts << b->text().remove(QLatin1Char('&'));
    QVERIFY2(texts.contains(QStringLiteral("Salvar")), qPrintable(texts.join(QLatin1String(" | "))));
    QVERIFY2(!texts.contains(QStringLiteral("Save")) && !texts.contains(QStringLiteral("Cancel")),
             qPrintable(texts.join(QLatin1String(" | "))));
}

QTEST_MAIN(tst_Translations)
#include "tst_translations.moc"
