#pragma once

#include "movement/MovementRecords.h"
#include "movement/MovementView.h"
#include "tabulations/Tabulation.h"

#include <cstdint>
#include <optional>
#include <string>

namespace velk::movement
{

/// The tabulations page: the class and real-pitch counts of the current movement, the chart's percentages,
/// the total and the average deviation; opening the page stores a figure that differs from the stored one.
///
/// Catalogue errors (store::StoreError) of reading leave these calls; the window's entry points catch them.
class TabulationsPage
{
public:
    TabulationsPage(WindowView& window,
                    TabulationsPageView& view,
                    MovementRecords& records,
                    std::string connectionString);

    /// Shows the tabulations of a stored movement (or empty ones) and stores its deviation when it differs.
    void LoadTabulations(std::optional<std::int64_t> movementId);
    /// Shows the figures of a movement without storing anything; false when no stored movement is given.
    bool showTabulationsOf(std::optional<std::int64_t> movementId);
    /// No movement is shown: the deviation is that of no pitches.
    void clearDeviation();

    float sDeviation() const;

    /// What the page shows for a tabulation (empty rows and the given figures for an empty one).
    static TabulationsDisplay display(const tabulations::Tabulation& tabulation);

private:
    void storeDeviation();

    WindowView& m_window;
    TabulationsPageView& m_view;
    MovementRecords& m_records;
    std::string m_connectionString;
    float m_deviation = 0;
};

} // namespace velk::movement
