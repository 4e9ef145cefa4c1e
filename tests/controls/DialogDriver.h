#pragma once

#include <QApplication>
#include <QDialog>
#include <QTest>
#include <QTimer>
#include <functional>

// Drives a modal dialog the code under test opens: once the dialog is on screen, the
// script runs on it as a person would (typing, clicking). A dialog the script leaves
// open is cancelled, so a failed check never hangs the test.
// pollMs: how often to look for the dialog (the benchmarks look at every turn of the loop).
inline void whenDialogOpens(std::function<void(QDialog *)> script, int pollMs = 5)
{
    auto *timer = new QTimer(qApp);
    timer->setInterval(pollMs);
    QObject::connect(timer, &QTimer::timeout, timer, [timer, script] {
        auto *dialog = qobject_cast<QDialog *>(QApplication::activeModalWidget());
        if (!dialog || !dialog->isVisible())
            return;
        timer->stop();
        timer->deleteLater();
        script(dialog);
        if (dialog->isVisible())
            dialog->reject();
    });
    timer->start();
}

// Types text as key presses; characters outside ASCII (accents) go as key events that
// carry the character, since QTest has no key for them.
inline void typeText(QWidget *widget, const QString &text)
{
    for (QChar c : text) {
        if (c.unicode() < 128)
            QTest::keyClick(widget, c.toLatin1());
        else
            QTest::sendKeyEvent(QTest::Click, widget, Qt::Key_unknown, QString(c), Qt::NoModifier);
    }
}
