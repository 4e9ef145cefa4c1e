#include "report/output/HtmlBand.h"

#include <QColor>

namespace HtmlBand {

namespace {

QString mm(double v)
{
    return QString::number(v, 'f', 2) + QStringLiteral("mm");
}

// A colour of the definition (#RRGGBB, checked when it was read) or of a style's look.
QString colour(const QString &text, QRgb look = 0)
{
    if (look)
        return QColor(look).name();
    const QColor c(text);
    return c.isValid() ? c.name() : QString();
}

QString box(const ReportElement &e)
{
    return QStringLiteral("left:%1;top:%2;width:%3;height:%4;").arg(mm(e.x), mm(e.y), mm(e.width), mm(e.height));
}

QString lineHtml(const ReportElement &e)
{
    const QString stroke = colour(e.borderColor).isEmpty() ? colour(e.color) : colour(e.borderColor);
    return QStringLiteral("<svg class=\"ln\" width=\"1\" height=\"1\"><line x1=\"%1\" y1=\"%2\" x2=\"%3\" y2=\"%4\" "
                          "stroke=\"%5\" stroke-width=\"%6\"/></svg>")
        .arg(mm(e.x), mm(e.y), mm(e.x + e.width), mm(e.y + e.height),
             stroke.isEmpty() ? QStringLiteral("#000000") : stroke, mm(e.borderWidth > 0 ? e.borderWidth : 0.2));
}

QString elementHtml(const PlacedElement &placed)
{
    const ReportElement &e = placed.element;
    if (e.kind == ReportElement::Kind::Line)
        return lineHtml(e);
    QString css = box(e);
    const QString background = colour(e.background, placed.look.background);
    if (!background.isEmpty())
        css += QStringLiteral("background:%1;").arg(background);
    if (e.borderWidth > 0) {
        const QString border = colour(e.borderColor).isEmpty() ? colour(e.color) : colour(e.borderColor);
        css += QStringLiteral("border:%1 solid %2;box-sizing:border-box;")
                   .arg(mm(e.borderWidth), border.isEmpty() ? QStringLiteral("#000000") : border);
    }
    if (e.kind == ReportElement::Kind::Image)
        return placed.image >= 0
                   ? QStringLiteral("<div class=\"el im%1\" style=\"%2\"></div>").arg(placed.image).arg(css)
                   : QString();
    if (e.kind == ReportElement::Kind::Rect)
        return QStringLiteral("<div class=\"el\" style=\"%1\"></div>").arg(css);
    const QString color = colour(e.color, placed.look.color);
    if (!color.isEmpty())
        css += QStringLiteral("color:%1;").arg(color);
    css += QStringLiteral("font-size:%1pt;").arg(e.fontSize);
    if (e.bold || placed.look.bold)
        css += QStringLiteral("font-weight:bold;");
    if (e.italic)
        css += QStringLiteral("font-style:italic;");
    const QString align = e.align.toLower();
    css += QStringLiteral("justify-content:%1;")
               .arg(align == QLatin1String("right")    ? QStringLiteral("flex-end")
                    : align == QLatin1String("center") ? QStringLiteral("center")
                                                       : QStringLiteral("flex-start"));
    // One document is one page: a page count shown by an element is 1.
    const QString text = pageNumberText(placed.text, 1, 1);
    return QStringLiteral("<div class=\"el tx\" style=\"%1\"><span>%2</span></div>").arg(css, text.toHtmlEscaped());
}

} // namespace

QString imageStyles(const PageImages &images)
{
    QString css = QStringLiteral(".band{position:relative;margin:.3em 0}"
                                 ".el{position:absolute;overflow:hidden}"
                                 ".tx{display:flex;align-items:center;white-space:nowrap;padding:0 .5mm;"
                                 "box-sizing:border-box;line-height:1}"
                                 ".ln{position:absolute;left:0;top:0;overflow:visible}\n");
    for (qsizetype i = 0; i < images.size(); ++i) {
        const PageImage &image = images.at(i);
        const QString mime = image.mime.isEmpty() ? QStringLiteral("image/png") : image.mime;
        css += QStringLiteral(".im%1{background:url(data:%2;base64,%3) center/contain no-repeat}\n")
                   .arg(i)
                   .arg(mime.toHtmlEscaped(), QString::fromLatin1(image.data.toBase64()));
    }
    return css;
}

QString html(const QList<PlacedElement> &elements, double heightMm)
{
    QString h = QStringLiteral("<div class=\"band\" style=\"height:%1\">").arg(mm(heightMm));
    for (const PlacedElement &e : elements)
        h += elementHtml(e);
    h += QStringLiteral("</div>");
    return h;
}

} // namespace HtmlBand
