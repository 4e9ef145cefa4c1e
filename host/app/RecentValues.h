#pragma once

#include "suite_export.h"

#include <QList>
#include <QString>

// The codes a user used last, per kind ("Filial", "Produto"), most recent first, with the
// name that was shown beside each; kept per user in the suite's configuration folder
// (recentes.json beside preferencias.ini) and written whole or not at all.
namespace RecentValues {

struct Entry
{
    QString code;
    QString name;
};

// How many codes of a kind are kept.
constexpr int kKept = 10;

SUITE_TEST_EXPORT QList<Entry> list(const QString &kind);
// Puts code first among its kind (once: an earlier use of it goes). A blank code is not
// remembered. Failing to write is not the command's failure: the list just stays.
SUITE_TEST_EXPORT void remember(const QString &kind, const QString &code, const QString &name);
SUITE_TEST_EXPORT QString file();

} // namespace RecentValues
