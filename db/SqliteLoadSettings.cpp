#include "SqliteLoadSettings.h"

#include <QSqlQuery>

SqliteLoadSettings::SqliteLoadSettings(QSqlDatabase &db) : m_db(db)
{
    // The rollback journal in memory costs nothing for the new pages of a load and still
    // lets a failed load roll back; nothing is synced to disk until the end.
    set("journal_mode", QStringLiteral("MEMORY"));
    set("synchronous", QStringLiteral("OFF"));
    // A big page cache also sizes the sorter of CREATE INDEX; two sorter threads.
    set("cache_size", QStringLiteral("-262144"));
    set("temp_store", QStringLiteral("MEMORY"));
    set("threads", QStringLiteral("2"));
}

SqliteLoadSettings::~SqliteLoadSettings()
{
    QSqlQuery q(m_db);
    for (auto it = m_saved.crbegin(); it != m_saved.crend(); ++it)
        q.exec(QStringLiteral("PRAGMA %1 = %2").arg(it->first, it->second));
}

void SqliteLoadSettings::set(const char *pragma, const QString &value)
{
    const QString name = QString::fromLatin1(pragma);
    QSqlQuery q(m_db);
    // Pragmas are speed settings only: one the library does not know is skipped.
    if (q.exec(QStringLiteral("PRAGMA %1").arg(name)) && q.next()) {
        m_saved.append({name, q.value(0).toString()});
        q.finish();
        q.exec(QStringLiteral("PRAGMA %1 = %2").arg(name, value));
    }
}
