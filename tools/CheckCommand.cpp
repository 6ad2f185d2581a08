#include "tools/CatalogueCheck.h"
#include "tools/Commands.h"

#include <iostream>

namespace velk::tools
{

namespace
{

int runCheck(const std::vector<std::string>& args)
{
    const Arguments arguments = parseArguments(args, {}, 1, 1);
    const std::string& file = arguments.positional[0];
    const std::vector<std::string> problems = catalogueProblems(file);
    for (const std::string& problem : problems) {
        std::cout << file << ": " << problem << '\n';
    }
    if (problems.empty()) {
        std::cout << file << ": sound\n";
        return 0;
    }
    std::cout << file << ": " << problems.size() << (problems.size() == 1 ? " problem" : " problems") << '\n';
    return 1;
}

} // namespace

VELK_REGISTER_COMMAND({"check", "check the schema, the reference data and the sequences of a catalogue", "FILE",
                       &runCheck});

} // namespace velk::tools
