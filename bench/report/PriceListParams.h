#pragma once

#include "data/TParams.h"

#include <QDate>
#include <QMap>

namespace bench {

// The price list's parameters as the benches run it: one branch, every product, buyer and
// supplier, every date, no variation mark.
inline void fillPriceListParams(TParams &params, const QString &branch = QStringLiteral("0001"))
{
    const QMap<QString, QString> text = {{"P_CDFILIAL", branch}, {"P_CDFILCENTCMP", branch},    {"P_TODOSPROD", "T"},
                                         {"P_CDPRODINI", ""},    {"P_CDPRODFIN", "ZZZZZZZZZZ"}, {"L_LISTAOPER", "T"},
                                         {"L_LISTAOPER1", "T"},  {"L_LISTAFORNE", "T"},         {"L_LISTAFORNE1", "T"},
                                         {"P_CDREGIAO", "001"},  {"P_SISTEMA", "CMP"},          {"P_ORDPI", "N"},
                                         {"P_PAGINA", "F"},      {"P_VARIPRECO", "N"}};
    for (auto it = text.constBegin(); it != text.constEnd(); ++it)
        if (TParam *p = params.FindParam(it.key()))
            p->setValue(it.value());
    if (TParam *p = params.FindParam(QStringLiteral("P_DTINI")))
        p->setAsDate(QDate(2000, 1, 1));
    if (TParam *p = params.FindParam(QStringLiteral("P_DTFIN")))
        p->setAsDate(QDate(2100, 12, 31));
}

} // namespace bench
