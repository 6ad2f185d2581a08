// velk-catalogue salvage and adopt, run as the user runs them.

#include "store/Connection.h"
#include "tests/support/TempCatalogue.h"
#include "tests/support/ToolRun.h"
#include "tools/Demo.h"

#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>

namespace velk::tools
{
namespace
{

namespace fs = std::filesystem;

using test::ToolRun;

using test::readFile;

std::int64_t count(const fs::path& file, const std::string& sql)
{
    store::Connection connection = store::Connection::open(file.string(), store::AccessMode::ReadOnly);
    return connection.query(sql).rows().at(0).at(0).toInt64();
}

class SalvageTest : public ::testing::Test
{
protected:
    ToolRun run(const std::vector<std::string>& args)
    {
        return test::runProgram(VELK_CATALOGUE_TOOL, args);
    }

    /// Overwrites the second leaf page of each table with garbage, as a failing disk would.
    void damage(const std::vector<std::string>& tables)
    {
        std::vector<std::int64_t> pages;
        std::int64_t pageSize = 0;
        {
            store::Connection connection = store::Connection::openRaw(broken.string(), store::AccessMode::ReadOnly);
            pageSize = connection.query("PRAGMA page_size").rows().at(0).at(0).toInt64();
            for (const auto& table : tables) {
                const auto leaves = connection.query(
                    "select pageno from dbstat where name = ? and pagetype = 'leaf' order by pageno", {table});
                ASSERT_GE(leaves.rows().size(), 2u) << table;
                pages.push_back(leaves.rows()[1][0].toInt64());
            }
        }
        std::fstream file(broken, std::ios::in | std::ios::out | std::ios::binary);
        for (const std::int64_t page : pages) {
            file.seekp((page - 1) * pageSize);
            file << std::string(static_cast<std::size_t>(pageSize), '\xde');
        }
    }

    test::TempFolder folder;
    fs::path broken = folder.path() / "Velk.db";
    fs::path salvaged = folder.path() / "Salvaged.db";
};

TEST_F(SalvageTest, ADamagedDemoCatalogueComesBackSoundWithWhatWasLostNamed)
{
    createDemoCatalogue(broken.string(), false);
    const std::int64_t movements = count(broken, "select count(*) from tblMovement");
    damage({"tblMovement", "tblMovementPitchJoin"});
    ASSERT_NE(run({"check", broken.string()}).exitCode, 0);
    const std::string damaged = readFile(broken);

    const ToolRun salvage = run({"salvage", broken.string(), salvaged.string()});
    EXPECT_EQ(salvage.exitCode, 0) << salvage.out << salvage.err;
    EXPECT_NE(salvage.out.find("tblMovement\t" + std::to_string(movements) + "\t"), std::string::npos) << salvage.out;
    EXPECT_NE(salvage.out.find("lost: the movement KTN "), std::string::npos) << salvage.out;
    // Shortened sequences give other figures than the ones stored with their movements.
    EXPECT_NE(salvage.out.find("recomputed: the deviation of "), std::string::npos) << salvage.out;
    EXPECT_NE(salvage.out.find(salvaged.string() + ": sound\n"), std::string::npos) << salvage.out;
    EXPECT_EQ(readFile(broken), damaged) << "the damaged file was written";

    const ToolRun check = run({"check", salvaged.string()});
    EXPECT_EQ(check.exitCode, 0) << check.out << check.err;
    const std::int64_t back = count(salvaged, "select count(*) from tblMovement");
    EXPECT_GT(back, 0);
    EXPECT_LT(back, movements);
    // The list of subjects in use is derived again from what came back, triggers and all (check found it in step).
    EXPECT_EQ(count(salvaged, "select count(*) from sqlite_master where name like 'trgSubjectUse%'"), 3);
    EXPECT_EQ(std::distance(fs::directory_iterator(folder.path()), fs::directory_iterator()), 2)
        << "only the damaged file and the salvaged one";
}

TEST_F(SalvageTest, AnUnfinishedChangeIsUndoneInTheCopyNotInTheOriginal)
{
    createDemoCatalogue(broken.string(), false);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        // A change that spills into the file, then an end without commit or rollback, as if killed.
        store::Connection connection = store::Connection::openRaw(broken.string(), store::AccessMode::ReadWrite);
        connection.executeScript("PRAGMA cache_size = 2; BEGIN; UPDATE tblMovement SET Sub1 = 'unfinished', "
                                 "Description = printf('%.*c', 5000, 'x');");
        ::_exit(0);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    const fs::path journal = broken.string() + "-journal";
    ASSERT_TRUE(fs::exists(journal));
    const std::string file = readFile(broken);
    const std::string journalBytes = readFile(journal);

    const ToolRun salvage = run({"salvage", broken.string(), salvaged.string()});
    EXPECT_EQ(salvage.exitCode, 0) << salvage.out << salvage.err;
    EXPECT_EQ(readFile(broken), file);
    EXPECT_EQ(readFile(journal), journalBytes) << "the original's journal must stay for its own reader";
    EXPECT_EQ(count(salvaged, "select count(*) from tblMovement where Sub1 = 'unfinished'"), 0);
    EXPECT_EQ(count(salvaged, "select count(*) from tblMovement where length(Description) = 5000"), 0);
    EXPECT_EQ(run({"check", salvaged.string()}).exitCode, 0);
}

struct Refusal
{
    const char* name;
    std::vector<std::string> args; ///< "BROKEN" and "NEW" stand for the test's files
    int exitCode;
    const char* said;
};

void PrintTo(const Refusal& refusal, std::ostream* out)
{
    *out << refusal.name;
}

class SalvageRefusals : public SalvageTest, public ::testing::WithParamInterface<Refusal>
{
};

TEST_P(SalvageRefusals, LeaveEveryFileAsItWas)
{
    createDemoCatalogue(broken.string(), false);
    std::ofstream(salvaged) << "precious";
    std::vector<std::string> args = GetParam().args;
    for (auto& arg : args) {
        arg = arg == "BROKEN" ? broken.string() : arg == "NEW" ? salvaged.string() : arg;
    }
    const std::string before = readFile(broken);
    const ToolRun refused = run(args);
    EXPECT_EQ(refused.exitCode, GetParam().exitCode) << refused.out << refused.err;
    EXPECT_NE(refused.err.find(GetParam().said), std::string::npos) << refused.err;
    EXPECT_EQ(readFile(broken), before);
    EXPECT_EQ(readFile(salvaged), "precious");
    EXPECT_EQ(std::distance(fs::directory_iterator(folder.path()), fs::directory_iterator()), 2);
}

INSTANTIATE_TEST_SUITE_P(
    Arguments,
    SalvageRefusals,
    ::testing::Values(Refusal {"existing new file", {"salvage", "BROKEN", "NEW"}, 1, "already exists"},
                      Refusal {"missing damaged file", {"salvage", "missing.db", "other.db"}, 1, "was not found"},
                      Refusal {"one file", {"salvage", "BROKEN"}, 2, "missing argument"},
                      Refusal {"empty name", {"salvage", "BROKEN", ""}, 2, "the file name is empty"}),
    [](const auto& info) {
        std::string name = info.param.name;
        for (char& c : name) {
            c = c == ' ' ? '_' : c;
        }
        return name;
    });

struct Adoption
{
    const char* name;
    const char* script; ///< run on a new catalogue before adopt
    int exitCode;
    const char* said;
    std::int64_t applicationIdAfter;
};

void PrintTo(const Adoption& adoption, std::ostream* out)
{
    *out << adoption.name;
}

class Adopt : public SalvageTest, public ::testing::WithParamInterface<Adoption>
{
};

TEST_P(Adopt, MarksOnlyASoundCompleteCatalogue)
{
    ASSERT_EQ(run({"new", broken.string()}).exitCode, 0);
    {
        store::Connection connection = store::Connection::openRaw(broken.string(), store::AccessMode::ReadWrite);
        connection.executeScript(std::string("PRAGMA foreign_keys = OFF; ") + GetParam().script);
    }
    const ToolRun adopted = run({"adopt", broken.string()});
    EXPECT_EQ(adopted.exitCode, GetParam().exitCode) << adopted.out << adopted.err;
    EXPECT_NE((adopted.out + adopted.err).find(GetParam().said), std::string::npos) << adopted.out << adopted.err;
    store::Connection connection = store::Connection::openRaw(broken.string(), store::AccessMode::ReadOnly);
    EXPECT_EQ(connection.query("PRAGMA application_id").rows().at(0).at(0).toInt64(), GetParam().applicationIdAfter);
}

INSTANTIATE_TEST_SUITE_P(
    Files,
    Adopt,
    ::testing::Values(
        Adoption {"unmarked", "PRAGMA application_id = 0;", 0, "now marked as a Velk catalogue", 0x56454C4B},
        Adoption {"marked already", "", 0, "already a Velk catalogue", 0x56454C4B},
        Adoption {"unmarked with a problem",
                  "PRAGMA application_id = 0; insert into tblMovementPitchJoin (iMovementID, iPitchID) values (9, 3);",
                  1, "not adopted", 0},
        Adoption {"unmarked without a column",
                  "PRAGMA application_id = 0; drop index idxMovementSub4; drop trigger trgSubjectUseInsert; "
                  "drop trigger trgSubjectUseUpdate; drop trigger trgSubjectUseDelete; "
                  "alter table tblMovement drop column Sub4;",
                  1, "has no column Sub4", 0},
        Adoption {"another program's", "PRAGMA application_id = 7;", 1, "application id is 7", 7}),
    [](const auto& info) {
        std::string name = info.param.name;
        for (char& c : name) {
            c = c == ' ' || c == '\'' ? '_' : c;
        }
        return name;
    });

} // namespace
} // namespace velk::tools
