#include "errors/EDatabaseError.h"

EDatabaseError::EDatabaseError(const QString &message)
    : EDatabaseError(DatabaseFailure{QString(), message, QString(), QString(), QString(), false})
{ }

EDatabaseError::EDatabaseError(const DatabaseFailure &failure) : ESuiteError(format(failure)), m_failure(failure) { }

EDatabaseError::EDatabaseError(const QString &failed, const QString &cause, const QString &database)
    : EDatabaseError(DatabaseFailure{QString(), failed, cause, QString(), database, false})
{ }

EDatabaseError EDatabaseError::on(const QString &database) const
{
    if (namesDatabase())
        return *this;
    DatabaseFailure failure = m_failure;
    failure.database = database;
    failure.databaseInText = false;
    return EDatabaseError(failure);
}

EDatabaseError EDatabaseError::within(const QString &task) const
{
    DatabaseFailure failure = m_failure;
    failure.task = task + failure.task;
    return EDatabaseError(failure);
}

QString EDatabaseError::format(const DatabaseFailure &failure)
{
    QString text = failure.task + failure.failed;
    if (!failure.cause.isEmpty())
        text += QStringLiteral(": ") + failure.cause;
    text += failure.advice;
    if (!failure.database.isEmpty() && !failure.databaseInText)
        text += QStringLiteral("\nBanco: ") + failure.database;
    return text;
}
