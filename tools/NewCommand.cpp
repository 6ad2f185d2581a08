#include "tools/CatalogueFile.h"
#include "tools/Commands.h"

#include "store/Text.h"

#include <filesystem>
#include <iostream>

namespace velk::tools
{

namespace
{

int runNew(const std::vector<std::string>& args)
{
    const Arguments arguments = parseArguments(args, {"--force"}, 1, 1);
    const std::string& file = arguments.positional[0];
    requireFileName(file);
    std::error_code error;
    if (!arguments.has("--force") && std::filesystem::exists(file, error)) {
        std::cerr << "velk-catalogue new: " << store::shownText(file)
                  << " already exists; it was left as it is (--force replaces it).\n";
        return 1;
    }
    createCatalogueFile(file, arguments.has("--force"));
    std::cout << store::shownText(file) << ": new catalogue with the pitch reference data\n";
    return 0;
}

} // namespace

VELK_REGISTER_COMMAND({"new", "create an empty catalogue with the pitch reference data", "FILE [--force]", &runNew});

} // namespace velk::tools
