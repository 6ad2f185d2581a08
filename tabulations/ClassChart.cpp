#include "tabulations/ClassChart.h"

#include "ui/Fonts.h"
#include "ui/MusicText.h"

#include <QFontMetrics>
#include <QPaintEvent>
#include <QPainter>
#include <QPen>

#include <algorithm>
#include <cmath>

namespace velk::tabulations
{

namespace
{

const QColor kAboveColour(0x4F, 0x7C, 0x94); // slate blue: more than an even share
const QColor kBelowColour(0xB9, 0xC8, 0xA6); // sage: less than an even share
const QColor kAxisColour(0x55, 0x55, 0x55);
const QColor kGridColour(0xE3, 0xE3, 0xE3);
const QColor kEvenColour(0xB0, 0x5A, 0x3C);
const QColor kTextColour(0x30, 0x30, 0x30);

double shown(double percent)
{
    return std::isfinite(percent) && percent > 0 ? percent : 0.0;
}

/// Percentages as the tabulation shows them: at most one decimal, none for whole numbers.
QString percentText(double percent)
{
    const double rounded = std::round(percent * 10.0) / 10.0;
    return QString::number(rounded, 'f', rounded == std::floor(rounded) ? 0 : 1);
}

} // namespace

ClassChart::ClassChart(QWidget* parent)
    : QWidget(parent)
{
    setAttribute(Qt::WA_OpaquePaintEvent, false);
    setAutoFillBackground(true);
    QPalette palette = this->palette();
    palette.setColor(QPalette::Window, Qt::white);
    setPalette(palette);
}

ClassChart::~ClassChart() = default;

void ClassChart::setClasses(const std::vector<std::pair<QString, double>>& glyphAndPercent)
{
    m_classes = glyphAndPercent;
    update();
}

void ClassChart::clear()
{
    m_classes.clear();
    update();
}

const std::vector<std::pair<QString, double>>& ClassChart::classes() const
{
    return m_classes;
}

double ClassChart::scaleTop() const
{
    double largest = 0;
    for (const auto& entry : m_classes) {
        largest = std::max(largest, std::min(shown(entry.second), 100.0));
    }
    return std::max(kMinimumScale, std::ceil(largest / 5.0) * 5.0);
}

QSize ClassChart::sizeHint() const
{
    return {420, 260};
}

QSize ClassChart::minimumSizeHint() const
{
    return {240, 160};
}

void ClassChart::paintEvent(QPaintEvent* /*event*/)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);

    const QFont axisFont = ui::bookAntiqua(8, false);
    const QFont valueFont = ui::bookAntiqua(8, true);
    const QFont glyphFont = ui::velkFont(14);
    const QFontMetrics axisMetrics(axisFont);
    const QFontMetrics valueMetrics(valueFont);
    const QFontMetrics glyphMetrics(glyphFont);

    const int left = axisMetrics.horizontalAdvance(QStringLiteral("100 %")) + 10;
    const int right = 8 + axisMetrics.horizontalAdvance(QStringLiteral("8.33 %"));
    const int top = valueMetrics.height() + 6;
    const int bottom = glyphMetrics.height() + 8;
    const QRectF plot(left, top, std::max(10, width() - left - right), std::max(10, height() - top - bottom));
    const double scale = scaleTop();
    const auto yOf = [&](double percent) {
        return plot.bottom() - std::min(percent, scale) / scale * plot.height();
    };

    // Horizontal grid and the y axis labels, every 5 % (every 10 % or 20 % on taller scales).
    const double tick = scale <= 30 ? 5 : scale <= 60 ? 10 : 20;
    painter.setFont(axisFont);
    for (double value = 0; value <= scale + 1e-9; value += tick) {
        const double y = yOf(value);
        painter.setPen(QPen(kGridColour, 1));
        painter.drawLine(QPointF(plot.left(), y), QPointF(plot.right(), y));
        painter.setPen(kTextColour);
        const QString label = QString::number(value, 'f', 0) + QStringLiteral(" %");
        painter.drawText(QRectF(0, y - axisMetrics.height() / 2.0, left - 6, axisMetrics.height()),
                         Qt::AlignRight | Qt::AlignVCenter, label);
    }

    // The bars, their percentages above and their glyphs below.
    const int count = static_cast<int>(m_classes.size());
    if (count > 0) {
        const double slot = plot.width() / count;
        const double barWidth = slot * 0.68;
        for (int i = 0; i < count; ++i) {
            const double percent = shown(m_classes[static_cast<std::size_t>(i)].second);
            const double x = plot.left() + slot * i + (slot - barWidth) / 2;
            const double y = yOf(percent);
            const QRectF bar(x, y, barWidth, plot.bottom() - y);
            painter.setPen(Qt::NoPen);
            painter.setBrush(percent > kEvenSpread ? kAboveColour : kBelowColour);
            painter.drawRoundedRect(bar, 2, 2);

            painter.setPen(kTextColour);
            painter.setFont(valueFont);
            painter.drawText(QRectF(plot.left() + slot * i, y - valueMetrics.height() - 2, slot, valueMetrics.height()),
                             Qt::AlignHCenter | Qt::AlignBottom, percentText(percent));
            ui::drawMusicText(painter, QRectF(plot.left() + slot * i, plot.bottom() + 4, slot, glyphMetrics.height()),
                              Qt::AlignHCenter | Qt::AlignTop, m_classes[static_cast<std::size_t>(i)].first, glyphFont);
        }
    }

    // The even spread, drawn over the bars so that it stays visible across them.
    const double evenY = yOf(kEvenSpread);
    QPen dashed(kEvenColour, 1.5, Qt::DashLine);
    painter.setPen(dashed);
    painter.setBrush(Qt::NoBrush);
    painter.drawLine(QPointF(plot.left(), evenY), QPointF(plot.right(), evenY));
    painter.setFont(axisFont);
    painter.drawText(QRectF(plot.right() + 4, evenY - axisMetrics.height() / 2.0, right, axisMetrics.height()),
                     Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("8.33 %"));

    // The axes.
    painter.setPen(QPen(kAxisColour, 1));
    painter.drawLine(QPointF(plot.left(), plot.top()), QPointF(plot.left(), plot.bottom()));
    painter.drawLine(QPointF(plot.left(), plot.bottom()), QPointF(plot.right(), plot.bottom()));
}

} // namespace velk::tabulations
