#include "tools/CatalogueImport.h"
#include "tools/Commands.h"

#include "legacy/ImportProcess.h"

#include <unistd.h>

#include <iostream>
#include <new>

namespace velk::tools
{

namespace
{

int runImport(const std::vector<std::string>& args)
{
    const Arguments arguments = parseArguments(args, {"--force", "--progress-lines"}, 2, 2);
    // On a terminal the progress rewrites one line; for a program that runs the import (the window) it comes as
    // lines "progress PERCENT STAGE" on stderr.
    const bool lines = arguments.has("--progress-lines");
    const bool terminal = !lines && ::isatty(STDERR_FILENO) != 0;
    int shown = -1;
    const auto progress = [&](const ImportProgress& step) {
        if (step.percent == shown && !lines) {
            return;
        }
        shown = step.percent;
        if (lines) {
            std::cerr << "progress " << step.percent << ' ' << step.stage << std::endl;
        } else if (terminal) {
            std::cerr << "\r\x1b[K" << step.percent << " % " << step.stage << std::flush;
        }
    };
    ImportReport report;
    try {
        report = importCatalogue(arguments.positional[0], arguments.positional[1], arguments.has("--force"), progress);
    } catch (const std::bad_alloc&) {
        // Under an address-space limit a damaged file can ask for more than is allowed.
        std::cerr << (terminal ? "\r\x1b[K" : "") << "velk-catalogue import: " << arguments.positional[0]
                  << " could not be read: it needs more memory than this process may use; the file is probably "
                     "damaged.\n";
        return legacy::kImportOutOfMemory;
    } catch (...) {
        if (terminal && shown >= 0) {
            std::cerr << "\r\x1b[K";
        }
        throw;
    }
    if (terminal) {
        std::cerr << "\r\x1b[K" << std::flush;
    }
    std::cout << report.text();
    return 0;
}

} // namespace

VELK_REGISTER_COMMAND({"import", "make a catalogue from the old program's Access file (.mdb or .accdb)",
                       "OLD.mdb NEW.db [--force]", &runImport});

} // namespace velk::tools
