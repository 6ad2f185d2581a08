#include "tools/Incipit.h"

#include "pitches/StaffDrawing.h"
#include "tools/Commands.h"
#include "tools/OffscreenApplication.h"

#include <QBuffer>
#include <QImage>
#include <QPainter>
#include <QSaveFile>
#include <QSvgGenerator>

#include <cmath>
#include <stdexcept>

namespace velk::tools
{

namespace
{

// The distance between two staff lines in the file, in pixels (an SVG's user units).
constexpr double kFileStaffSpace = 12;

bool endsWith(const std::string& text, const std::string& tail)
{
    if (text.size() < tail.size()) {
        return false;
    }
    for (std::size_t i = 0; i < tail.size(); ++i) {
        const char c = text[text.size() - tail.size() + i];
        if (static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c) != tail[i]) {
            return false;
        }
    }
    return true;
}

QByteArray svgOf(const pitches::StaffDrawing& drawing)
{
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    const QSize size(static_cast<int>(std::ceil(drawing.size().width())),
                     static_cast<int>(std::ceil(drawing.size().height())));
    QSvgGenerator generator;
    generator.setOutputDevice(&buffer);
    generator.setSize(size);
    generator.setViewBox(QRect(QPoint(0, 0), size));
    generator.setTitle(QStringLiteral("Incipit"));
    generator.setResolution(96); // a pixel of the drawing is a pixel of a screen at its usual density
    QPainter painter(&generator);
    drawing.paint(painter, QPointF(0, 0));
    painter.end();
    return buffer.data();
}

QByteArray pngOf(const pitches::StaffDrawing& drawing)
{
    QImage image(static_cast<int>(std::ceil(drawing.size().width())),
                 static_cast<int>(std::ceil(drawing.size().height())), QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    drawing.paint(painter, QPointF(0, 0));
    painter.end();
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return buffer.data();
}

} // namespace

IncipitFormat incipitFormatOf(const std::string& file)
{
    if (endsWith(file, ".svg")) {
        return IncipitFormat::Svg;
    }
    if (endsWith(file, ".png")) {
        return IncipitFormat::Png;
    }
    throw UsageError("The incipit is written as SVG or PNG: the output file's name must end in .svg or .png, not "
                     + file + ".");
}

void writeIncipit(const pitches::NotatedLine& line,
                  const std::string& file,
                  IncipitFormat format,
                  std::size_t noteLimit)
{
    ensureOffscreenApplication();
    const pitches::StaffDrawing drawing(line, kFileStaffSpace, noteLimit);
    const QByteArray bytes = format == IncipitFormat::Svg ? svgOf(drawing) : pngOf(drawing);
    if (bytes.isEmpty()) {
        throw std::runtime_error("The incipit could not be drawn for " + file + ".");
    }
    QSaveFile out(QString::fromStdString(file));
    if (!out.open(QIODevice::WriteOnly) || out.write(bytes) != bytes.size() || !out.commit()) {
        throw std::runtime_error("Could not write the incipit to " + file + ": " + out.errorString().toStdString()
                                 + ".");
    }
}

} // namespace velk::tools
