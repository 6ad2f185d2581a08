#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

namespace velk::test
{

/// The SoundFont the tests sound with, so that every machine renders alike.
inline constexpr const char* kTimGM6mb = "/usr/share/sounds/sf2/TimGM6mb.sf2";

/// A test that sounds with TimGM6mb (named by VELK_SOUNDFONT while it runs); skipped where the package
/// timgm6mb-soundfont is not installed.
class TimGM6mbTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        if (!std::filesystem::exists(kTimGM6mb)) {
            GTEST_SKIP() << kTimGM6mb << " is not installed (package timgm6mb-soundfont)";
        }
        setenv("VELK_SOUNDFONT", kTimGM6mb, 1);
    }
    void TearDown() override
    {
        unsetenv("VELK_SOUNDFONT");
    }
};

} // namespace velk::test
