#pragma once

#include "suite_export.h"

#include <QObject>
#include <QStringList>

// A keyed message table: lines of "KEY|text".
class SUITE_EXPORT TMessages : public QObject
{
    Q_OBJECT
public:
    explicit TMessages(QObject *parent = nullptr) : QObject(parent) { }

    void setMessages(const QStringList &lines) { m_lines = lines; }
    QStringList Messages() const { return m_lines; }
    // The text of key (exact, case-sensitive); empty when the key is missing.
    QString Msg(const QString &key) const;

private:
    QStringList m_lines;
};
