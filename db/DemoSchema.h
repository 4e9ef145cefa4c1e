#pragma once

#include "TableDef.h"

#include <QList>

// The tables of the purchasing database that the price list reads: branches and
// regions, products, operators and buyers, suppliers, quotes, products bought per
// branch and the edit masks. Described once; SchemaDdl renders them per dialect.
namespace DemoSchema {
QList<TableDef> tables();
// The description of one table; raises EDatabaseError for an unknown name.
TableDef table(const QString &name);
} // namespace DemoSchema
