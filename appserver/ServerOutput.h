#pragma once

#include <QString>

// Where Lpr07700's own lines go. When its output is the journal (started by systemd, which
// then sets JOURNAL_STREAM to the device and inode of that stream), every line carries its
// priority as the "<N>" prefix the journal reads, and no time of its own: the journal keeps
// one. Elsewhere the lines are as a terminal or a log file wants them: log lines with the
// time, the failure that stops the server after the program's name.
class ServerOutput
{
public:
    // The syslog priorities the journal files lines under.
    enum Priority { Error = 3, Warning = 4, Notice = 5, Info = 6 };

    // Whether standard error is the journal.
    static bool toJournal();
    // A line of the running server's log (standard error).
    static void log(int priority, const QString &text);
    // What the server tells whoever started it: where it listens, its certificate (standard
    // output, which the tests and benchmarks read).
    static void say(const QString &text);
    // Why the server does not start or stops (standard error).
    static void fail(const QString &text);

    // The line as written, for a priority and a time stamp (empty: none): what log() does.
    static QString format(int priority, const QString &text, bool journal, const QString &time);
};
