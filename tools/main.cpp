#include "tools/Commands.h"

#include <algorithm>
#include <cstdio>
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
                return 0;
            }
        }
        printOverview(std::cout);
        return 0;
    }
    const auto command = findCommand(args[0]);
    if (!command) {
        std::cerr << "velk-catalogue: unknown command " << args[0] << "\n\n";
        printOverview(std::cerr);
        return 2;
    }
    const std::vector<std::string> rest(args.begin() + 1, args.end());
    for (const std::string& arg : rest) {
        if (arg == "--help" || arg == "-h") {
            printUsage(std::cout, *command);
            return 0;
        }
    }
    try {
        const int code = command->run(rest);
        std::cout.flush();
        return code;
    } catch (const velk::tools::UsageError& error) {
        std::cerr << "velk-catalogue " << command->name << ": " << error.what() << '\n';
        printUsage(std::cerr, *command);
        return 2;
    } catch (const std::exception& error) {
        std::cerr << "velk-catalogue " << command->name << ": " << error.what() << '\n';
        return 1;
    }
}
