#include "app/Translations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QTranslator>

namespace Translations {

QString install(QCoreApplication *app, const QString &locale)
{
    auto *translator = new QTranslator(app);
    // "qt_" gathers every module's catalogue (qtbase and the others Qt installs).
    for (const QString &name : {QStringLiteral("qt_"), QStringLiteral("qtbase_")}) {
        if (translator->load(name + locale, QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
            QCoreApplication::installTranslator(translator);
            return translator->filePath();
        }
    }
    delete translator;
    return QString();
}

} // namespace Translations
