#include "ui/ToolbarPictures.h"

#include <QColor>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QPolygonF>

#include <array>

namespace velk::ui
{

namespace
{

// One calm palette for every picture.
const QColor kInk(0x37, 0x47, 0x4f);
const QColor kPaper(0xfa, 0xfa, 0xf7);
const QColor kPaperShade(0xd5, 0xdc, 0xe2);
const QColor kBlue(0x4a, 0x78, 0xa8);
const QColor kBlueDark(0x2f, 0x56, 0x80);
const QColor kBlueLight(0xa9, 0xc4, 0xe0);
const QColor kRed(0xc0, 0x50, 0x4d);
const QColor kAmber(0xe0, 0xa8, 0x4a);
const QColor kRose(0xd9, 0x88, 0x80);
const QColor kSlate(0x60, 0x7d, 0x8b);

constexpr std::array<int, 4> kToolbarSizes = {16, 24, 32, 48};

QPen outline(const QColor& color, double width = 1.0)
{
    return QPen(color, width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
}

// Pictures are drawn on a 16 by 16 grid; the painter is scaled to the pixmap size.

void drawCross(QPainter& p)
{
    p.setPen(outline(kRed, 2.4));
    p.drawLine(QPointF(3.5, 3.5), QPointF(12.5, 12.5));
    p.drawLine(QPointF(12.5, 3.5), QPointF(3.5, 12.5));
}

void drawPencil(QPainter& p)
{
    p.save();
    p.translate(8.0, 8.0);
    p.rotate(-45.0);
    p.setPen(outline(kInk, 0.9));
    // Body, eraser, and the sharpened wood with its lead point, along the x axis.
    p.setBrush(kAmber);
    p.drawRect(QRectF(-3.8, -1.9, 7.6, 3.8));
    p.setBrush(kRose);
    p.drawRoundedRect(QRectF(3.8, -1.9, 2.6, 3.8), 0.8, 0.8);
    p.setBrush(kPaper);
    p.drawPolygon(QPolygonF({QPointF(-3.8, -1.9), QPointF(-7.2, 0.0), QPointF(-3.8, 1.9)}));
    p.setBrush(kInk);
    p.drawPolygon(QPolygonF({QPointF(-5.9, -0.75), QPointF(-7.2, 0.0), QPointF(-5.9, 0.75)}));
    p.restore();
}

void drawPage(QPainter& p)
{
    p.setPen(outline(kInk, 1.0));
    p.setBrush(kPaper);
    p.drawPolygon(
        QPolygonF({QPointF(3.5, 1.5), QPointF(9.5, 1.5), QPointF(12.5, 4.5), QPointF(12.5, 14.5), QPointF(3.5, 14.5)}));
    p.setBrush(kPaperShade);
    p.drawPolygon(QPolygonF({QPointF(9.5, 1.5), QPointF(9.5, 4.5), QPointF(12.5, 4.5)}));
}

void drawDiskette(QPainter& p)
{
    p.setPen(outline(kBlueDark, 1.0));
    p.setBrush(kBlue);
    QPainterPath body;
    body.moveTo(2.5, 2.5);
    body.lineTo(11.5, 2.5);
    body.lineTo(13.5, 4.5);
    body.lineTo(13.5, 13.5);
    body.lineTo(2.5, 13.5);
    body.closeSubpath();
    p.drawPath(body);
    // Metal shutter with its slot, and the paper label.
    p.setPen(Qt::NoPen);
    p.setBrush(kPaperShade);
    p.drawRect(QRectF(5.0, 3.0, 6.0, 4.0));
    p.setBrush(kBlueDark);
    p.drawRect(QRectF(8.6, 3.6, 1.4, 2.8));
    p.setBrush(kPaper);
    p.drawRect(QRectF(4.5, 9.0, 7.0, 4.0));
    p.setPen(outline(kBlueLight, 0.8));
    p.drawLine(QPointF(5.5, 10.5), QPointF(10.5, 10.5));
    p.drawLine(QPointF(5.5, 12.0), QPointF(10.5, 12.0));
}

void drawUndo(QPainter& p)
{
    QPainterPath curve;
    curve.moveTo(12.5, 13.0);
    curve.cubicTo(13.5, 8.0, 10.5, 5.5, 6.0, 5.5);
    p.setPen(outline(kBlue, 2.0));
    p.setBrush(Qt::NoBrush);
    p.drawPath(curve);
    p.setPen(outline(kBlue, 0.8));
    p.setBrush(kBlue);
    p.drawPolygon(QPolygonF({QPointF(2.0, 5.5), QPointF(6.8, 1.8), QPointF(6.8, 9.2)}));
}

// A block arrow pointing right, turned by the given angle (clockwise, degrees) about the centre.
void drawArrow(QPainter& p, double angle)
{
    p.save();
    p.translate(8.0, 8.0);
    p.rotate(angle);
    p.translate(-8.0, -8.0);
    p.setPen(outline(kBlueDark, 1.0));
    p.setBrush(kBlue);
    p.drawPolygon(QPolygonF({QPointF(2.5, 6.0), QPointF(8.0, 6.0), QPointF(8.0, 2.5), QPointF(13.5, 8.0),
                             QPointF(8.0, 13.5), QPointF(8.0, 10.0), QPointF(2.5, 10.0)}));
    p.restore();
}

void drawTriangle(QPainter& p)
{
    p.setPen(outline(kInk, 1.0));
    p.setBrush(kSlate);
    p.drawPolygon(QPolygonF({QPointF(3.0, 5.5), QPointF(13.0, 5.5), QPointF(8.0, 11.5)}));
}

void drawBinoculars(QPainter& p)
{
    p.setPen(outline(kInk, 0.9));
    p.setBrush(kSlate);
    p.drawRoundedRect(QRectF(3.5, 2.0, 3.0, 3.5), 0.6, 0.6);
    p.drawRoundedRect(QRectF(9.5, 2.0, 3.0, 3.5), 0.6, 0.6);
    p.drawRect(QRectF(6.5, 6.5, 3.0, 2.5));
    p.setBrush(kInk);
    p.drawRoundedRect(QRectF(1.5, 5.0, 5.5, 9.5), 1.5, 1.5);
    p.drawRoundedRect(QRectF(9.0, 5.0, 5.5, 9.5), 1.5, 1.5);
    p.setPen(Qt::NoPen);
    p.setBrush(kBlueLight);
    p.drawEllipse(QPointF(4.25, 11.5), 1.8, 1.8);
    p.drawEllipse(QPointF(11.75, 11.5), 1.8, 1.8);
}

void drawLoudspeaker(QPainter& p)
{
    p.setPen(outline(kInk, 0.9));
    p.setBrush(kSlate);
    p.drawPolygon(QPolygonF({QPointF(1.5, 6.0), QPointF(4.5, 6.0), QPointF(8.5, 2.5), QPointF(8.5, 13.5),
                             QPointF(4.5, 10.0), QPointF(1.5, 10.0)}));
    p.setBrush(Qt::NoBrush);
    p.setPen(outline(kBlue, 1.2));
    p.drawArc(QRectF(6.5, 5.0, 6.0, 6.0), -50 * 16, 100 * 16);
    p.drawArc(QRectF(4.5, 2.5, 11.0, 11.0), -50 * 16, 100 * 16);
}

void drawToilet(QPainter& p)
{
    p.setPen(outline(kInk, 0.9));
    p.setBrush(kPaper);
    // Cistern, bowl on its foot, seat, seen from the side.
    p.drawRoundedRect(QRectF(2.0, 1.5, 4.0, 6.5), 0.8, 0.8);
    QPainterPath bowl;
    bowl.moveTo(5.0, 8.0);
    bowl.lineTo(14.0, 8.0);
    bowl.cubicTo(14.0, 10.8, 12.0, 12.2, 10.0, 12.2);
    bowl.lineTo(10.6, 14.5);
    bowl.lineTo(6.2, 14.5);
    bowl.lineTo(6.8, 11.8);
    bowl.cubicTo(5.6, 11.0, 5.0, 9.8, 5.0, 8.0);
    bowl.closeSubpath();
    p.drawPath(bowl);
    p.setBrush(kBlue);
    p.drawRoundedRect(QRectF(5.0, 6.6, 9.5, 1.4), 0.6, 0.6);
    p.setPen(outline(kInk, 1.0));
    p.drawLine(QPointF(3.0, 3.2), QPointF(4.6, 3.2));
}

void drawPicture(QPainter& p, int index)
{
    switch (index) {
    case 1:
        drawCross(p);
        break;
    case 2:
        drawPencil(p);
        break;
    case 3:
        drawPage(p);
        break;
    case 4:
        drawDiskette(p);
        break;
    case 5:
        drawUndo(p);
        break;
    case 6:
        drawArrow(p, 90.0);
        break;
    case 7:
        drawArrow(p, 180.0);
        break;
    case 8:
        drawArrow(p, 0.0);
        break;
    case 9:
        drawArrow(p, -90.0);
        break;
    case 10:
        drawTriangle(p);
        break;
    case 11:
        drawBinoculars(p);
        break;
    case 12:
        drawLoudspeaker(p);
        break;
    case 13:
        drawToilet(p);
        break;
    default:
        break;
    }
}

QPixmap renderPicture(int index, int size)
{
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.scale(size / 16.0, size / 16.0);
    drawPicture(painter, index);
    return pixmap;
}

// The application icon on a 64 by 64 grid; applicationIconSvg describes the same shapes.
constexpr double kStaffTop = 20.0;
constexpr double kStaffGap = 7.0;

QPixmap renderApplicationIcon(int size)
{
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size / 64.0, size / 64.0);
    p.setPen(Qt::NoPen);
    p.setBrush(kBlueDark);
    p.drawRoundedRect(QRectF(2.0, 2.0, 60.0, 60.0), 12.0, 12.0);
    p.setPen(QPen(kPaper, 2.0, Qt::SolidLine, Qt::FlatCap));
    for (int line = 0; line < 5; ++line) {
        const double y = kStaffTop + line * kStaffGap;
        p.drawLine(QPointF(10.0, y), QPointF(54.0, y));
    }
    p.setPen(QPen(kAmber, 3.0, Qt::SolidLine, Qt::FlatCap));
    p.drawLine(QPointF(36.0, 40.0), QPointF(36.0, 12.0));
    p.setPen(Qt::NoPen);
    p.setBrush(kAmber);
    p.translate(30.0, 41.5);
    p.rotate(-20.0);
    p.drawEllipse(QPointF(0.0, 0.0), 7.0, 5.0);
    return pixmap;
}

} // namespace

QIcon toolbarPicture(int index)
{
    if (index < 1 || index > kToolbarPictureCount) {
        return {};
    }
    QIcon icon;
    for (int size : kToolbarSizes) {
        icon.addPixmap(renderPicture(index, size));
    }
    return icon;
}

QIcon applicationIcon()
{
    QIcon icon;
    for (int size : {16, 24, 32, 48, 64, 128, 256}) {
        icon.addPixmap(renderApplicationIcon(size));
    }
    return icon;
}

QString applicationIconSvg()
{
    QString staff;
    for (int line = 0; line < 5; ++line) {
        const double y = kStaffTop + line * kStaffGap;
        staff += QStringLiteral("    <line x1=\"10\" y1=\"%1\" x2=\"54\" y2=\"%1\"/>\n").arg(y);
    }
    return QStringLiteral(
               "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
               "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"64\" height=\"64\" viewBox=\"0 0 64 64\">\n"
               "  <rect x=\"2\" y=\"2\" width=\"60\" height=\"60\" rx=\"12\" ry=\"12\" fill=\"%1\"/>\n"
               "  <g stroke=\"%2\" stroke-width=\"2\">\n"
               "%3"
               "  </g>\n"
               "  <line x1=\"36\" y1=\"40\" x2=\"36\" y2=\"12\" stroke=\"%4\" stroke-width=\"3\"/>\n"
               "  <ellipse cx=\"0\" cy=\"0\" rx=\"7\" ry=\"5\" fill=\"%4\" "
               "transform=\"translate(30 41.5) rotate(-20)\"/>\n"
               "</svg>\n")
        .arg(kBlueDark.name(), kPaper.name(), staff, kAmber.name());
}

} // namespace velk::ui
