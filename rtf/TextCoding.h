#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace velk::rtf
{

/// The replacement character for text that cannot be decoded.
inline constexpr char32_t kReplacementCharacter = 0xFFFD;

/// Appends the UTF-8 form of a code point; surrogates and values above U+10FFFF append U+FFFD.
void appendUtf8(std::string& out, char32_t codePoint);

/// Decodes the UTF-8 character at pos and moves pos past it. A malformed sequence (overlong, surrogate,
/// truncated, out of range) yields nothing and moves pos by one byte. pos must be below text.size().
std::optional<char32_t> nextUtf8(std::string_view text, std::size_t& pos);

/// The character that byte stands for in a code page. Bytes below 0x80 are ASCII in every code page. Code
/// pages without a table here (including the multi-byte ones) are read as Windows-1252; bytes a code page
/// leaves undefined give U+FFFD.
char32_t decodeByte(int codePage, unsigned char byte);

/// Whether a code page has a table of its own (otherwise decodeByte reads it as Windows-1252).
bool isKnownCodePage(int codePage);

/// The Windows-1252 byte for a character, if that code page holds it.
std::optional<unsigned char> encodeCp1252(char32_t codePoint);

/// The code page of a font character set number (\fcharset); nullopt for the ANSI and default sets and for
/// sets without a single-byte table, where the document's own code page applies.
std::optional<int> codePageOfCharset(int charset);

} // namespace velk::rtf
