#pragma once

#include "suite_export.h"

#include <QString>
#include <stdexcept>

// The silent abort: stops the current command after its message was already shown.
class SUITE_EXPORT EAbort : public std::exception
{
public:
    const char *what() const noexcept override { return "Operation aborted"; }
};

// Any other failure of the suite, carried to the person with its cause.
class SUITE_EXPORT ESuiteError : public std::runtime_error
{
public:
    explicit ESuiteError(const QString &message)
        : std::runtime_error(message.toStdString()), m_message(message) {}
    QString message() const { return m_message; }

private:
    QString m_message;
};

// A database could not be reached, or a statement failed.
class SUITE_EXPORT EDatabaseError : public ESuiteError
{
public:
    using ESuiteError::ESuiteError;
};
