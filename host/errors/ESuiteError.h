#pragma once

#include "suite_export.h"

#include <QString>
#include <stdexcept>

// Any failure of the suite, carried to the person with its cause.
class SUITE_EXPORT ESuiteError : public std::runtime_error
{
public:
    explicit ESuiteError(const QString &message) : std::runtime_error(message.toStdString()), m_message(message) { }
    QString message() const { return m_message; }

private:
    QString m_message;
};
