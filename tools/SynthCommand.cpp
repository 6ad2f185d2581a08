// velk-catalogue synth: a large synthetic catalogue, for measuring the program at scale.

#include "tools/CatalogueFile.h"
#include "tools/Commands.h"
#include "tools/Synth.h"

#include "store/Text.h"

#include <charconv>
#include <cstdint>
#include <filesystem>
#include <iostream>
#include <optional>
#include <string>
#include <vector>

namespace velk::tools
{

namespace
{

struct SynthOptions
{
    std::string file;
    std::int64_t movements = 0;
    std::int64_t positions = 0;
    std::uint64_t seed = 1;
    bool force = false;
};

std::int64_t wholeNumber(const std::string& option, const std::string& text)
{
    std::int64_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (store::isOutOfRangeWholeNumber(text) && text[0] != '-') {
        throw UsageError(option + " " + text + " is too large");
    }
    if (error != std::errc() || end != text.data() + text.size() || value < 0) {
        throw UsageError(option + " needs a whole number of 0 or more, not \"" + text + "\"");
    }
    return value;
}

SynthOptions parseSynthArguments(const std::vector<std::string>& args)
{
    SynthOptions options;
    std::optional<std::int64_t> movements;
    std::optional<std::int64_t> positions;
    std::vector<std::string> positional;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == "--force") {
            options.force = true;
        } else if (arg == "--movements" || arg == "--positions" || arg == "--seed") {
            if (i + 1 == args.size()) {
                throw UsageError(arg + " needs a number");
            }
            const std::int64_t value = wholeNumber(arg, args[++i]);
            if (arg == "--movements") {
                movements = value;
            } else if (arg == "--positions") {
                positions = value;
            } else {
                options.seed = static_cast<std::uint64_t>(value);
            }
        } else if (arg.rfind("--", 0) == 0) {
            throw UsageError("unknown option " + arg);
        } else {
            positional.push_back(arg);
        }
    }
    if (positional.size() != 1 || !movements || !positions) {
        throw UsageError("needs FILE, --movements and --positions");
    }
    if (*movements == 0 && *positions > 0) {
        throw UsageError("positions need at least one movement");
    }
    if (*positions > *movements * kSynthLongestSequence) {
        throw UsageError("more positions than the movements' sequences can hold");
    }
    requireFileName(positional[0]);
    options.file = positional[0];
    options.movements = *movements;
    options.positions = *positions;
    return options;
}

int runSynth(const std::vector<std::string>& args)
{
    const SynthOptions options = parseSynthArguments(args);
    std::error_code error;
    if (!options.force && std::filesystem::exists(options.file, error)) {
        std::cerr << "velk-catalogue synth: " << store::shownText(options.file)
                  << " already exists; it was left as it is (--force replaces it).\n";
        return 1;
    }
    createCatalogueFile(options.file, options.force, [&options](store::Connection& connection) {
        writeSynthCatalogue(connection, options.movements, options.positions, options.seed);
    });
    std::cout << store::shownText(options.file) << ": synthetic catalogue of " << options.movements << " movements and "
              << options.positions << " positions (seed " << options.seed << ")\n";
    return 0;
}

} // namespace

VELK_REGISTER_COMMAND({"synth", "create a large synthetic catalogue for measurements (reproducible for a seed)",
                       "FILE --movements N --positions M [--seed S] [--force]", &runSynth});

} // namespace velk::tools
