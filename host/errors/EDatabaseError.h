#pragma once

#include "errors/ESuiteError.h"
#include "suite_export.h"

// What went wrong with a database, in parts. The message people read is put together from
// them in one place (EDatabaseError::format), so a caller that needs to know whether the
// database is already named, or what the database said, asks the parts, not the text.
struct SUITE_EXPORT DatabaseFailure
{
    QString task;                // the larger work it interrupted, told first ("Relatório 'X': ")
    QString failed;              // what failed ("Erro ao executar a consulta no banco de dados")
    QString cause;               // why, in the database's own words (databaseCause); may be empty
    QString advice;              // what follows the cause: closing punctuation, what to check
    QString database;            // the database concerned (DbConfig::describe()); may be empty
    bool databaseInText = false; // `failed` names the database itself
};

// A database could not be reached, or a statement failed.
class SUITE_EXPORT EDatabaseError : public ESuiteError
{
public:
    // A failure told in one sentence of its own.
    explicit EDatabaseError(const QString &message);
    explicit EDatabaseError(const DatabaseFailure &failure);
    // "<failed>: <cause>", then "\nBanco: <database>" when a database is given.
    EDatabaseError(const QString &failed, const QString &cause, const QString &database = QString());

    const DatabaseFailure &failure() const { return m_failure; }
    QString cause() const { return m_failure.cause; }
    // True when the failure says which database it happened on.
    bool namesDatabase() const { return !m_failure.database.isEmpty(); }

    // The same failure told on the given database, unless it already names one.
    EDatabaseError on(const QString &database) const;
    // The same failure told as part of a larger task ("Relatório 'X': ").
    EDatabaseError within(const QString &task) const;

    static QString format(const DatabaseFailure &failure);

private:
    DatabaseFailure m_failure;
};
