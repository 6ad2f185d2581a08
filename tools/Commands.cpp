#include "tools/Commands.h"

#include "store/Text.h"

#include <algorithm>

namespace velk::tools
{

namespace
{

// A function-local registry, so registrations from other files' static objects never meet an unbuilt vector.
std::vector<Command>& registry()
{
    static std::vector<Command> commands;
    return commands;
}

} // namespace

std::vector<Command> registeredCommands()
{
    std::vector<Command> commands = registry();
    std::sort(commands.begin(), commands.end(),
              [](const Command& a, const Command& b) { return std::string(a.name) < std::string(b.name); });
    return commands;
}

CommandRegistration::CommandRegistration(const Command& command)
{
    registry().push_back(command);
}

Arguments parseArguments(const std::vector<std::string>& args,
                         const std::set<std::string>& allowedOptions,
                         std::size_t minPositional,
                         std::size_t maxPositional)
{
    Arguments result;
    bool optionsEnded = false;
    for (const std::string& arg : args) {
        if (!optionsEnded && arg == "--") {
            optionsEnded = true;
        } else if (!optionsEnded && arg.size() > 1 && arg[0] == '-') {
            if (allowedOptions.count(arg) == 0) {
                throw UsageError("unknown option " + arg);
            }
            result.options.insert(arg);
        } else {
            result.positional.push_back(arg);
        }
    }
    if (result.positional.size() < minPositional) {
        throw UsageError("missing argument");
    }
    if (result.positional.size() > maxPositional) {
        throw UsageError("too many arguments");
    }
    return result;
}

void requireUtf8(const std::string& what, const std::string& text)
{
    if (!store::isUtf8(text)) {
        throw UsageError(what + " \"" + store::shownText(text)
                         + "\" is not UTF-8 text and could match nothing in the catalogue, which holds UTF-8 text; "
                           "set the terminal to UTF-8 and type it again");
    }
}

void requireFileName(const std::string& file)
{
    if (file.empty()) {
        throw UsageError("the file name is empty");
    }
}

} // namespace velk::tools
