#pragma once

#include "suite_export.h"
#include "report/ReportPage.h"
#include "report/output/TrueTypeFont.h"

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QPair>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class QIODevice;
class WriteQueue;

// Writes laid-out pages straight into a PDF file as they come: each page's drawing
// operators are set down once, compressed, and not kept. The two report faces are
// embedded as subsets of the glyphs used, with a map back to Unicode, so the text can be
// selected and searched. "Página N de M" goes into a small stream of each page that is
// written at the end, when M is known; nothing else waits for the end. Each image of the
// document goes into the file once, however many pages show it: a JPEG as it is, others
// as deflated RGB with their transparency as a soft mask.
//
// Write failures raise ESuiteError with the device's error text.
class SUITE_TEST_EXPORT PdfReportWriter : public PageSink
{
public:
    explicit PdfReportWriter(QIODevice *out, const QString &creator = QString());
    ~PdfReportWriter() override;
    PdfReportWriter(const PdfReportWriter &) = delete;
    PdfReportWriter &operator=(const PdfReportWriter &) = delete;

    // Copies of every page in the file: collated (the whole run, then again) or not (each
    // page repeated in place). The copies share the page's drawing, so they cost little.
    void setCopies(int copies, bool collate);
    // The pages in the file last first (the order of the pages' list only).
    void setReverse(bool reverse) { m_reverse = reverse; }

    void beginDocument(const PageSetup &setup) override;
    void page(const ReportPage &page) override;
    void endDocument(int pageCount) override;

private:
    struct Font;
    class Deflater;
    struct NumberSpot
    {
        float x, y, size;
        PageItem::Face face;
        QRgb color;
        QString prefix;
        float anchor; // PageItem::w
        bool operator==(const NumberSpot &) const = default;
    };

    int newObject();
    // Work on the file: on the queue's thread while pages come, inline at the end.
    void later(std::function<void()> work);
    QPair<int, QByteArray> pageObject(size_t sheet);
    void writePage(const ReportPage &page);
    void drawFill(std::string &out, const PageItem &item, double height);
    void drawRule(std::string &out, const PageItem &item, double height);
    void drawImage(std::string &out, const PageItem &item, double height);
    // The image's XObject, written the first time a page shows it; the size it is first
    // shown at (points) sets the resolution a drawing (SVG) is rasterised at.
    void writeImage(size_t index, double width, double height);
    void startObject(int number);
    void write(const QByteArray &bytes);
    void writeStream(int number, const QByteArray &content, const QByteArray &extra = QByteArray());
    void writeStream(int number, const char *content, size_t length, const QByteArray &extra = QByteArray());
    void encodeText(std::string &out, const PageItem &item, const QString &text);
    void setFont(std::string &out, PageItem::Face face, float size);
    Font &font(PageItem::Face face);
    void setFill(std::string &out, QRgb color);
    void writeNumbers(int pageCount);
    void writeFont(Font &font);
    void writeFontDescriptor(const Font &font, const QByteArray &name);

    QIODevice *m_out;
    QString m_creator;
    PageSetup m_setup;
    qint64 m_offset = 0;
    int m_objectCount = 0;               // numbers handed out
    std::vector<qint64> m_objectOffsets; // by object number (writing thread); 0 = not yet written
    std::unique_ptr<WriteQueue> m_queue;
    std::unique_ptr<Font> m_fonts[4]; // by face; the oblique ones made when a page first uses them
    std::unique_ptr<Deflater> m_deflater;
    int m_copies = 1;
    bool m_collate = true;
    bool m_reverse = false;
    std::vector<int> m_pageObjects;       // every page object, copies included, in order
    std::vector<int> m_contentObjects;    // per page laid out: its drawing
    std::vector<int> m_pageNumbers;       // per page laid out: its number in the run
    std::vector<int> m_numberObjects;     // per page laid out: the stream holding its page numbers
    std::vector<quint16> m_pageSpots;     // per page: which list of m_spotLists it has
    QList<QList<NumberSpot>> m_spotLists; // the distinct page-number places (usually one list)
    std::vector<int> m_imageObjects;      // per image of the document: its XObject
    std::vector<bool> m_imageWritten;     // (writing thread)
    std::string m_content;
    QByteArray m_compressed;
    // Text state while a page's content is set down.
    bool m_inText = false;
    int m_face = -1;
    float m_size = 0;
    QRgb m_fill = 0;
    QRgb m_stroke = 0;
    float m_lineWidth = -1;
    double m_lineX = 0, m_lineY = 0; // start of the current text line (points, PDF space)
    QDateTime m_created;
};
