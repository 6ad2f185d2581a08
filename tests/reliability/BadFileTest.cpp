// Bad catalogue files: each is refused with one message naming the file and the problem, by the movement window
// and by `velk-catalogue check`, and nothing is written to it. A read-only catalogue can be browsed; a locked one
// makes saves wait and then fail with a message; a change left unfinished by a killed program is undone.

#include "movement/MovementController.h"
#include "store/Connection.h"
#include "store/ConnectionString.h"
#include "store/Schema.h"
#include "tests/movement/FakeMovementView.h"
#include "tests/reliability/ReliabilitySupport.h"
#include "tests/support/TempCatalogue.h"
#include "tests/support/ToolRun.h"
#include "tools/Demo.h"

#include <gtest/gtest.h>

#include <sqlite3.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cctype>
#include <filesystem>
#include <functional>
#include <ostream>
#include <stdexcept>
#include <string>

using namespace velk;
using movement::Button;
using movement::MovementController;

namespace
{

namespace fs = std::filesystem;

/// Changes every movement on a raw connection in a child process that then ends without finishing its
/// transaction: the file holds part of the change, and its journal the pages as they were.
void leaveUnfinishedChange(const fs::path& file)
{
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        sqlite3* db = nullptr;
        sqlite3_open_v2(file.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr);
        // A cache of two pages makes the change spill into the file itself, after its journal was synced.
        const int code = sqlite3_exec(db,
                                      "PRAGMA cache_size = 2; BEGIN; UPDATE tblMovement SET Sub1 = 'unfinished', "
                                      "Description = printf('%.*c', 5000, 'x');",
                                      nullptr, nullptr, nullptr);
        ::_exit(code == SQLITE_OK ? 0 : 1); // no commit, no rollback, no close: as if the program were killed
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    ASSERT_TRUE(fs::exists(file.string() + "-journal"));
}

/// Another process holding a write transaction open on the catalogue until the object goes.
class LockHolder
{
public:
    LockHolder(const fs::path& file, const std::string& begin)
    {
        int ready[2];
        int release[2];
        if (::pipe(ready) != 0 || ::pipe(release) != 0) {
            throw std::runtime_error("no pipe");
        }
        m_child = ::fork();
        if (m_child == 0) {
            ::close(ready[0]);
            ::close(release[1]);
            sqlite3* db = nullptr;
            sqlite3_open_v2(file.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr);
            const std::string script = begin + "; UPDATE tblMovement SET Sub1 = 'held';";
            const char state = sqlite3_exec(db, script.c_str(), nullptr, nullptr, nullptr) == SQLITE_OK ? 'R' : 'F';
            [[maybe_unused]] auto written = ::write(ready[1], &state, 1);
            char byte = 0;
            [[maybe_unused]] auto read = ::read(release[0], &byte, 1); // until the parent closes its end
            sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr);
            sqlite3_close(db);
            ::_exit(0);
        }
        ::close(ready[1]);
        ::close(release[0]);
        m_release = release[1];
        char state = 0;
        m_ok = ::read(ready[0], &state, 1) == 1 && state == 'R';
        ::close(ready[0]);
    }
    ~LockHolder()
    {
        ::close(m_release);
        int status = 0;
        ::waitpid(m_child, &status, 0);
    }
    LockHolder(const LockHolder&) = delete;
    LockHolder& operator=(const LockHolder&) = delete;
    bool ok() const
    {
        return m_ok;
    }

private:
    pid_t m_child = -1;
    int m_release = -1;
    bool m_ok = false;
};

struct BadFile
{
    const char* name;
    std::function<void(const fs::path&)> make;
    const char* problem; ///< part of the message of both the window and the check
    const char* advice; ///< part of the window's advice, which fits the problem
};

void PrintTo(const BadFile& f, std::ostream* out)
{
    *out << f.name;
}

void newCatalogue(const fs::path& file, const std::string& script)
{
    store::Connection c = store::Connection::createFile(file.string());
    store::createSchema(c);
    c.executeScript(script);
}

const BadFile kBadFiles[] = {
    {"missing", [](const fs::path&) {}, "was not found in",
     "Make a catalogue with \xE2\x80\x9Cvelk\xE2\x80\x91"
     "catalogue new Velk.db\xE2\x80\x9D"},
    {"missing, with an old catalogue to take over", [](const fs::path&) {}, "was not found in",
     "take an old catalogue over with \xE2\x80\x9Cvelk\xE2\x80\x91"
     "catalogue import Velk.mdb Velk.db\xE2\x80\x9D"},
    {"empty", [](const fs::path& f) { test::writeBytes(f, ""); }, "is not a Velk catalogue: the file is empty",
     "catalogue new --force Velk.db"},
    {"truncated",
     [](const fs::path& f) {
         tools::createDemoCatalogue(f.string(), false);
         fs::resize_file(f, fs::file_size(f) / 2);
     },
     "database disk image is malformed",
     "catalogue check Velk.db\xE2\x80\x9D says what is wrong; \xE2\x80\x9Cvelk\xE2\x80\x91"
     "catalogue salvage Velk.db Salvaged.db\xE2\x80\x9D"},
    {"text", [](const fs::path& f) { test::writeBytes(f, "KTN;Mvmt;Subject\n1;1;Joy\n"); },
     "is not a Velk catalogue: file is not a database", "Move it elsewhere"},
    {"foreign SQLite",
     [](const fs::path& f) {
         store::Connection c = store::Connection::createFile(f.string());
         c.executeScript("create table notes (x text); insert into notes values ('hello');");
     },
     "is not a Velk catalogue: the file holds none of the catalogue tables", "Move it elsewhere"},
    {"missing column",
     [](const fs::path& f) {
         newCatalogue(f,
                      "drop index idxMovementSub4; drop trigger trgSubjectUseInsert; drop trigger trgSubjectUseUpdate; "
                      "drop trigger trgSubjectUseDelete; alter table tblMovement drop column Sub4;");
     },
     "table tblMovement has no column Sub4", "catalogue salvage Velk.db Salvaged.db"},
    {"complete catalogue without the application id",
     [](const fs::path& f) { newCatalogue(f, "PRAGMA application_id = 0;"); }, "application id is 0 instead of",
     "catalogue adopt Velk.db\xE2\x80\x9D checks it and marks it"},
    {"unfinished change on a read-only file",
     [](const fs::path& f) {
         tools::createDemoCatalogue(f.string(), false);
         leaveUnfinishedChange(f);
         test::writeProtect(f);
     },
     "holds a change that a program left unfinished, and it cannot be undone because the file is read-only",
     "Make the file writable"},
};

class BadFiles : public ::testing::TestWithParam<BadFile>
{
protected:
    test::TempFolder folder;
    fs::path file = folder.path() / "Velk.db";
};

TEST_P(BadFiles, AreRefusedWithTheFileAndTheProblemAndLeftAsTheyWere)
{
    GetParam().make(file);
    const auto before = test::snapshot(folder.path());
    const std::string named = fs::exists(file) ? file.string() : std::string("Velk.db");

    test::FakeMovementView view;
    MovementController ctl(view, store::connectionStringForFile(file.string()));
    const auto loaded = ctl.Load();
    EXPECT_FALSE(loaded.ok());
    EXPECT_NE(loaded.message().find(named), std::string::npos) << loaded.message();
    EXPECT_NE(loaded.message().find(GetParam().problem), std::string::npos) << loaded.message();
    EXPECT_NE(loaded.message().find(GetParam().advice), std::string::npos) << loaded.message();
    // Advice that does not fit: new or demo refuse an existing file, and --force would throw away one that
    // may be salvaged.
    if (fs::exists(file) && fs::file_size(file) > 0) {
        EXPECT_EQ(loaded.message().find("--force"), std::string::npos) << loaded.message();
    }
    EXPECT_EQ(loaded.message().find("velk-catalogue"), std::string::npos) << "breakable at the hyphen";
    EXPECT_EQ(ctl.records().recordset(), nullptr);
    ctl.ToolbarClick(Button::Save); // the window's buttons do nothing without a catalogue
    ctl.TabClick(movement::kTabTabulations);
    EXPECT_TRUE(view.told.empty());

    const auto checked = test::runProgram(VELK_CATALOGUE_EXE, {"check", file.string()});
    EXPECT_EQ(checked.exitCode, 1) << checked.out << checked.err;
    EXPECT_EQ(checked.out.find("sound"), std::string::npos) << checked.out;
    const std::string said = checked.out + checked.err;
    EXPECT_NE(said.find(named), std::string::npos) << said;
    EXPECT_NE(said.find(GetParam().problem), std::string::npos) << said;

    EXPECT_TRUE(test::snapshot(folder.path()) == before) << "a file was written, made or removed";
}

INSTANTIATE_TEST_SUITE_P(Files, BadFiles, ::testing::ValuesIn(kBadFiles), [](const auto& info) {
    std::string name = info.param.name;
    for (char& c : name) {
        c = std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
    }
    return name;
});

/// A demo catalogue: movements with sequences, deviations and rich texts.
class DemoFile : public ::testing::Test
{
protected:
    test::TempFolder folder;
    fs::path file = folder.path() / "Velk.db";
    test::FakeMovementView view;

    void SetUp() override
    {
        tools::createDemoCatalogue(file.string(), false);
    }

    /// Makes the first movement's deviation one that was never stored, so the tabulations page has a figure to
    /// store (and the check has a stale figure to report).
    void forgetFirstDeviation()
    {
        store::Connection c
            = store::Connection::open(store::connectionStringForFile(file.string()), store::AccessMode::ReadWrite);
        c.execute("update tblMovement set Deviation = null where iMovementID = (select iMovementID from tblMovement "
                  "order by iKTN, iMvmt, iOrder limit 1)");
    }

    std::string connectionString() const
    {
        return store::connectionStringForFile(file.string());
    }
};

TEST_F(DemoFile, AReadOnlyCatalogueIsBrowsedAndEverySaveSaysWhyItFails)
{
    forgetFirstDeviation();
    test::writeProtect(file);
    const auto before = test::snapshot(folder.path());
    MovementController ctl(view, connectionString());
    ASSERT_TRUE(ctl.Load().ok());
    ASSERT_TRUE(ctl.records().recordset()->connection().isReadOnly());
    const auto firstId = ctl.records().iLastMovementID();
    ctl.ToolbarClick(Button::Next);
    ctl.ToolbarClick(Button::Last);
    ctl.ToolbarClick(Button::First);
    EXPECT_EQ(ctl.records().iLastMovementID(), firstId);
    EXPECT_FALSE(view.pitchGrid.empty());
    EXPECT_TRUE(view.told.empty());

    // The tabulations are shown, and the one line says the figure was not stored.
    ctl.TabClick(movement::kTabTabulations);
    EXPECT_NE(view.total, "0");
    EXPECT_FALSE(view.classRows.empty());
    EXPECT_NE(view.status.find("could not be stored"), std::string::npos) << view.status;
    EXPECT_NE(view.status.find("read-only"), std::string::npos) << view.status;
    EXPECT_TRUE(view.told.empty()) << "no message box for a figure that could not be stored";
    EXPECT_EQ(ctl.records().recordset()->editState(), store::EditState::None);
    ctl.TabClick(movement::kTabMovementData);

    // A movement save fails with the reason and keeps the edit.
    ctl.ToolbarClick(Button::Edit);
    ctl.SetBoundText("Sub1", "Kept");
    ctl.ToolbarClick(Button::Save);
    ASSERT_EQ(view.told.size(), 1u);
    EXPECT_NE(view.told[0].text.find("read-only"), std::string::npos) << view.told[0].text;
    EXPECT_NE(view.told[0].text.find(file.string()), std::string::npos) << view.told[0].text;
    EXPECT_TRUE(ctl.records().bMovementEditMode());
    EXPECT_EQ(ctl.records().BoundText("Sub1"), "Kept");
    view.answers = {true};
    ctl.ToolbarClick(Button::Undo);

    // A new movement too.
    ctl.ToolbarClick(Button::New);
    ctl.SetBoundText("iKTN", "999");
    ctl.ToolbarClick(Button::Save);
    ASSERT_EQ(view.told.size(), 2u);
    EXPECT_NE(view.told[1].text.find("read-only"), std::string::npos) << view.told[1].text;
    EXPECT_EQ(ctl.records().BoundText("iKTN"), "999");
    view.answers = {true};
    ctl.ToolbarClick(Button::Undo);

    // A delete says it did not happen, and the movement stays.
    const long count = ctl.records().recordset()->recordCount();
    view.answers = {true};
    ctl.ToolbarClick(Button::Delete);
    ASSERT_EQ(view.told.size(), 3u);
    EXPECT_NE(view.told[2].text.find("was not deleted"), std::string::npos) << view.told[2].text;
    EXPECT_EQ(ctl.records().recordset()->recordCount(), count);

    // Appended pitches are kept when they cannot be stored.
    ctl.TabClick(movement::kTabPitches);
    const auto pitchCount = ctl.pitches().pitchRows().size();
    ctl.ToolbarClick(Button::New);
    ctl.PitchKeyPress(13, "c");
    ctl.ToolbarClick(Button::Save);
    ASSERT_EQ(view.told.size(), 4u);
    EXPECT_NE(view.told[3].text.find("read-only"), std::string::npos) << view.told[3].text;
    EXPECT_EQ(ctl.pitches().pitchRows().size(), pitchCount + 1);
    EXPECT_TRUE(ctl.pitches().bPitchesDirty());

    // The check reads it, and finds the figure that could not be stored.
    const auto checked = test::runProgram(VELK_CATALOGUE_EXE, {"check", file.string()});
    EXPECT_EQ(checked.exitCode, 1) << checked.out << checked.err;
    EXPECT_NE(checked.out.find("stores no deviation"), std::string::npos) << checked.out;
    EXPECT_NE(checked.out.find(": 1 problem\n"), std::string::npos) << checked.out;
    EXPECT_TRUE(test::snapshot(folder.path()) == before) << "the read-only catalogue was written";
}

TEST_F(DemoFile, AChangeLeftUnfinishedByAKilledProgramIsUndoneByTheNextReader)
{
    const auto committed = test::fileBytes(file);
    leaveUnfinishedChange(file);
    ASSERT_NE(test::fileBytes(file), committed) << "the unfinished change did not reach the file";
    // The check opens the file read-only, yet finds the committed state and leaves no journal behind.
    const auto checked = test::runProgram(VELK_CATALOGUE_EXE, {"check", file.string()});
    EXPECT_EQ(checked.exitCode, 0) << checked.out << checked.err;
    EXPECT_EQ(checked.out, file.string() + ": sound\n");
    EXPECT_FALSE(fs::exists(file.string() + "-journal"));
    EXPECT_EQ(test::fileBytes(file), committed);
    const auto found = test::runProgram(VELK_CATALOGUE_EXE, {"search", file.string(), "unfinished"});
    EXPECT_EQ(found.exitCode, 0) << found.err;
    EXPECT_NE(found.out.find("No matches"), std::string::npos) << found.out;
}

TEST_F(DemoFile, AWriterInTheMiddleOfATransactionMakesSavesFailWithAMessage)
{
    const auto committed = test::fileBytes(file);
    MovementController ctl(view, connectionString());
    {
        LockHolder writer(file, "BEGIN IMMEDIATE");
        ASSERT_TRUE(writer.ok());
        // Reading goes on: the browse, the pitches, the check (which must not undo the other's transaction).
        const auto checked = test::runProgram(VELK_CATALOGUE_EXE, {"check", file.string()});
        EXPECT_EQ(checked.exitCode, 0) << checked.out << checked.err;
        ASSERT_TRUE(ctl.Load().ok());
        ctl.ToolbarClick(Button::Next);
        EXPECT_FALSE(view.pitchGrid.empty());

        ctl.ToolbarClick(Button::Edit);
        ctl.SetBoundText("Sub1", "Waiting");
        ctl.ToolbarClick(Button::Save); // waits for the busy timeout, then gives up
        ASSERT_EQ(view.told.size(), 1u);
        EXPECT_NE(view.told[0].text.find("locked"), std::string::npos) << view.told[0].text;
        EXPECT_NE(view.told[0].text.find(file.string()), std::string::npos) << view.told[0].text;
        EXPECT_TRUE(ctl.records().bMovementEditMode());
        EXPECT_EQ(test::fileBytes(file), committed);
    }
    // Once the other program is done, the same save goes through.
    ctl.ToolbarClick(Button::Save);
    EXPECT_EQ(view.told.size(), 1u);
    EXPECT_FALSE(ctl.records().bMovementEditMode());
    store::Connection c = store::Connection::open(connectionString(), store::AccessMode::ReadOnly);
    EXPECT_EQ(c.query("select count(*) from tblMovement where Sub1 = 'Waiting'").rows()[0][0].toInt64(), 1);
    EXPECT_EQ(c.query("select count(*) from tblMovement where Sub1 = 'held'").rows()[0][0].toInt64(), 0);
}

TEST_F(DemoFile, AnExclusiveLockIsAClearFailureToOpen)
{
    const auto before = test::snapshot(folder.path());
    LockHolder writer(file, "BEGIN EXCLUSIVE");
    ASSERT_TRUE(writer.ok());
    MovementController ctl(view, connectionString());
    const auto loaded = ctl.Load();
    EXPECT_FALSE(loaded.ok());
    EXPECT_NE(loaded.message().find(file.string()), std::string::npos) << loaded.message();
    EXPECT_NE(loaded.message().find("locked"), std::string::npos) << loaded.message();
    EXPECT_NE(loaded.message().find("Close that program"), std::string::npos) << loaded.message();
    EXPECT_EQ(loaded.message().find("catalogue new"), std::string::npos) << loaded.message();
    const auto checked = test::runProgram(VELK_CATALOGUE_EXE, {"check", file.string()});
    EXPECT_EQ(checked.exitCode, 1) << checked.out << checked.err;
    EXPECT_NE(checked.err.find(file.string()), std::string::npos) << checked.err;
    EXPECT_NE(checked.err.find("locked"), std::string::npos) << checked.err;
    EXPECT_EQ(test::fileBytes(file), before.files.at("Velk.db").bytes);
}

} // namespace
