#pragma once

#include "sets/RelativePeriod.h"
#include "suite_export.h"

#include <QByteArray>
#include <QMap>
#include <QString>
#include <QStringList>
#include <optional>

// A named set of a report screen's choices ("Conjunto de parâmetros"): the report, the value
// of each control that makes up the choices, in the form a person types it (the form
// ControlInput takes), and the period, fixed or relative to the processing date.
//
// Kept as one JSON file per set:
//   {"formato": 1, "tela": "EST01001", "nome": "Semanal Curitiba",
//    "relatorio": "Posição por Filial",
//    "valores": {"medCdFilial": "0002", "rbtListaForn": "S", "sbtFornecedor": ["000001", "000003"]},
//    "periodo": {"tipo": "semana", "semanas": 1}}
// A file written by a newer version, or with keys or values this version does not know,
// loads what it can; `skipped` says what it left out.
struct SUITE_EXPORT ParameterSet
{
    static constexpr int kFormat = 1;

    QString name;
    QString screen;
    QString report;                // report title; empty: the screen's choice stays
    QMap<QString, QString> values; // control name -> value as typed
    std::optional<RelativePeriod> period;

    // Where it was read from, and whether it is a shared set (read-only to the screens).
    QString file;
    bool shared = false;
    QStringList skipped;

    QByteArray toJson() const;
    // The set in data; nullopt when data is not a whole, valid set (a file cut short by a
    // crash, another kind of file, a set without its name or screen), with the reason in
    // *why.
    static std::optional<ParameterSet> fromJson(const QByteArray &data, QString *why);

    // A name as a person gives it: trimmed; empty when it has no visible character.
    static QString cleanName(const QString &name);
};

// What a person is asked when saving a form's choices as a set; the answers come back in
// the same fields.
struct SUITE_EXPORT ParameterSetQuestion
{
    QString name;            // proposed, then the answer
    QStringList ownNames;    // the user's sets of the screen (a name among them is replaced)
    bool hasPeriod = false;  // the screen has a period
    bool singleDate = false; // ... made of one date ("posição em")
    RelativePeriod period;   // proposed (what the screen's dates are today), then the answer
    QDate from;              // the screen's dates now
    QDate to;
    QDate today;              // the processing date a relative period counts from
    bool makeDefault = false; // applied when the screen opens (proposed: the set named already is)
    QString defaultName;      // the set the screen applies when it opens now ("" none)
};
