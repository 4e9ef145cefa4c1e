#include "validation/Tabvalid.h"
#include "controls/TMaskEdit.h"

#include <QSignalSpy>
#include <QTest>

class tst_MaskEdit : public QObject
{
    Q_OBJECT
private slots:
    void conversion_data();
    void conversion();
    void typing_data();
    void typing();
    void setTextRoundTrip_data();
    void setTextRoundTrip();
    void changeFiresOnlyOnTextChange();
    void formatMasked_data();
    void formatMasked();
    void plainEditWithMaxLength();
    void validatedCodeIsTheShownCode_data();
    void validatedCodeIsTheShownCode();
};

void tst_MaskEdit::conversion_data()
{
    QTest::addColumn<QString>("delphi");
    QTest::addColumn<QString>("qt");
    QTest::newRow("branch code") << ">aaaa;0; "
                                 << ">nnnn; ";
    QTest::newRow("product tree code") << "99.999.9999;0; "
                                       << "00.000.0000; ";
    QTest::newRow("required kinds") << "LAC0;1;_"
                                    << "ANX9;_";
    QTest::newRow("optional kinds") << "lac9#"
                                    << "anx0#;_";
    QTest::newRow("case switches") << ">L<l<>L"
                                   << ">A<a!A;_";
    // Letters that mean something to Qt but are literals here must be escaped.
    QTest::newRow("literals escaped") << "\\A-N;1;_"
                                      << "\\A-\\N;_";
    QTest::newRow("qt meta as literal") << "0[0]"
                                        << "9\\[9\\];_";
    QTest::newRow("trim flag ignored") << "!99;0;*"
                                       << "00;*";
    QTest::newRow("registration number") << "99.999.999/9999-99;0;_"
                                         << "00.000.000/0000-00;_";
    QTest::newRow("empty") << ""
                           << "";
}

void tst_MaskEdit::conversion()
{
    QFETCH(QString, delphi);
    QFETCH(QString, qt);
    QCOMPARE(TMaskEdit::toQtInputMask(delphi), qt);
}

void tst_MaskEdit::typing_data()
{
    QTest::addColumn<QString>("mask");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("shown");
    QTest::newRow("branch full, upper-cased") << ">aaaa;0; "
                                              << "ab1c"
                                              << "AB1C"
                                              << "AB1C";
    QTest::newRow("branch half typed") << ">aaaa;0; "
                                       << "ab"
                                       << "AB"
                                       << "AB  ";
    QTest::newRow("branch blank") << ">aaaa;0; "
                                  << ""
                                  << ""
                                  << "    ";
    QTest::newRow("branch rejects punctuation") << ">aaaa;0; "
                                                << "a-b"
                                                << "AB"
                                                << "AB  ";
    QTest::newRow("product full") << "99.999.9999;0; "
                                  << "123456789"
                                  << "123456789"
                                  << "12.345.6789";
    QTest::newRow("product partial") << "99.999.9999;0; "
                                     << "12345"
                                     << "12345"
                                     << "12.345.    ";
    QTest::newRow("product letters refused") << "99.999.9999;0; "
                                             << "12ab3"
                                             << "123"
                                             << "12.3  .    ";
    QTest::newRow("literals saved") << "99-99;1;_"
                                    << "123"
                                    << "12-3"
                                    << "12-3_";
    QTest::newRow("literals saved, full") << "99-99;1;_"
                                          << "1234"
                                          << "12-34"
                                          << "12-34";
}

void tst_MaskEdit::typing()
{
    QFETCH(QString, mask);
    QFETCH(QString, typed);
    QFETCH(QString, text);
    QFETCH(QString, shown);
    TMaskEdit edit;
    edit.setEditMask(mask);
    edit.show();
    edit.setFocus();
    edit.setCursorPosition(0);
    QTest::keyClicks(&edit, typed);
    QCOMPARE(edit.Text(), text);
    QCOMPARE(edit.displayText(), shown);
}

void tst_MaskEdit::setTextRoundTrip_data()
{
    QTest::addColumn<QString>("mask");
    QTest::addColumn<QString>("raw");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("shown");
    QTest::newRow("branch") << ">aaaa;0; "
                            << "0001"
                            << "0001"
                            << "0001";
    QTest::newRow("branch lower case") << ">aaaa;0; "
                                       << "ab"
                                       << "AB"
                                       << "AB  ";
    QTest::newRow("product raw") << "99.999.9999;0; "
                                 << "123456789"
                                 << "123456789"
                                 << "12.345.6789";
    // A value that already carries the literals is placed the same way.
    QTest::newRow("product with literals") << "99.999.9999;0; "
                                           << "12.345.6789"
                                           << "123456789"
                                           << "12.345.6789";
    QTest::newRow("product short") << "99.999.9999;0; "
                                   << "1234"
                                   << "1234"
                                   << "12.34 .    ";
    QTest::newRow("empty") << "99.999.9999;0; "
                           << ""
                           << ""
                           << "  .   .    ";
    QTest::newRow("no mask") << ""
                             << "Livre, com vírgula"
                             << "Livre, com vírgula"
                             << "Livre, com vírgula";
}

void tst_MaskEdit::setTextRoundTrip()
{
    QFETCH(QString, mask);
    QFETCH(QString, raw);
    QFETCH(QString, text);
    QFETCH(QString, shown);
    TMaskEdit edit;
    edit.setEditMask(mask);
    edit.setText(raw);
    QCOMPARE(edit.Text(), text);
    QCOMPARE(edit.displayText(), shown);
    edit.setText(edit.Text());
    QCOMPARE(edit.Text(), text);
}

void tst_MaskEdit::changeFiresOnlyOnTextChange()
{
    TMaskEdit edit;
    edit.setEditMask(QStringLiteral(">aaaa;0; "));
    QSignalSpy change(&edit, &TMaskEdit::Change);
    edit.show();
    edit.setFocus();

    QTest::keyClicks(&edit, QStringLiteral("ab"));
    QCOMPARE(change.count(), 2);
    edit.setText(QStringLiteral("AB")); // the same text: no change
    QCOMPARE(change.count(), 2);
    edit.setText(QStringLiteral("ab")); // upper-cased by the mask: still the same text
    QCOMPARE(change.count(), 2);
    edit.setCursorPosition(4);
    QTest::keyClick(&edit, Qt::Key_Right); // moving the cursor changes nothing
    QCOMPARE(change.count(), 2);
    edit.setText(QStringLiteral("0001"));
    QCOMPARE(change.count(), 3);
    edit.clear();
    QCOMPARE(change.count(), 4);
    QCOMPARE(edit.Text(), QString());
    edit.clear();
    QCOMPARE(change.count(), 4);
}

void tst_MaskEdit::formatMasked_data()
{
    QTest::addColumn<QString>("mask");
    QTest::addColumn<QString>("raw");
    QTest::addColumn<QString>("shown");
    QTest::newRow("CNPJ") << "99.999.999/9999-99;0;_"
                          << "12345678000190"
                          << "12.345.678/0001-90";
    QTest::newRow("CPF") << "999.999.999-99;0;_"
                         << "12345678901"
                         << "123.456.789-01";
    QTest::newRow("already formatted") << "999.999.999-99;0;_"
                                       << "123.456.789-01"
                                       << "123.456.789-01";
    QTest::newRow("short value cut after last char") << "99.999.9999;0; "
                                                     << "12345"
                                                     << "12.345";
    // Never drop characters: a value longer than the mask is shown as it is.
    QTest::newRow("too long") << "999-99;0;_"
                              << "123456789"
                              << "123456789";
    QTest::newRow("case applied") << ">llll"
                                  << "abcd"
                                  << "ABCD";
    QTest::newRow("empty value") << "99.999;0;_"
                                 << ""
                                 << "";
    QTest::newRow("no mask") << ""
                             << "abc"
                             << "abc";
}

void tst_MaskEdit::formatMasked()
{
    QFETCH(QString, mask);
    QFETCH(QString, raw);
    QFETCH(QString, shown);
    QCOMPARE(TMaskEdit::formatMasked(mask, raw), shown);
}

void tst_MaskEdit::plainEditWithMaxLength()
{
    TMaskEdit edit;
    edit.setMaxLength(4);
    edit.show();
    edit.setFocus();
    QTest::keyClicks(&edit, QStringLiteral("abcdef"));
    QCOMPARE(edit.Text(), QStringLiteral("abcd"));
    // A mask set and removed again leaves the length limit in force.
    edit.setEditMask(QStringLiteral("99;0;_"));
    edit.setEditMask(QString());
    edit.clear();
    QTest::keyClicks(&edit, QStringLiteral("123456"));
    QCOMPARE(edit.Text(), QStringLiteral("1234"));
}

QTEST_MAIN(tst_MaskEdit)
#include "tst_maskedit.moc"

void tst_MaskEdit::validatedCodeIsTheShownCode_data()
{
    QTest::addColumn<QString>("mask");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("code");
    // "<>" together switches case forcing off: the code keeps the case typed.
    QTest::newRow("case kept by <>") << "<>aaa;0; "
                                     << "abC"
                                     << "abC";
    QTest::newRow("upper") << ">aaaa;0; "
                           << "ab1c"
                           << "AB1C";
    QTest::newRow("lower, then kept") << "<aa<>aa;0; "
                                      << "ABCD"
                                      << "abCD";
    QTest::newRow("upper, then lower") << ">aa<aa;0; "
                                       << "abCD"
                                       << "ABcd";
    QTest::newRow("product digits") << "99.999.9999;0; "
                                    << "123456789"
                                    << "123456789";
}

void tst_MaskEdit::validatedCodeIsTheShownCode()
{
    QFETCH(QString, mask);
    QFETCH(QString, typed);
    QFETCH(QString, code);
    TMaskEdit edit;
    edit.setEditMask(mask);
    edit.show();
    edit.setFocus();
    edit.setCursorPosition(0);
    QTest::keyClicks(&edit, typed);
    QCOMPARE(edit.Text(), code);
    QString validated = edit.Text();
    QCOMPARE(Tabvalid::normalise(mask, validated), QString());
    QCOMPARE(validated, code);
}
