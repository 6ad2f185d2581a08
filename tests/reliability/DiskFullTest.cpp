// A full disk: every write past a byte budget fails as a full disk does. Saves of movements and sequences then
// report the failure, keep the user's edits, leave the file sound with the old state, and go through once there
// is room again.
//
// The budget is kept by a file system layer registered as SQLite's default for the test, so the store's own
// connections write through it.

#include "melody/MelodyIndex.h"
#include "movement/MovementController.h"
#include "store/Connection.h"
#include "tabulations/Tabulation.h"
#include "tests/movement/FakeMovementView.h"
#include "tests/support/TempCatalogue.h"
#include "tools/CatalogueCheck.h"

#include <gtest/gtest.h>

#include <sqlite3.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

using namespace velk;
using movement::Button;
using movement::MovementController;
using movement::RichBox;

namespace
{

// ---------------------------------------------------------------------------------------------------------
// The full-disk layer: forwards everything to the default file system and refuses writes past the budget.

std::int64_t g_bytesLeft = -1; // -1: no limit
int g_refusedWrites = 0;
sqlite3_vfs* g_real = nullptr;

struct LimitedFile
{
    sqlite3_file base;
    sqlite3_file* real; // follows this struct in the same allocation
};

sqlite3_file* realFile(sqlite3_file* file)
{
    return reinterpret_cast<LimitedFile*>(file)->real;
}

int limitedWrite(sqlite3_file* file, const void* data, int amount, sqlite3_int64 offset)
{
    if (g_bytesLeft >= 0) {
        if (amount > g_bytesLeft) {
            g_bytesLeft = 0;
            ++g_refusedWrites;
            return SQLITE_FULL;
        }
        g_bytesLeft -= amount;
    }
    return realFile(file)->pMethods->xWrite(realFile(file), data, amount, offset);
}

int limitedClose(sqlite3_file* file)
{
    const int code = realFile(file)->pMethods ? realFile(file)->pMethods->xClose(realFile(file)) : SQLITE_OK;
    file->pMethods = nullptr;
    return code;
}

// Every other method goes straight to the real file.
#define VELK_FORWARD(name, signature, ...)                                                                             \
    int name signature                                                                                                 \
    {                                                                                                                  \
        return realFile(file)->pMethods->name(realFile(file) __VA_OPT__(, ) __VA_ARGS__);                              \
    }
VELK_FORWARD(xRead, (sqlite3_file * file, void* data, int amount, sqlite3_int64 offset), data, amount, offset)
VELK_FORWARD(xTruncate, (sqlite3_file * file, sqlite3_int64 size), size)
VELK_FORWARD(xSync, (sqlite3_file * file, int flags), flags)
VELK_FORWARD(xFileSize, (sqlite3_file * file, sqlite3_int64* size), size)
VELK_FORWARD(xLock, (sqlite3_file * file, int level), level)
VELK_FORWARD(xUnlock, (sqlite3_file * file, int level), level)
VELK_FORWARD(xCheckReservedLock, (sqlite3_file * file, int* out), out)
VELK_FORWARD(xFileControl, (sqlite3_file * file, int op, void* arg), op, arg)
VELK_FORWARD(xSectorSize, (sqlite3_file * file))
VELK_FORWARD(xDeviceCharacteristics, (sqlite3_file * file))
VELK_FORWARD(
    xShmMap, (sqlite3_file * file, int region, int size, int extend, void volatile** out), region, size, extend, out)
VELK_FORWARD(xShmLock, (sqlite3_file * file, int offset, int n, int flags), offset, n, flags)
VELK_FORWARD(xShmUnmap, (sqlite3_file * file, int deleteFlag), deleteFlag)
VELK_FORWARD(xFetch, (sqlite3_file * file, sqlite3_int64 offset, int amount, void** out), offset, amount, out)
VELK_FORWARD(xUnfetch, (sqlite3_file * file, sqlite3_int64 offset, void* page), offset, page)
#undef VELK_FORWARD

void xShmBarrier(sqlite3_file* file)
{
    realFile(file)->pMethods->xShmBarrier(realFile(file));
}

sqlite3_io_methods g_methods {};

int limitedOpen(sqlite3_vfs*, const char* name, sqlite3_file* file, int flags, int* outFlags)
{
    auto* limited = reinterpret_cast<LimitedFile*>(file);
    limited->real = reinterpret_cast<sqlite3_file*>(limited + 1);
    std::memset(limited->real, 0, static_cast<std::size_t>(g_real->szOsFile));
    file->pMethods = nullptr;
    const int code = g_real->xOpen(g_real, name, limited->real, flags, outFlags);
    if (limited->real->pMethods == nullptr) {
        return code;
    }
    g_methods.iVersion = limited->real->pMethods->iVersion;
    file->pMethods = &g_methods;
    return code;
}

sqlite3_vfs g_limited {};

void registerLimitedVfs()
{
    if (g_real != nullptr) {
        return;
    }
    g_real = sqlite3_vfs_find(nullptr);
    g_methods = {1,
                 limitedClose,
                 xRead,
                 limitedWrite,
                 xTruncate,
                 xSync,
                 xFileSize,
                 xLock,
                 xUnlock,
                 xCheckReservedLock,
                 xFileControl,
                 xSectorSize,
                 xDeviceCharacteristics,
                 xShmMap,
                 xShmLock,
                 xShmBarrier,
                 xShmUnmap,
                 xFetch,
                 xUnfetch};
    g_limited = *g_real;
    g_limited.zName = "velk-limited";
    g_limited.szOsFile = static_cast<int>(sizeof(LimitedFile)) + g_real->szOsFile;
    g_limited.xOpen = limitedOpen;
    g_limited.pNext = nullptr;
}

// ---------------------------------------------------------------------------------------------------------

class DiskFull : public ::testing::Test
{
protected:
    test::TempCatalogue catalogue;
    test::FakeMovementView view;
    std::int64_t movementId = 0;

    void SetUp() override
    {
        registerLimitedVfs();
        ASSERT_EQ(sqlite3_vfs_register(&g_limited, 1), SQLITE_OK);
        ASSERT_STREQ(sqlite3_vfs_find(nullptr)->zName, "velk-limited");
        auto c = db();
        c.execute("insert into tblMovement (iKTN, iMvmt, iOrder, Sub1, Description) values (1, 1, 1, 'Old', "
                  "'{\\rtf1 old}')");
        movementId = c.lastInsertId();
        for (const char* spelling : {"c", "d", "e"}) {
            c.execute("insert into tblMovementPitchJoin (iMovementID, iPitchID) select ?, iPitchID from "
                      "tblPitchLookup where txtPitch = ?",
                      {store::Value(movementId), store::Value(std::string(spelling))});
        }
        tabulations::storeDeviation(c, movementId);
        melody::rebuildMelodyIndex(c);
    }

    void TearDown() override
    {
        g_bytesLeft = -1;
        sqlite3_vfs_unregister(&g_limited);
    }

    store::Connection db()
    {
        return store::Connection::open(catalogue.connectionString(), store::AccessMode::ReadWrite);
    }

    store::Value stored(const std::string& sql)
    {
        g_bytesLeft = -1;
        auto c = store::Connection::open(catalogue.connectionString(), store::AccessMode::ReadOnly);
        return c.query(sql).rows().at(0).at(0);
    }

    /// The one message a refused write gives: the disk is full, for the catalogue's file.
    ::testing::AssertionResult toldDiskFull() const
    {
        if (view.told.size() != 1) {
            return ::testing::AssertionFailure() << view.told.size() << " messages told";
        }
        const std::string& text = view.told[0].text;
        if (text.find("database or disk is full") == std::string::npos
            || text.find(catalogue.file()) == std::string::npos) {
            return ::testing::AssertionFailure() << "told: " << text;
        }
        return ::testing::AssertionSuccess();
    }

    void expectSound(const std::string& when)
    {
        g_bytesLeft = -1;
        const auto problems = tools::catalogueProblems(catalogue.file());
        EXPECT_TRUE(problems.empty()) << when << ": " << problems.front();
    }
};

TEST_F(DiskFull, AMovementSaveThatFindsNoRoomKeepsTheEditAndTheOldState)
{
    const std::string longText = "{\\rtf1 " + std::string(30000, 'n') + "}";
    int failures = 0;
    int changesLeftToUndo = 0;
    // Every budget from none to enough, so the failure comes at each write of the save in turn; each budget
    // starts a window afresh on the old state.
    for (std::int64_t budget = 0;; budget += 512) {
        const std::string when = "with room for " + std::to_string(budget) + " bytes";
        MovementController ctl(view, catalogue.connectionString());
        ASSERT_TRUE(ctl.Load().ok()) << when;
        const std::string subject = "New " + std::to_string(budget);
        ctl.ToolbarClick(Button::Edit);
        ctl.SetBoundText("Sub1", subject);
        view.edits[RichBox::Description] = longText;
        view.told.clear();
        g_bytesLeft = budget;
        const auto saved = ctl.records().SaveMovement();
        g_bytesLeft = -1;
        if (saved.ok()) {
            EXPECT_EQ(stored("select Sub1 from tblMovement").toText(), subject) << when;
            EXPECT_EQ(stored("select Description from tblMovement").toText(), longText) << when;
            expectSound(when);
            break;
        }
        ++failures;
        ASSERT_TRUE(toldDiskFull()) << when;
        EXPECT_TRUE(ctl.records().bMovementEditMode()) << when;
        EXPECT_EQ(ctl.records().BoundText("Sub1"), subject) << when;
        EXPECT_EQ(view.edits[RichBox::Description], longText) << "the typed description stays in its box";
        // A journal left behind: the change could not be undone at once, so the next reader undoes it.
        changesLeftToUndo += std::filesystem::exists(catalogue.file() + "-journal") ? 1 : 0;
        expectSound(when);
        EXPECT_EQ(stored("select Sub1 from tblMovement").toText(), "Old") << when;
        EXPECT_EQ(stored("select Description from tblMovement").toText(), "{\\rtf1 old}") << when;
        // With room again, the very same edit is saved; then the next budget starts from the old state.
        ASSERT_TRUE(ctl.records().SaveMovement().ok()) << when << ": " << view.told.back().text;
        EXPECT_EQ(stored("select Sub1 from tblMovement").toText(), subject) << when;
        auto c = db();
        c.execute("update tblMovement set Sub1 = 'Old', Description = '{\\rtf1 old}'");
        c.close();
        ASSERT_LT(budget, 1 << 20) << "the save never went through";
    }
    EXPECT_GT(failures, 10);
    EXPECT_GT(changesLeftToUndo, 0) << "no failure left a change for the next reader to undo";
    RecordProperty("movementSaveFailures", failures);
    std::printf("movement saves refused for want of room: %d (%d left to the next reader to undo)\n", failures,
                changesLeftToUndo);
}

TEST_F(DiskFull, ASequenceStoreThatFindsNoRoomKeepsThePitchesAndTheOldSequence)
{
    MovementController ctl(view, catalogue.connectionString());
    ASSERT_TRUE(ctl.Load().ok());
    ctl.TabClick(movement::kTabPitches);
    ctl.ToolbarClick(Button::New);
    for (int i = 0; i < 300; ++i) {
        ctl.PitchKeyPress(13, i % 2 == 0 ? "f*" : "B/");
    }
    ASSERT_EQ(ctl.pitches().pitchRows().size(), 303u);
    int failures = 0;
    for (std::int64_t budget = 0;; budget += 1024) {
        const std::string when = "with room for " + std::to_string(budget) + " bytes";
        view.told.clear();
        g_bytesLeft = budget;
        const auto saved = ctl.pitches().SavePitches();
        g_bytesLeft = -1;
        if (saved.ok()) {
            EXPECT_EQ(stored("select count(*) from tblMovementPitchJoin").toInt64(), 303) << when;
            expectSound(when);
            break;
        }
        ++failures;
        ASSERT_TRUE(toldDiskFull()) << when;
        EXPECT_TRUE(ctl.pitches().bPitchEditMode()) << when;
        EXPECT_TRUE(ctl.pitches().bPitchesDirty()) << when;
        EXPECT_EQ(ctl.pitches().pitchRows().size(), 303u) << when;
        expectSound(when);
        EXPECT_EQ(stored("select count(*) from tblMovementPitchJoin").toInt64(), 3) << when;
        ASSERT_LT(budget, 1 << 20) << "the store never went through";
    }
    EXPECT_GT(failures, 3);
    EXPECT_FALSE(ctl.pitches().bPitchesDirty());
    RecordProperty("sequenceStoreFailures", failures);
    std::printf("sequence stores refused for want of room: %d\n", failures);
}

TEST_F(DiskFull, AFullDiskOnTheTabulationsPageIsSaidOnTheStatusLine)
{
    // A figure that was never stored, for the tabulations page to store.
    db().execute("update tblMovement set Deviation = null");
    MovementController ctl(view, catalogue.connectionString());
    ASSERT_TRUE(ctl.Load().ok());
    g_bytesLeft = 0;
    ctl.TabClick(movement::kTabTabulations);
    g_bytesLeft = -1;
    EXPECT_EQ(view.total, "3");
    EXPECT_NE(view.status.find("could not be stored"), std::string::npos) << view.status;
    EXPECT_NE(view.status.find("full"), std::string::npos) << view.status;
    EXPECT_TRUE(view.told.empty());
    EXPECT_EQ(ctl.records().recordset()->editState(), store::EditState::None);
    EXPECT_TRUE(stored("select Deviation from tblMovement").isNull());
    // Sound but for the figure still to be stored.
    const auto problems = tools::catalogueProblems(catalogue.file());
    ASSERT_EQ(problems.size(), 1u);
    EXPECT_NE(problems[0].find("stores no deviation"), std::string::npos) << problems[0];
    // With room again, the next visit stores it.
    ctl.TabClick(movement::kTabMovementData);
    ctl.TabClick(movement::kTabTabulations);
    EXPECT_EQ(view.status, "");
    EXPECT_FALSE(stored("select Deviation from tblMovement").isNull());
}

} // namespace
