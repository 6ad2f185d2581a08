#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace velk::rtf
{

/// A 24-bit RGB colour.
struct Color
{
    std::uint8_t red = 0;
    std::uint8_t green = 0;
    std::uint8_t blue = 0;

    bool operator==(const Color&) const = default;
};

/// Horizontal alignment of a paragraph.
enum class Alignment
{
    Left,
    Center,
    Right,
    Justify,
};

/// The character format of a run. Defaults mean "whatever the showing control uses".
struct CharFormat
{
    bool bold = false;
    bool italic = false;
    bool underline = false;
    /// Font family name as written in the document's font table; empty for the default font.
    std::string fontFamily;
    /// Size in points, in steps of half a point; 0 for the default size.
    double pointSize = 0.0;
    /// Text colour; none for the default (automatic) colour.
    std::optional<Color> color;

    bool operator==(const CharFormat&) const = default;
};

/// A stretch of text with one character format. The text is UTF-8; '\t' is a tab and '\n' a line break
/// inside the paragraph.
struct Run
{
    std::string text;
    CharFormat format;

    bool operator==(const Run&) const = default;
};

/// A paragraph: its runs in order and its alignment (none when the document leaves it to the default).
struct Paragraph
{
    std::vector<Run> runs;
    std::optional<Alignment> alignment;

    bool operator==(const Paragraph&) const = default;
};

/// A rich-text document: paragraphs of formatted runs. No paragraphs is the empty document.
struct RtfDocument
{
    std::vector<Paragraph> paragraphs;

    bool operator==(const RtfDocument&) const = default;
};

/// Largest point size a document holds; larger sizes are cut to it.
inline constexpr double kMaxPointSize = 1638.0;
/// Longest font family name, in bytes of UTF-8; longer names are cut at a character boundary.
inline constexpr std::size_t kMaxFontNameBytes = 256;

/// The canonical form of a document, which is what the reader produces and what survives a write and read:
/// run text as valid UTF-8 (bad bytes become U+FFFD) without NUL or '\r'; font names without control
/// characters or ';', trimmed and at most kMaxFontNameBytes long; sizes rounded to half points within
/// (0, kMaxPointSize] or 0; empty runs dropped and neighbouring runs of equal format merged.
RtfDocument normalized(RtfDocument document);

/// The font name as the document keeps it (see normalized).
std::string sanitizedFontName(std::string_view name);

/// The point size as the document keeps it (see normalized).
double sanitizedPointSize(double pointSize);

/// The text of the document: runs joined, paragraphs joined with "\n" (no newline after the last one).
std::string plainText(const RtfDocument& document);

/// A document of one default-format paragraph per line of text. Lines end at "\r\n", "\r" or "\n"; the empty
/// text gives the empty document, and a text ending in a newline gives an empty last paragraph. Bytes that
/// are not valid UTF-8 are read as Windows-1252 characters.
RtfDocument documentFromPlainText(std::string_view text);

} // namespace velk::rtf
