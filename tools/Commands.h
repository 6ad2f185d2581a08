#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

namespace velk::tools
{

/// One subcommand of velk-catalogue.
struct Command
{
    const char* name; ///< as typed after velk-catalogue
    const char* summary; ///< one line for the overview of velk-catalogue --help
    const char* usage; ///< the arguments, e.g. "FILE [--force]"
    /// Runs the command with the arguments after its name. Returns the exit code (0 success, 1 failure). Throws
    /// UsageError for wrong arguments and any std::exception for a failure with a one-line message.
    int (*run)(const std::vector<std::string>& args);
};

/// Wrong arguments: the driver prints the command's usage on stderr and exits with 2.
class UsageError : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

/// All registered commands, sorted by name.
std::vector<Command> registeredCommands();

/// Adds a command to the registry; used through VELK_REGISTER_COMMAND at namespace scope of a command's file.
struct CommandRegistration
{
    explicit CommandRegistration(const Command& command);
};

/// The arguments of a command split into positional arguments, "--" options and options with a value.
struct Arguments
{
    std::vector<std::string> positional;
    std::set<std::string> options;
    std::map<std::string, std::string> values; ///< "--tempo 90" or "--tempo=90" gives values["--tempo"] == "90"
    bool has(const std::string& option) const
    {
        return options.count(option) != 0 || values.count(option) != 0;
    }
    /// The value given with an option; nothing when it was not given.
    std::optional<std::string> value(const std::string& option) const
    {
        const auto found = values.find(option);
        return found == values.end() ? std::nullopt : std::optional<std::string>(found->second);
    }
};

/// Splits args; throws UsageError for an option not in allowedOptions or a positional count outside
/// [minPositional, maxPositional].
Arguments parseArguments(const std::vector<std::string>& args,
                         const std::set<std::string>& allowedOptions,
                         std::size_t minPositional,
                         std::size_t maxPositional);
/// The same with options that take a value (the next argument, or the text after "="); an option given twice or
/// without its value is a UsageError.
Arguments parseArguments(const std::vector<std::string>& args,
                         const std::set<std::string>& allowedOptions,
                         const std::set<std::string>& valuedOptions,
                         std::size_t minPositional,
                         std::size_t maxPositional);

/// A whole number argument in [min, max]; throws UsageError naming what otherwise.
std::int64_t wholeNumberArgument(const std::string& what, const std::string& text, std::int64_t min, std::int64_t max);

/// Throws UsageError naming what when text is not UTF-8: the catalogue holds UTF-8 text, so such an argument
/// (typed in a terminal set to another encoding) could never match.
void requireUtf8(const std::string& what, const std::string& text);

/// Throws UsageError when a file name is empty.
void requireFileName(const std::string& file);

} // namespace velk::tools

#define VELK_REGISTER_COMMAND_JOIN2(a, b) a##b
#define VELK_REGISTER_COMMAND_JOIN(a, b) VELK_REGISTER_COMMAND_JOIN2(a, b)
/// Registers a subcommand: VELK_REGISTER_COMMAND({"name", "summary", "ARGS", &runFunction});
#define VELK_REGISTER_COMMAND(...)                                                                                     \
    static const ::velk::tools::CommandRegistration VELK_REGISTER_COMMAND_JOIN(velkCommandRegistration_, __LINE__)(    \
        ::velk::tools::Command __VA_ARGS__)
