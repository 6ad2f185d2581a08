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
    return parseArguments(args, allowedOptions, {}, minPositional, maxPositional);
}

Arguments parseArguments(const std::vector<std::string>& args,
                         const std::set<std::string>& allowedOptions,
                         const std::set<std::string>& valuedOptions,
                         std::size_t minPositional,
                         std::size_t maxPositional)
{
    Arguments result;
    bool optionsEnded = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (!optionsEnded && arg == "--") {
            optionsEnded = true;
        } else if (!optionsEnded && arg.size() > 1 && arg[0] == '-') {
            const std::size_t equals = arg.find('=');
            const std::string name = arg.substr(0, equals);
            if (valuedOptions.count(name) != 0) {
                std::string value;
                if (equals != std::string::npos) {
                    value = arg.substr(equals + 1);
                } else if (i + 1 < args.size()) {
                    value = args[++i];
                } else {
                    throw UsageError("option " + name + " needs a value");
                }
                if (!result.values.emplace(name, value).second) {
                    throw UsageError("option " + name + " is given twice");
                }
            } else if (allowedOptions.count(arg) == 0) {
                throw UsageError("unknown option " + arg);
            } else {
                result.options.insert(arg);
            }
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

std::int64_t wholeNumberArgument(const std::string& what, const std::string& text, std::int64_t min, std::int64_t max)
{
    std::size_t used = 0;
    long long number = 0;
    try {
        number = std::stoll(text, &used, 10);
    } catch (const std::exception&) {
        used = 0;
    }
    if (text.empty() || used != text.size() || number < min || number > max) {
        throw UsageError(what + " must be a whole number from " + std::to_string(min) + " to " + std::to_string(max)
                         + ", not \"" + store::shownText(text) + "\"");
    }
    return number;
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
