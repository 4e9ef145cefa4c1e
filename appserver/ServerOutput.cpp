#include "ServerOutput.h"

#include <QDateTime>
#include <cstdio>
#include <cstdlib>
#include <sys/stat.h>

namespace {

bool streamIsJournal(int fd)
{
    const char *names = std::getenv("JOURNAL_STREAM");
    struct stat st{};
    if (!names || ::fstat(fd, &st) != 0)
        return false;
    unsigned long long device = 0, inode = 0;
    if (std::sscanf(names, "%llu:%llu", &device, &inode) != 2)
        return false;
    return device == static_cast<unsigned long long>(st.st_dev) && inode == static_cast<unsigned long long>(st.st_ino);
}

void write(FILE *stream, const QString &line)
{
    std::fputs(line.toUtf8().constData(), stream);
    std::fputc('\n', stream);
    std::fflush(stream);
}

} // namespace

bool ServerOutput::toJournal()
{
    static const bool journal = streamIsJournal(2);
    return journal;
}

QString ServerOutput::format(int priority, const QString &text, bool journal, const QString &time)
{
    if (journal) {
        // One entry per line: a line break inside the text would start an entry without
        // a priority.
        QString flat = text;
        flat.replace(QLatin1Char('\n'), QLatin1Char(' '));
        return QStringLiteral("<%1>%2").arg(priority).arg(flat);
    }
    return time.isEmpty() ? text : QStringLiteral("%1 Lpr07700: %2").arg(time, text);
}

void ServerOutput::log(int priority, const QString &text)
{
    const bool journal = toJournal();
    write(stderr, format(priority, text, journal,
                         journal ? QString() : QDateTime::currentDateTime().toString(Qt::ISODate)));
}

void ServerOutput::say(const QString &text)
{
    write(stdout, toJournal() ? format(Info, text, true, QString()) : text);
}

void ServerOutput::fail(const QString &text)
{
    write(stderr, toJournal() ? format(Error, text, true, QString()) : QStringLiteral("Lpr07700: %1").arg(text));
}
