#include "movement/KeyRepeat.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

namespace velk::test
{
namespace
{

using movement::KeyRepeat;

/// One report of the platform's: a press ('P', or 'R' for one the toolkit marks as a repeat) or a release ('U'),
/// at a time in milliseconds (0: none).
struct Report
{
    char kind;
    std::uint64_t time;
};

struct RepeatCase
{
    const char* name;
    std::vector<Report> reports;
    std::string repeats; ///< for each press in order, 'r' a repeat, 'p' a press
};

void PrintTo(const RepeatCase& c, std::ostream* out)
{
    *out << c.name;
}

class KeyRepeatTest : public ::testing::TestWithParam<RepeatCase>
{
};

TEST_P(KeyRepeatTest, TellsPressesFromRepeats)
{
    KeyRepeat key;
    std::string seen;
    for (const Report& report : GetParam().reports) {
        if (report.kind == 'U') {
            key.released(report.time);
        } else {
            seen += key.pressIsRepeat(report.kind == 'R', report.time) ? 'r' : 'p';
        }
    }
    EXPECT_EQ(seen, GetParam().repeats);
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(Reports, KeyRepeatTest, ::testing::Values(
    RepeatCase {"PressesInARow", {{'P', 100}, {'U', 180}, {'P', 300}, {'U', 350}, {'P', 360}, {'U', 400}}, "ppp"},
    RepeatCase {"HeldMarkedByTheToolkit",
                {{'P', 100}, {'U', 760}, {'R', 760}, {'U', 800}, {'R', 800}, {'U', 830}, {'P', 2000}}, "prrp"},
    // The X server's pairs, which the toolkit did not recognise.
    RepeatCase {"HeldAsReleaseAndPressAtOneInstant",
                {{'P', 100}, {'U', 760}, {'P', 760}, {'U', 800}, {'P', 800}, {'U', 830}, {'P', 900}}, "prrp"},
    // A client that asked for presses alone while the key is held.
    RepeatCase {"HeldAsPressesAlone", {{'P', 100}, {'P', 760}, {'P', 800}, {'U', 830}, {'P', 900}}, "prrp"},
    // The release went to another program: long after, a press is a press.
    RepeatCase {"AReleaseNeverSeen", {{'P', 100}, {'P', 5000}, {'U', 5100}}, "pp"},
    RepeatCase {"NoTimes", {{'P', 0}, {'U', 0}, {'P', 0}, {'P', 0}, {'U', 0}, {'P', 0}}, "pprp"}),
    [](const ::testing::TestParamInfo<RepeatCase>& info) { return std::string(info.param.name); });
// clang-format on

} // namespace
} // namespace velk::test
