#include "tests/support/ToolRun.h"

#include "tests/support/TempCatalogue.h"

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sys/wait.h>

namespace velk::test
{
std::string shellQuoted(const std::string& text)
{
    std::string quoted = "'";
    for (const char c : text) {
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    }
    return quoted + "'";
}

std::string readFile(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

ToolRun runProgram(const std::string& program, const std::vector<std::string>& args)
{
    return runProgramWritingTo(program, args, {});
}

ToolRun runProgramWritingTo(const std::string& program, const std::vector<std::string>& args, const std::string& output)
{
    const TempFolder scratch;
    const auto out = output.empty() ? scratch.path() / "stdout" : std::filesystem::path(output);
    const auto err = scratch.path() / "stderr";
    std::string command = shellQuoted(program);
    for (const auto& arg : args) {
        command += " " + shellQuoted(arg);
    }
    command += " >" + shellQuoted(out.string()) + " 2>" + shellQuoted(err.string()) + " </dev/null";
    const int status = std::system(command.c_str());
    ToolRun run;
    run.exitCode = status != -1 && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    run.out = output.empty() ? readFile(out) : std::string();
    run.err = readFile(err);
    return run;
}

} // namespace velk::test
