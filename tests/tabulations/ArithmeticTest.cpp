#include "tabulations/Tabulation.h"

#include "store/Value.h"

#include <gtest/gtest.h>

#include <charconv>
#include <cmath>
#include <fstream>
#include <limits>
#include <optional>
#include <ostream>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

namespace velk::tabulations
{
namespace
{

struct RoundCase
{
    double value;
    int decimals;
    double expected;
};

void PrintTo(const RoundCase& c, std::ostream* os)
{
    *os << c.value << " to " << c.decimals;
}

class RoundHalfEven : public ::testing::TestWithParam<RoundCase>
{
};

TEST_P(RoundHalfEven, SendsExactHalvesToTheEvenNeighbour)
{
    const RoundCase& c = GetParam();
    EXPECT_EQ(roundHalfEven(c.value, c.decimals), c.expected);
}

INSTANTIATE_TEST_SUITE_P(Cases,
                         RoundHalfEven,
                         ::testing::Values(RoundCase {6.25, 1, 6.2},
                                           RoundCase {0.75, 1, 0.8},
                                           RoundCase {68.75, 1, 68.8},
                                           RoundCase {0.25, 1, 0.2},
                                           RoundCase {2.5, 0, 2},
                                           RoundCase {3.5, 0, 4},
                                           RoundCase {0.5, 0, 0},
                                           RoundCase {1.5, 0, 2},
                                           RoundCase {16.67, 0, 17},
                                           RoundCase {60.47, 0, 60},
                                           RoundCase {151.0 / 12.0, 1, 12.6},
                                           // Doubles just off a half follow their exact value, not the half.
                                           RoundCase {23.0 / 80.0 * 100.0, 1, 28.7},
                                           RoundCase {49.0 / 80.0 * 100.0, 1, 61.3},
                                           RoundCase {std::nextafter(2.5, 3.0), 0, 3},
                                           RoundCase {std::nextafter(3.5, 3.0), 0, 3},
                                           // 9.95 is stored just below 9.95, 99.95 just above.
                                           RoundCase {9.95, 1, 9.9},
                                           RoundCase {99.95, 1, 100},
                                           RoundCase {99.96, 1, 100},
                                           RoundCase {0.04, 1, 0},
                                           RoundCase {-6.25, 1, -6.2},
                                           RoundCase {-2.5, 0, -2},
                                           RoundCase {12.5, 0, 12},
                                           RoundCase {1.0 / 3.0, 2, 0.33},
                                           RoundCase {0, 1, 0}));

TEST(RoundHalfEvenEdges, LeavesNonFiniteValuesAndGivesNoNegativeZero)
{
    EXPECT_TRUE(std::isnan(roundHalfEven(std::numeric_limits<double>::quiet_NaN(), 1)));
    EXPECT_EQ(roundHalfEven(std::numeric_limits<double>::infinity(), 1), std::numeric_limits<double>::infinity());
    EXPECT_FALSE(std::signbit(roundHalfEven(-0.04, 1)));
    EXPECT_EQ(roundHalfEven(1e300, 1), 1e300);
}

struct PercentCase
{
    std::int64_t count;
    std::int64_t total;
    const char* text;
};

void PrintTo(const PercentCase& c, std::ostream* os)
{
    *os << c.count << " of " << c.total;
}

class Percentage : public ::testing::TestWithParam<PercentCase>
{
};

TEST_P(Percentage, IsRoundedToOneDecimalAndShownInShortestForm)
{
    const PercentCase& c = GetParam();
    EXPECT_EQ(store::formatNumber(percentage(c.count, c.total)), c.text) << c.count << " of " << c.total;
}

INSTANTIATE_TEST_SUITE_P(Cases,
                         Percentage,
                         ::testing::Values(PercentCase {1, 16, "6.2"},
                                           PercentCase {11, 16, "68.8"},
                                           PercentCase {4, 16, "25"},
                                           PercentCase {3, 16, "18.8"},
                                           PercentCase {5, 16, "31.2"},
                                           PercentCase {23, 80, "28.7"},
                                           PercentCase {49, 80, "61.3"},
                                           PercentCase {1, 12, "8.3"},
                                           PercentCase {16, 16, "100"},
                                           PercentCase {1, 3, "33.3"},
                                           PercentCase {2, 3, "66.7"},
                                           PercentCase {1, 32767, "0"},
                                           PercentCase {0, 5, "0"},
                                           PercentCase {3, 0, "0"}));

/// The shortest text that reads back as the same double.
std::string shortestText(double value)
{
    char buffer[32];
    const auto end = std::to_chars(buffer, buffer + sizeof buffer, value).ptr;
    return std::string(buffer, end);
}

// The README tells users how a percentage is rounded, with an example; the example must be what the arithmetic
// gives.
TEST(Percentage, TheReadmesExampleIsWhatTheArithmeticGives)
{
    std::ifstream file(std::string(VELK_SOURCE_DIR) + "/README.md");
    ASSERT_TRUE(file) << "README.md not found";
    std::stringstream text;
    text << file.rdbuf();
    std::string readme = std::regex_replace(text.str(), std::regex("\\s+"), " ");
    std::smatch example;
    ASSERT_TRUE(std::regex_search(
        readme, example, std::regex("23 of 80, 28\\.75 % on paper but ([0-9.]+) as a double, shows ([0-9.]+)")))
        << "the README gives no example of 23 of 80";
    EXPECT_EQ(example[1].str(), shortestText(23.0 / 80.0 * 100.0));
    EXPECT_EQ(example[2].str(), store::formatNumber(percentage(23, 80)));
    std::smatch half;
    ASSERT_TRUE(std::regex_search(readme, half, std::regex("1 of 16 \\(6\\.25 exactly\\) shows ([0-9.]+)")));
    EXPECT_EQ(half[1].str(), store::formatNumber(percentage(1, 16)));
    EXPECT_NE(readme.find("computed in double precision"), std::string::npos);
}

using Counts = std::vector<std::optional<std::int64_t>>;

/// n classes with no positions.
Counts emptyClasses(std::size_t n)
{
    return Counts(n, std::nullopt);
}

Counts concat(Counts a, const Counts& b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

TEST(AverageDeviation, WorkedExample)
{
    // 16 positions: 4, 1 and 11 in three classes, none in the nine others: 17 + 2 + 60 + 9 * 8 = 151.
    const float deviation = averageDeviation(concat({4, 1, 11}, emptyClasses(9)), 16);
    EXPECT_EQ(deviation, 12.6f);
    EXPECT_EQ(store::formatSingle(deviation), "12.6");
}

TEST(AverageDeviation, AllInOneClassRoundsEachTerm)
{
    // 92 + 11 * 8 = 180; the mean of the unrounded terms would be 15.28.
    EXPECT_EQ(averageDeviation(concat({16}, emptyClasses(11)), 16), 15.0f);
}

TEST(AverageDeviation, OneInEachClassIsAnEvenSpread)
{
    EXPECT_EQ(averageDeviation(Counts(12, 1), 12), 0.0f);
    EXPECT_EQ(store::formatSingle(averageDeviation(Counts(12, 1), 12)), "0");
}

TEST(AverageDeviation, HalvesOfTheAverageGoToEven)
{
    // Of 1000 positions, 83 make 8.3% (term 0.03, rounded 0); 113 make 11.3% (2.97 -> 3); 173 make 17.3% (8.97 -> 9).
    const Counts sumThree = concat({113}, Counts(11, 83));
    const Counts sumNine = concat({173}, Counts(11, 83));
    EXPECT_EQ(averageDeviation(sumThree, 1000), 0.2f);
    EXPECT_EQ(averageDeviation(sumNine, 1000), 0.8f);
}

TEST(AverageDeviation, DividesByTwelveWhateverTheNumberOfRows)
{
    // Three rows: 17 + 2 + 60 = 79, and 79 / 12 = 6.58.
    EXPECT_EQ(averageDeviation({4, 1, 11}, 16), 6.6f);
    // Thirteen empty rows: 13 * 8 = 104, and 104 / 12 = 8.67.
    EXPECT_EQ(averageDeviation(emptyClasses(13), 16), 8.7f);
}

TEST(AverageDeviation, NothingToTabulateIsZero)
{
    EXPECT_EQ(averageDeviation(emptyClasses(12), 0), 0.0f);
    EXPECT_EQ(averageDeviation({}, 0), 0.0f);
}

} // namespace
} // namespace velk::tabulations
