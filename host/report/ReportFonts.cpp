#include "report/ReportFonts.h"
#include "errors/EAbort.h"

#include <QDir>
#include <QFileInfo>
#include <QMutex>
#include <QStandardPaths>

namespace ReportFonts {

namespace {

QString findFile(const QString &fileName)
{
    QStringList dirs;
    const QString own = qEnvironmentVariable("SUITE_FONT_DIR");
    if (!own.isEmpty())
        dirs << own;
    dirs << QStringLiteral("/usr/share/fonts/truetype/dejavu") << QStringLiteral("/usr/share/fonts/dejavu")
         << QStringLiteral("/usr/share/fonts/TTF") << QStringLiteral("/usr/local/share/fonts");
    dirs << QStandardPaths::standardLocations(QStandardPaths::FontsLocation);
    for (const QString &dir : dirs) {
        const QString path = QDir(dir).filePath(fileName);
        if (QFileInfo::exists(path))
            return path;
    }
    return QString();
}

} // namespace

std::shared_ptr<const TrueTypeFont> face(PageItem::Face which)
{
    static QMutex mutex;
    static std::shared_ptr<const TrueTypeFont> loaded[4];
    static const char *const files[4] = {"DejaVuSans.ttf", "DejaVuSans-Bold.ttf", "DejaVuSans-Oblique.ttf",
                                         "DejaVuSans-BoldOblique.ttf"};
    const int index = which <= PageItem::BoldItalic ? int(which) : 0;
    const QMutexLocker lock(&mutex);
    std::shared_ptr<const TrueTypeFont> &slot = loaded[index];
    if (!slot) {
        const QString name = QString::fromLatin1(files[index]);
        const QString path = findFile(name);
        if (path.isEmpty())
            throw ESuiteError(QStringLiteral("A fonte dos relatórios (%1) não foi encontrada. Instale o pacote "
                                             "fonts-dejavu-core ou indique a pasta da fonte em SUITE_FONT_DIR.")
                                  .arg(name));
        slot = TrueTypeFont::load(path);
    }
    return slot;
}

} // namespace ReportFonts
