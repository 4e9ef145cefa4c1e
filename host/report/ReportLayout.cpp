#include "report/ReportLayout.h"
#include "report/ReportFonts.h"

#include <QColor>
#include <QPageSize>
#include <utility>

namespace {

constexpr QRgb black = 0xFF000000;
constexpr QRgb stripeColor = 0xFFF2F4F7;
constexpr QRgb groupColor = 0xFFE1E7EF;
constexpr QRgb ruleColor = 0xFF606060;
constexpr QRgb riseColor = 0xFFB01E1E;
constexpr QRgb fallColor = 0xFF1E7A2E;

const QString ellipsis = QStringLiteral("…");

} // namespace

ReportLayout::ReportLayout(PageSink &out) : m_out(out) { }

ReportLayout::~ReportLayout() = default;

PageSetup ReportLayout::pageSetup(bool landscape)
{
    PageSetup setup;
    const QSizeF a4 = QPageSize(QPageSize::A4).size(QPageSize::Point);
    setup.size = landscape ? a4.transposed() : a4;
    setup.landscape = landscape;
    return setup;
}

ReportLayout::Style ReportLayout::style(PageItem::Face face, double size) const
{
    Style s;
    s.face = face;
    s.size = size;
    s.font = face == PageItem::Bold      ? m_boldFont.get()
             : face == PageItem::Regular ? m_regular.get()
                                         : ReportFonts::face(face).get(); // kept for the process
    s.ascent = s.font->ascent() * size / s.font->unitsPerEm();
    s.height = (s.font->ascent() + s.font->descent()) * size / s.font->unitsPerEm();
    return s;
}

void ReportLayout::begin(const ReportRunInfo &info)
{
    m_info = info;
    m_regular = ReportFonts::face(PageItem::Regular);
    m_boldFont = ReportFonts::face(PageItem::Bold);
    m_body = style(PageItem::Regular, 7.5);
    m_bold = style(PageItem::Bold, 7.5);
    m_title = style(PageItem::Bold, 11);
    m_small = style(PageItem::Regular, 7);

    m_setup = pageSetup(info.landscape);
    m_setup.title = info.heading;
    m_setup.code = info.code;
    m_left = info.margins.left * m_mm;
    m_top = info.margins.top * m_mm;
    m_width = m_setup.size.width() - m_left - info.margins.right * m_mm;
    m_height = m_setup.size.height() - m_top - info.margins.bottom * m_mm;

    m_lineH = m_body.height * 1.3;
    m_groupH = m_body.height * 1.6;
    m_titleH = m_title.height * 1.25;
    m_smallH = m_small.height * 1.2;

    // Criteria are set as running text, wrapped between items.
    m_criteriaLines.clear();
    QString line;
    const QString gap = QStringLiteral("     ");
    for (const QString &item : m_info.criteria) {
        const QString candidate = line.isEmpty() ? item : line + gap + item;
        if (!line.isEmpty() && ReportFonts::width(*m_small.font, m_small.size, candidate) > m_width) {
            m_criteriaLines << line;
            line = item;
        } else {
            line = candidate;
        }
    }
    if (!line.isEmpty())
        m_criteriaLines << line;

    m_cols.clear();
    m_valueFormats.clear();
    m_printed.clear();
    for (int c = 0; c < m_info.columns.size(); ++c)
        if (!m_info.columns.at(c).dataOnly) {
            m_cols << m_info.columns.at(c);
            m_valueFormats << ReportFormat::ValueFormat::parse(m_info.columns.at(c).format);
            m_printed << c;
        }
    const double scale = ReportColumn::paperScale(m_cols, m_width / m_mm, m_info.columnsFillWidth);
    m_colX.clear();
    m_colW.clear();
    double x = 0;
    for (const ReportColumn &c : m_cols) {
        m_colX << x;
        m_colW << c.width * m_mm * scale;
        x += c.width * m_mm * scale;
    }

    m_headerBottom = m_titleH + m_smallH * (1 + m_criteriaLines.size()) + 1.5 * m_mm + m_lineH + 1 * m_mm;
    m_bodyBottom = m_height - (m_smallH + 2 * m_mm);
    m_pageHeaderH = info.pageHeaderMm * m_mm;
    m_pageFooterH = info.pageFooterMm * m_mm;
    m_headerBottom += m_pageHeaderH;
    m_bodyBottom -= m_pageFooterH;
    m_setup.images = info.images;
    m_page = 0;
    m_pageOpen = false;
    m_openHeaders.clear();
    m_rowAhead.clear();
    m_pageLastRow.clear();
    m_out.beginDocument(m_setup);
}

void ReportLayout::text(const Style &s, double x, double y, double w, double h, Qt::Alignment align,
                        const QString &value, QRgb color)
{
    if (value.isEmpty() || w <= 0)
        return;
    PageItem item;
    item.kind = PageItem::Text;
    item.face = s.face;
    item.size = float(s.size);
    item.color = color;
    double width = ReportFonts::width(*s.font, s.size, value);
    item.text = value;
    if (width > w) {
        // Cut at the last character that leaves room for the ellipsis.
        const double room = w - ReportFonts::width(*s.font, s.size, ellipsis);
        double used = 0;
        qsizetype n = 0;
        for (; n < value.size(); ++n) {
            const double next = ReportFonts::width(*s.font, s.size, QStringView(value).mid(n, 1));
            if (used + next > room)
                break;
            used += next;
        }
        item.text = value.left(n) + ellipsis;
        width = ReportFonts::width(*s.font, s.size, item.text);
    }
    double left = x;
    if (align & Qt::AlignRight)
        left = x + w - width;
    else if (align & Qt::AlignHCenter)
        left = x + (w - width) / 2;
    item.x = float(m_left + left);
    item.y = float(m_top + y + (h - s.height) / 2 + s.ascent);
    m_current.items << item;
}

void ReportLayout::cell(int column, const Style &s, double y, double h, const QString &value, QRgb color)
{
    const double pad = 0.8 * m_mm;
    text(s, m_colX.at(column) + pad, y, m_colW.at(column) - 2 * pad, h, m_cols.at(column).alignment(), value, color);
}

void ReportLayout::fill(double x, double y, double w, double h, QRgb color)
{
    PageItem item;
    item.kind = PageItem::Fill;
    item.color = color;
    item.x = float(m_left + x);
    item.y = float(m_top + y);
    item.w = float(w);
    item.h = float(h);
    m_current.items << item;
}

void ReportLayout::rule(double y, double width)
{
    PageItem item;
    item.kind = PageItem::Rule;
    item.color = ruleColor;
    item.size = float(width);
    item.x = float(m_left);
    item.y = float(m_top + y);
    item.w = float(m_width);
    item.h = 0;
    m_current.items << item;
}

void ReportLayout::pageNumber(const Style &s, double y, double h, const QString &prefix)
{
    PageItem item;
    item.kind = PageItem::PageNumber;
    item.face = s.face;
    item.size = float(s.size);
    item.x = float(m_left + m_width);
    item.y = float(m_top + y + (h - s.height) / 2 + s.ascent);
    item.text = prefix;
    m_current.items << item;
}

void ReportLayout::drawHeader()
{
    double y = 0;
    text(m_title, 0, y, m_width, m_titleH, Qt::AlignHCenter, m_info.heading);
    text(m_bold, 0, y, m_width, m_titleH, Qt::AlignLeft, m_info.code);
    pageNumber(m_bold, y, m_titleH, QString());
    y += m_titleH;
    text(m_small, 0, y, m_width, m_smallH, Qt::AlignRight,
         QStringLiteral("Emissão: %1").arg(m_info.issued.toString(QStringLiteral("dd/MM/yyyy hh:mm"))));
    for (const QString &line : m_criteriaLines) {
        y += m_smallH;
        text(m_small, 0, y, m_width, m_smallH, Qt::AlignLeft, line);
    }
    if (m_info.pageElements) {
        // The page header's band sits between the criteria and the column titles.
        y += m_smallH;
        place(m_info.pageElements(false, m_page, m_rowAhead), y);
        y += m_pageHeaderH + 1.5 * m_mm;
    } else {
        y += m_smallH + 1.5 * m_mm;
    }
    rule(y - 0.75 * m_mm, 0.3 * m_mm);
    for (int c = 0; c < m_cols.size(); ++c)
        cell(c, m_bold, y, m_lineH, m_cols.at(c).title);
    y += m_lineH;
    rule(y, 0.2 * m_mm);
}

void ReportLayout::startPage()
{
    ++m_page;
    m_current = ReportPage();
    m_current.number = m_page;
    m_pageOpen = true;
    m_bodyUsed = false;
    m_stripe = 0;
    m_y = m_headerBottom;
    drawHeader();
    // The open groups' headers again, as many as leave the page room for a row: a page
    // that held only them would be followed by another just like it.
    for (int level = 0; level < m_openHeaders.size(); ++level)
        if (m_info.repeatHeaders.value(level, true) && m_y + m_groupH + 2 * m_lineH <= m_bodyBottom)
            drawGroupHeader(level, m_openHeaders.at(level) + QStringLiteral(" (continuação)"));
}

void ReportLayout::endPage()
{
    if (!m_pageOpen)
        return;
    const double y = m_height - m_smallH;
    if (m_info.pageElements)
        place(m_info.pageElements(true, m_page, m_pageLastRow), m_bodyBottom + 1.5 * m_mm);
    rule(y - 0.5 * m_mm, 0.2 * m_mm);
    text(m_small, 0, y, m_width, m_smallH, Qt::AlignLeft, m_info.footer);
    pageNumber(m_small, y, m_smallH, m_info.code + QStringLiteral(" - "));
    m_pageOpen = false;
    m_out.page(m_current);
    m_current.items.clear();
}

void ReportLayout::ensureSpace(double height)
{
    if (!m_pageOpen) {
        startPage();
    } else if (m_y + height > m_bodyBottom) {
        endPage();
        startPage();
    }
    // What is placed now is of the row ahead: the last the page's footer will show so far.
    m_pageLastRow = m_rowAhead;
}

void ReportLayout::drawGroupHeader(int level, const QString &value)
{
    const double top = m_y + 0.3 * m_groupH;
    const double h = 0.7 * m_groupH;
    fill(0, top, m_width, h, groupColor);
    text(m_bold, level * 4 * m_mm + m_mm, top, m_width - level * 4 * m_mm - 2 * m_mm, h, Qt::AlignLeft, value);
    m_y += m_groupH;
    m_stripe = 0;
}

void ReportLayout::groupHeader(int level, const QString &value, bool pageBreak)
{
    if (m_openHeaders.size() > level)
        m_openHeaders.resize(level);
    if (pageBreak && m_pageOpen && m_bodyUsed) {
        endPage();
        startPage();
    }
    // Room for the header, its band, its first row and, should that row be the only one,
    // the footer.
    ensureSpace(m_groupH + m_info.groupHeaderMm.value(level) * m_mm + m_lineH + m_lineH * 1.25);
    drawGroupHeader(level, value);
    m_openHeaders << value;
    m_bodyUsed = true;
}

void ReportLayout::detail(const QVariantList &cells, bool footerFollows)
{
    const RowLook look = std::exchange(m_nextLook, RowLook());
    // The last row of a group keeps its footer company on the page.
    ensureSpace(footerFollows ? m_lineH + m_lineH * 1.25 : m_lineH);
    if (look.row.background)
        fill(0, m_y, m_width, m_lineH, look.row.background);
    else if (m_stripe % 2 == 1)
        fill(0, m_y, m_width, m_lineH, stripeColor);
    for (int c = 0; c < m_cols.size(); ++c) {
        const int at = m_printed.at(c);
        const CellLook cellLook = look.cells.value(at).over(look.row);
        if (cellLook.background && cellLook.background != look.row.background)
            fill(m_colX.at(c), m_y, m_colW.at(c), m_lineH, cellLook.background);
        const ReportFormat::ValueFormat &format = m_valueFormats.at(c);
        const QString value = ReportFormat::display(cells.value(at), format);
        QRgb color = black;
        if (format.kind == ReportFormat::ValueFormat::Variation && !value.isEmpty()) {
            if (value.at(0) == QChar(0x25B2))
                color = riseColor;
            else if (value.at(0) == QChar(0x25BC))
                color = fallColor;
        }
        cell(c, cellLook.bold ? m_bold : m_body, m_y, m_lineH, value, cellLook.color ? cellLook.color : color);
    }
    m_y += m_lineH;
    ++m_stripe;
    m_bodyUsed = true;
}

void ReportLayout::drawTotals(const QString &label, const QVariantList &cells, const QStringList &formats,
                              bool doubleRule)
{
    const double h = m_lineH * 1.25;
    ensureSpace(h);
    rule(m_y + 0.3 * m_mm, 0.2 * m_mm);
    if (doubleRule)
        rule(m_y + 0.8 * m_mm, 0.2 * m_mm);
    int firstTotal = int(m_cols.size());
    for (int c = 0; c < m_cols.size(); ++c)
        if (!cells.value(m_printed.at(c)).isNull()) {
            firstTotal = c;
            break;
        }
    const double labelRight = firstTotal < m_colX.size() ? m_colX.at(firstTotal) : m_width;
    text(m_bold, m_mm, m_y, labelRight - 2 * m_mm, h, Qt::AlignLeft, label);
    for (int c = 0; c < m_cols.size(); ++c) {
        const int at = m_printed.at(c);
        if (cells.value(at).isNull())
            continue;
        const QString value = formats.value(at).isEmpty() ? ReportFormat::display(cells.at(at), m_valueFormats.at(c))
                                                          : ReportFormat::display(cells.at(at), formats.value(at));
        cell(c, m_bold, m_y, h, value);
    }
    m_y += h;
    m_bodyUsed = true;
}

void ReportLayout::groupFooter(int level, const QString &label, const QVariantList &cells, const QStringList &formats)
{
    bool any = !label.isEmpty();
    for (const QVariant &v : cells)
        any = any || !v.isNull();
    if (any)
        drawTotals(label, cells, formats, false);
    m_y += 0.15 * m_lineH;
    if (m_openHeaders.size() > level)
        m_openHeaders.resize(level);
}

void ReportLayout::summary(const QString &label, const QVariantList &cells, const QStringList &formats)
{
    m_openHeaders.clear();
    drawTotals(label, cells, formats, true);
}

void ReportLayout::band(ReportDefinition::BandKind kind, int level, double heightMm,
                        const QList<PlacedElement> &elements)
{
    Q_UNUSED(level);
    const double height = heightMm * m_mm;
    // A group header already kept room for its band with its first row.
    if (kind != ReportDefinition::BandKind::GroupHeader)
        ensureSpace(height);
    place(elements, m_y);
    m_y += height;
    m_bodyUsed = true;
}

void ReportLayout::pageCount(const Style &s, double x, double y, double w, double h, Qt::Alignment align,
                             const QString &value, QRgb color)
{
    // Left open like the default page number line: its width is known only with the count.
    PageItem item;
    item.kind = PageItem::PageNumber;
    item.face = s.face;
    item.size = float(s.size);
    item.color = color;
    item.w = (align & Qt::AlignRight) ? 0.f : (align & Qt::AlignHCenter) ? 0.5f : 1.f;
    item.x = float(m_left + x + w * (1 - item.w));
    item.y = float(m_top + y + (h - s.height) / 2 + s.ascent);
    item.text = value;
    m_current.items << item;
}

void ReportLayout::line(double x1, double y1, double x2, double y2, double width, QRgb color)
{
    PageItem item;
    item.kind = PageItem::Rule;
    item.color = color;
    item.size = float(width);
    item.x = float(m_left + x1);
    item.y = float(m_top + y1);
    item.w = float(x2 - x1);
    item.h = float(y2 - y1);
    m_current.items << item;
}

void ReportLayout::frame(double x, double y, double w, double h, double width, QRgb color)
{
    line(x, y, x + w, y, width, color);
    line(x + w, y, x + w, y + h, width, color);
    line(x + w, y + h, x, y + h, width, color);
    line(x, y + h, x, y, width, color);
}

void ReportLayout::place(const QList<PlacedElement> &elements, double y)
{
    for (const PlacedElement &e : elements)
        place(e, y);
}

void ReportLayout::place(const PlacedElement &placed, double top)
{
    const ReportElement &e = placed.element;
    const auto colorOf = [](const QString &text, QRgb otherwise) {
        return text.isEmpty() ? otherwise : QColor(text).rgba();
    };
    const double x = e.x * m_mm, y = top + e.y * m_mm, w = e.width * m_mm, h = e.height * m_mm;
    const QRgb border = colorOf(e.borderColor, colorOf(e.color, black));
    const QRgb background = placed.look.background ? placed.look.background : colorOf(e.background, 0);
    const double borderWidth = e.borderWidth * m_mm;
    switch (e.kind) {
    case ReportElement::Kind::Line:
        line(x, y, x + w, y + h, borderWidth > 0 ? borderWidth : 0.2 * m_mm, border);
        return;
    case ReportElement::Kind::Image: {
        PageItem item;
        item.kind = PageItem::Image;
        item.size = float(placed.image);
        item.x = float(m_left + x);
        item.y = float(m_top + y);
        item.w = float(w);
        item.h = float(h);
        m_current.items << item;
        break;
    }
    case ReportElement::Kind::Rect:
    case ReportElement::Kind::Text:
    case ReportElement::Kind::Field:
        if (background)
            fill(x, y, w, h, background);
        if (e.kind != ReportElement::Kind::Rect) {
            const bool bold = e.bold || placed.look.bold;
            const QRgb color = placed.look.color ? placed.look.color : colorOf(e.color, black);
            const double pad = 0.5 * m_mm;
            ReportColumn alignment;
            alignment.align = e.align;
            const Style s = style(PageItem::faceOf(bold, e.italic), e.fontSize);
            if (placed.text.contains(QChar(pageCountMark)))
                pageCount(s, x + pad, y, w - 2 * pad, h, alignment.alignment(), placed.text, color);
            else
                text(s, x + pad, y, w - 2 * pad, h, alignment.alignment(), placed.text, color);
        }
        break;
    }
    if (borderWidth > 0)
        frame(x, y, w, h, borderWidth, border);
}

void ReportLayout::finish(qint64 rows)
{
    if (!m_pageOpen)
        startPage();
    if (rows == 0)
        text(m_body, 0, m_y + m_lineH, m_width, m_lineH, Qt::AlignLeft,
             QStringLiteral("Nenhum registro encontrado para os parâmetros informados."));
    endPage();
    m_out.endDocument(m_page);
}
