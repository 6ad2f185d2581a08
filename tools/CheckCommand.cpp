#include "tools/CatalogueCheck.h"
#include "tools/Commands.h"

#include "store/Connection.h"
#include "store/Schema.h"
#include "store/StoreError.h"
#include "store/Text.h"

#include <iostream>

namespace velk::tools
{

namespace
{

// A damaged catalogue can have thousands of problems of one kind; the first few say what they are.
constexpr std::size_t kShownPerKind = 20;

/// Builds the list of subjects in use where it is missing or out of step (it is derived from the movements alone).
void repairSubjectUse(const std::string& file)
{
    store::Connection connection = store::Connection::openRaw(file, store::AccessMode::ReadWrite);
    // Only a catalogue whose tables are sound is written to: anything else is left for the check to describe.
    if (!store::schemaProblems(connection).empty()
        || (store::hasSubjectUse(connection) && store::subjectUseProblems(connection).empty())) {
        return;
    }
    if (connection.isReadOnly()) {
        throw store::StoreError("The catalogue " + connection.path()
                                + " is read-only, so its list of subjects in use cannot be built.");
    }
    store::Transaction transaction(connection);
    store::rebuildSubjectUse(connection);
    transaction.commit();
    std::cout << store::shownText(file) << ": the list of subjects in use was built afresh\n";
}

int runCheck(const std::vector<std::string>& args)
{
    const Arguments arguments = parseArguments(args, {"--repair"}, 1, 1);
    const std::string& file = arguments.positional[0];
    std::vector<std::string> problems;
    try {
        if (arguments.has("--repair")) {
            repairSubjectUse(file);
        }
        problems = catalogueProblems(file);
    } catch (const store::StoreError& failure) {
        if (failure.fault() != store::FileFault::Damaged) {
            throw;
        }
        throw store::StoreError(std::string(failure.what()) + " velk-catalogue salvage " + file
                                + " NEW copies what can still be read into a new catalogue NEW.");
    }
    for (const std::string& line : shownProblems(problems, kShownPerKind)) {
        std::cout << store::shownText(file) << ": " << line << '\n';
    }
    if (problems.empty()) {
        std::cout << store::shownText(file) << ": sound\n";
        return 0;
    }
    std::cout << store::shownText(file) << ": " << problems.size() << (problems.size() == 1 ? " problem" : " problems")
              << '\n';
    return 1;
}

} // namespace

VELK_REGISTER_COMMAND({"check",
                       "check the schema, the reference data and the sequences of a catalogue; with --repair, first "
                       "build the list of subjects in use where it is missing or out of step",
                       "[--repair] FILE", &runCheck});

} // namespace velk::tools
