#pragma once

#include <QList>
#include <QString>
#include <QStringList>

// A neutral description of a table, from which the DDL and insert statements of each
// database dialect are rendered (SchemaDdl).

enum class ColumnType { Varchar, Char, Integer, Date, Numeric };

struct ColumnDef
{
    QString name;
    ColumnType type = ColumnType::Varchar;
    int size = 0;  // characters (Varchar, Char) or precision (Numeric)
    int scale = 0; // Numeric only
    bool notNull = false;
};

struct IndexDef
{
    QString name;
    QStringList columns;
    bool unique = false;
};

struct TableDef
{
    QString name;
    QList<ColumnDef> columns;
    QStringList primaryKey;
    QList<IndexDef> indexes; // created after the data is loaded

    QStringList columnNames() const
    {
        QStringList names;
        for (const ColumnDef &c : columns)
            names << c.name;
        return names;
    }
};
