#pragma once

#include <QLabel>
#include <QStyledItemDelegate>

class QPainter;

namespace velk::ui
{

/// True when the text holds a double sharp (U+1D12A) or a double flat (U+1D12B), which fonts tend to draw far
/// smaller than a sharp or a flat.
bool hasSmallMusicSymbols(const QString& text);

/// The size of a text drawn by drawMusicText.
QSizeF musicTextSize(const QString& text, const QFont& font);

/// Draws a text in the font with its double sharps and double flats as legible as its sharps and flats: each is
/// drawn from a larger size of the same font, a double flat as tall as the font's flat and standing on the same
/// line, a double sharp about half as tall as the sharp and centred where it is centred. Where the font draws them
/// large enough already, they are drawn as they are. The text itself is not changed. The pen is the painter's.
void drawMusicText(
    QPainter& painter, const QRectF& rect, Qt::Alignment alignment, const QString& text, const QFont& font);

/// A cell delegate that draws the cell's text with drawMusicText when it holds a double sharp or double flat, and
/// as usual otherwise.
class MusicTextDelegate : public QStyledItemDelegate
{
    Q_OBJECT

public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;
};

/// A plain-text label that draws its double sharps and double flats with drawMusicText; text() is the text given.
class MusicLabel : public QLabel
{
    Q_OBJECT

public:
    using QLabel::QLabel;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
};

} // namespace velk::ui
