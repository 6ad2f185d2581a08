#include "rtf/RtfDocument.h"

#include "rtf/TextCoding.h"

#include <algorithm>
#include <cmath>

namespace velk::rtf
{

namespace
{

bool isAsciiSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v';
}

std::string_view trimmed(std::string_view text)
{
    while (!text.empty() && isAsciiSpace(text.front())) {
        text.remove_prefix(1);
    }
    while (!text.empty() && isAsciiSpace(text.back())) {
        text.remove_suffix(1);
    }
    return text;
}

std::string sanitizedRunText(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    std::size_t pos = 0;
    while (pos < text.size()) {
        const auto cp = nextUtf8(text, pos);
        if (!cp) {
            appendUtf8(out, kReplacementCharacter);
        } else if (*cp != 0 && *cp != U'\r') {
            appendUtf8(out, *cp);
        }
    }
    return out;
}

void appendParagraphText(std::string& out, const Paragraph& paragraph)
{
    for (const auto& run : paragraph.runs) {
        out += run.text;
    }
}

} // namespace

std::string sanitizedFontName(std::string_view name)
{
    std::string clean;
    std::size_t pos = 0;
    while (pos < name.size()) {
        const auto cp = nextUtf8(name, pos);
        const char32_t c = cp.value_or(kReplacementCharacter);
        if (c >= 0x20 && c != U';' && c != 0x7F) {
            appendUtf8(clean, c);
        }
    }
    std::string out(trimmed(clean));
    if (out.size() > kMaxFontNameBytes) {
        std::size_t cut = kMaxFontNameBytes;
        while (cut > 0 && (static_cast<unsigned char>(out[cut]) & 0xC0) == 0x80) {
            --cut;
        }
        out = std::string(trimmed(std::string_view(out).substr(0, cut)));
    }
    return out;
}

double sanitizedPointSize(double pointSize)
{
    if (!(pointSize > 0.0)) {
        return 0.0;
    }
    if (pointSize >= kMaxPointSize) {
        return kMaxPointSize;
    }
    const double halfPoints = std::max(1.0, std::round(pointSize * 2.0));
    return halfPoints / 2.0;
}

RtfDocument normalized(RtfDocument document)
{
    for (auto& paragraph : document.paragraphs) {
        std::vector<Run> runs;
        runs.reserve(paragraph.runs.size());
        for (auto& run : paragraph.runs) {
            run.text = sanitizedRunText(run.text);
            if (run.text.empty()) {
                continue;
            }
            run.format.fontFamily = sanitizedFontName(run.format.fontFamily);
            run.format.pointSize = sanitizedPointSize(run.format.pointSize);
            if (!runs.empty() && runs.back().format == run.format) {
                runs.back().text += run.text;
            } else {
                runs.push_back(std::move(run));
            }
        }
        paragraph.runs = std::move(runs);
    }
    return document;
}

std::string plainText(const RtfDocument& document)
{
    std::string out;
    for (std::size_t i = 0; i < document.paragraphs.size(); ++i) {
        if (i > 0) {
            out.push_back('\n');
        }
        appendParagraphText(out, document.paragraphs[i]);
    }
    return out;
}

RtfDocument documentFromPlainText(std::string_view text)
{
    RtfDocument document;
    if (text.empty()) {
        return document;
    }
    std::string line;
    auto endParagraph = [&] {
        Paragraph paragraph;
        if (!line.empty()) {
            paragraph.runs.push_back(Run {std::move(line), {}});
        }
        document.paragraphs.push_back(std::move(paragraph));
        line.clear();
    };
    std::size_t pos = 0;
    while (pos < text.size()) {
        const char c = text[pos];
        if (c == '\r' || c == '\n') {
            ++pos;
            if (c == '\r' && pos < text.size() && text[pos] == '\n') {
                ++pos;
            }
            endParagraph();
            continue;
        }
        const std::size_t start = pos;
        const auto cp = nextUtf8(text, pos);
        if (cp) {
            if (*cp != 0) {
                appendUtf8(line, *cp);
            }
        } else {
            appendUtf8(line, decodeByte(1252, static_cast<unsigned char>(text[start])));
        }
    }
    endParagraph();
    return document;
}

} // namespace velk::rtf
