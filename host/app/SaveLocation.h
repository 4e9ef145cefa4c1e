#pragma once

#include "suite_export.h"

#include <QDate>
#include <QString>
#include <QStringList>

// Where a report is saved, as a desktop program proposes it: the folder this user saved
// in last (remembered in the user's configuration folder) and a name made of the report
// and what the screen says of the choices (a branch and a period, say). Used by the report forms and the report preview.
namespace SaveLocation {
// "LPR077 Filial 0001 2026-12-07 a 2026-12-13.pdf": the report code and the parts a screen
// gives, joined by blanks; characters a file name cannot hold become "-".
SUITE_EXPORT QString proposedName(const QString &reportCode, const QStringList &parts,
                                  const QString &extension = QStringLiteral("pdf"));
// The parts of a screen with a branch and a period: "Filial 0001" and "2026-12-07 a
// 2026-12-13" (one date when the period is one day); the ones that are given.
SUITE_EXPORT QStringList branchAndPeriod(const QString &branch, const QDate &from, const QDate &to);
// The folder of this user's last save while it exists; else the Documents folder; else
// the home folder.
SUITE_EXPORT QString lastFolder();
// Remembers the folder of a file just saved.
SUITE_EXPORT void remember(const QString &savedFile);
// The path the save dialog starts with: lastFolder() and proposedName(...).
SUITE_EXPORT QString proposal(const QString &reportCode, const QStringList &parts,
                              const QString &extension = QStringLiteral("pdf"));
// The file of the user's preferences that keeps the folder.
SUITE_EXPORT QString settingsFile();
} // namespace SaveLocation
