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

    // Replaces the whole table.
    void setMessages(const QStringList &lines) { m_lines = lines; }
    // Lays lines over the table: a key it has takes the new text in its place, a new key
    // is added at the end. Lines without a key are ignored.
    void mergeMessages(const QStringList &lines);
    // mergeMessages with the lines of a file in code page 1252 (blank lines skipped);
    // false when the file cannot be read, the table then unchanged.
    bool mergeFile(const QString &fileName);
    QStringList Messages() const { return m_lines; }
    // The text of key (exact, case-sensitive); empty when the key is missing.
    QString Msg(const QString &key) const;

private:
    QStringList m_lines;
};
