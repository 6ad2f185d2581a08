#include "pitches/StaffView.h"

#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QScrollBar>

#include <algorithm>
#include <cmath>

namespace velk::pitches
{

namespace
{

// The distance between two staff lines on screen: a staff about as tall as two lines of the grid's glyphs.
constexpr double kScreenStaffSpace = 13;
constexpr int kPreferredWidth = 640;

} // namespace

StaffView::StaffView(QWidget* parent)
    : QAbstractScrollArea(parent)
    , m_drawing(std::make_unique<StaffDrawing>(NotatedLine {}, kScreenStaffSpace))
{
    setObjectName(QStringLiteral("staffView"));
    setFocusPolicy(Qt::NoFocus);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    viewport()->setBackgroundRole(QPalette::Base);
    viewport()->setAutoFillBackground(true);
    // The paper is white whatever the colour scheme: the notes are drawn in black.
    QPalette paper = viewport()->palette();
    paper.setColor(QPalette::Base, Qt::white);
    viewport()->setPalette(paper);
    updateScrollRange();
}

StaffView::~StaffView() = default;

void StaffView::setLine(const NotatedLine& line)
{
    const double oldHeight = m_drawing->size().height();
    m_drawing = std::make_unique<StaffDrawing>(line, kScreenStaffSpace);
    if (m_current && *m_current >= m_drawing->noteCount()) {
        m_current.reset();
    }
    if (m_drawing->size().height() != oldHeight) {
        updateGeometry();
    }
    updateScrollRange();
    viewport()->update();
}

void StaffView::setCurrent(std::optional<std::size_t> index, bool scrollIntoView)
{
    if (index && *index >= m_drawing->noteCount()) {
        index.reset();
    }
    m_current = index;
    if (index && scrollIntoView) {
        ensureVisible(*index);
    }
    viewport()->update();
}

std::optional<std::size_t> StaffView::current() const
{
    return m_current;
}

const StaffDrawing& StaffView::drawing() const
{
    return *m_drawing;
}

double StaffView::noteX(std::size_t index) const
{
    const QRectF column = m_drawing->columnRect(index);
    const auto head = m_drawing->noteheadCentre(index);
    return (head ? head->x() : column.center().x()) - horizontalScrollBar()->value();
}

QSize StaffView::sizeHint() const
{
    const int frame = 2 * frameWidth();
    const int bar = horizontalScrollBar()->sizeHint().height();
    // A long line scrolls: it asks for no more than a comfortable width, whatever its length.
    const int width = std::min(static_cast<int>(std::ceil(m_drawing->size().width())), kPreferredWidth);
    return {width + frame, static_cast<int>(std::ceil(m_drawing->size().height())) + frame + bar};
}

QSize StaffView::minimumSizeHint() const
{
    return {static_cast<int>(std::ceil(m_drawing->firstColumnX() + 4 * m_drawing->columnWidth())), sizeHint().height()};
}

void StaffView::paintEvent(QPaintEvent* event)
{
    QPainter painter(viewport());
    m_drawing->paint(painter, QPointF(-horizontalScrollBar()->value(), 0), m_current, QRectF(event->rect()));
}

void StaffView::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton) {
        QAbstractScrollArea::mousePressEvent(event);
        return;
    }
    const auto index = m_drawing->noteAt(event->position().x() + horizontalScrollBar()->value());
    if (index) {
        emit noteClicked(*index);
    }
    event->accept();
}

void StaffView::resizeEvent(QResizeEvent* event)
{
    QAbstractScrollArea::resizeEvent(event);
    updateScrollRange();
}

void StaffView::updateScrollRange()
{
    // A column of room past the last note, so that a note just appended is never drawn against the edge.
    const int width = static_cast<int>(std::ceil(m_drawing->size().width() + m_drawing->columnWidth()));
    QScrollBar* bar = horizontalScrollBar();
    bar->setRange(0, std::max(0, width - viewport()->width()));
    bar->setPageStep(std::max(1, viewport()->width()));
    bar->setSingleStep(static_cast<int>(m_drawing->columnWidth()));
}

void StaffView::ensureVisible(std::size_t index)
{
    QScrollBar* bar = horizontalScrollBar();
    const QRectF column = m_drawing->columnRect(index);
    const double margin = m_drawing->columnWidth();
    const double left = bar->value();
    const double right = left + viewport()->width();
    if (column.left() - margin <= m_drawing->firstColumnX()) {
        bar->setValue(0); // the clef with the first notes
    } else if (column.right() < left || column.left() > right) {
        // A jump (a click in the grid far away, Ctrl+End): the note in the middle.
        bar->setValue(static_cast<int>(std::lround(column.center().x() - viewport()->width() / 2.0)));
    } else if (column.left() - margin < left) {
        bar->setValue(static_cast<int>(std::floor(column.left() - margin)));
    } else if (column.right() + margin > right) {
        bar->setValue(static_cast<int>(std::ceil(column.right() + margin - viewport()->width())));
    }
}

} // namespace velk::pitches
