#pragma once

#include "suite_export.h"

#include <QStringList>
#include <vector>

class QObject;
class TADOIBQuery;

// A screen's queries written as a table: each query's name, its text (one for every
// database, or a variant per database where they differ), its parameters and the fields
// it gives back, with how a lookup shows them. A screen keeps its table beside its form and
// makes each query with QueryTable::make.
namespace QueryTable {

using Lines = std::vector<const char *>;

struct Field
{
    const char *name;
    int size;
    const char *label = ""; // empty: the field name
    int width = 0;          // in characters; 0: from the size
    bool visible = true;
};

struct Query
{
    const char *name;
    Lines sql; // what every database runs unless a variant below is given
    Lines sqlIb, sqlOracle, sqlMssql, sqlSqlite, sqlPg;
    Lines params; // declared as text parameters
    std::vector<Field> fields;
};

// The query a row describes, named after it, owned by parent; not opened.
SUITE_EXPORT TADOIBQuery *make(const Query &def, QObject *parent);

// The lines joined with `more` after them (a variant that differs from another by a tail).
SUITE_EXPORT Lines plus(Lines lines, std::initializer_list<const char *> more);

// A row of a screen's table that says which member of the screen the query goes into.
template<class Form>
struct Member
{
    TADOIBQuery *Form::*member;
    Query def;
};

// Makes every query of a screen's table, in the table's order, into its member.
template<class Form>
void makeAll(Form *form, const std::vector<Member<Form>> &table)
{
    for (const Member<Form> &row : table)
        form->*row.member = make(row.def, form);
}

} // namespace QueryTable
