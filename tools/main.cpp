#include "tools/Commands.h"

#include "store/Text.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <exception>
#include <iostream>
#include <optional>
#include <string>
#include <vector>

namespace
{

using velk::tools::Command;

void printOverview(std::ostream& out)
{
    out << "usage: velk-catalogue COMMAND [ARGUMENTS]\n"
           "       velk-catalogue COMMAND --help\n\n"
           "Creates, fills and checks Velk catalogue files.\n\ncommands:\n";
    for (const Command& command : velk::tools::registeredCommands()) {
        std::string name = command.name;
        name.resize(std::max<std::size_t>(name.size() + 2, 10), ' ');
        out << "  " << name << command.summary << '\n';
    }
}

void printUsage(std::ostream& out, const Command& command)
{
    out << "usage: velk-catalogue " << command.name << ' ' << command.usage << "\n  " << command.summary << '\n';
}

std::optional<Command> findCommand(const std::string& name)
{
    for (const Command& command : velk::tools::registeredCommands()) {
        if (name == command.name) {
            return command;
        }
    }
    return std::nullopt;
}

/// Ends the run: makes sure everything written to standard output reached it. Output that could not be written
/// (a full disk, a closed pipe) is a failure, told on standard error, whatever the command returned.
int finish(const std::string& who, int code)
{
    errno = 0;
    std::cout.flush();
    const bool flushed = std::fflush(stdout) == 0;
    const int cause = errno;
    if (flushed && !std::cout.fail() && std::ferror(stdout) == 0) {
        return code;
    }
    std::cerr << who << ": the output could not be written"
              << (cause != 0 ? std::string(": ") + std::strerror(cause) : std::string()) << ".\n";
    return 1;
}

} // namespace

int main(int argc, char** argv)
{
    const std::vector<std::string> args(argv + 1, argv + argc);
    if (args.empty()) {
        printOverview(std::cerr);
        return 2;
    }
    if (args[0] == "--help" || args[0] == "-h" || args[0] == "help") {
        if (args.size() > 1) {
            if (auto command = findCommand(args[1])) {
                printUsage(std::cout, *command);
                return finish("velk-catalogue", 0);
            }
        }
        printOverview(std::cout);
        return finish("velk-catalogue", 0);
    }
    const auto command = findCommand(args[0]);
    if (!command) {
        std::cerr << "velk-catalogue: unknown command " << velk::store::shownText(args[0]) << "\n\n";
        printOverview(std::cerr);
        return 2;
    }
    const std::vector<std::string> rest(args.begin() + 1, args.end());
    for (const std::string& arg : rest) {
        if (arg == "--help" || arg == "-h") {
            printUsage(std::cout, *command);
            return finish("velk-catalogue " + std::string(command->name), 0);
        }
    }
    const std::string who = "velk-catalogue " + std::string(command->name);
    try {
        return finish(who, command->run(rest));
    } catch (const velk::tools::UsageError& error) {
        // Messages may quote what the user typed or what a file holds: shown escaped, never raw.
        std::cerr << who << ": " << velk::store::shownText(error.what()) << '\n';
        printUsage(std::cerr, *command);
        return 2;
    } catch (const std::exception& error) {
        std::cerr << who << ": " << velk::store::shownText(error.what()) << '\n';
        return 1;
    }
}
