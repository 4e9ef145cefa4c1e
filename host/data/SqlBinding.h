#pragma once

#include "data/SqlDialect.h"
#include "data/TParams.h"
#include "suite_export.h"

#include <QSqlQuery>
#include <QString>
#include <QStringList>
#include <QVariantList>

// Turns a text with :NAME markers into one with positional markers and the values
// to bind, in order. Values are never pasted into the text. A list parameter
// (name starting with L_) written as "IN (:L_NAME)" expands to the elements of its
// list string, in the form the database takes (any length).
struct SUITE_TEST_EXPORT PreparedSql
{
    QString text;
    QVariantList values;

    // Names of the :NAME markers of a text in order of first appearance
    // (string literals, comments and casts skipped).
    static QStringList parameterNames(const QString &sql);
    static PreparedSql prepare(const QString &sql, const TParams &params, SqlDialect dialect);

    // Prepares, binds and executes; raises EDatabaseError naming the database and the cause.
    void exec(QSqlQuery &query) const;
};
