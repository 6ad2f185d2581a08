#include "store/Connection.h"
#include "store/ConnectionString.h"
#include "store/Schema.h"
#include "store/StoreError.h"
#include "tests/support/TempCatalogue.h"

#include <gtest/gtest.h>

#include <ostream>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <sstream>

namespace velk::store
{
namespace
{

namespace fs = std::filesystem;

std::string fileBytes(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void writeBytes(const fs::path& path, const std::string& bytes)
{
    std::ofstream out(path, std::ios::binary);
    out << bytes;
}

std::int64_t insertMovement(Connection& connection, int ktn)
{
    connection.execute("insert into tblMovement (iKTN, iMvmt, iOrder) values (?, 1, 1)", {Value(ktn)});
    return connection.lastInsertId();
}

std::vector<std::int64_t> sequenceOf(Connection& connection, std::int64_t movementId)
{
    std::vector<std::int64_t> pitches;
    connection.forEachRow("select iPitchID from tblMovementPitchJoin where iMovementID = ? order by iMovementPitchID",
                          {Value(movementId)},
                          [&](const std::vector<Value>& row) { pitches.push_back(row[0].toInt64()); });
    return pitches;
}

void storeSequence(Connection& connection, std::int64_t movementId, const std::vector<int>& pitches)
{
    Transaction transaction(connection);
    connection.execute("delete from tblMovementPitchJoin where iMovementID = ?", {Value(movementId)});
    for (int pitch : pitches) {
        connection.execute("insert into tblMovementPitchJoin (iMovementID, iPitchID) values (?, ?)",
                           {Value(movementId), Value(pitch)});
    }
    transaction.commit();
}

TEST(OpenCatalogue, MissingFileNamesFileAndFolderAndCreatesNothing)
{
    test::TempFolder folder;
    const fs::path file = folder.path() / "Velk.db";
    try {
        Connection::open(connectionStringForFile(file.string()), AccessMode::ReadWrite);
        FAIL() << "opened a missing file";
    } catch (const StoreError& error) {
        EXPECT_EQ(std::string(error.what()), "The catalogue Velk.db was not found in " + folder.path().string() + ".");
    }
    EXPECT_FALSE(fs::exists(file));
    EXPECT_TRUE(fs::is_empty(folder.path()));
    EXPECT_THROW(Connection::openRaw(file.string(), AccessMode::ReadOnly), StoreError);
    EXPECT_FALSE(fs::exists(file));
}

TEST(OpenCatalogue, TheProgramsConnectionStringLooksInTheWorkingDirectory)
{
    test::TempCatalogue catalogue;
    const fs::path previous = fs::current_path();
    fs::current_path(catalogue.folder());
    Connection connection = Connection::open(kConnectionString, AccessMode::ReadOnly);
    fs::current_path(previous);
    EXPECT_EQ(connection.path(), catalogue.file());
    EXPECT_EQ(connection.query("select count(*) from tblPitchLookup").rows()[0][0].toInt64(), 70);
}

struct ForeignFile
{
    const char* name;
    std::function<void(const fs::path&)> make;
    const char* reason;
};

void PrintTo(const ForeignFile& f, std::ostream* out)
{
    *out << f.name;
}

class NotACatalogueTest : public ::testing::TestWithParam<ForeignFile>
{
};

TEST_P(NotACatalogueTest, IsRefusedWithOneSentenceAndLeftUnchanged)
{
    test::TempFolder folder;
    const fs::path file = folder.path() / "Velk.db";
    GetParam().make(file);
    const std::string before = fileBytes(file);
    for (AccessMode mode : {AccessMode::ReadWrite, AccessMode::ReadOnly}) {
        try {
            Connection::open(connectionStringForFile(file.string()), mode);
            FAIL() << "opened " << GetParam().name;
        } catch (const StoreError& error) {
            const std::string message = error.what();
            EXPECT_EQ(message, file.string() + " is not a Velk catalogue: " + GetParam().reason);
            EXPECT_EQ(message.find('\n'), std::string::npos);
        }
    }
    EXPECT_EQ(fileBytes(file), before);
    EXPECT_EQ(std::distance(fs::directory_iterator(folder.path()), fs::directory_iterator()), 1);
}

INSTANTIATE_TEST_SUITE_P(
    Files,
    NotACatalogueTest,
    ::testing::Values(ForeignFile {"empty", [](const fs::path& f) { writeBytes(f, ""); }, "the file is empty."},
                      ForeignFile {"text", [](const fs::path& f) { writeBytes(f, std::string(4096, 'x')); },
                                   "file is not a database."},
                      ForeignFile {"short garbage", [](const fs::path& f) { writeBytes(f, "Velk movements\n"); },
                                   "file is not a database."},
                      ForeignFile {"other SQLite database",
                                   [](const fs::path& f) {
                                       Connection c = Connection::createFile(f.string());
                                       c.executeScript(
                                           "create table notes (x text); insert into notes values ('hello');");
                                   },
                                   "the file holds none of the catalogue tables."},
                      ForeignFile {"catalogue without a table",
                                   [](const fs::path& f) {
                                       Connection c = Connection::createFile(f.string());
                                       createSchema(c);
                                       c.executeScript("drop table tblMovementPitchJoin; drop table tblClassLookup;");
                                   },
                                   "the table tblMovementPitchJoin is missing (and 1 more problem)."},
                      ForeignFile {"catalogue of another program",
                                   [](const fs::path& f) {
                                       Connection c = Connection::createFile(f.string());
                                       createSchema(c);
                                       c.executeScript("PRAGMA application_id = 42;");
                                   },
                                   "the file's application id is 42 instead of 1447382091."},
                      ForeignFile {"catalogue without a column",
                                   [](const fs::path& f) {
                                       Connection c = Connection::createFile(f.string());
                                       createSchema(c);
                                       c.executeScript("alter table tblMovement drop column Deviation;");
                                   },
                                   "the table tblMovement has no column Deviation."}),
    [](const auto& info) {
        std::string name = info.param.name;
        for (char& c : name) {
            c = std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
        }
        return name;
    });

TEST(CreateFile, NeverReplacesAnExistingFile)
{
    test::TempFolder folder;
    const fs::path file = folder.path() / "Velk.db";
    writeBytes(file, "precious");
    EXPECT_THROW(Connection::createFile(file.string()), StoreError);
    EXPECT_EQ(fileBytes(file), "precious");
}

TEST(Schema, NewCatalogueIsSound)
{
    test::TempCatalogue catalogue;
    Connection connection = Connection::open(catalogue.connectionString(), AccessMode::ReadWrite);
    EXPECT_TRUE(schemaProblems(connection).empty());
    EXPECT_FALSE(connection.isReadOnly());
    EXPECT_EQ(connection.query("PRAGMA journal_mode").rows()[0][0].toText(), "delete");
    EXPECT_EQ(connection.query("PRAGMA foreign_keys").rows()[0][0].toInt64(), 1);
    EXPECT_EQ(connection.query("PRAGMA user_version").rows()[0][0].toInt64(), 1);
}

TEST(Schema, MovementColumnsComeInTheirFixedOrder)
{
    test::TempCatalogue catalogue;
    Connection connection = Connection::open(catalogue.connectionString(), AccessMode::ReadOnly);
    const ResultSet all = connection.query("select * from tblMovement");
    const std::vector<std::string> expected
        = {"iMovementID", "iKTN",           "iMvmt",         "iOrder",      "txtComposed", "iLength",
           "i12in",       "strOpeningKey",  "strClosingKey", "chkSoprano",  "chkAlto",     "chkTenor",
           "chkBass",     "chkAccompanied", "Sub1",          "Sub2",        "Sub3",        "Sub4",
           "Sub5",        "Sub6",           "Description",   "txtComments", "Deviation",   "iCapitalOctave"};
    EXPECT_EQ(all.columns(), expected);
    EXPECT_EQ(all.declaredTypes()[0], "INTEGER");
    EXPECT_EQ(all.declaredTypes()[4], "TEXT");
    EXPECT_EQ(all.declaredTypes()[22], "REAL");
}

class ReadOnlyTest : public ::testing::TestWithParam<bool>
{
};

TEST_P(ReadOnlyTest, CanBeReadAndRefusesWritesWithAMessage)
{
    const bool writeProtectFile = GetParam();
    test::TempCatalogue catalogue;
    {
        Connection c = Connection::open(catalogue.connectionString(), AccessMode::ReadWrite);
        insertMovement(c, 7);
    }
    if (writeProtectFile) {
        fs::permissions(catalogue.file(), fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    }
    const std::string before = fileBytes(catalogue.file());
    Connection connection = Connection::open(catalogue.connectionString(),
                                             writeProtectFile ? AccessMode::ReadWrite : AccessMode::ReadOnly);
    EXPECT_TRUE(connection.isReadOnly());
    EXPECT_EQ(connection.query("select iKTN from tblMovement").rows()[0][0].toInt64(), 7);
    try {
        insertMovement(connection, 8);
        FAIL() << "wrote to a read-only catalogue";
    } catch (const StoreError& error) {
        const std::string message = error.what();
        EXPECT_NE(message.find("read-only"), std::string::npos) << message;
        EXPECT_NE(message.find(catalogue.file()), std::string::npos) << message;
    }
    EXPECT_EQ(fileBytes(catalogue.file()), before);
}

INSTANTIATE_TEST_SUITE_P(Modes, ReadOnlyTest, ::testing::Values(false, true), [](const auto& info) {
    return info.param ? std::string("WriteProtectedFile") : std::string("ReadOnlyAccess");
});

class StatementTest : public ::testing::Test
{
protected:
    test::TempCatalogue m_catalogue;
    Connection m_connection = Connection::open(m_catalogue.connectionString(), AccessMode::ReadWrite);
};

TEST_F(StatementTest, DoubleQuotedTextIsAlwaysAName)
{
    insertMovement(m_connection, 1);
    EXPECT_EQ(m_connection.query("select \"iKTN\" from tblMovement").rows()[0][0].toInt64(), 1);
    EXPECT_THROW(m_connection.query("select * from tblMovement where txtComposed = \"iKTN\" or Sub1 = \"Joy\""),
                 StoreError);
    EXPECT_THROW(m_connection.execute("insert into tblMovement (Sub1) values (\"Joy\")"), StoreError);
    EXPECT_EQ(m_connection.query("select count(*) from tblMovement").rows()[0][0].toInt64(), 1);
}

TEST_F(StatementTest, BoundValuesKeepTheirKind)
{
    m_connection.execute("insert into tblMovement (iKTN, txtComposed, Deviation, Sub1) values (?, ?, ?, ?)",
                         {Value(std::int64_t {5000000000}), Value("TC \"1724\"; 'x'"), Value(12.6), Value()});
    ResultSet result = m_connection.query("select iKTN, txtComposed, Deviation, Sub1, chkSoprano from tblMovement");
    EXPECT_EQ(result.field("ikTN"), Value(std::int64_t {5000000000}));
    EXPECT_EQ(result.field("TXTCOMPOSED"), Value("TC \"1724\"; 'x'"));
    EXPECT_EQ(result.field("deviation"), Value(12.6));
    EXPECT_TRUE(result.field("Sub1").isNull());
    EXPECT_EQ(result.field("chkSoprano"), Value(0));
}

TEST_F(StatementTest, FailuresAreSentencesWithTheSqliteReason)
{
    try {
        m_connection.query("select nosuchcolumn from tblMovement");
        FAIL();
    } catch (const StoreError& error) {
        const std::string message = error.what();
        EXPECT_NE(message.find("no such column: nosuchcolumn"), std::string::npos) << message;
        EXPECT_EQ(message.back(), '.');
        EXPECT_NE(error.code(), 0);
    }
    try {
        m_connection.execute("insert into tblMovement (iKTN) values (?)", {Value("twelve")});
        FAIL();
    } catch (const StoreError& error) {
        const std::string message = error.what();
        EXPECT_NE(message.find(m_catalogue.file()), std::string::npos) << message;
        EXPECT_NE(message.find("cannot store TEXT value in INTEGER column"), std::string::npos) << message;
    }
    EXPECT_THROW(m_connection.execute("insert into tblMovement (iKTN) values (?)", {}), StoreError);
    EXPECT_THROW(m_connection.execute("insert into tblMovement (chkAlto) values (2)"), StoreError);
}

TEST_F(StatementTest, NoHalfReadStatementBlocksAnotherConnection)
{
    for (int i = 0; i < 3; ++i) {
        insertMovement(m_connection, i);
    }
    // A row callback may run the same statement again on the same connection.
    int inner = 0;
    m_connection.forEachRow("select iKTN from tblMovement", {}, [&](const std::vector<Value>&) {
        inner += static_cast<int>(m_connection.query("select iKTN from tblMovement").recordCount());
    });
    EXPECT_EQ(inner, 9);
    ResultSet held = m_connection.query("select * from tblMovement");
    Connection other = Connection::open(m_catalogue.connectionString(), AccessMode::ReadWrite);
    EXPECT_NO_THROW(insertMovement(other, 99));
    EXPECT_EQ(m_connection.query("select count(*) from tblMovement").rows()[0][0].toInt64(), 4);
}

TEST_F(StatementTest, IntegersAreEveryFieldRowAfterRowWithNullAsZero)
{
    insertMovement(m_connection, 7);
    m_connection.execute("insert into tblMovement (iKTN, iMvmt, iOrder) values (null, 2, 1)");
    EXPECT_EQ(
        m_connection.integers("select iKTN, iMvmt from tblMovement where iMvmt >= ? order by iMovementID", {Value(1)}),
        (std::vector<std::int64_t> {7, 1, 0, 2}));
    EXPECT_TRUE(m_connection.integers("select iKTN from tblMovement where iKTN > 100").empty());
    EXPECT_THROW(m_connection.integers("select iKTN from tblNowhere"), StoreError);
}

TEST_F(StatementTest, TransactionRollsBackUnlessCommitted)
{
    {
        Transaction transaction(m_connection);
        insertMovement(m_connection, 1);
    }
    EXPECT_EQ(m_connection.query("select count(*) from tblMovement").rows()[0][0].toInt64(), 0);
    {
        Transaction transaction(m_connection);
        insertMovement(m_connection, 1);
        transaction.commit();
    }
    EXPECT_EQ(m_connection.query("select count(*) from tblMovement").rows()[0][0].toInt64(), 1);
}

TEST_F(StatementTest, IdsAreNeverHandedOutTwice)
{
    insertMovement(m_connection, 1);
    const std::int64_t highest = insertMovement(m_connection, 2);
    storeSequence(m_connection, highest, {1, 2, 3});
    const std::int64_t highestPosition
        = m_connection.query("select max(iMovementPitchID) from tblMovementPitchJoin").rows()[0][0].toInt64();
    m_connection.execute("delete from tblMovement where iMovementID = ?", {Value(highest)});
    EXPECT_GT(insertMovement(m_connection, 3), highest);
    storeSequence(m_connection, 1, {4});
    EXPECT_GT(m_connection.query("select max(iMovementPitchID) from tblMovementPitchJoin").rows()[0][0].toInt64(),
              highestPosition);
}

TEST_F(StatementTest, ReStoredSequenceReadsBackInTheNewOrder)
{
    const std::int64_t movement = insertMovement(m_connection, 1);
    const std::int64_t neighbour = insertMovement(m_connection, 2);
    storeSequence(m_connection, movement, {10, 20, 30});
    storeSequence(m_connection, neighbour, {5});
    storeSequence(m_connection, movement, {30, 10, 20, 40});
    EXPECT_EQ(sequenceOf(m_connection, movement), (std::vector<std::int64_t> {30, 10, 20, 40}));
    EXPECT_EQ(sequenceOf(m_connection, neighbour), (std::vector<std::int64_t> {5}));
}

TEST_F(StatementTest, DeletedMovementTakesItsSequenceWithIt)
{
    const std::int64_t movement = insertMovement(m_connection, 1);
    const std::int64_t kept = insertMovement(m_connection, 2);
    storeSequence(m_connection, movement, {1, 2, 3});
    storeSequence(m_connection, kept, {4});
    m_connection.execute("delete from tblMovement where iMovementID = ?", {Value(movement)});
    EXPECT_TRUE(sequenceOf(m_connection, movement).empty());
    EXPECT_EQ(sequenceOf(m_connection, kept).size(), 1u);
    EXPECT_THROW(storeSequence(m_connection, movement, {1}), StoreError); // no sequence without its movement
    EXPECT_THROW(storeSequence(m_connection, kept, {999}), StoreError); // nor with an unknown pitch
    EXPECT_EQ(sequenceOf(m_connection, kept).size(), 1u);
}

TEST(ResultSet, EmptyIsAtBothEnds)
{
    ResultSet empty({"a"}, {"INTEGER"}, {});
    EXPECT_TRUE(empty.bof());
    EXPECT_TRUE(empty.eof());
    EXPECT_LT(empty.position(), 0);
    empty.moveFirst();
    empty.moveLast();
    EXPECT_TRUE(empty.bof() && empty.eof());
    EXPECT_THROW(empty.field("a"), StoreError);
}

TEST(ResultSet, MovesPastTheEndsAndBack)
{
    ResultSet rows({"Name"}, {"TEXT"}, {{Value("x")}, {Value("y")}});
    EXPECT_EQ(rows.position(), 1);
    EXPECT_EQ(rows.field("NAME"), Value("x"));
    rows.moveNext();
    EXPECT_EQ(rows.position(), 2);
    rows.moveNext();
    EXPECT_TRUE(rows.eof());
    EXPECT_FALSE(rows.bof());
    EXPECT_LT(rows.position(), 0);
    EXPECT_THROW(rows.field("name"), StoreError);
    rows.moveNext();
    rows.movePrevious();
    EXPECT_EQ(rows.field("name"), Value("y"));
    rows.moveFirst();
    rows.movePrevious();
    EXPECT_TRUE(rows.bof());
    rows.moveNext();
    EXPECT_EQ(rows.position(), 1);
    EXPECT_THROW(rows.field("other"), StoreError);
    EXPECT_EQ(rows.columnIndex("nAmE"), 0);
    EXPECT_EQ(rows.columnIndex("other"), -1);
}

} // namespace
} // namespace velk::store
