#include "report/ui/SavedNotice.h"

#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QUrl>

namespace {
const char kOpenFile[] = "arquivo";
const char kOpenFolder[] = "pasta";
} // namespace

SavedNotice::SavedNotice(QWidget *parent) : QLabel(parent)
{
    setObjectName(QStringLiteral("lblStatus"));
    setTextFormat(Qt::RichText);
    setTextInteractionFlags(Qt::LinksAccessibleByMouse | Qt::LinksAccessibleByKeyboard);
    setFocusPolicy(Qt::NoFocus);
    setFrameShape(QFrame::StyledPanel);
    setFrameShadow(QFrame::Sunken);
    setMinimumHeight(fontMetrics().height() + 6);
    connect(this, &QLabel::linkActivated, this, &SavedNotice::open);
}

void SavedNotice::showSaved(const QString &file)
{
    m_file = QFileInfo(file).absoluteFilePath();
    setToolTip(QDir::toNativeSeparators(m_file));
    render();
}

void SavedNotice::resizeEvent(QResizeEvent *event)
{
    QLabel::resizeEvent(event);
    if (!m_file.isEmpty())
        render();
}

void SavedNotice::render()
{
    const QString links = QStringLiteral(" — <a href=\"%1\">abrir</a> · <a href=\"%2\">abrir a pasta</a>")
                              .arg(QLatin1String(kOpenFile), QLatin1String(kOpenFolder));
    const QString lead = QStringLiteral("Salvo em ");
    // The path is shortened in its middle to what the line holds beside the links.
    const int room =
        qMax(80, contentsRect().width()
                     - fontMetrics().horizontalAdvance(lead + QStringLiteral(" — abrir · abrir a pasta")) - 8);
    const QString path = fontMetrics().elidedText(QDir::toNativeSeparators(m_file), Qt::ElideMiddle, room);
    setText(lead + path.toHtmlEscaped() + links);
}

void SavedNotice::open(const QString &link)
{
    const QString target = link == QLatin1String(kOpenFolder) ? QFileInfo(m_file).absolutePath() : m_file;
    if (!QDesktopServices::openUrl(QUrl::fromLocalFile(target)))
        setText(QStringLiteral("Não foi possível abrir %1: nenhum programa do sistema o abre.")
                    .arg(QDir::toNativeSeparators(target).toHtmlEscaped()));
}
