#include "store/Text.h"

#include <gtest/gtest.h>

#include <string>

namespace velk::store
{
namespace
{

struct TextCase
{
    const char* name;
    std::string text;
    bool utf8;
    std::string shown;
};

void PrintTo(const TextCase& c, std::ostream* out)
{
    *out << c.name;
}

class Texts : public ::testing::TestWithParam<TextCase>
{
};

TEST_P(Texts, AreJudgedAndShownSafely)
{
    EXPECT_EQ(isUtf8(GetParam().text), GetParam().utf8);
    EXPECT_EQ(shownText(GetParam().text), GetParam().shown);
}

INSTANTIATE_TEST_SUITE_P(Cases,
                         Texts,
                         ::testing::Values(TextCase {"ascii", "Joy", true, "Joy"},
                                           TextCase {"german", "Gr\xC3\xBC\xC3\x9F", true, "Gr\xC3\xBC\xC3\x9F"},
                                           TextCase {"emoji", "\xF0\x9F\x8E\xB5", true, "\xF0\x9F\x8E\xB5"},
                                           TextCase {"latin1", "Gr\xFC\xDF", false, "Gr\\xFC\\xDF"},
                                           TextCase {"stray byte", "J\xFFoy", false, "J\\xFFoy"},
                                           TextCase {"overlong slash", "\xC0\xAF", false, "\\xC0\\xAF"},
                                           TextCase {"surrogate", "\xED\xA0\x80", false, "\\xED\\xA0\\x80"},
                                           TextCase {"beyond U+10FFFF", "\xF4\x90\x80\x80", false,
                                                     "\\xF4\\x90\\x80\\x80"},
                                           TextCase {"cut short", "a\xE2\x82", false, "a\\xE2\\x82"},
                                           TextCase {"escape sequence", "\x1B[2J", true, "\\x1B[2J"},
                                           TextCase {"line breaks and tab", "a\nb\r\tc", true, "a\\nb\\r\\tc"},
                                           TextCase {"delete", "a\x7F", true, "a\\x7F"},
                                           TextCase {"c1 control",
                                                     "a\xC2\x9B"
                                                     "1m",
                                                     true, "a\\u009B1m"},
                                           TextCase {"nul", std::string("a\0b", 3), true, "a\\x00b"}),
                         [](const auto& info) {
                             std::string name = info.param.name;
                             for (char& c : name) {
                                 c = std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
                             }
                             return name;
                         });

} // namespace
} // namespace velk::store
