#include "legacy/ImportProcess.h"
#include "tests/support/TempCatalogue.h"
#include "tools/CatalogueCheck.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iostream>
#include <iterator>
#include <random>

namespace velk::legacy
{
namespace
{

namespace fs = std::filesystem;

constexpr std::size_t kPage = 4096;
// Jet 4 data pages: the type at 0, the owning table's definition page at 4, the row count at 12, then the row
// offsets. Page 2 is the definition of the system catalogue.
constexpr unsigned char kDataPage = 0x01;
constexpr unsigned char kDefinitionPage = 0x02;
constexpr std::uint32_t kCatalogueDefinition = 2;

// AddressSanitizer reserves terabytes of address space for itself, so its builds run the child without that limit.
#if defined(__SANITIZE_ADDRESS__)
constexpr bool kSanitized = true;
#else
constexpr bool kSanitized = false;
#endif
const ImportLimits kLimits {std::chrono::seconds(20), kSanitized ? 0 : std::size_t {1} << 30};
constexpr std::size_t kMegabyte = std::size_t {1} << 20;

std::string fixture(const std::string& name)
{
    return std::string(VELK_LEGACY_DATA) + "/" + name;
}

std::string readFile(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::uint32_t owner(const std::string& bytes, std::size_t page)
{
    std::uint32_t value = 0;
    for (int i = 3; i >= 0; --i) {
        value = value << 8 | static_cast<unsigned char>(bytes[page * kPage + 4 + static_cast<std::size_t>(i)]);
    }
    return value;
}

bool isUserDataPage(const std::string& bytes, std::size_t page)
{
    return static_cast<unsigned char>(bytes[page * kPage]) == kDataPage
        && bytes.compare(page * kPage + 4, 4, "LVAL") != 0 && owner(bytes, page) != kCatalogueDefinition;
}

/// Calls damage(bytes, page) for every page of the file.
using PageDamage = std::function<void(std::string&, std::size_t)>;

struct Damage
{
    const char* name;
    std::function<void(std::string&)> apply;
};

std::function<void(std::string&)> eachPage(PageDamage damage)
{
    return [damage](std::string& bytes) {
        for (std::size_t page = 1; page < bytes.size() / kPage; ++page) {
            damage(bytes, page);
        }
    };
}

const std::vector<Damage>& damages()
{
    static const std::vector<Damage> list = {
        {"TruncatedToTwoPages",
         [](std::string& bytes) {
             bytes.resize(2 * kPage);
         }},
        {"TruncatedToHalf",
         [](std::string& bytes) {
             bytes.resize(bytes.size() / 2);
         }},
        {"TruncatedAtAPageBoundary",
         [](std::string& bytes) {
             bytes.resize(bytes.size() / 2 / kPage * kPage);
         }},
        {"LastPagesCut",
         [](std::string& bytes) {
             bytes.resize(bytes.size() - 8 * kPage);
         }},
        {"TruncatedInTheLastPage",
         [](std::string& bytes) {
             bytes.resize(bytes.size() - kPage / 2);
         }},
        {"RowOffsetsOverwritten", eachPage([](std::string& bytes, std::size_t page) {
             if (isUserDataPage(bytes, page)) {
                 std::fill_n(bytes.begin() + static_cast<std::ptrdiff_t>(page * kPage + 14), 64, '\xFF');
             }
         })},
        {"RowsOverwrittenAtRandom", eachPage([](std::string& bytes, std::size_t page) {
             static std::mt19937 random(18);
             if (isUserDataPage(bytes, page)) {
                 for (int i = 0; i < 48; ++i) {
                     bytes[page * kPage + 64 + random() % (kPage - 64)] = static_cast<char>(random());
                 }
             }
         })},
        {"TableDefinitionsOverwritten", eachPage([](std::string& bytes, std::size_t page) {
             if (static_cast<unsigned char>(bytes[page * kPage]) == kDefinitionPage && page != kCatalogueDefinition) {
                 std::fill_n(bytes.begin() + static_cast<std::ptrdiff_t>(page * kPage + 8), 56, '\x7F');
             }
         })},
        {"MemoPagesZeroed", eachPage([](std::string& bytes, std::size_t page) {
             if (bytes.compare(page * kPage + 4, 4, "LVAL") == 0) {
                 std::fill_n(bytes.begin() + static_cast<std::ptrdiff_t>(page * kPage + 8), kPage - 8, '\0');
             }
         })},
        {"CatalogueOverwritten", eachPage([](std::string& bytes, std::size_t page) {
             if (static_cast<unsigned char>(bytes[page * kPage]) == kDataPage
                 && owner(bytes, page) == kCatalogueDefinition) {
                 std::fill_n(bytes.begin() + static_cast<std::ptrdiff_t>(page * kPage + 14), 200, '\x55');
             }
         })},
    };
    return list;
}

class DamagedFile : public ::testing::TestWithParam<Damage>
{
};

// Each damaged variant of the realistic catalogue ends, under the limits, with a one-line message and nothing
// written beside the old file.
TEST_P(DamagedFile, EndsWithAMessageAndLeavesNothingBehind)
{
    test::TempFolder folder;
    const auto old = folder.path() / "Velk.mdb";
    std::string bytes = readFile(fixture("Velk.mdb"));
    GetParam().apply(bytes);
    std::ofstream(old, std::ios::binary) << bytes;
    const auto target = folder.path() / "Velk.db";

    const ImportResult result = runImport(VELK_CATALOGUE_EXE, old.string(), target.string(), false, kLimits);
    const char* ends[] = {"finished", "failed", "damaged", "cancelled"};
    std::cout << "[ how it ended ] " << GetParam().name << ": " << ends[static_cast<int>(result.end)]
              << (result.signal ? " (signal " + std::to_string(result.signal) + ")" : std::string())
              << (result.timedOut ? " (wall clock)" : "") << ": "
              << (result.end == ImportEnd::Finished ? result.report.substr(0, result.report.find("Dropped"))
                                                    : result.message)
              << '\n';
    EXPECT_EQ(readFile(old), bytes);
    // Each of these loses rows or values; finishing would pass the loss off as a sound catalogue.
    ASSERT_NE(result.end, ImportEnd::Finished) << result.report;
    EXPECT_FALSE(result.message.empty());
    EXPECT_EQ(result.message.find('\n'), std::string::npos) << result.message;
    EXPECT_FALSE(fs::exists(target));
    EXPECT_EQ(std::distance(fs::directory_iterator(folder.path()), fs::directory_iterator()), 1);
}

INSTANTIATE_TEST_SUITE_P(Variants, DamagedFile, ::testing::ValuesIn(damages()), [](const auto& info) {
    return std::string(info.param.name);
});

// ---- The child's limits and cancelling -----------------------------------------------------------------------------

TEST(ImportLimit, WallClockEndsAsDamagedFile)
{
    test::TempFolder folder;
    const auto target = folder.path() / "Velk.db";
    const ImportResult result = runImport(VELK_CATALOGUE_EXE, fixture("Velk.mdb"), target.string(), false,
                                          {std::chrono::milliseconds(1), kLimits.addressSpace});
    EXPECT_EQ(result.end, ImportEnd::Damaged) << result.message;
    EXPECT_TRUE(result.timedOut);
    EXPECT_EQ(result.message.rfind("The old catalogue " + fixture("Velk.mdb")
                                       + " could not be read; the file is damaged (the reader was still busy after "
                                         "1 ms). Nothing was written.",
                                   0),
              0u)
        << result.message;
    EXPECT_TRUE(fs::is_empty(folder.path()));
}

// Under an address space just large enough to start the program, the import runs out of it: whether the program
// is told (std::bad_alloc) or the library falls over (a signal), the end is a damaged file and nothing is left.
TEST(ImportLimit, AddressSpaceEndsAsDamagedFile)
{
    if (kSanitized) {
        GTEST_SKIP() << "the sanitizer needs more address space than any limit allows";
    }
    test::TempFolder folder;
    const auto target = folder.path() / "Velk.db";
    std::size_t enough = 0;
    for (std::size_t megabytes = 4; megabytes <= 256 && enough == 0; ++megabytes) {
        const ImportResult started
            = runImport(VELK_CATALOGUE_EXE, (folder.path() / "none.mdb").string(), target.string(), false,
                        {std::chrono::seconds(20), megabytes * kMegabyte});
        if (started.end == ImportEnd::Failed && started.message.find("does not exist") != std::string::npos) {
            enough = megabytes * kMegabyte;
        }
    }
    ASSERT_GT(enough, 0u);
    const ImportResult result = runImport(VELK_CATALOGUE_EXE, fixture("Velk.mdb"), target.string(), false,
                                          {std::chrono::seconds(20), enough});
    EXPECT_EQ(result.end, ImportEnd::Damaged) << result.message;
    EXPECT_EQ(result.message.rfind(
                  "The old catalogue " + fixture("Velk.mdb") + " could not be read; the file is damaged (", 0),
              0u)
        << result.message;
    EXPECT_TRUE(fs::is_empty(folder.path()));
}

TEST(ImportProcess, ReportsProgressAndFinishes)
{
    test::TempFolder folder;
    const auto target = folder.path() / "Velk.db";
    std::vector<int> percents;
    std::vector<std::string> stages;
    const ImportResult result = runImport(VELK_CATALOGUE_EXE, fixture("Velk.mdb"), target.string(), false, kLimits,
                                          [&](int percent, const std::string& stage) {
                                              percents.push_back(percent);
                                              stages.push_back(stage);
                                          });
    ASSERT_EQ(result.end, ImportEnd::Finished) << result.message;
    EXPECT_TRUE(std::is_sorted(percents.begin(), percents.end()));
    EXPECT_EQ(percents.back(), 100);
    EXPECT_NE(std::find(stages.begin(), stages.end(), "reading tblMovementPitchJoin"), stages.end());
    EXPECT_NE(result.report.find("tblMovementPitchJoin      5582      5561"), std::string::npos) << result.report;
    EXPECT_TRUE(tools::catalogueProblems(target.string()).empty());
}

TEST(ImportProcess, ForeignFileFailsWithItsMessage)
{
    test::TempFolder folder;
    const auto target = folder.path() / "Velk.db";
    const ImportResult result
        = runImport(VELK_CATALOGUE_EXE, fixture("not-a-catalogue.mdb"), target.string(), false, kLimits);
    EXPECT_EQ(result.end, ImportEnd::Failed);
    EXPECT_EQ(result.message.rfind(fixture("not-a-catalogue.mdb") + " is not an old Velk catalogue: it has none", 0),
              0u)
        << result.message;
    EXPECT_TRUE(fs::is_empty(folder.path()));
}

// Cancelling while reading, and while the new file is being written: nothing is left, an existing catalogue stays.
TEST(ImportProcess, CancelLeavesNothingBehind)
{
    for (const bool whileWriting : {false, true}) {
        SCOPED_TRACE(whileWriting ? "while writing" : "while reading");
        test::TempFolder folder;
        const auto target = folder.path() / "Velk.db";
        std::ofstream(target) << "the catalogue in use";
        bool caughtWriting = false;
        for (int attempt = 0; attempt < 20 && !caughtWriting; ++attempt) {
            ImportProcess process(VELK_CATALOGUE_EXE, fixture("Velk.mdb"), target.string(), true, kLimits);
            const std::string building = buildingFile(target.string(), process.pid());
            while (process.poll(std::chrono::milliseconds(1), [&](int, const std::string& stage) {
                if (!whileWriting && stage.rfind("reading", 0) == 0) {
                    process.cancel();
                }
            })) {
                if (whileWriting && fs::exists(building)) {
                    caughtWriting = true;
                    process.cancel();
                }
            }
            if (!whileWriting) {
                caughtWriting = true;
            }
            if (process.result().end == ImportEnd::Finished) {
                continue; // it was quicker than the cancel; try again
            }
            EXPECT_EQ(process.result().end, ImportEnd::Cancelled);
            EXPECT_EQ(process.result().message, "The import was cancelled; nothing was written.");
            EXPECT_FALSE(fs::exists(building));
            EXPECT_FALSE(fs::exists(building + "-journal"));
            EXPECT_EQ(readFile(target), "the catalogue in use");
            EXPECT_EQ(std::distance(fs::directory_iterator(folder.path()), fs::directory_iterator()), 1);
        }
        EXPECT_TRUE(caughtWriting);
    }
}

} // namespace
} // namespace velk::legacy
