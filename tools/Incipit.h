#pragma once

#include "pitches/Notation.h"

#include <cstddef>
#include <limits>
#include <string>

namespace velk::tools
{

/// The kinds of file an incipit is written as, by the output's extension.
enum class IncipitFormat
{
    Svg,
    Png
};

/// The format an output file name asks for (".svg" or ".png", in any case); throws UsageError for any other name.
IncipitFormat incipitFormatOf(const std::string& file);

/// Writes the staff of a line (its first noteLimit notes) to a file as the movement window draws it: an SVG
/// drawing, or a PNG picture on white. The file is written whole or not at all. Throws std::runtime_error with a
/// message naming the file when it cannot be written.
void writeIncipit(const pitches::NotatedLine& line,
                  const std::string& file,
                  IncipitFormat format,
                  std::size_t noteLimit = std::numeric_limits<std::size_t>::max());

} // namespace velk::tools
