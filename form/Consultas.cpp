// The screen's queries as one table: each query's text (per database where they differ), its
// parameters and the fields it gives back. buildQueries makes them all in one loop; the
// data sources and lookups that use them are wired in the groups' own sources.
#include "TfrmListaPrecRel.h"

#include "data/QueryTable.h"
#include <vector>

namespace {

using QueryTable::Field;
using QueryTable::Lines;
using QueryTable::plus;

const std::vector<Field> productFields{
    {"CDPRODUTO", 10, "Código", 15, false}, {"CDARVPROD", 20, "Código"}, {"NMPRODUTO", 50, "Nome"}};

std::vector<Field> withSearchName(std::vector<Field> fields)
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

const Lines centreIb = centreSql("  CAST(NVLSTR(FILIAL.CDFILCENTCMP, FILIAL.CDFILIAL) AS VARCHAR(4)) AS CDFILCENTCMP,",
                                 "  NVLSTR(FILIAL.CDFILCENTCMP, FILIAL.CDFILIAL) = FILCENT.CDFILIAL", true);
const Lines centreCoalesce =
    centreSql("  CAST(COALESCE(FILIAL.CDFILCENTCMP, FILIAL.CDFILIAL) AS VARCHAR(4)) AS CDFILCENTCMP,",
              "  COALESCE(FILIAL.CDFILCENTCMP, FILIAL.CDFILIAL) = FILCENT.CDFILIAL", false);

} // namespace

// Made once, in the order the form has always made its queries (the branch's own query is
// the branch field's).
const std::vector<QueryTable::Member<TfrmListaPrecRel>> TfrmListaPrecRel::queryTable{
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
    QueryTable::makeAll(this, queryTable);
    buildProductQueries();
    buildListQueries();
}
