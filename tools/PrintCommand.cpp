// velk-catalogue print: the printed thematic catalogue as a PDF file, without a window.

#include "tools/Commands.h"
#include "tools/OffscreenApplication.h"

#include "exchange/CataloguePrinting.h"
#include "store/ConnectionString.h"

#include <iostream>
#include <limits>
#include <stdexcept>

namespace
{

int runPrintCommand(const std::vector<std::string>& args)
{
    const auto arguments = velk::tools::parseArguments(args, {}, {"--pdf", "--ktn"}, 1, 1);
    const std::string& file = arguments.positional[0];
    velk::tools::requireFileName(file);
    const auto out = arguments.value("--pdf");
    if (!out) {
        throw velk::tools::UsageError("Name the PDF file to write with --pdf OUT.pdf.");
    }
    velk::tools::requireFileName(*out);
    auto selection = velk::exchange::Selection::all();
    if (const auto ktn = arguments.value("--ktn")) {
        selection = velk::exchange::Selection::work(velk::tools::wholeNumberArgument(
            "the KTN", *ktn, std::numeric_limits<std::int64_t>::min(), std::numeric_limits<std::int64_t>::max()));
    }
    velk::tools::ensureOffscreenApplication();
    const auto pages = velk::exchange::printCataloguePdf(velk::store::connectionStringForFile(file), selection, *out);
    if (!pages) {
        throw std::runtime_error(pages.message());
    }
    std::cout << pages.value() << " page(s) written to " << *out << '\n';
    return 0;
}

} // namespace

VELK_REGISTER_COMMAND({"print", "write the printed thematic catalogue (or one work of it) as a PDF file",
                       "FILE --pdf OUT.pdf [--ktn N]", &runPrintCommand});
