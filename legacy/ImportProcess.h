#pragma once

#include <sys/types.h>

#include <chrono>
#include <cstddef>
#include <functional>
#include <string>
#include <vector>

namespace velk::legacy
{

/// The name a catalogue is built under before it is moved to its final name: beside it, marked with the id of the
/// process that builds it. target is made absolute and normal first.
std::string buildingFile(const std::string& target, pid_t builder);

/// The limits a child import runs under: the reader may loop or grow without bound on damaged pages.
struct ImportLimits
{
    std::chrono::milliseconds wallClock {std::chrono::minutes(2)};
    std::size_t addressSpace = std::size_t {2} << 30; ///< bytes (RLIMIT_AS); 0 sets none
};

/// How a child import ended.
enum class ImportEnd
{
    Finished, ///< the new catalogue is in place; report holds the import report
    Failed, ///< the import refused or failed with a message (foreign file, existing target, ...); nothing written
    Damaged, ///< the reader was ended by a signal or a limit: the old file is damaged; nothing written
    Cancelled ///< cancel() ended it; nothing written
};

struct ImportResult
{
    ImportEnd end = ImportEnd::Failed;
    std::string message; ///< a finished message for every end but Finished
    std::string report; ///< what the import printed (the report, when Finished)
    int exitCode = -1; ///< the child's exit status, -1 when a signal ended it
    int signal = 0; ///< the signal that ended it, 0 when it exited
    bool timedOut = false; ///< the wall-clock limit ended it
};

/// One import run in a child process: `program import OLD NEW [--force] --progress-lines`, with the address-space
/// limit set in the child and the wall-clock limit kept here. Reading its output never blocks the caller for longer
/// than it asks. Whatever way it ends other than Finished, the half-built file is removed, so nothing is left
/// behind; the old file is never written and an existing new file is replaced only when the child finishes.
/// Not copyable; destroying it while the child runs cancels it.
class ImportProcess
{
public:
    /// Starts the child. Throws std::runtime_error when no process can be made.
    ImportProcess(const std::string& program,
                  const std::string& oldFile,
                  const std::string& newFile,
                  bool replace,
                  ImportLimits limits = {});
    ~ImportProcess();
    ImportProcess(const ImportProcess&) = delete;
    ImportProcess& operator=(const ImportProcess&) = delete;

    /// Reads what the child wrote, waiting at most timeout, and calls onProgress(percent, stage) for each progress
    /// line. Ends the child when the wall-clock limit has passed. Returns false once the child has ended and its
    /// result is ready.
    bool poll(std::chrono::milliseconds timeout, const std::function<void(int, const std::string&)>& onProgress = {});
    /// Ends the child now (if it still runs) and cleans up; the result is Cancelled unless it had already finished.
    void cancel();
    /// How it ended; meaningful once poll() has returned false or cancel() has run.
    const ImportResult& result() const;
    /// The child's process id.
    pid_t pid() const;

private:
    void finish(int status);
    void drain(int fd, std::string& into);

    std::string m_oldFile;
    std::string m_newFile;
    ImportLimits m_limits;
    pid_t m_pid = -1;
    int m_out = -1;
    int m_err = -1;
    std::chrono::steady_clock::time_point m_deadline;
    std::string m_stdout;
    std::string m_stderr;
    std::size_t m_stderrParsed = 0;
    std::vector<std::string> m_messages;
    bool m_running = false;
    bool m_cancelled = false;
    ImportResult m_result;
};

/// Runs an import to its end in a child process (see ImportProcess), calling onProgress on the way.
ImportResult runImport(const std::string& program,
                       const std::string& oldFile,
                       const std::string& newFile,
                       bool replace,
                       ImportLimits limits = {},
                       const std::function<void(int, const std::string&)>& onProgress = {});

/// The exit status of `velk-catalogue import` when the address-space limit stopped it.
inline constexpr int kImportOutOfMemory = 3;

} // namespace velk::legacy
