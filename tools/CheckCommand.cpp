#include "tools/CatalogueCheck.h"
#include "tools/Commands.h"

#include "store/StoreError.h"
#include "store/Text.h"

#include <iostream>

namespace velk::tools
{

namespace
{

// A damaged catalogue can have thousands of problems of one kind; the first few say what they are.
constexpr std::size_t kShownPerKind = 20;

int runCheck(const std::vector<std::string>& args)
{
    const Arguments arguments = parseArguments(args, {}, 1, 1);
    const std::string& file = arguments.positional[0];
    std::vector<std::string> problems;
    try {
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

VELK_REGISTER_COMMAND({"check", "check the schema, the reference data and the sequences of a catalogue", "FILE",
                       &runCheck});

} // namespace velk::tools
