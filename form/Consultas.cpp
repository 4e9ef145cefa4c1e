// The screen's queries as one table: each query's text (per database where they differ), its
// parameters and the fields it gives back. buildQueries makes them all in one loop; the
// data sources and lookups that use them are wired in the groups' own sources.
#include "TfrmListaPrecRel.h"

#include "FormWidgets.h"
#include "data/TADOIBQuery.h"
#include <vector>

namespace {

using Lines = std::vector<const char *>;

struct FieldDef
{
    const char *name;
    int size;
    const char *label; // empty: the field name
    int width = 0;     // in characters; 0: from the size
    bool visible = true;
};

const std::vector<FieldDef> productFields{
    {"CDPRODUTO", 10, "Código", 15, false}, {"CDARVPROD", 20, "Código"}, {"NMPRODUTO", 50, "Nome"}};

std::vector<FieldDef> withSearchName(std::vector<FieldDef> fields)
{
    fields.push_back({"NMBUSCA", 50, "", 0, false});
    return fields;
}

// The purchasing centre of a branch: the InterBase function NVLSTR where it exists, each
// database's own spelling elsewhere, COALESCE on the databases we run.
Lines centreSql(const char *select, const char *where, bool spaced)
{
    return {"SELECT",
            select,
            "  FILCENT.NMFILIAL AS NMFILIAL",
            spaced ? "FROM " : "FROM",
            "  FILIAL FILCENT,",
            spaced ? "  FILIAL " : "  FILIAL",
            "WHERE",
            "  FILIAL.CDFILIAL = :P_CDFILIAL AND",
            where};
}

Lines plus(Lines lines, std::initializer_list<const char *> more)
{
    lines.insert(lines.end(), more);
    return lines;
}

const Lines centreIb = centreSql("  CAST(NVLSTR(FILIAL.CDFILCENTCMP, FILIAL.CDFILIAL) AS VARCHAR(4)) AS CDFILCENTCMP,",
                                 "  NVLSTR(FILIAL.CDFILCENTCMP, FILIAL.CDFILIAL) = FILCENT.CDFILIAL", true);
const Lines centreCoalesce =
    centreSql("  CAST(COALESCE(FILIAL.CDFILCENTCMP, FILIAL.CDFILIAL) AS VARCHAR(4)) AS CDFILCENTCMP,",
              "  COALESCE(FILIAL.CDFILCENTCMP, FILIAL.CDFILIAL) = FILCENT.CDFILIAL", false);

QStringList toList(const Lines &lines)
{
    QStringList list;
    list.reserve(qsizetype(lines.size()));
    for (const char *line : lines)
        list << QString::fromUtf8(line);
    return list;
}

} // namespace

struct TfrmListaPrecRel::QueryDef
{
    TADOIBQuery *TfrmListaPrecRel::*member;
    const char *name;
    Lines sql; // what every database runs unless a variant below is given
    Lines sqlIb, sqlOracle, sqlMssql, sqlSqlite, sqlPg;
    Lines params;
    std::vector<FieldDef> fields;
};

// Made once, in the order the form has always made its queries.
const std::vector<TfrmListaPrecRel::QueryDef> TfrmListaPrecRel::queryTable{
    {&TfrmListaPrecRel::qryFilial,
     "qryFilial",
     {"SELECT CDFILIAL, NMFILIAL, NMREGIAO, IDCNTRRESC, CDFILCENTCMP, FILIAL.CDREGIAO", "FROM FILIAL, REGIAO",
      "WHERE (CDFILIAL = :P_CDFILIAL OR :P_TCDFILIAL = 'T') AND", "FILIAL.CDREGIAO = REGIAO.CDREGIAO",
      "ORDER BY FILIAL.CDREGIAO"},
     {},
     {},
     {},
     {},
     {},
     {"P_CDFILIAL", "P_TCDFILIAL"},
     {{"CDFILIAL", 4, "Código", 8},
      {"NMFILIAL", 30, "Nome"},
      {"NMREGIAO", 30, "Região"},
      {"IDCNTRRESC", 1, "", 0, false},
      {"CDFILCENTCMP", 4, "", 0, false},
      {"CDREGIAO", 3, "Código", 0, false}}},
    {&TfrmListaPrecRel::qryCentComp,
     "qryCentComp",
     centreIb,
     plus(centreIb, {""}),
     centreSql("  NVL(FILIAL.CDFILCENTCMP, FILIAL.CDFILIAL) AS CDFILCENTCMP,",
               "  NVL(FILIAL.CDFILCENTCMP, FILIAL.CDFILIAL) = FILCENT.CDFILIAL", false),
     plus(centreSql("  ISNULL(FILIAL.CDFILCENTCMP, FILIAL.CDFILIAL) AS CDFILCENTCMP,",
                    "  ISNULL(FILIAL.CDFILCENTCMP, FILIAL.CDFILIAL) = FILCENT.CDFILIAL", false),
          {"", " "}),
     centreCoalesce,
     centreCoalesce,
     {"P_CDFILIAL"},
     {{"CDFILCENTCMP", 4, "Código", 8}}},
    // With the folded name the schema keeps: the lookup finds a part of the name through it.
    {&TfrmListaPrecRel::qryProduto,
     "qryProduto",
     {"SELECT CDPRODUTO, CDARVPROD, NMPRODUTO, NMBUSCA", "FROM PRODUTO", "ORDER BY CDARVPROD"},
     {},
     {},
     {},
     {},
     {},
     {},
     withSearchName(productFields)},
    {&TfrmListaPrecRel::qryPrimProd,
     "qryPrimProd",
     {"SELECT CDPRODUTO, CDARVPROD, NMPRODUTO", "FROM PRODUTO",
      "WHERE CDARVPROD = (SELECT MIN(CDARVPROD) FROM PRODUTO)"},
     {},
     {},
     {},
     {},
     {},
     {},
     productFields},
    {&TfrmListaPrecRel::qryUltiProd,
     "qryUltiProd",
     {"SELECT CDPRODUTO, CDARVPROD, NMPRODUTO", "FROM PRODUTO",
      "WHERE CDARVPROD = (SELECT MAX(CDARVPROD) FROM PRODUTO)"},
     {},
     {},
     {},
     {},
     {},
     {},
     productFields},
    {&TfrmListaPrecRel::qryVdProduto,
     "qryVdProduto",
     {"SELECT P.CDPRODUTO, P.CDARVPROD, P.NMPRODUTO", "FROM PRODUTO P", "WHERE (P.CDARVPROD = :P_CDPRODUTO)"},
     {},
     {},
     {},
     {},
     {},
     {"P_CDPRODUTO"},
     productFields},
    {&TfrmListaPrecRel::qryComprador,
     "qryComprador",
     {"SELECT", "  COM.CDOPERADOR,", "  OPE.NMOPERADOR", "FROM", "  COMPRADOR COM,", "  OPERADOR OPE", "WHERE",
      "  (COM.CDOPERADOR = OPE.CDOPERADOR)", "ORDER BY", "   COM.CDOPERADOR", "  "},
     {},
     {},
     {},
     {},
     {},
     {},
     {{"CDOPERADOR", 12, "Código", 14}, {"NMOPERADOR", 40, "Nome"}}},
    {&TfrmListaPrecRel::qryRegiao,
     "qryRegiao",
     {"SELECT", "   CDREGIAO, NMREGIAO", "FROM", "   REGIAO", "ORDER BY", "   CDREGIAO"},
     {},
     {},
     {},
     {},
     {},
     {},
     {{"CDREGIAO", 3, "Código"}, {"NMREGIAO", 30, "Nome"}}},
};

void TfrmListaPrecRel::buildQueries()
{
    for (const QueryDef &def : queryTable) {
        TADOIBQuery *q = FormWidgets::query(QString::fromLatin1(def.name), this);
        q->SQL = toList(def.sql);
        q->SQL_IB = toList(def.sqlIb);
        q->SQL_ORACLE = toList(def.sqlOracle);
        q->SQL_MSSQL = toList(def.sqlMssql);
        q->SQL_SQLITE = toList(def.sqlSqlite);
        q->SQL_PG = toList(def.sqlPg);
        for (const char *param : def.params)
            q->DeclareParam(QString::fromLatin1(param), TFieldType::ftString);
        for (const FieldDef &f : def.fields)
            q->AddField(QString::fromLatin1(f.name), f.size, QString::fromUtf8(f.label), f.width, f.visible);
        this->*def.member = q;
    }
    buildBranchQueries();
    buildProductQueries();
    buildListQueries();
}
