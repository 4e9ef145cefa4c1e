#pragma once

#include <QList>
#include <QPair>
#include <QSqlDatabase>
#include <QString>

// Sets the SQLite pragmas that speed up a bulk load on a connection while it lives and
// puts back the values the connection had before. Must be created outside a transaction
// (journal_mode cannot change inside one).
class SqliteLoadSettings
{
public:
    explicit SqliteLoadSettings(QSqlDatabase &db);
    ~SqliteLoadSettings();
    SqliteLoadSettings(const SqliteLoadSettings &) = delete;
    SqliteLoadSettings &operator=(const SqliteLoadSettings &) = delete;

private:
    void set(const char *pragma, const QString &value);

    QSqlDatabase m_db;
    QList<QPair<QString, QString>> m_saved;
};
