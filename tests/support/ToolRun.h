#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace velk::test
{

/// What a run of a command-line program gave back.
struct ToolRun
{
    int exitCode = -1; ///< -1 when the program did not end normally
    std::string out;
    std::string err;
};

/// The text quoted for the shell, so that any text passes as one word.
std::string shellQuoted(const std::string& text);
/// The bytes of a file; empty when it cannot be read.
std::string readFile(const std::filesystem::path& path);

/// Runs program with the arguments (each quoted for the shell, so any text may be passed) and returns its exit
/// code, standard output and standard error.
ToolRun runProgram(const std::string& program, const std::vector<std::string>& args);

/// The same with standard output sent to output (for example /dev/full); out is then empty.
ToolRun
runProgramWritingTo(const std::string& program, const std::vector<std::string>& args, const std::string& output);

} // namespace velk::test
