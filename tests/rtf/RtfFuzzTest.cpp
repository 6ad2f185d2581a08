#include "rtf/Rtf.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

namespace velk::rtf
{
namespace
{

const std::vector<std::string>& seeds()
{
    static const std::vector<std::string> documents {
        "{\\rtf1\\ansi\\ansicpg1252\\deff0{\\fonttbl{\\f0\\fnil\\fcharset0 Book Antiqua;}{\\f1\\fswiss\\fcharset204 "
        "Arial;}}{\\colortbl ;\\red255\\green0\\blue0;}\r\n\\viewkind4\\uc1\\pard\\qc\\f0\\fs24 Gro\\'df "
        "{\\b\\cf1 Herr}\\par\r\n\\pard\\f1 \\'c0\\'e1 \\u8364? \\u-10179?\\u-8704?\\par\r\n}\r\n",
        "{\\rtf1{\\info{\\title x}}{\\*\\generator g;}{\\stylesheet{\\s0 Normal;}}{\\pict\\bin3 abc}"
        "{\\field{\\*\\fldinst HYPERLINK}{\\fldrslt link}} a\\tab b\\line c\\v hidden\\v0\\uc2\\u233\\'e9\\'e9 d}",
        writeRtf(RtfDocument {{Paragraph {{Run {"Gr\u00fc\u00df \u00e7a \u97f3 \U0001F3B5 {x}\\",
                                                CharFormat {true, true, true, "Velk", 10.5, Color {1, 2, 3}}},
                                           Run {"plain\ttab\nline", {}}},
                                          Alignment::Right},
                               Paragraph {{}, std::nullopt}}}),
    };
    return documents;
}

std::string mutate(const std::string& seed, std::mt19937& random)
{
    static const std::vector<std::string> inserts {"{",    "}",     "\\",    "\\'",       "\\u",        "\\u-",
                                                   "\\'f", "{\\*",  "\\bin", "\\uc9",     "\\fs999999", "\\f",
                                                   ";",    "\\par", "\\b0",  "\\fonttbl", "\\colortbl", "\\cf"};
    std::string text = seed;
    auto pick = [&](std::size_t n) {
        return n == 0 ? 0 : static_cast<std::size_t>(random() % n);
    };
    const std::size_t edits = 1 + pick(8);
    for (std::size_t e = 0; e < edits; ++e) {
        switch (pick(6)) {
        case 0:
            if (!text.empty()) {
                text[pick(text.size())] ^= static_cast<char>(1u << pick(8));
            }
            break;
        case 1:
            text.insert(pick(text.size() + 1), inserts[pick(inserts.size())]);
            break;
        case 2:
            text.resize(pick(text.size() + 1));
            break;
        case 3:
            if (!text.empty()) {
                text.erase(pick(text.size()), 1 + pick(4));
            }
            break;
        case 4:
            text.insert(pick(text.size() + 1), std::string(1 + pick(600), pick(2) == 0 ? '{' : '}'));
            break;
        default:
            text.insert(pick(text.size() + 1), std::string(1, static_cast<char>(random())));
            break;
        }
    }
    if (pick(4) == 0 && !text.starts_with("{\\rtf")) {
        text.insert(0, "{\\rtf1 ");
    }
    return text;
}

// Parsing never fails, and what it reads is canonical and survives a write and a read.
void checkInput(const std::string& input)
{
    const RtfDocument document = parseRtf(input);
    ASSERT_EQ(normalized(document), document) << input;
    ASSERT_EQ(parseRtf(writeRtf(document)), document) << input;
}

TEST(RtfFuzz, MutatedDocuments)
{
    std::mt19937 random(7);
    for (int i = 0; i < 100000; ++i) {
        const std::string& seed = seeds()[static_cast<std::size_t>(i) % seeds().size()];
        const std::string input = mutate(seed, random);
        const RtfDocument document = parseRtf(input);
        // The full check is dearer, so it runs on every tenth input.
        if (i % 10 == 0) {
            checkInput(input);
        }
        ASSERT_LE(plainText(document).size(), input.size() * 3 + 16);
    }
}

TEST(RtfFuzz, RandomBytes)
{
    std::mt19937 random(11);
    const std::string alphabet = "{}\\'uc0123456789-abfi ;?\r\n\xe9\x80";
    for (int i = 0; i < 20000; ++i) {
        std::string input = "{\\rtf1";
        const std::size_t length = random() % 200;
        for (std::size_t c = 0; c < length; ++c) {
            input.push_back(alphabet[random() % alphabet.size()]);
        }
        checkInput(input);
    }
}

TEST(RtfFuzz, DeepNestingVariants)
{
    for (const char* inner : {"\\b x", "{\\*\\x y", "\\fonttbl", "\\colortbl;\\red9;", "\\u233", "\\'"}) {
        std::string input = "{\\rtf1 ";
        for (int i = 0; i < 100000; ++i) {
            input += '{';
        }
        input += inner;
        checkInput(input);
        checkInput(input + std::string(100000, '}') + " tail}");
    }
}

} // namespace
} // namespace velk::rtf
