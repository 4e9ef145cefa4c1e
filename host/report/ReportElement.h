#pragma once

#include "suite_export.h"

#include <QByteArray>
#include <QJsonArray>
#include <QJsonObject>
#include <QList>
#include <QString>
#include <QStringList>

// A look given to a detail row, or to one of its cells, while a condition holds:
// "PCVARIACAO > 10" in red, the lowest price of a product in bold. when is an expression
// over the row and the run's parameters (see ReportExpression); colours are #RRGGBB, and
// an empty colour keeps the one the row would have.
struct SUITE_EXPORT ReportStyleRule
{
    QString when;
    QString color;
    QString background;
    bool bold = false;

    bool operator==(const ReportStyleRule &) const = default;

    static QList<ReportStyleRule> listFromJson(const QJsonArray &array);
    static QJsonArray listToJson(const QList<ReportStyleRule> &rules);
    // One line per fault (no condition, a colour that is not #RRGGBB), naming the rule and where.
    static void check(const QList<ReportStyleRule> &rules, const QString &where, QStringList &problems);
};

// Something an author places in a band: a text (literal or an expression), the value of a
// field, a line, a rectangle or an image. Position and size are in mm from the band's top
// left corner; a line runs from (x, y) to (x + width, y + height). An image is kept in the
// definition itself (PNG, JPEG or SVG), so a definition file needs nothing beside it.
struct SUITE_EXPORT ReportElement
{
    enum class Kind { Text, Field, Line, Rect, Image };

    Kind kind = Kind::Text;
    QString name; // how messages and the designer name it; may be empty
    double x = 0, y = 0, width = 40, height = 5;
    QString text;       // text: shown as is when there is no expression
    QString expression; // text: what it shows, in the report's expression language
    QString field;      // field: the query field it shows
    double fontSize = 8;
    bool bold = false;
    bool italic = false;
    QString align = QStringLiteral("left"); // left, right, center
    QString color;                          // #RRGGBB; empty = black
    QString background;                     // #RRGGBB; empty = none
    double borderWidth = 0;                 // mm; 0 = no border (a line: its width, 0 = thin)
    QString borderColor;
    QString format = QStringLiteral("text"); // of a value (see ReportFormat)
    QByteArray image;                        // the file's bytes
    QString mime;                            // image/png, image/jpeg, image/svg+xml
    QList<ReportStyleRule> styles;           // looks while a condition holds, in order

    bool operator==(const ReportElement &) const = default;

    static QString kindName(Kind kind);
    // What the element shows as an expression: its expression, its field, or nothing.
    QString valueExpression() const;
    // "o elemento \"Logotipo\"" or "o elemento 3"
    QString label(int index) const;

    static ReportElement fromJson(const QJsonObject &o, QStringList &problems);
    QJsonObject toJson() const;
};

// A band of the page other than the detail rows: its height in mm and what it holds.
// An empty band takes no room, so a definition without bands lays out as it always did.
struct SUITE_EXPORT ReportBand
{
    static constexpr int maxElements = 200;

    double height = 0;
    QList<ReportElement> elements;

    bool operator==(const ReportBand &) const = default;
    bool isEmpty() const { return height <= 0 && elements.isEmpty(); }

    static ReportBand fromJson(const QJsonValue &value, QStringList &problems);
    QJsonObject toJson() const;
    // Faults of geometry, kind, colour, alignment and format, one line each naming the
    // band (where: "do cabeçalho da página") and the element.
    void check(const QString &where, QStringList &problems) const;
};
