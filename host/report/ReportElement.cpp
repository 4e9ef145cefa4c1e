#include "report/ReportElement.h"
#include "report/ReportFormat.h"

#include <QRegularExpression>

namespace {

const char *const kindNames[] = {"text", "field", "line", "rect", "image"};

void putIf(QJsonObject &o, const char *key, const QString &value)
{
    if (!value.isEmpty())
        o.insert(QLatin1String(key), value);
}

// A colour: empty (the default) or #RRGGBB.
bool validColor(const QString &color)
{
    static const QRegularExpression rgb(QStringLiteral("^#[0-9A-Fa-f]{6}$"));
    return color.isEmpty() || rgb.match(color).hasMatch();
}

bool validAlign(const QString &align)
{
    const QString a = align.toLower();
    return a == QLatin1String("left") || a == QLatin1String("right") || a == QLatin1String("center");
}

} // namespace

QList<ReportStyleRule> ReportStyleRule::listFromJson(const QJsonArray &array)
{
    QList<ReportStyleRule> styles;
    for (const QJsonValue &v : array) {
        const QJsonObject r = v.toObject();
        styles << ReportStyleRule{r.value(QStringLiteral("when")).toString(), r.value(QStringLiteral("color")).toString(),
                                  r.value(QStringLiteral("background")).toString(),
                                  r.value(QStringLiteral("bold")).toBool()};
    }
    return styles;
}

QJsonArray ReportStyleRule::listToJson(const QList<ReportStyleRule> &styles)
{
    QJsonArray array;
    for (const ReportStyleRule &r : styles) {
        QJsonObject o{{QStringLiteral("when"), r.when}};
        putIf(o, "color", r.color);
        putIf(o, "background", r.background);
        if (r.bold)
            o.insert(QStringLiteral("bold"), true);
        array.append(o);
    }
    return array;
}

void ReportStyleRule::check(const QList<ReportStyleRule> &styles, const QString &where, QStringList &problems)
{
    for (qsizetype i = 0; i < styles.size(); ++i) {
        const ReportStyleRule &r = styles.at(i);
        const QString rule = QStringLiteral("o estilo %1 %2").arg(i + 1).arg(where);
        if (r.when.trimmed().isEmpty())
            problems << QStringLiteral("%1 não tem condição").arg(rule);
        for (const QString &color : {r.color, r.background})
            if (!validColor(color))
                problems << QStringLiteral("%1 tem a cor '%2', que não é do tipo #RRGGBB").arg(rule, color);
    }
}

QString ReportElement::kindName(Kind kind)
{
    return QLatin1String(kindNames[int(kind)]);
}

QString ReportElement::valueExpression() const
{
    if (kind == Kind::Field)
        return field;
    if (kind == Kind::Text)
        return expression;
    return QString();
}

QString ReportElement::label(int index) const
{
    return name.trimmed().isEmpty() ? QStringLiteral("o elemento %1").arg(index + 1)
                                    : QStringLiteral("o elemento \"%1\"").arg(name);
}

ReportElement ReportElement::fromJson(const QJsonObject &o, QStringList &problems)
{
    ReportElement e;
    const QString kind = o.value(QStringLiteral("kind")).toString(QStringLiteral("text"));
    bool known = false;
    for (size_t k = 0; k < std::size(kindNames); ++k)
        if (kind.compare(QLatin1String(kindNames[k]), Qt::CaseInsensitive) == 0) {
            e.kind = Kind(k);
            known = true;
        }
    e.name = o.value(QStringLiteral("name")).toString();
    if (!known)
        problems << QStringLiteral("o elemento \"%1\" é do tipo desconhecido '%2'").arg(e.name, kind);
    e.x = o.value(QStringLiteral("x")).toDouble();
    e.y = o.value(QStringLiteral("y")).toDouble();
    e.width = o.value(QStringLiteral("width")).toDouble(e.width);
    e.height = o.value(QStringLiteral("height")).toDouble(e.height);
    e.text = o.value(QStringLiteral("text")).toString();
    e.expression = o.value(QStringLiteral("expression")).toString();
    e.field = o.value(QStringLiteral("field")).toString();
    e.fontSize = o.value(QStringLiteral("font_size")).toDouble(e.fontSize);
    e.bold = o.value(QStringLiteral("bold")).toBool();
    e.italic = o.value(QStringLiteral("italic")).toBool();
    e.align = o.value(QStringLiteral("align")).toString(e.align);
    e.color = o.value(QStringLiteral("color")).toString();
    e.background = o.value(QStringLiteral("background")).toString();
    e.borderWidth = o.value(QStringLiteral("border_width")).toDouble();
    e.borderColor = o.value(QStringLiteral("border_color")).toString();
    e.format = o.value(QStringLiteral("format")).toString(e.format);
    const QString image = o.value(QStringLiteral("image")).toString();
    if (!image.isEmpty()) {
        auto decoded = QByteArray::fromBase64Encoding(image.toLatin1(), QByteArray::AbortOnBase64DecodingErrors);
        if (decoded)
            e.image = *decoded;
        else
            problems << QStringLiteral("a imagem do elemento \"%1\" não está em base64 válido").arg(e.name);
    }
    e.mime = o.value(QStringLiteral("mime")).toString();
    e.styles = ReportStyleRule::listFromJson(o.value(QStringLiteral("styles")).toArray());
    return e;
}

QJsonObject ReportElement::toJson() const
{
    QJsonObject o{{QStringLiteral("kind"), kindName(kind)},
                  {QStringLiteral("x"), x},
                  {QStringLiteral("y"), y},
                  {QStringLiteral("width"), width},
                  {QStringLiteral("height"), height}};
    putIf(o, "name", name);
    putIf(o, "text", text);
    putIf(o, "expression", expression);
    putIf(o, "field", field);
    if (kind == Kind::Text || kind == Kind::Field) {
        o.insert(QStringLiteral("font_size"), fontSize);
        o.insert(QStringLiteral("align"), align);
        o.insert(QStringLiteral("format"), format);
    }
    if (bold)
        o.insert(QStringLiteral("bold"), true);
    if (italic)
        o.insert(QStringLiteral("italic"), true);
    putIf(o, "color", color);
    putIf(o, "background", background);
    if (borderWidth > 0)
        o.insert(QStringLiteral("border_width"), borderWidth);
    putIf(o, "border_color", borderColor);
    if (!image.isEmpty())
        o.insert(QStringLiteral("image"), QString::fromLatin1(image.toBase64()));
    putIf(o, "mime", mime);
    if (!styles.isEmpty())
        o.insert(QStringLiteral("styles"), ReportStyleRule::listToJson(styles));
    return o;
}

ReportBand ReportBand::fromJson(const QJsonValue &value, QStringList &problems)
{
    ReportBand band;
    const QJsonObject o = value.toObject();
    band.height = o.value(QStringLiteral("height")).toDouble();
    for (const QJsonValue &e : o.value(QStringLiteral("elements")).toArray())
        band.elements << ReportElement::fromJson(e.toObject(), problems);
    return band;
}

QJsonObject ReportBand::toJson() const
{
    QJsonArray elements;
    for (const ReportElement &e : this->elements)
        elements.append(e.toJson());
    return QJsonObject{{QStringLiteral("height"), height}, {QStringLiteral("elements"), elements}};
}

void ReportBand::check(const QString &where, QStringList &problems) const
{
    if (height < 0 || height > 200)
        problems << QStringLiteral("a altura %1 mm %2 está fora de 0 a 200 mm").arg(height).arg(where);
    // A band prints again with every group or page: what it holds is drawn that many times.
    if (elements.size() > maxElements) {
        problems << QStringLiteral("a faixa %1 tem %2 elementos, e uma faixa aceita até %3")
                        .arg(where)
                        .arg(elements.size())
                        .arg(maxElements);
        return;
    }
    for (qsizetype i = 0; i < elements.size(); ++i) {
        const ReportElement &e = elements.at(i);
        const QString what = QStringLiteral("%1 %2").arg(e.label(int(i)), where);
        const bool isLine = e.kind == ReportElement::Kind::Line;
        if (e.x < 0 || e.y < 0 || (!isLine && (e.width <= 0 || e.height <= 0)))
            problems << QStringLiteral("%1 tem posição ou tamanho inválido").arg(what);
        if (e.y + std::max(0.0, e.height) > height + 0.01)
            problems << QStringLiteral("%1 passa da altura da faixa (%2 mm)").arg(what).arg(height);
        for (const QString &color : {e.color, e.background, e.borderColor})
            if (!validColor(color))
                problems << QStringLiteral("%1 tem a cor '%2', que não é do tipo #RRGGBB").arg(what, color);
        if (e.borderWidth < 0)
            problems << QStringLiteral("%1 tem borda de largura negativa").arg(what);
        switch (e.kind) {
        case ReportElement::Kind::Field:
            if (e.field.trimmed().isEmpty())
                problems << QStringLiteral("%1 não informa o campo").arg(what);
            [[fallthrough]];
        case ReportElement::Kind::Text:
            if (!(e.fontSize >= 4 && e.fontSize <= 72))
                problems << QStringLiteral("%1 tem o tamanho de letra %2, fora de 4 a 72").arg(what).arg(e.fontSize);
            if (!validAlign(e.align))
                problems << QStringLiteral("%1 tem o alinhamento desconhecido '%2'").arg(what, e.align);
            if (!ReportFormat::isKnown(e.format))
                problems << QStringLiteral("%1 tem o formato desconhecido '%2'").arg(what, e.format);
            break;
        case ReportElement::Kind::Image: {
            static const QStringList mimes{QStringLiteral("image/png"), QStringLiteral("image/jpeg"),
                                           QStringLiteral("image/svg+xml")};
            if (e.image.isEmpty())
                problems << QStringLiteral("%1 não tem imagem").arg(what);
            if (!mimes.contains(e.mime))
                problems << QStringLiteral("%1 tem a imagem do tipo '%2'; use PNG, JPEG ou SVG").arg(what, e.mime);
            break;
        }
        case ReportElement::Kind::Line:
        case ReportElement::Kind::Rect: break;
        }
        ReportStyleRule::check(e.styles, QStringLiteral("d%1").arg(what), problems);
    }
}
