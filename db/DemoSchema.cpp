#include "DemoSchema.h"

#include "errors/EAbort.h"

namespace {

ColumnDef varchar(const char *name, int size, bool notNull = false)
{
    return {QString::fromLatin1(name), ColumnType::Varchar, size, 0, notNull};
}

ColumnDef fixedChar(const char *name, int size, bool notNull = false)
{
    return {QString::fromLatin1(name), ColumnType::Char, size, 0, notNull};
}

ColumnDef integer(const char *name, bool notNull = false)
{
    return {QString::fromLatin1(name), ColumnType::Integer, 0, 0, notNull};
}

ColumnDef date(const char *name, bool notNull = false)
{
    return {QString::fromLatin1(name), ColumnType::Date, 0, 0, notNull};
}

ColumnDef numeric(const char *name, int precision, int scale, bool notNull = false)
{
    return {QString::fromLatin1(name), ColumnType::Numeric, precision, scale, notNull};
}

IndexDef index(const char *name, QStringList columns, bool unique = false)
{
    return {QString::fromLatin1(name), std::move(columns), unique};
}

} // namespace

namespace DemoSchema {

QList<TableDef> tables()
{
    QList<TableDef> t;

    t.append({QStringLiteral("REGIAO"),
              {varchar("CDREGIAO", 3, true), varchar("NMREGIAO", 30)},
              {QStringLiteral("CDREGIAO")},
              {}});

    // No foreign key to REGIAO: a branch may name a region that has no row.
    t.append({QStringLiteral("FILIAL"),
              {varchar("CDFILIAL", 4, true), varchar("NMFILIAL", 30), varchar("CDREGIAO", 3),
               fixedChar("IDCNTRRESC", 1, true), varchar("CDFILCENTCMP", 4), date("DTPROCESSO")},
              {QStringLiteral("CDFILIAL")},
              {index("IX_FILIAL_CDREGIAO", {QStringLiteral("CDREGIAO")}),
               index("IX_FILIAL_CDFILCENTCMP", {QStringLiteral("CDFILCENTCMP")})}});

    // NMBUSCA: the name as searches compare it (small letters, no accents), kept by the
    // schema (SchemaDdl::createSearch); the lookup list searches and orders by it.
    t.append({QStringLiteral("PRODUTO"),
              {varchar("CDPRODUTO", 10, true), varchar("CDARVPROD", 20, true), varchar("NMPRODUTO", 50),
               varchar("NMBUSCA", 50)},
              {QStringLiteral("CDPRODUTO")},
              {index("UX_PRODUTO_CDARVPROD", {QStringLiteral("CDARVPROD")}, true),
               // Folded name then code: the order of the lookup list searched by name.
               index("IX_PRODUTO_NMBUSCA", {QStringLiteral("NMBUSCA"), QStringLiteral("CDARVPROD")})}});

    t.append({QStringLiteral("OPERADOR"),
              {varchar("CDOPERADOR", 12, true), varchar("NMOPERADOR", 40)},
              {QStringLiteral("CDOPERADOR")},
              {}});

    t.append({QStringLiteral("COMPRADOR"), {varchar("CDOPERADOR", 12, true)}, {QStringLiteral("CDOPERADOR")}, {}});

    t.append({QStringLiteral("FORNECEDOR"),
              {varchar("CDFORNECED", 21, true), fixedChar("IDTPIJURFORN", 1, true), varchar("NRINSJURFORN", 20),
               varchar("NMFANTFORN", 40), varchar("NMRAZSOCFORN", 40)},
              {QStringLiteral("CDFORNECED")},
              {index("IX_FORNECEDOR_NMFANTFORN", {QStringLiteral("NMFANTFORN")})}});

    t.append(
        {QStringLiteral("COTACAO"),
         {integer("NRCOTACAO", true), varchar("CDFILIAL", 4, true), varchar("CDFORNECED", 21, true),
          varchar("CDPRODUTO", 10, true), varchar("CDOPERADOR", 12), date("DTVALINI", true), date("DTVALFIN", true),
          numeric("VRPRECO", 15, 4, true), numeric("PCIPI", 7, 4), numeric("PCDESCONTO", 7, 4)},
         {QStringLiteral("NRCOTACAO")},
         {index("IX_COTACAO_CDFORNECED", {QStringLiteral("CDFORNECED")}),
          index("IX_COTACAO_PRODUTO_DTVALINI", {QStringLiteral("CDPRODUTO"), QStringLiteral("DTVALINI")}),
          index("IX_COTACAO_FILIAL_DTVALINI", {QStringLiteral("CDFILIAL"), QStringLiteral("DTVALINI")}),
          index("IX_COTACAO_CDOPERADOR", {QStringLiteral("CDOPERADOR")})}});

    t.append({QStringLiteral("PRODFILIAL"),
              {varchar("CDFILIAL", 4, true), varchar("CDPRODUTO", 10, true)},
              {QStringLiteral("CDFILIAL"), QStringLiteral("CDPRODUTO")},
              {index("IX_PRODFILIAL_CDPRODUTO", {QStringLiteral("CDPRODUTO")})}});

    // Stock movements of a branch: entries positive, exits negative; the stock of a product
    // at a date is the sum of its movements up to that day.
    t.append({QStringLiteral("MOVESTOQUE"),
              {integer("NRMOVIMENTO", true), varchar("CDFILIAL", 4, true), varchar("CDPRODUTO", 10, true),
               date("DTMOVIMENTO", true), numeric("QTMOVIMENTO", 15, 3, true)},
              {QStringLiteral("NRMOVIMENTO")},
              {index("IX_MOVESTOQUE_FILIAL_DT", {QStringLiteral("CDFILIAL"), QStringLiteral("DTMOVIMENTO")})}});

    t.append({QStringLiteral("PICTURA"),
              {integer("IDPICTURA", true), varchar("DSMASCARA", 60)},
              {QStringLiteral("IDPICTURA")},
              {}});

    return t;
}

TableDef table(const QString &name)
{
    const QList<TableDef> all = tables();
    for (const TableDef &t : all) {
        if (t.name == name)
            return t;
    }
    throw EDatabaseError(QStringLiteral("Tabela %1 não faz parte do esquema da base de demonstração.").arg(name));
}

} // namespace DemoSchema
