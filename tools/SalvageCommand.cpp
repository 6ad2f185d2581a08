// velk-catalogue salvage: what SQLite can still read of a damaged catalogue, in a new one.

#include "tools/CatalogueCheck.h"
#include "tools/Commands.h"
#include "tools/Salvage.h"

#include "store/Text.h"

#include <iostream>

namespace velk::tools
{

namespace
{

std::string rowsText(const std::optional<std::int64_t>& rows)
{
    return rows ? std::to_string(*rows) : std::string("unreadable");
}

int runSalvage(const std::vector<std::string>& args)
{
    const Arguments arguments = parseArguments(args, {}, 2, 2);
    const std::string& broken = arguments.positional[0];
    const std::string& target = arguments.positional[1];
    requireFileName(broken);
    requireFileName(target);
    const SalvageReport report = salvageCatalogue(broken, target);
    const std::string shownTarget = store::shownText(target);
    std::cout << shownTarget << ": what could be read of " << store::shownText(broken) << " (with the sqlite3 shell's "
              << report.method << "; " << store::shownText(broken) << " was left as it is)\n";
    std::cout << "rows\tbefore\tafter\n";
    for (const TableRows& rows : report.tables) {
        std::cout << rows.table << '\t' << rowsText(rows.before) << '\t' << rowsText(rows.after)
                  << (rows.table == "tblMelodyIndex" ? "\t(rebuilt from the sequences)" : "") << '\n';
    }
    for (const std::string& movement : report.lostMovements) {
        std::cout << "lost: the movement " << store::shownText(movement) << '\n';
    }
    for (const std::string& sequence : report.shortenedSequences) {
        std::cout << "lost pitches: the sequence of " << store::shownText(sequence) << '\n';
    }
    if (report.droppedSequenceRows > 0) {
        std::cout << "dropped: " << report.droppedSequenceRows
                  << " sequence rows of movements that did not come back\n";
    }
    if (report.recomputedDeviations > 0) {
        std::cout << "recomputed: the deviation of " << report.recomputedDeviations
                  << " movements, from the pitches that came back\n";
    }
    if (report.failedStatements > 0) {
        std::cout << "refused: " << report.failedStatements
                  << " pieces of what was read did not fit the new catalogue\n";
    }
    if (report.problems.empty()) {
        std::cout << shownTarget << ": sound\n";
        return 0;
    }
    for (const std::string& line : shownProblems(report.problems, 20)) {
        std::cout << shownTarget << ": " << line << '\n';
    }
    std::cout << shownTarget << ": " << report.problems.size()
              << (report.problems.size() == 1 ? " problem remains\n" : " problems remain\n");
    return 1;
}

} // namespace

VELK_REGISTER_COMMAND({"salvage",
                       "copy what can still be read of a damaged catalogue into a new one and say what was lost",
                       "BROKEN NEW", &runSalvage});

} // namespace velk::tools
