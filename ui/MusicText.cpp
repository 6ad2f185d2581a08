#include "ui/MusicText.h"

#include <QApplication>
#include <QFontMetricsF>
#include <QHash>
#include <QPaintEvent>
#include <QPainter>
#include <QStyle>

#include <algorithm>
#include <cmath>
#include <vector>

namespace velk::ui
{

namespace
{

constexpr char32_t kDoubleSharp = 0x1D12A;
constexpr char32_t kDoubleFlat = 0x1D12B;
constexpr char32_t kSharp = 0x266F;
constexpr char32_t kFlat = 0x266D;
constexpr double kLargest = 4.0; // never more than four times the text's size

QString codePointText(char32_t codePoint)
{
    return QString::fromUcs4(&codePoint, 1);
}

// How one small symbol is drawn: from a larger size of the font, raised (towards the top) by rise.
struct Placement
{
    QFont font;
    double rise = 0;
    QRectF box; ///< the symbol's outline in that font, baseline at 0
};

Placement placementOf(const QFont& font, char32_t symbol)
{
    static QHash<QString, Placement> cache;
    const QString key = font.key() + QLatin1Char('/') + QString::number(static_cast<uint>(symbol));
    const auto found = cache.constFind(key);
    if (found != cache.constEnd()) {
        return *found;
    }
    const bool flat = symbol == kDoubleFlat;
    const QFontMetricsF metrics(font);
    const QRectF reference = metrics.tightBoundingRect(codePointText(flat ? kFlat : kSharp));
    const QRectF own = metrics.tightBoundingRect(codePointText(symbol));
    // A double flat as tall as the flat; a double sharp about half as tall as the sharp, as engravers draw them.
    const double wanted = reference.height() * (flat ? 1.0 : 0.5);
    const double scale = own.height() > 0 ? std::clamp(wanted / own.height(), 1.0, kLargest) : 1.0;
    Placement placement;
    placement.font = font;
    if (scale > 1.05) {
        if (font.pixelSize() > 0) {
            placement.font.setPixelSize(static_cast<int>(std::lround(font.pixelSize() * scale)));
        } else {
            placement.font.setPointSizeF(font.pointSizeF() * scale);
        }
    }
    placement.box = QFontMetricsF(placement.font).tightBoundingRect(codePointText(symbol));
    if (scale > 1.05 && !reference.isEmpty()) {
        placement.rise
            = flat ? placement.box.bottom() - reference.bottom() : placement.box.center().y() - reference.center().y();
    }
    cache.insert(key, placement);
    return placement;
}

struct Run
{
    QString text;
    QFont font;
    double rise = 0;
    double advance = 0;
};

struct Layout
{
    std::vector<Run> runs;
    double width = 0;
    double ascent = 0;
    double descent = 0;
};

Layout layOut(const QString& text, const QFont& font)
{
    Layout layout;
    const QFontMetricsF metrics(font);
    layout.ascent = metrics.ascent();
    layout.descent = metrics.descent();
    QString plain;
    const auto flushPlain = [&] {
        if (!plain.isEmpty()) {
            layout.runs.push_back({plain, font, 0, metrics.horizontalAdvance(plain)});
            plain.clear();
        }
    };
    for (const char32_t codePoint : text.toUcs4()) {
        if (codePoint != kDoubleSharp && codePoint != kDoubleFlat) {
            plain += codePointText(codePoint);
            continue;
        }
        flushPlain();
        const Placement placement = placementOf(font, codePoint);
        const QString symbol = codePointText(codePoint);
        layout.runs.push_back(
            {symbol, placement.font, placement.rise, QFontMetricsF(placement.font).horizontalAdvance(symbol)});
        layout.ascent = std::max(layout.ascent, placement.rise - placement.box.top());
        layout.descent = std::max(layout.descent, placement.box.bottom() - placement.rise);
    }
    flushPlain();
    for (const Run& run : layout.runs) {
        layout.width += run.advance;
    }
    return layout;
}

} // namespace

bool hasSmallMusicSymbols(const QString& text)
{
    for (const char32_t codePoint : text.toUcs4()) {
        if (codePoint == kDoubleSharp || codePoint == kDoubleFlat) {
            return true;
        }
    }
    return false;
}

QSizeF musicTextSize(const QString& text, const QFont& font)
{
    const Layout layout = layOut(text, font);
    return {layout.width, layout.ascent + layout.descent};
}

void drawMusicText(
    QPainter& painter, const QRectF& rect, Qt::Alignment alignment, const QString& text, const QFont& font)
{
    const Layout layout = layOut(text, font);
    const double height = layout.ascent + layout.descent;
    double top = rect.center().y() - height / 2;
    if (alignment & Qt::AlignTop) {
        top = rect.top();
    } else if (alignment & Qt::AlignBottom) {
        top = rect.bottom() - height;
    }
    double x = rect.left();
    if (alignment & Qt::AlignRight) {
        x = rect.right() - layout.width;
    } else if (alignment & Qt::AlignHCenter) {
        x = rect.center().x() - layout.width / 2;
    }
    const double baseline = top + layout.ascent;
    painter.save();
    for (const Run& run : layout.runs) {
        painter.setFont(run.font);
        painter.drawText(QPointF(x, baseline - run.rise), run.text);
        x += run.advance;
    }
    painter.restore();
}

void MusicTextDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    QStyleOptionViewItem item(option);
    initStyleOption(&item, index);
    if (!hasSmallMusicSymbols(item.text)) {
        QStyledItemDelegate::paint(painter, option, index);
        return;
    }
    const QString text = item.text;
    item.text.clear();
    const QWidget* widget = item.widget;
    QStyle* style = widget ? widget->style() : QApplication::style();
    style->drawControl(QStyle::CE_ItemViewItem, &item, painter, widget);
    const int margin = style->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, widget) + 1;
    const QRect textRect
        = style->subElementRect(QStyle::SE_ItemViewItemText, &item, widget).adjusted(margin, 0, -margin, 0);
    const QPalette::ColorGroup group = item.state & QStyle::State_Enabled ? QPalette::Normal : QPalette::Disabled;
    painter->save();
    painter->setPen(
        item.palette.color(group, item.state & QStyle::State_Selected ? QPalette::HighlightedText : QPalette::Text));
    painter->setClipRect(item.rect);
    drawMusicText(*painter, textRect, item.displayAlignment, text, item.font);
    painter->restore();
}

QSize MusicTextDelegate::sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    QSize hint = QStyledItemDelegate::sizeHint(option, index);
    QStyleOptionViewItem item(option);
    initStyleOption(&item, index);
    if (hasSmallMusicSymbols(item.text)) {
        const QSizeF text = musicTextSize(item.text, item.font);
        hint = hint.expandedTo(
            QSize(static_cast<int>(std::ceil(text.width())) + 6, static_cast<int>(std::ceil(text.height())) + 2));
    }
    return hint;
}

QSize MusicLabel::sizeHint() const
{
    if (!hasSmallMusicSymbols(text())) {
        return QLabel::sizeHint();
    }
    const QSizeF size = musicTextSize(text(), font());
    const QMargins margins = contentsMargins();
    return QSize(static_cast<int>(std::ceil(size.width())) + margins.left() + margins.right() + 2 * margin(),
                 static_cast<int>(std::ceil(size.height())) + margins.top() + margins.bottom() + 2 * margin());
}

QSize MusicLabel::minimumSizeHint() const
{
    return hasSmallMusicSymbols(text()) ? sizeHint() : QLabel::minimumSizeHint();
}

void MusicLabel::paintEvent(QPaintEvent* event)
{
    if (!hasSmallMusicSymbols(text())) {
        QLabel::paintEvent(event);
        return;
    }
    QPainter painter(this);
    painter.setPen(palette().color(isEnabled() ? QPalette::Normal : QPalette::Disabled, foregroundRole()));
    drawMusicText(painter, contentsRect().adjusted(margin(), margin(), -margin(), -margin()), alignment(), text(),
                  font());
}

} // namespace velk::ui
