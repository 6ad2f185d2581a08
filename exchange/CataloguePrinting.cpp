#include "exchange/CataloguePrinting.h"

#include "exchange/OutputFile.h"
#include "pitches/StaffDrawing.h"
#include "rtf/Rtf.h"
#include "ui/Fonts.h"
#include "ui/RichTextBox.h"

#include <QAbstractTextDocumentLayout>
#include <QBuffer>
#include <QFontMetricsF>
#include <QPageLayout>
#include <QPageSize>
#include <QPagedPaintDevice>
#include <QPainter>
#include <QPdfWriter>
#include <QTextBlock>
#include <QTextDocument>

#include <optional>
#include <string_view>

namespace velk::exchange
{

namespace
{

constexpr double kStaffSpace = 5.5; // points between two staff lines

QString qs(const std::string& text)
{
    return QString::fromStdString(text);
}

// Draws page after page, keeping the place where the next thing goes. Sizes are given in points and turned into
// the device's units, so a printer of any resolution and a PDF writer give the same page.
class PagePainter
{
public:
    PagePainter(QPagedPaintDevice& device, QPainter& painter, const PrintedCatalogue& catalogue)
        : m_device(device)
        , m_painter(painter)
        , m_catalogue(catalogue)
        , m_unit(device.logicalDpiY() / 72.0)
    {
        const QRectF page(0, 0, device.width(), device.height());
        m_body = page.adjusted(pt(56), pt(64), -pt(56), -pt(56));
        m_headingFont = font(13, true);
        m_workFont = font(18, true);
        m_labelFont = font(10, true);
        m_textFont = font(10, false);
        m_headerFont = font(9, false);
        m_headerFont.setItalic(true);
    }

    int pages() const
    {
        return m_page;
    }

    void paintWork(const PrintedWork& work)
    {
        startPage(work);
        m_painter.setFont(m_workFont);
        m_painter.drawText(QRectF(m_body.left(), m_y, m_body.width(), lineHeight(m_workFont)),
                           Qt::AlignLeft | Qt::AlignVCenter, qs(work.runningHeader));
        m_y += lineHeight(m_workFont) + pt(10);
        for (const auto& movement : work.movements) {
            paintMovement(work, movement);
        }
    }

private:
    double pt(double points) const
    {
        return points * m_unit;
    }

    QFont font(double points, bool bold) const
    {
        QFont f = ui::bookAntiqua(points, bold);
        return f;
    }

    double lineHeight(const QFont& f) const
    {
        return QFontMetricsF(f, &m_device).lineSpacing();
    }

    void startPage(const PrintedWork& work)
    {
        if (m_page > 0) {
            m_device.newPage();
        }
        ++m_page;
        m_y = m_body.top();
        const double header = lineHeight(m_headerFont);
        const QRectF headerBox(m_body.left(), m_body.top() - pt(30), m_body.width(), header);
        m_painter.setPen(Qt::black);
        m_painter.setFont(m_headerFont);
        m_painter.drawText(headerBox, Qt::AlignLeft | Qt::AlignVCenter, qs(m_catalogue.title));
        QFont running = m_headerFont;
        running.setItalic(false);
        running.setBold(true);
        m_painter.setFont(running);
        m_painter.drawText(headerBox, Qt::AlignRight | Qt::AlignVCenter, qs(work.runningHeader));
        m_painter.setPen(QPen(Qt::black, pt(0.5)));
        m_painter.drawLine(QPointF(m_body.left(), headerBox.bottom() + pt(3)),
                           QPointF(m_body.right(), headerBox.bottom() + pt(3)));
        m_painter.setFont(m_headerFont);
        m_painter.drawText(QRectF(m_body.left(), m_body.bottom() + pt(18), m_body.width(), header),
                           Qt::AlignHCenter | Qt::AlignVCenter, QString::number(m_page));
    }

    double factsHeight(const PrintedMovement& movement) const
    {
        double height = 0;
        for (const auto& fact : movement.facts) {
            height += factRect(fact, 0).height() + pt(2);
        }
        return height;
    }

    double labelWidth() const
    {
        return pt(62);
    }

    QRectF factRect(const PrintedFact& fact, double top) const
    {
        const double width = m_body.width() - labelWidth();
        const QRectF bounds = QFontMetricsF(m_textFont, &m_device)
                                  .boundingRect(QRectF(0, 0, width, 1e6), Qt::TextWordWrap, qs(fact.text));
        return QRectF(m_body.left() + labelWidth(), top, width, std::max(bounds.height(), lineHeight(m_textFont)));
    }

    void paintMovement(const PrintedWork& work, const PrintedMovement& movement)
    {
        QTextDocument description;
        description.setDocumentMargin(0);
        description.setDefaultFont(m_textFont);
        description.setPageSize(QSizeF(m_body.width(), 1e7));
        description.documentLayout()->setPaintDevice(&m_device);
        if (!movement.descriptionRtf.empty()) {
            ui::fillTextDocument(description, rtf::parseRtf(movement.descriptionRtf));
            description.setTextWidth(m_body.width());
        }
        const std::optional<pitches::StaffDrawing> incipit = staffFor(movement.incipit);
        const double staff = incipit ? incipit->size().height() + pt(4) : 0;
        const double descriptionHeight = movement.descriptionRtf.empty() ? 0 : description.size().height() + pt(6);
        const double deviation = movement.deviation.empty() ? 0 : lineHeight(m_textFont) + pt(2);
        const double height
            = lineHeight(m_headingFont) + pt(4) + factsHeight(movement) + staff + descriptionHeight + deviation;
        // A movement starts a page of its own when the rest of this one cannot hold it.
        if (m_y + height > m_body.bottom() && m_y > m_body.top() + pt(40)) {
            startPage(work);
        }
        m_painter.setPen(Qt::black);
        m_painter.setFont(m_headingFont);
        m_painter.drawText(QRectF(m_body.left(), m_y, m_body.width(), lineHeight(m_headingFont)),
                           Qt::AlignLeft | Qt::AlignVCenter, qs(movement.heading));
        m_y += lineHeight(m_headingFont) + pt(4);
        for (const auto& fact : movement.facts) {
            const QRectF text = factRect(fact, m_y);
            m_painter.setFont(m_labelFont);
            m_painter.drawText(QRectF(m_body.left(), m_y, labelWidth(), lineHeight(m_textFont)),
                               Qt::AlignLeft | Qt::AlignTop, qs(fact.label));
            m_painter.setFont(m_textFont);
            m_painter.drawText(text, Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap, qs(fact.text));
            m_y += text.height() + pt(2);
        }
        if (staff > 0) {
            if (m_y + staff > m_body.bottom()) {
                startPage(work);
            }
            incipit->paint(m_painter, QPointF(m_body.left(), m_y));
            m_y += staff;
        }
        if (descriptionHeight > 0) {
            paintDescription(work, description);
            m_y += pt(6);
        }
        if (deviation > 0) {
            if (m_y + deviation > m_body.bottom()) {
                startPage(work);
            }
            m_painter.setPen(Qt::black);
            m_painter.setFont(m_textFont);
            m_painter.drawText(QRectF(m_body.left(), m_y, m_body.width(), lineHeight(m_textFont)),
                               Qt::AlignLeft | Qt::AlignVCenter, qs(movement.deviation));
            m_y += deviation;
        }
        m_y += pt(16);
    }

    // The first notes of a line on a staff, as many as the page's width holds.
    std::optional<pitches::StaffDrawing> staffFor(const pitches::NotatedLine& line) const
    {
        if (line.notes.empty()) {
            return std::nullopt;
        }
        pitches::StaffDrawing drawing(line, pt(kStaffSpace));
        if (drawing.size().width() > m_body.width() && drawing.columnWidth() > 0) {
            const double room = std::max(0.0, m_body.width() - drawing.firstColumnX());
            drawing
                = pitches::StaffDrawing(line, pt(kStaffSpace), static_cast<std::size_t>(room / drawing.columnWidth()));
        }
        return drawing;
    }

    // The description block by block, going on to the next page where a paragraph does not fit. Each block is
    // drawn by itself, so none is printed twice at a page's edge.
    void paintDescription(const PrintedWork& work, QTextDocument& description)
    {
        auto* layout = description.documentLayout();
        for (QTextBlock block = description.begin(); block.isValid(); block = block.next()) {
            const QRectF rect = layout->blockBoundingRect(block);
            const QTextBlock next = block.next();
            const double advance
                = (next.isValid() ? layout->blockBoundingRect(next).top() : layout->documentSize().height())
                - rect.top();
            if (m_y + rect.height() > m_body.bottom() && m_y > m_body.top()) {
                startPage(work);
            }
            m_painter.save();
            m_painter.translate(m_body.left(), m_y - rect.top());
            m_painter.setPen(Qt::black);
            block.layout()->draw(&m_painter, QPointF(0, 0));
            m_painter.restore();
            m_y += std::max(advance, rect.height());
        }
    }

    QPagedPaintDevice& m_device;
    QPainter& m_painter;
    const PrintedCatalogue& m_catalogue;
    double m_unit;
    QRectF m_body;
    QFont m_headingFont;
    QFont m_workFont;
    QFont m_labelFont;
    QFont m_textFont;
    QFont m_headerFont;
    int m_page = 0;
    double m_y = 0;
};

} // namespace

store::Result<int> paintCatalogue(QPagedPaintDevice& device, const PrintedCatalogue& catalogue)
{
    QPainter painter;
    if (!painter.begin(&device)) {
        return store::Result<int>::failure("The printer could not be started.");
    }
    PagePainter pages(device, painter, catalogue);
    for (const auto& work : catalogue.works) {
        pages.paintWork(work);
    }
    if (!painter.end()) {
        return store::Result<int>::failure("The printer could not finish the catalogue.");
    }
    return pages.pages();
}

store::Result<int>
printCataloguePdf(const std::string& connectionString, const Selection& selection, const std::string& pdfPath)
{
    const auto catalogue = readPrintedCatalogue(connectionString, selection);
    if (!catalogue) {
        return store::Result<int>::failure(catalogue.message());
    }
    if (pdfPath.empty()) {
        return store::Result<int>::failure("No file was named to write to.");
    }
    // The pages are made in memory and written in full or not at all.
    QByteArray bytes;
    store::Result<int> pages = store::Result<int>::failure("");
    {
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        QPdfWriter writer(&buffer);
        writer.setPageSize(QPageSize(QPageSize::A4));
        writer.setPageMargins(QMarginsF(0, 0, 0, 0));
        writer.setResolution(300);
        writer.setTitle(QString::fromStdString(catalogue->title));
        writer.setCreator(QStringLiteral("Velk"));
        pages = paintCatalogue(writer, catalogue.value());
    }
    if (!pages) {
        return pages;
    }
    const auto written
        = writeOutputFile(pdfPath, std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())));
    if (!written) {
        return store::Result<int>::failure(written.message());
    }
    return pages;
}

} // namespace velk::exchange
