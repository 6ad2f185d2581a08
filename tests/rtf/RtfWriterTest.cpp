#include "rtf/Rtf.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>

namespace velk::rtf
{
namespace
{

CharFormat bold()
{
    CharFormat format;
    format.bold = true;
    return format;
}

Paragraph paragraph(std::vector<Run> runs, std::optional<Alignment> alignment = std::nullopt)
{
    return Paragraph {std::move(runs), alignment};
}

RtfDocument oneRun(std::string text, CharFormat format = {})
{
    return RtfDocument {{paragraph({Run {std::move(text), std::move(format)}})}};
}

struct RoundTripCase
{
    const char* name;
    RtfDocument document;
};

class RoundTrip : public ::testing::TestWithParam<RoundTripCase>
{
};

TEST_P(RoundTrip, ReadsBackWhatItWrote)
{
    const RtfDocument& document = GetParam().document;
    ASSERT_EQ(normalized(document), document) << "the case should be in canonical form";
    const std::string rtf = writeRtf(document);
    EXPECT_TRUE(isRtf(rtf));
    EXPECT_TRUE(std::all_of(rtf.begin(), rtf.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; }))
        << rtf;
    EXPECT_EQ(parseRtf(rtf), document) << rtf;
}

RoundTripCase formatsCase()
{
    CharFormat all;
    all.bold = all.italic = all.underline = true;
    CharFormat italic;
    italic.italic = true;
    CharFormat underline;
    underline.underline = true;
    return {"Formats",
            RtfDocument {{paragraph({{"plain ", {}},
                                     {"bold", bold()},
                                     {" italic", italic},
                                     {" under", underline},
                                     {" all", all},
                                     {" plain again", {}}})}}};
}

RoundTripCase fontsCase()
{
    CharFormat antiqua;
    antiqua.fontFamily = "Book Antiqua";
    antiqua.pointSize = 12;
    CharFormat velk;
    velk.fontFamily = "Velk";
    velk.pointSize = 16;
    CharFormat half;
    half.fontFamily = "Book Antiqua";
    half.pointSize = 10.5;
    CharFormat odd;
    odd.fontFamily = "Odd {Name} \\ \u00e9";
    CharFormat sizeOnly;
    sizeOnly.pointSize = kMaxPointSize;
    return {"FontsAndSizes",
            RtfDocument {{paragraph({{"a", antiqua}, {"b", velk}, {"c", half}, {"d", odd}}),
                          paragraph({{"e", sizeOnly}, {"f", velk}})}}};
}

RoundTripCase coloursCase()
{
    CharFormat red;
    red.color = Color {255, 0, 0};
    CharFormat black;
    black.color = Color {0, 0, 0};
    CharFormat redBold = red;
    redBold.bold = true;
    CharFormat teal;
    teal.color = Color {0, 128, 128};
    return {"Colours",
            RtfDocument {
                {paragraph({{"red", red}, {"black", black}, {"auto", {}}, {"redbold", redBold}, {"teal", teal}})}}};
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(Rtf, RoundTrip, ::testing::Values(
    RoundTripCase{"Empty", RtfDocument{}},
    RoundTripCase{"OneEmptyParagraph", RtfDocument{{paragraph({})}}},
    RoundTripCase{"EmptyParagraphs", RtfDocument{{paragraph({}), paragraph({{"x", {}}}), paragraph({}),
                                                  paragraph({})}}},
    RoundTripCase{"Plain", oneRun("Hello world")},
    RoundTripCase{"LeadingAndTrailingSpaces", RtfDocument{{paragraph({{"  two  ", bold()}, {"  ", {}}})}}},
    formatsCase(),
    fontsCase(),
    coloursCase(),
    RoundTripCase{"Alignments", RtfDocument{{paragraph({{"l", {}}}, Alignment::Left),
                                             paragraph({{"c", {}}}, Alignment::Center),
                                             paragraph({{"r", {}}}, Alignment::Right),
                                             paragraph({{"j", {}}}, Alignment::Justify),
                                             paragraph({}, Alignment::Center),
                                             paragraph({{"d", {}}})}}},
    RoundTripCase{"Escapes", oneRun("a\\b{c}d \\par {\\b x} \\'41 \\u65?")},
    RoundTripCase{"TabsAndLineBreaks", oneRun("a\tb\nc\n\td")},
    RoundTripCase{"German", oneRun("Gr\u00fc\u00df Gott")},
    RoundTripCase{"French", oneRun("\u00e7a va, gar\u00e7on")},
    RoundTripCase{"Cp1252Specials", oneRun("\u20ac \u201cq\u201d \u2014 \u0152")},
    RoundTripCase{"Cyrillic", oneRun("\u0410\u0431\u0432")},
    RoundTripCase{"Cjk", oneRun("\u97f3\u697d\u306e\u66f2")},
    RoundTripCase{"Emoji", oneRun("note \U0001F3B5 and \U0001F600", bold())},
    RoundTripCase{"HighBmp", oneRun("\uffee\u8000\u7fff")},
    RoundTripCase{"ControlCharacters", oneRun(std::string("a\x01" "b\x1f" "c\x7f"))}
), [](const auto& info) { return std::string(info.param.name); });
// clang-format on

TEST(RtfWriter, WritesHeaderAndTablesOfWhatIsUsed)
{
    EXPECT_EQ(writeRtf(oneRun("x")).rfind("{\\rtf1\\ansi\\ansicpg1252", 0), 0u);
    EXPECT_EQ(writeRtf(oneRun("x")).find("fonttbl"), std::string::npos);
    EXPECT_EQ(writeRtf(oneRun("x")).find("colortbl"), std::string::npos);

    CharFormat format;
    format.fontFamily = "Velk";
    format.color = Color {1, 2, 3};
    const std::string rtf = writeRtf(RtfDocument {{paragraph({{"a", format}, {"b", {}}})}});
    EXPECT_NE(rtf.find("{\\fonttbl{\\f0\\fnil\\fcharset0 Velk;}}"), std::string::npos) << rtf;
    EXPECT_NE(rtf.find("{\\colortbl;\\red1\\green2\\blue3;}"), std::string::npos) << rtf;
}

TEST(RtfWriter, NonAsciiHasUnicodeEscapeAndFallback)
{
    const std::string rtf = writeRtf(oneRun("\u00fc\u4e00\U0001F600"));
    // A Windows-1252 fallback where there is one, '?' where there is none; astral characters as surrogates.
    EXPECT_NE(rtf.find("\\u252\\'fc\\u19968?\\u-10179?\\u-8704?"), std::string::npos) << rtf;
}

TEST(RtfWriter, WritesTheCanonicalForm)
{
    CharFormat odd;
    odd.pointSize = 10.3;
    odd.fontFamily = "  Spaced;Name  ";
    const RtfDocument messy {{paragraph({{"a", {}}, {"", bold()}, {"b\r", {}}, {std::string("c\0d", 3), odd}})}};
    const RtfDocument read = parseRtf(writeRtf(messy));
    EXPECT_EQ(read, normalized(messy));
    ASSERT_EQ(read.paragraphs.at(0).runs.size(), 2u);
    EXPECT_EQ(read.paragraphs[0].runs[0].text, "ab");
    EXPECT_EQ(read.paragraphs[0].runs[1].text, "cd");
    EXPECT_EQ(read.paragraphs[0].runs[1].format.pointSize, 10.5);
    EXPECT_EQ(read.paragraphs[0].runs[1].format.fontFamily, "SpacedName");
}

TEST(RtfWriter, BadUtf8BecomesReplacementCharacter)
{
    EXPECT_EQ(plainText(writeRtf(oneRun("a\xFF"
                                        "b\xC3"))),
              "a\ufffdb\ufffd");
}

TEST(RtfWriter, PlainTextRoundTrip)
{
    for (const std::string text : {"", "one", "one\ntwo", "trailing\n", "\n", "\n\nx\n\n", "tab\there",
                                   "{braces} \\ back", "Gr\u00fc\u00df \u00e7a \u97f3 \U0001F3B5"}) {
        EXPECT_EQ(plainText(rtfFromPlainText(text)), text) << text;
        EXPECT_EQ(plainText(text), text) << text;
    }
    EXPECT_EQ(plainText(rtfFromPlainText("a\r\nb\rc")), "a\nb\nc");
}

// Random documents in canonical form survive a write and a read; random messy ones come back canonical.
TEST(RtfWriter, RandomDocumentsRoundTrip)
{
    std::mt19937 random(20240601);
    const std::vector<std::string> pieces {
        "a",      "Zz",     " ",      "\t",     "\n",     "\\",         "{",     "}",     ";",  "?",
        "\u00e9", "\u00df", "\u0410", "\u20ac", "\u4e00", "\U0001F600", "\\par", "\\'e9", "\r", std::string(1, '\0')};
    const std::vector<std::string> fonts {"", "", "Book Antiqua", "Velk", "Times New Roman", "\u5b8b\u4f53"};
    auto pick = [&](std::size_t n) {
        return static_cast<std::size_t>(random() % n);
    };
    for (int iteration = 0; iteration < 2000; ++iteration) {
        RtfDocument document;
        const std::size_t paragraphs = pick(4);
        for (std::size_t p = 0; p < paragraphs; ++p) {
            Paragraph para;
            if (pick(3) == 0) {
                para.alignment = static_cast<Alignment>(pick(4));
            }
            const std::size_t runs = pick(5);
            for (std::size_t r = 0; r < runs; ++r) {
                rtf::Run run;
                const std::size_t length = pick(6);
                for (std::size_t c = 0; c < length; ++c) {
                    run.text += pieces[pick(pieces.size())];
                }
                run.format.bold = pick(2) == 0;
                run.format.italic = pick(3) == 0;
                run.format.underline = pick(4) == 0;
                run.format.fontFamily = fonts[pick(fonts.size())];
                run.format.pointSize = pick(2) == 0 ? 0.0 : static_cast<double>(pick(100)) / 3.0;
                if (pick(2) == 0) {
                    run.format.color = Color {static_cast<std::uint8_t>(pick(256)), static_cast<std::uint8_t>(pick(2)),
                                              static_cast<std::uint8_t>(pick(256))};
                }
                para.runs.push_back(run);
            }
            document.paragraphs.push_back(para);
        }
        const RtfDocument canonical = normalized(document);
        ASSERT_EQ(normalized(canonical), canonical);
        ASSERT_EQ(parseRtf(writeRtf(document)), canonical) << writeRtf(document);
    }
}

} // namespace
} // namespace velk::rtf
