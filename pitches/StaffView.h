#pragma once

#include "pitches/StaffDrawing.h"

#include <QAbstractScrollArea>

#include <cstddef>
#include <memory>
#include <optional>

namespace velk::pitches
{

/**
 * A movement's whole line on a staff that scrolls horizontally, one position highlighted. Only the part in view is
 * painted, so a line of any length scrolls at once. A click on a note (its column) raises noteClicked; the view
 * takes no keyboard focus, so the keys stay with the control that follows it. objectName "staffView".
 */
class StaffView : public QAbstractScrollArea
{
    Q_OBJECT

public:
    explicit StaffView(QWidget* parent = nullptr);
    ~StaffView() override;

    /// Draws a new line; the highlighted position stays when the line still has it.
    void setLine(const NotatedLine& line);
    /// Highlights a position (nothing: none) and scrolls it into view when asked.
    void setCurrent(std::optional<std::size_t> index, bool scrollIntoView);
    std::optional<std::size_t> current() const;
    /// The drawing shown, for its layout: note x in the drawing is at x - horizontalScrollBar()->value() in the
    /// viewport.
    const StaffDrawing& drawing() const;
    /// The viewport's x of a position's notehead (or its gap's middle).
    double noteX(std::size_t index) const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

signals:
    /// A note (0-based position) clicked.
    void noteClicked(std::size_t index);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void updateScrollRange();
    void ensureVisible(std::size_t index);

    std::unique_ptr<StaffDrawing> m_drawing;
    std::optional<std::size_t> m_current;
};

} // namespace velk::pitches
