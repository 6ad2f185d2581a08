#include "legacy/StartupImport.h"
#include "tests/support/TempCatalogue.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace velk::legacy
{
namespace
{

namespace fs = std::filesystem;

void touch(const fs::path& file, fs::perms perms = fs::perms::owner_read | fs::perms::owner_write)
{
    std::ofstream(file) << "x";
    fs::permissions(file, perms);
}

struct FolderCase
{
    const char* name;
    std::vector<const char*> files; ///< made as small files; a name ending in / as a folder, in -> as a link
    bool offered;
};

class StartupImportFolders : public testing::TestWithParam<FolderCase>
{
};

TEST_P(StartupImportFolders, OffersOnlyAnOldFileWithoutANewOne)
{
    test::TempFolder folder;
    for (const std::string entry : GetParam().files) {
        if (entry.back() == '/') {
            fs::create_directory(folder.path() / entry.substr(0, entry.size() - 1));
        } else if (const auto arrow = entry.find("->"); arrow != std::string::npos) {
            fs::create_symlink(entry.substr(arrow + 2), folder.path() / entry.substr(0, arrow));
        } else {
            touch(folder.path() / entry);
        }
    }
    const auto offer = startupImport(folder.path());
    ASSERT_EQ(offer.has_value(), GetParam().offered);
    if (offer) {
        EXPECT_EQ(offer->oldFile, folder.path() / "Velk.mdb");
        EXPECT_EQ(offer->newFile, folder.path() / "Velk.db");
        EXPECT_NE(offer->question.find("Velk.mdb"), std::string::npos);
    }
}

INSTANTIATE_TEST_SUITE_P(Folders,
                         StartupImportFolders,
                         testing::Values(FolderCase {"OldOnly", {"Velk.mdb"}, true},
                                         FolderCase {"OldAndOthers", {"Velk.mdb", "Velk.ldb", "Other.db"}, true},
                                         FolderCase {"Empty", {}, false},
                                         FolderCase {"NewOnly", {"Velk.db"}, false},
                                         FolderCase {"Both", {"Velk.mdb", "Velk.db"}, false},
                                         FolderCase {"NewIsABrokenLink", {"Velk.mdb", "Velk.db->nowhere.db"}, false},
                                         FolderCase {"NewIsAFolder", {"Velk.mdb", "Velk.db/"}, false},
                                         FolderCase {"OldIsAFolder", {"Velk.mdb/"}, false},
                                         FolderCase {"OnlyANewerFormat", {"Velk.accdb"}, false}),
                         [](const testing::TestParamInfo<FolderCase>& info) { return info.param.name; });

struct EndCase
{
    const char* name;
    ImportEnd end;
    bool open;
    bool report;
    bool message;
};

class ImportFinishes : public testing::TestWithParam<EndCase>
{
};

TEST_P(ImportFinishes, OpenOnlyAFinishedImportAndSayWhyOtherwise)
{
    ImportResult result;
    result.end = GetParam().end;
    result.message = GetParam().end == ImportEnd::Finished ? "" : "what happened";
    result.report = "the report";
    const ImportFinish finish = importFinish(result);
    EXPECT_EQ(finish.openCatalogue, GetParam().open);
    EXPECT_EQ(finish.showReport, GetParam().report);
    EXPECT_EQ(finish.message, GetParam().message ? "what happened" : "");
}

INSTANTIATE_TEST_SUITE_P(Ends,
                         ImportFinishes,
                         testing::Values(EndCase {"Finished", ImportEnd::Finished, true, true, false},
                                         EndCase {"Failed", ImportEnd::Failed, false, false, true},
                                         EndCase {"Damaged", ImportEnd::Damaged, false, false, true},
                                         EndCase {"Cancelled", ImportEnd::Cancelled, false, false, false}),
                         [](const testing::TestParamInfo<EndCase>& info) { return info.param.name; });

TEST(FindImportProgram, BesideTheProgramFirstThenThePathSkippingWhatCannotRun)
{
    test::TempFolder folder;
    const fs::path app = folder.path() / "app";
    const fs::path plain = folder.path() / "plain";
    const fs::path onPath = folder.path() / "bin";
    for (const auto& dir : {app, plain, onPath}) {
        fs::create_directory(dir);
    }
    touch(plain / "velk-catalogue"); // not executable
    touch(onPath / "velk-catalogue", fs::perms::owner_all);
    const std::string path = "::" + plain.string() + ":" + onPath.string();

    EXPECT_EQ(findImportProgram(app, path.c_str()), (onPath / "velk-catalogue").string());
    EXPECT_EQ(findImportProgram(app, nullptr), "");
    EXPECT_EQ(findImportProgram(app, plain.c_str()), "");
    touch(app / "velk-catalogue", fs::perms::owner_all);
    EXPECT_EQ(findImportProgram(app, path.c_str()), (app / "velk-catalogue").string());
}

} // namespace
} // namespace velk::legacy
