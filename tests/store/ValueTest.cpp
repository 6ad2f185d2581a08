#include "store/Value.h"
#include "store/ConnectionString.h"
#include "store/StoreError.h"

#include <gtest/gtest.h>

#include <ostream>

#include <limits>

namespace velk::store
{
namespace
{

struct NumberCase
{
    double value;
    const char* text;
};

void PrintTo(const NumberCase& c, std::ostream* out)
{
    *out << c.text;
}

class FormatNumberTest : public ::testing::TestWithParam<NumberCase>
{
};

TEST_P(FormatNumberTest, ShortestText)
{
    EXPECT_EQ(formatNumber(GetParam().value), GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(Numbers,
                         FormatNumberTest,
                         ::testing::Values(NumberCase {25.0, "25"},
                                           NumberCase {6.2, "6.2"},
                                           NumberCase {-0.5, "-0.5"},
                                           NumberCase {0.0, "0"},
                                           NumberCase {-0.0, "0"},
                                           NumberCase {68.8, "68.8"},
                                           NumberCase {0.1 + 0.2, "0.30000000000000004"},
                                           NumberCase {1e15, "1000000000000000"},
                                           NumberCase {0.001, "0.001"},
                                           NumberCase {32767.0, "32767"}));

TEST(FormatSingle, UsesSinglePrecisionDigits)
{
    EXPECT_EQ(formatSingle(12.6f), "12.6");
    EXPECT_EQ(formatSingle(0.2f), "0.2");
    EXPECT_EQ(formatSingle(15.0f), "15");
    EXPECT_EQ(formatSingle(0.0f), "0");
    // The double of 12.6f is not 12.6, which is why single values have their own formatter.
    EXPECT_NE(formatNumber(static_cast<double>(12.6f)), "12.6");
}

TEST(FormatSingle, ReadsBackAsTheSameFloat)
{
    for (float value : {12.6f, 0.1f, 8.33f, 1234567.0f, 3.4028235e38f, 1.0e-7f}) {
        EXPECT_EQ(std::stof(formatSingle(value)), value) << formatSingle(value);
    }
}

TEST(ParseWholeNumber, AcceptsOnlyWholeDecimalNumbers)
{
    EXPECT_EQ(parseWholeNumber("42"), 42);
    EXPECT_EQ(parseWholeNumber("-7"), -7);
    EXPECT_EQ(parseWholeNumber("+7"), 7);
    EXPECT_EQ(parseWholeNumber("-9223372036854775808"), std::numeric_limits<std::int64_t>::min());
    EXPECT_EQ(parseWholeNumber("9223372036854775807"), std::numeric_limits<std::int64_t>::max());
    for (const char* bad : {"", "-", "+", " 1", "1 ", "1.0", "1e3", "12a", "9223372036854775808", "0x10", "--1"}) {
        EXPECT_FALSE(parseWholeNumber(bad).has_value()) << '"' << bad << '"';
    }
}

TEST(Value, ConversionsFollowTheKindOfTheValue)
{
    EXPECT_TRUE(Value().isNull());
    EXPECT_EQ(Value().toText(), "");
    EXPECT_EQ(Value().toInt64(), 0);
    EXPECT_FALSE(Value().toBool());
    EXPECT_EQ(Value(12.9).toInt64(), 12);
    EXPECT_EQ(Value("17").toInt64(), 17);
    EXPECT_EQ(Value("17x").toInt64(), 0);
    EXPECT_DOUBLE_EQ(Value("6.25").toDouble(), 6.25);
    EXPECT_EQ(Value(6.2).toText(), "6.2");
    EXPECT_EQ(Value(std::int64_t {-3}).toText(), "-3");
    EXPECT_TRUE(Value(true).isInteger());
    EXPECT_TRUE(Value("true").toBool());
    EXPECT_FALSE(Value("0").toBool());
    EXPECT_NE(Value(1), Value(1.0)); // a kind change counts as a change of a field
}

struct ConnectionStringCase
{
    const char* text;
    const char* file;
};

void PrintTo(const ConnectionStringCase& c, std::ostream* out)
{
    *out << c.text;
}

class ConnectionStringTest : public ::testing::TestWithParam<ConnectionStringCase>
{
};

TEST_P(ConnectionStringTest, NamesTheFile)
{
    EXPECT_EQ(catalogueFileFromConnectionString(GetParam().text), GetParam().file);
}

INSTANTIATE_TEST_SUITE_P(
    Strings,
    ConnectionStringTest,
    ::testing::Values(ConnectionStringCase {kConnectionString, "Velk.db"},
                      ConnectionStringCase {"data source = /tmp/a b/x.db ; Mode=ReadOnly", "/tmp/a b/x.db"},
                      ConnectionStringCase {"Provider=X;DATA SOURCE=cat.db;Persist Security Info=False", "cat.db"},
                      ConnectionStringCase {"/plain/path/Velk.db", "/plain/path/Velk.db"},
                      ConnectionStringCase {"Data Source=\"semi;colon.db\"", "semi;colon.db"}));

TEST(ConnectionString, RoundTripsAnyPath)
{
    for (std::string path : {"/tmp/Velk.db", "/tmp/with;semicolon/Velk.db", " leading.db", "a=b.db"}) {
        EXPECT_EQ(catalogueFileFromConnectionString(connectionStringForFile(path)), path);
    }
}

TEST(ConnectionString, WithoutDataSourceIsAnError)
{
    EXPECT_THROW(catalogueFileFromConnectionString("Provider=X;Mode=Read"), StoreError);
    EXPECT_THROW(catalogueFileFromConnectionString("Data Source="), StoreError);
}

} // namespace
} // namespace velk::store
