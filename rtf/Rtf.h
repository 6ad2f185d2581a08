#pragma once

#include "rtf/RtfDocument.h"

#include <string>
#include <string_view>

namespace velk::rtf
{

/// Whether text is RTF markup: after an optional UTF-8 byte order mark and white space it begins "{\rtf".
bool isRtf(std::string_view text);

/// Reads a document. Text that is not RTF (see isRtf) is read as plain text (documentFromPlainText).
/// RTF is read for its text, \par and \line breaks, \tab, bold, italic, underline, fonts (\fonttbl, \f,
/// \deff), sizes (\fs), colours (\colortbl, \cf), \plain, \pard and paragraph alignment; \'hh is decoded by
/// the font's character set or the document's code page (\ansicpg, Windows-1252 when none), \u by its \uc
/// skip count. Ignorable destinations (\*, \info, \stylesheet, \pict, headers ...) and hidden text are left
/// out, unknown control words ignored. The result is in the canonical form of normalized(). A \par that ends
/// the document closes its last paragraph rather than opening an empty one.
/// Malformed input is never an error: the reader keeps what it can recover, in time and memory linear in the
/// input (group nesting beyond 256 levels is flattened, numbers are saturated, text after the closing brace
/// of the document is ignored).
RtfDocument parseRtf(std::string_view text);

/// Writes a document as RTF 1 (\ansi\ansicpg1252), with a font table and a colour table of what the runs use
/// and non-ASCII characters as \u escapes with a Windows-1252 or '?' fallback. parseRtf of the result gives
/// normalized(document) back.
std::string writeRtf(const RtfDocument& document);

/// The text of RTF markup (paragraphs joined with "\n"), or, for text that is not RTF, the text itself with
/// its line ends made "\n".
std::string plainText(std::string_view rtfOrText);

/// RTF markup holding a plain text, one paragraph per line (see documentFromPlainText).
std::string rtfFromPlainText(std::string_view text);

} // namespace velk::rtf
