#include "rtf/Rtf.h"
#include "rtf/TextCoding.h"

#include <algorithm>
#include <cmath>

namespace velk::rtf
{

namespace
{

const char* alignmentWord(std::optional<Alignment> alignment)
{
    if (!alignment) {
        return "";
    }
    switch (*alignment) {
    case Alignment::Left:
        return "\\ql";
    case Alignment::Center:
        return "\\qc";
    case Alignment::Right:
        return "\\qr";
    case Alignment::Justify:
        return "\\qj";
    }
    return "";
}

void appendHexByte(std::string& out, unsigned char byte)
{
    static constexpr char kHex[] = "0123456789abcdef";
    out += "\\'";
    out.push_back(kHex[byte >> 4]);
    out.push_back(kHex[byte & 0x0F]);
}

// One \u escape for a UTF-16 code unit, as the signed 16-bit number RTF expects, and its fallback.
void appendUnicodeEscape(std::string& out, char32_t unit, const char* fallback)
{
    const int value = unit > 0x7FFF ? static_cast<int>(unit) - 0x10000 : static_cast<int>(unit);
    out += "\\u";
    out += std::to_string(value);
    out += fallback;
}

void appendCharacter(std::string& out, char32_t cp)
{
    switch (cp) {
    case U'\\':
        out += "\\\\";
        return;
    case U'{':
        out += "\\{";
        return;
    case U'}':
        out += "\\}";
        return;
    case U'\t':
        out += "\\tab ";
        return;
    case U'\n':
        out += "\\line ";
        return;
    case 0:
    case U'\r':
        return;
    default:
        break;
    }
    if (cp >= 0x20 && cp < 0x80) {
        out.push_back(static_cast<char>(cp));
        return;
    }
    if (cp >= 0x10000) {
        const char32_t offset = cp - 0x10000;
        appendUnicodeEscape(out, 0xD800 + (offset >> 10), "?");
        appendUnicodeEscape(out, 0xDC00 + (offset & 0x3FF), "?");
        return;
    }
    appendUnicodeEscape(out, cp, "");
    const auto fallback = cp >= 0x80 ? encodeCp1252(cp) : std::nullopt;
    if (fallback) {
        appendHexByte(out, *fallback);
    } else {
        out.push_back('?');
    }
}

void appendText(std::string& out, std::string_view text)
{
    std::size_t pos = 0;
    while (pos < text.size()) {
        appendCharacter(out, nextUtf8(text, pos).value_or(kReplacementCharacter));
    }
}

template <typename T>
std::size_t indexOf(std::vector<T>& table, const T& value)
{
    const auto found = std::find(table.begin(), table.end(), value);
    if (found != table.end()) {
        return static_cast<std::size_t>(found - table.begin());
    }
    table.push_back(value);
    return table.size() - 1;
}

bool isDefault(const CharFormat& format)
{
    return format == CharFormat {};
}

} // namespace

std::string writeRtf(const RtfDocument& input)
{
    const RtfDocument document = normalized(input);
    std::vector<std::string> fonts;
    std::vector<Color> colors;
    std::string body;
    for (const auto& paragraph : document.paragraphs) {
        body += "\\pard";
        body += alignmentWord(paragraph.alignment);
        body += ' ';
        for (const auto& run : paragraph.runs) {
            const CharFormat& format = run.format;
            if (isDefault(format)) {
                appendText(body, run.text);
                continue;
            }
            body += '{';
            if (format.bold) {
                body += "\\b";
            }
            if (format.italic) {
                body += "\\i";
            }
            if (format.underline) {
                body += "\\ul";
            }
            if (!format.fontFamily.empty()) {
                body += "\\f" + std::to_string(indexOf(fonts, format.fontFamily));
            }
            if (format.pointSize > 0) {
                body += "\\fs" + std::to_string(std::lround(format.pointSize * 2));
            }
            if (format.color) {
                // Colour 0 is the automatic colour; the table's entries start at 1.
                body += "\\cf" + std::to_string(indexOf(colors, *format.color) + 1);
            }
            body += ' ';
            appendText(body, run.text);
            body += '}';
        }
        body += "\\par\n";
    }

    std::string out = "{\\rtf1\\ansi\\ansicpg1252\\uc1";
    if (!fonts.empty()) {
        out += "{\\fonttbl";
        for (std::size_t i = 0; i < fonts.size(); ++i) {
            out += "{\\f" + std::to_string(i) + "\\fnil\\fcharset0 ";
            appendText(out, fonts[i]);
            out += ";}";
        }
        out += '}';
    }
    if (!colors.empty()) {
        out += "{\\colortbl;";
        for (const auto& color : colors) {
            out += "\\red" + std::to_string(color.red) + "\\green" + std::to_string(color.green) + "\\blue"
                + std::to_string(color.blue) + ';';
        }
        out += '}';
    }
    out += '\n';
    out += body;
    out += "}\n";
    return out;
}

std::string rtfFromPlainText(std::string_view text)
{
    return writeRtf(documentFromPlainText(text));
}

} // namespace velk::rtf
