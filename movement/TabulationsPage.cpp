#include "movement/TabulationsPage.h"

#include "store/StoreError.h"
#include "store/Value.h"

#include <utility>

namespace velk::movement
{

TabulationsPage::TabulationsPage(WindowView& window,
                                 TabulationsPageView& view,
                                 MovementRecords& records,
                                 std::string connectionString)
    : m_window(window)
    , m_view(view)
    , m_records(records)
    , m_connectionString(std::move(connectionString))
{
}

TabulationsDisplay TabulationsPage::display(const tabulations::Tabulation& tabulation)
{
    TabulationsDisplay shown;
    shown.classRows = tabulation.classRows;
    shown.realRows = tabulation.realRows;
    for (std::size_t i = 0; i < tabulation.classRows.size(); ++i) {
        const auto& count = i < tabulation.classCounts.size() ? tabulation.classCounts[i] : std::nullopt;
        shown.classBars.emplace_back(tabulation.classRows[i].glyph,
                                     count ? tabulations::percentage(*count, tabulation.total) : 0.0);
    }
    shown.total = std::to_string(tabulation.total);
    shown.average = store::formatSingle(tabulation.deviation);
    return shown;
}

void TabulationsPage::LoadTabulations(std::optional<std::int64_t> movementId)
{
    if (showTabulationsOf(movementId)) {
        storeDeviation();
    }
}

bool TabulationsPage::showTabulationsOf(std::optional<std::int64_t> movementId)
{
    if (!movementId || *movementId <= 0) {
        // No stored movement is current: there is nothing to tabulate and no row to store a figure in.
        m_deviation = 0;
        m_view.showTabulations({});
        return false;
    }
    const auto tabulation = tabulations::tabulate(m_connectionString, *movementId);
    if (tabulation.total < 1) {
        m_deviation = 0;
        m_view.showTabulations({{}, {}, {}, "0", "0"});
    } else {
        m_deviation = tabulation.deviation;
        m_view.showTabulations(display(tabulation));
    }
    return true;
}

void TabulationsPage::clearDeviation()
{
    m_deviation = 0;
}

void TabulationsPage::storeDeviation()
{
    auto& rs = *m_records.recordset();
    if (rs.position() < 1 || rs.editState() != store::EditState::None) {
        return;
    }
    const double value = tabulations::storedDeviation(m_deviation);
    const store::Value& stored = rs.field("Deviation");
    if (!stored.isNull() && stored.toDouble() == value) {
        return;
    }
    rs.setField("Deviation", store::Value(value));
    try {
        rs.updateBatch(store::Affect::Current);
        m_window.setStatus("");
    } catch (const store::StoreError& error) {
        // The figures stay on screen; the row keeps nothing pending.
        rs.cancelBatch();
        m_window.setStatus(std::string("The average deviation could not be stored: ") + error.what());
    }
}

float TabulationsPage::sDeviation() const
{
    return m_deviation;
}

} // namespace velk::movement
