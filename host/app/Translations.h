#pragma once

#include "suite_export.h"

#include <QString>

class QCoreApplication;

// Qt's own texts (the buttons and labels of its print, page set-up, file and message
// dialogs) in Brazilian Portuguese, from the translations Debian installs
// (qt6-translations-l10n).
namespace Translations {
// Installs Qt's translations for the locale on the application; returns the file loaded,
// empty when none was found (the dialogs then speak English, nothing else changes).
SUITE_EXPORT QString install(QCoreApplication *app, const QString &locale = QStringLiteral("pt_BR"));
} // namespace Translations
