#pragma once

#include <QDialog>

#include <optional>
#include <string>
#include <utility>
#include <vector>

class QTableWidget;

namespace velk::pitches
{

/// Where a spelling sits in the pitch chart (both 0-based).
struct PitchChartCell
{
    int row; ///< 0..6 the lower register C D E F G A B, 7..13 the upper register c d e f g a b
    int column; ///< 0 "//", 1 "/", 2 no mark (natural), 3 "*", 4 "**"
    bool operator==(const PitchChartCell&) const = default;
};

/// Number of rows and columns of the pitch chart.
inline constexpr int kPitchChartRows = 14;
inline constexpr int kPitchChartColumns = 5;

/// The chart cell of a spelling: one note letter (A-G or a-g) followed by nothing, "*", "**", "/" or "//".
/// Anything else (an empty text, another letter, another mark, blanks) has no cell.
std::optional<PitchChartCell> pitchChartCell(const std::string& spelling);

/**
 * A chart of the pitch spellings and their glyphs, so that a user can look up how to type a pitch. The cells are
 * laid out by note letter (rows) and accidental (columns); each shows the glyph in the pitch font with its
 * spelling beside it. Spellings without a cell, and a second spelling for a cell already taken, are listed in a
 * second table under the chart in the order given; that table is hidden when there are none. objectName
 * "dlgPitchChart", title "Pitch Spellings"; the chart is "tblPitchChart", the list "tblOtherSpellings". Texts are
 * shown as plain text.
 */
class PitchChartDialog : public QDialog
{
    Q_OBJECT

public:
    /// (spelling, glyph) pairs, UTF-8, in any order (the pitch lookup table's order is the natural one).
    using Pitches = std::vector<std::pair<std::string, std::string>>;

    explicit PitchChartDialog(const Pitches& pitches, QWidget* parent = nullptr);
    ~PitchChartDialog() override;

private:
    void setupUi();
    void fill(const Pitches& pitches);
    void addOtherSpelling(const std::string& spelling, const std::string& glyph);

    QTableWidget* m_chart = nullptr;
    QTableWidget* m_others = nullptr;
    QWidget* m_othersCaption = nullptr;
};

} // namespace velk::pitches
