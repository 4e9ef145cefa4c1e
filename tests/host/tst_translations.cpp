// Qt's own dialogs in Portuguese once the suite's translations are installed, as the shell
// does at start; and the suite's own dialogs, which say in Portuguese what Qt's catalogue
// leaves in English (a folder's type, the dates in the machine's locale) and read whole.
#include "app/Interaction.h"
#include "app/Translations.h"
#include "report/ui/FileDetailsDelegate.h"

#include <QApplication>
#include <QFile>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QPrintDialog>
#include <QPrinter>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QTreeView>

class tst_Translations : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void printDialog();
    void fileDialog_data();
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

void tst_Translations::fileDialog_data()
{
    QTest::addColumn<QString>("which");
    QTest::addColumn<QString>("accept"); // the button that takes the answer
    QTest::addColumn<bool>("details");   // a folder's type and a file's date as the clerk reads them
    QTest::newRow("Qt's own, to save") << QStringLiteral("qt") << QStringLiteral("Salvar") << false;
    QTest::newRow("the suite's, to save a report") << QStringLiteral("save") << QStringLiteral("Salvar") << true;
    QTest::newRow("the suite's, to open an image") << QStringLiteral("open") << QStringLiteral("Abrir") << true;
    QTest::newRow("the suite's text question") << QStringLiteral("text") << QStringLiteral("OK") << false;
}

void tst_Translations::fileDialog()
{
    QFETCH(QString, which);
    QFETCH(QString, accept);
    QFETCH(bool, details);
    QTemporaryDir dir;
    QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("logos")));
    QFile file(dir.filePath(QStringLiteral("lista.pdf")));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(QByteArray(2000, 'x'));
    file.close();
    QVERIFY(QDir::setCurrent(dir.path()));
    const QString title = QStringLiteral("Salvar como novo relatório");

    QStringList buttons;
    QString folderType, fileDate, fileSize, problem;
    QTimer::singleShot(0, this, [&] {
        auto *dialog = qobject_cast<QDialog *>(QApplication::activeModalWidget());
        if (!dialog) {
            problem = QStringLiteral("no dialog");
            return;
        }
        for (QPushButton *b : dialog->findChildren<QPushButton *>())
            buttons << b->text().remove(QLatin1Char('&'));
        if (which == QLatin1String("text") && dialog->width() < dialog->fontMetrics().horizontalAdvance(title) + 100)
            problem = QStringLiteral("%1 px for its title").arg(dialog->width());
        auto *view = dialog->findChild<QTreeView *>(QStringLiteral("treeView"));
        auto *model = dialog->findChild<QFileSystemModel *>();
        if (details && view && model) {
            const auto shown = [&](const QString &path, int column) {
                const QModelIndex cell = model->index(path).siblingAtColumn(column);
                auto *delegate = dynamic_cast<FileDetailsDelegate *>(view->itemDelegateForColumn(column));
                return delegate ? delegate->shown(cell) : cell.data().toString();
            };
            folderType = shown(dir.filePath(QStringLiteral("logos")), FileDetailsDelegate::Type);
            fileDate = shown(file.fileName(), FileDetailsDelegate::Modified);
            fileSize = shown(file.fileName(), FileDetailsDelegate::Size);
        }
        dialog->reject();
    });
    if (which == QLatin1String("qt")) {
        QFileDialog dialog(nullptr, QStringLiteral("Salvar Relatório"));
        dialog.setOption(QFileDialog::DontUseNativeDialog);
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.exec();
    } else if (which == QLatin1String("save")) {
        Interaction::instance()->saveFileName(nullptr, QStringLiteral("Salvar Relatório"),
                                              dir.filePath(QStringLiteral("lista.pdf")), QStringLiteral("PDF (*.pdf)"));
    } else if (which == QLatin1String("open")) {
        Interaction::instance()->openFileName(nullptr, QStringLiteral("Imagem"), QStringLiteral("Imagens (*.png *.pdf)"));
    } else {
        QString answer;
        Interaction::instance()->askText(nullptr, title, QStringLiteral("Título do novo relatório:"), answer);
    }
    QVERIFY2(problem.isEmpty(), qPrintable(problem));
    QVERIFY2(buttons.contains(accept) && buttons.contains(QStringLiteral("Cancelar")),
             qPrintable(buttons.join(QLatin1String(" | "))));
    for (const char *english : {"Save", "Open", "Cancel"})
        QVERIFY2(!buttons.contains(QLatin1String(english)), qPrintable(buttons.join(QLatin1String(" | "))));
    if (details) {
        QCOMPARE(folderType, QStringLiteral("Pasta"));
        QVERIFY2(QDateTime::fromString(fileDate, QStringLiteral("dd/MM/yyyy HH:mm")).isValid(), qPrintable(fileDate));
        QVERIFY2(fileSize.startsWith(QStringLiteral("1,95 ")), qPrintable(fileSize)); // 2000 bytes
    }
}

QTEST_MAIN(tst_Translations)
#include "tst_translations.moc"
