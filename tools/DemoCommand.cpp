#include "tools/Commands.h"
#include "tools/Demo.h"

#include "store/Text.h"

#include <filesystem>
#include <iostream>

namespace velk::tools
{

namespace
{

int runDemo(const std::vector<std::string>& args)
{
    const Arguments arguments = parseArguments(args, {"--force"}, 1, 1);
    const std::string& file = arguments.positional[0];
    requireFileName(file);
    std::error_code error;
    if (!arguments.has("--force") && std::filesystem::exists(file, error)) {
        std::cerr << "velk-catalogue demo: " << file
                  << " already exists; it was left as it is (--force replaces it).\n";
        return 1;
    }
    createDemoCatalogue(file, arguments.has("--force"));
    std::cout << store::shownText(file) << ": demonstration catalogue\n";
    return 0;
}

} // namespace

VELK_REGISTER_COMMAND({"demo", "create a catalogue filled with demonstration movements", "FILE [--force]", &runDemo});

} // namespace velk::tools
