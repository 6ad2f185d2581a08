#include "tools/Demo.h"
#include "store/Connection.h"
#include "tabulations/Tabulation.h"
#include "tests/support/TempCatalogue.h"

#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>

namespace velk::tools
{
namespace
{

TEST(DemoCatalogue, IsPlausibleAndReproducible)
{
    test::TempCatalogue first;
    test::TempCatalogue second;
    for (const auto* catalogue : {&first, &second}) {
        store::Connection connection
            = store::Connection::open(catalogue->connectionString(), store::AccessMode::ReadWrite);
        writeDemoCatalogue(connection);
    }
    store::Connection a = store::Connection::open(first.connectionString(), store::AccessMode::ReadOnly);
    store::Connection b = store::Connection::open(second.connectionString(), store::AccessMode::ReadOnly);
    const std::string movements = "select * from tblMovement order by iMovementID";
    const std::string sequences = "select * from tblMovementPitchJoin order by iMovementPitchID";
    EXPECT_EQ(a.query(movements).rows(), b.query(movements).rows());
    EXPECT_EQ(a.query(sequences).rows(), b.query(sequences).rows());

    const store::ResultSet all = a.query(movements);
    EXPECT_GE(all.recordCount(), 25u);
    EXPECT_LE(all.recordCount(), 35u);
    std::set<std::int64_t> works;
    std::map<std::string, int> subjectUse;
    for (const auto& row : all.rows()) {
        works.insert(row[1].toInt64());
        for (std::size_t sub = 14; sub < 20; ++sub) {
            if (!row[sub].isNull()) {
                ++subjectUse[row[sub].toText()];
            }
        }
    }
    EXPECT_GE(works.size(), 5u);
    EXPECT_GE(subjectUse["Joy"], 2);
    EXPECT_GE(subjectUse["Night"], 2);

    // Every movement has a sequence of 10 to 200 positions and the deviation the tabulations page computes.
    for (const auto& row : all.rows()) {
        const tabulations::Tabulation tabulation = tabulations::tabulate(first.connectionString(), row[0].toInt64());
        EXPECT_GE(tabulation.total, 10);
        EXPECT_LE(tabulation.total, 200);
        EXPECT_EQ(row[22].toDouble(), std::stod(tabulation.deviationText)) << "movement " << row[0].toText();
        EXPECT_NE(tabulation.deviationText, "0");
    }
    const std::int64_t accented
        = a.query("select count(*) from tblMovement where Description like '%\\''fc%' or txtComments like '%\\''fc%'")
              .rows()[0][0]
              .toInt64();
    EXPECT_GT(accented, 0);
}

} // namespace
} // namespace velk::tools
