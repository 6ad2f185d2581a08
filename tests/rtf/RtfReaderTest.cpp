#include "rtf/Rtf.h"

#include <gtest/gtest.h>

#include <string>

namespace velk::rtf
{
namespace
{

// The runs of a one-paragraph document, for short assertions.
const std::vector<Run>& onlyRuns(const RtfDocument& document)
{
    static const std::vector<Run> none;
    EXPECT_EQ(document.paragraphs.size(), 1u);
    return document.paragraphs.empty() ? none : document.paragraphs.front().runs;
}

struct TextCase
{
    const char* name;
    std::string input;
    std::string text;
};

class ReaderText : public ::testing::TestWithParam<TextCase>
{
};

TEST_P(ReaderText, GivesThePlainText)
{
    EXPECT_EQ(plainText(GetParam().input), GetParam().text);
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(Rtf, ReaderText, ::testing::Values(
    TextCase{"Plain", R"({\rtf1 Hello world})", "Hello world"},
    TextCase{"DelimiterSpaceIsEaten", R"({\rtf1\b  two})", " two"},
    TextCase{"ParagraphsAndLines", R"({\rtf1 one\par two\line three})", "one\ntwo\nthree"},
    TextCase{"FinalParClosesLastParagraph", "{\\rtf1 one\\par\r\n}", "one"},
    TextCase{"EmptyParagraphKept", R"({\rtf1 one\par\par two\par})", "one\n\ntwo"},
    TextCase{"RawLineEndsIgnored", "{\\rtf1 a\r\nb\nc}", "abc"},
    TextCase{"BackslashNewlineIsPar", "{\\rtf1 a\\\nb}", "a\nb"},
    TextCase{"Tab", R"({\rtf1 a\tab b})", "a\tb"},
    TextCase{"Escapes", R"({\rtf1 \{x\} \\ y})", "{x} \\ y"},
    TextCase{"SpecialCharacters", R"({\rtf1 \emdash\endash\bullet\lquote\rquote\ldblquote\rdblquote\~})",
             "\u2014\u2013\u2022\u2018\u2019\u201c\u201d\u00a0"},
    TextCase{"HexInDefaultCodePage", R"({\rtf1\ansi caf\'e9})", "caf\u00e9"},
    TextCase{"HexInCp1252Specials", R"({\rtf1\ansi\ansicpg1252 \'80\'93\'94})", "\u20ac\u201c\u201d"},
    TextCase{"HexInCp1251", R"({\rtf1\ansi\ansicpg1251 \'c0\'e1\'e2})", "\u0410\u0431\u0432"},
    TextCase{"HexInCp1250", R"({\rtf1\ansi\ansicpg1250 \'8a\'e8})", "\u0160\u010d"},
    TextCase{"UnknownCodePageIsCp1252", R"({\rtf1\ansi\ansicpg99999 \'e9})", "\u00e9"},
    TextCase{"OemCodePage", R"({\rtf1\pc \'82})", "\u00e9"},
    TextCase{"FontCharsetOverridesCodePage",
             R"({\rtf1\ansi\ansicpg1252{\fonttbl{\f0\fnil\fcharset0 A;}{\f1\fnil\fcharset204 B;}}\f0\'c0\f1\'c0})",
             "\u00c0\u0410"},
    TextCase{"UppercaseHex", R"({\rtf1 \'C9})", "\u00c9"},
    TextCase{"UnicodeWithDefaultSkip", R"({\rtf1 \u8364?x})", "\u20acx"},
    TextCase{"UnicodeSkipsHexFallback", R"({\rtf1 \u233\'e9!})", "\u00e9!"},
    TextCase{"UnicodeSkipTwo", R"({\rtf1\uc2 \u8364??x})", "\u20acx"},
    TextCase{"UnicodeSkipZero", R"({\rtf1\uc0 \u8364 x})", "\u20acx"},
    TextCase{"UnicodeSkipCountsControlWords", R"({\rtf1\uc2 \u8364\'80\par x})", "\u20acx"},
    TextCase{"UnicodeSkipStopsAtGroup", R"({\rtf1\uc3 \u8364?}x)", "\u20ac"},
    TextCase{"UnicodeSkipScopedToGroup", R"({\rtf1 {\uc2 \u8364??}\u8364?x})", "\u20ac\u20acx"},
    TextCase{"NegativeUnicodeWraps", R"({\rtf1 \u-3?})", "\ufffd"},
    TextCase{"NegativeUnicodeCjk", R"({\rtf1 \u-28440?})", "\u90e8"},
    TextCase{"SurrogatePair", R"({\rtf1 \u-10179?\u-8704?})", "\U0001f600"},
    TextCase{"LoneHighSurrogate", R"({\rtf1 \u-10179?x})", "\ufffdx"},
    TextCase{"LoneLowSurrogate", R"({\rtf1 \u-8704?x})", "\ufffdx"},
    TextCase{"ZeroUnicodeDropped", R"({\rtf1 a\u0?b})", "ab"},
    TextCase{"StarDestinationSkipped", R"({\rtf1 a{\*\generator Writer 1.0;}b})", "ab"},
    TextCase{"UnknownStarDestinationSkipped", R"({\rtf1 a{\*\madeupdest {nested} text}b})", "ab"},
    TextCase{"InfoSkipped", R"({\rtf1{\info{\title T}{\author A}}body})", "body"},
    TextCase{"StylesheetSkipped", R"({\rtf1{\stylesheet{\s0 Normal;}}body})", "body"},
    TextCase{"PictureSkipped", R"({\rtf1 a{\pict\wmetafile8 0102abcdef}b})", "ab"},
    TextCase{"BinaryDataSkipped", "{\\rtf1 a{\\pict\\bin4 }{\\}}b}", "ab"},
    TextCase{"HeaderFooterSkipped", R"({\rtf1{\header H}{\footer F}body})", "body"},
    TextCase{"FieldShowsResult", R"({\rtf1 {\field{\*\fldinst HYPERLINK "x"}{\fldrslt link}}})", "link"},
    TextCase{"HiddenTextLeftOut", R"({\rtf1 a\v hidden\v0 b})", "ab"},
    TextCase{"UnknownWordsIgnored", R"({\rtf1\viewkind4\lang1033\noproof1 text\zzz99 more})", "textmore"},
    TextCase{"TableCells", R"({\rtf1\trowd\intbl a\cell b\cell\row c})", "a\tb\nc"},
    TextCase{"TextAfterDocumentIgnored", R"({\rtf1 in}out)", "in"},
    TextCase{"LeadingWhitespaceAndBom", "\xEF\xBB\xBF \r\n{\\rtf1 x}", "x"},
    TextCase{"EmptyDocument", R"({\rtf1})", ""},
    TextCase{"TypicalStoredBox",
             "{\\rtf1\\ansi\\ansicpg1252\\deff0\\deflang1033{\\fonttbl{\\f0\\fnil\\fcharset0 Book Antiqua;}}\r\n"
             "\\viewkind4\\uc1\\pard\\f0\\fs24 Gro\\'df \\b Herr\\b0\\par\r\n}\r\n",
             "Gro\u00df Herr"}
), [](const auto& info) { return std::string(info.param.name); });
// clang-format on

TEST(RtfReader, NotRtfIsPlainText)
{
    EXPECT_FALSE(isRtf("rtf1 text"));
    EXPECT_FALSE(isRtf("{rtf1}"));
    EXPECT_TRUE(isRtf("  {\\rtf1}"));

    const RtfDocument document = parseRtf("first line\r\nsecond {line} \\b\n\nlast");
    ASSERT_EQ(document.paragraphs.size(), 4u);
    EXPECT_EQ(plainText(document), "first line\nsecond {line} \\b\n\nlast");
    EXPECT_EQ(document.paragraphs[0].runs.at(0).format, CharFormat {});
    EXPECT_TRUE(document.paragraphs[2].runs.empty());
}

TEST(RtfReader, NotRtfBadUtf8ReadAsCp1252)
{
    EXPECT_EQ(plainText("caf\xE9 ok \xC3\xA9"), "caf\u00e9 ok \u00e9");
}

TEST(RtfReader, EmptyTextIsEmptyDocument)
{
    EXPECT_TRUE(parseRtf("").paragraphs.empty());
    EXPECT_TRUE(parseRtf("{\\rtf1\\ansi }").paragraphs.empty());
    EXPECT_EQ(plainText(std::string_view()), "");
}

TEST(RtfReader, BoldItalicUnderlineToggles)
{
    const auto runs = onlyRuns(parseRtf(R"({\rtf1 a\b b\i c\b0\ul d\ulnone\i0 e\ul1 f\ul0 g})"));
    ASSERT_EQ(runs.size(), 7u);
    EXPECT_EQ(runs[0].text, "a");
    EXPECT_FALSE(runs[0].format.bold);
    EXPECT_TRUE(runs[1].format.bold);
    EXPECT_TRUE(runs[2].format.bold && runs[2].format.italic);
    EXPECT_TRUE(!runs[3].format.bold && runs[3].format.italic && runs[3].format.underline);
    EXPECT_TRUE(!runs[4].format.italic && !runs[4].format.underline);
    EXPECT_TRUE(runs[5].format.underline);
    EXPECT_FALSE(runs[6].format.underline);
}

TEST(RtfReader, UnderlineVariantsAndUnderlineColourWord)
{
    const auto runs = onlyRuns(parseRtf(R"({\rtf1 {\uldb a}{\ulwave b}{\ulc2 c}})"));
    ASSERT_EQ(runs.size(), 2u);
    EXPECT_EQ(runs[0].text, "ab");
    EXPECT_TRUE(runs[0].format.underline);
    EXPECT_FALSE(runs[1].format.underline);
}

TEST(RtfReader, GroupsRestoreFormat)
{
    const auto runs = onlyRuns(parseRtf(R"({\rtf1\i a{\b\i0 b{\ul c}d}e})"));
    ASSERT_EQ(runs.size(), 5u);
    EXPECT_TRUE(runs[0].format.italic && !runs[0].format.bold);
    EXPECT_TRUE(runs[1].format.bold && !runs[1].format.italic);
    EXPECT_TRUE(runs[2].format.bold && runs[2].format.underline);
    EXPECT_EQ(runs[3].format, runs[1].format);
    EXPECT_EQ(runs[4].format, runs[0].format);
}

TEST(RtfReader, NeighbouringEqualRunsMerge)
{
    const auto runs = onlyRuns(parseRtf(R"({\rtf1 {\b a}{\b b}\b c})"));
    ASSERT_EQ(runs.size(), 1u);
    EXPECT_EQ(runs[0].text, "abc");
}

TEST(RtfReader, FontsSizesAndPlain)
{
    const auto runs = onlyRuns(parseRtf(
        R"({\rtf1{\fonttbl{\f0\froman\fcharset0 Book Antiqua;}{\f1\fswiss{\*\panose 020b}Arial{\*\falt Helv};}})"
        R"(\f1\fs21 a\f0\fs24\b b\plain c\f7 d})"));
    ASSERT_EQ(runs.size(), 3u);
    EXPECT_EQ(runs[0].format.fontFamily, "Arial");
    EXPECT_EQ(runs[0].format.pointSize, 10.5);
    EXPECT_EQ(runs[1].format.fontFamily, "Book Antiqua");
    EXPECT_EQ(runs[1].format.pointSize, 12.0);
    EXPECT_TRUE(runs[1].format.bold);
    // \plain drops everything, and a font missing from the table is the default font.
    EXPECT_EQ(runs[2].text, "cd");
    EXPECT_EQ(runs[2].format, CharFormat {});
}

TEST(RtfReader, FlatFontTableAndDefaultFont)
{
    const auto runs = onlyRuns(parseRtf(R"({\rtf1\deff1{\fonttbl\f0\fnil Courier;\f1\fnil Times New Roman;}a\f0 b})"));
    ASSERT_EQ(runs.size(), 2u);
    EXPECT_EQ(runs[0].format.fontFamily, "Times New Roman");
    EXPECT_EQ(runs[1].format.fontFamily, "Courier");
}

TEST(RtfReader, FontNameEscapes)
{
    const auto runs = onlyRuns(parseRtf(R"({\rtf1{\fonttbl{\f0\fcharset238 \'8aans;}{\f1 \u20320?Font;}}\f0 a\f1 b})"));
    ASSERT_EQ(runs.size(), 2u);
    EXPECT_EQ(runs[0].format.fontFamily, "\u0160ans");
    EXPECT_EQ(runs[1].format.fontFamily, "\u4f60Font");
}

TEST(RtfReader, ColourTable)
{
    const auto runs = onlyRuns(
        parseRtf(R"({\rtf1{\colortbl;\red255\green0\blue0;\red0\green128\blue999;}\cf1 a\cf2 b\cf0 c\cf9 d})"));
    ASSERT_EQ(runs.size(), 3u);
    EXPECT_EQ(runs[0].format.color, (Color {255, 0, 0}));
    EXPECT_EQ(runs[1].format.color, (Color {0, 128, 255}));
    // Index 0 is the automatic colour and an index past the table has none.
    EXPECT_EQ(runs[2].text, "cd");
    EXPECT_FALSE(runs[2].format.color.has_value());
}

TEST(RtfReader, ParagraphAlignment)
{
    const RtfDocument document
        = parseRtf(R"({\rtf1\pard\qc centred\par still centred\par\pard left default\par\qr right\par\ql\qj just})");
    ASSERT_EQ(document.paragraphs.size(), 5u);
    EXPECT_EQ(document.paragraphs[0].alignment, Alignment::Center);
    EXPECT_EQ(document.paragraphs[1].alignment, Alignment::Center);
    EXPECT_FALSE(document.paragraphs[2].alignment.has_value());
    EXPECT_EQ(document.paragraphs[3].alignment, Alignment::Right);
    EXPECT_EQ(document.paragraphs[4].alignment, Alignment::Justify);
}

TEST(RtfReader, GroupRestoresAlignment)
{
    const RtfDocument document = parseRtf(R"({\rtf1{\qc a\par}b})");
    ASSERT_EQ(document.paragraphs.size(), 2u);
    EXPECT_EQ(document.paragraphs[0].alignment, Alignment::Center);
    EXPECT_FALSE(document.paragraphs[1].alignment.has_value());
}

struct MalformedCase
{
    const char* name;
    std::string input;
    std::string text;
};

class ReaderMalformed : public ::testing::TestWithParam<MalformedCase>
{
};

TEST_P(ReaderMalformed, KeepsWhatCanBeRecovered)
{
    EXPECT_EQ(plainText(GetParam().input), GetParam().text);
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(Rtf, ReaderMalformed, ::testing::Values(
    MalformedCase{"MissingClosingBraces", R"({\rtf1 {\b bold} text {\i more)", "bold text more"},
    MalformedCase{"ExtraClosingBraces", R"({\rtf1 a}}}b)", "a"},
    MalformedCase{"TruncatedHex", R"({\rtf1 ab\')", "ab"},
    MalformedCase{"TruncatedHexOneDigit", R"({\rtf1 ab\'e)", "ab"},
    MalformedCase{"BadHexDigits", R"({\rtf1 a\'zzb})", "azzb"},
    MalformedCase{"TruncatedBackslash", "{\\rtf1 ab\\", "ab"},
    MalformedCase{"TruncatedUnicode", R"({\rtf1 ab\u)", "ab"},
    MalformedCase{"TruncatedUnicodeNumber", R"({\rtf1 ab\u-)", "ab-"},
    MalformedCase{"UnicodeFallbackCutOff", R"({\rtf1 \u233)", "\u00e9"},
    MalformedCase{"HugeFontSize", R"({\rtf1\fs99999999999 big})", "big"},
    MalformedCase{"HugeUnicode", R"({\rtf1 \u99999999999999999999?x})", "\ufffdx"},
    MalformedCase{"HugeSkipCount", R"({\rtf1\uc99999999999 \u233 abc})", "\u00e9"},
    MalformedCase{"HugeBinaryLength", R"({\rtf1 a\bin99999999999 bcd})", "a"},
    MalformedCase{"NegativeBinaryLength", R"({\rtf1 a\bin-5 b})", "ab"},
    MalformedCase{"HugeColourIndex", R"({\rtf1{\colortbl;\red1;}\cf-99999999999 a\cf99999999999 b})", "ab"},
    MalformedCase{"LongControlWord",
                  "{\\rtf1 a\\" + std::string(10000, 'x') + " b}", "ab"},
    MalformedCase{"UnterminatedFontTable", R"({\rtf1{\fonttbl{\f0 Arial)", ""},
    MalformedCase{"NulBytes", std::string("{\\rtf1 a\0b\\'00c}", 16), "abc"},
    MalformedCase{"JustTheMagic", "{\\rtf", ""}
), [](const auto& info) { return std::string(info.param.name); });
// clang-format on

TEST(RtfReader, HugeNumbersAreCapped)
{
    const auto runs = onlyRuns(parseRtf(R"({\rtf1\fs99999999999 big\fs-4 small})"));
    ASSERT_EQ(runs.size(), 2u);
    EXPECT_EQ(runs[0].format.pointSize, kMaxPointSize);
    EXPECT_EQ(runs[1].format.pointSize, 0.0);
}

TEST(RtfReader, DeepNestingIsFlattened)
{
    const std::string deep = "{\\rtf1 " + std::string(100000, '{') + "\\b deep" + std::string(100000, '}') + " out}";
    const auto runs = onlyRuns(parseRtf(deep));
    ASSERT_EQ(runs.size(), 2u);
    EXPECT_EQ(runs[0].text, "deep");
    EXPECT_TRUE(runs[0].format.bold);
    EXPECT_EQ(runs[1].text, " out");
    EXPECT_FALSE(runs[1].format.bold);

    // Unclosed, the nesting still ends with the input.
    EXPECT_EQ(plainText("{\\rtf1 a" + std::string(100000, '{') + "b"), "ab");
}

} // namespace
} // namespace velk::rtf
