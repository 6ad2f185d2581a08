#include "legacy/ImportProcess.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <stdexcept>
#include <system_error>

namespace velk::legacy
{

namespace
{

namespace fs = std::filesystem;

constexpr const char* kCommandPrefix = "velk-catalogue import: ";

void closeQuietly(int& fd)
{
    if (fd >= 0) {
        ::close(fd);
        fd = -1;
    }
}

void removeBuilding(const std::string& target, pid_t builder)
{
    const std::string building = buildingFile(target, builder);
    std::error_code error;
    fs::remove(building, error);
    fs::remove(building + "-journal", error);
}

std::string seconds(std::chrono::milliseconds limit)
{
    const auto count = limit.count();
    return count % 1000 == 0 ? std::to_string(count / 1000) + " s" : std::to_string(count) + " ms";
}

} // namespace

std::string buildingFile(const std::string& target, pid_t builder)
{
    std::error_code error;
    const fs::path path = fs::absolute(target, error).lexically_normal();
    return path.string() + ".new-" + std::to_string(builder);
}

ImportProcess::ImportProcess(const std::string& program,
                             const std::string& oldFile,
                             const std::string& newFile,
                             bool replace,
                             ImportLimits limits)
    : m_oldFile(oldFile)
    , m_newFile(newFile)
    , m_limits(limits)
{
    std::array<int, 2> out {-1, -1};
    std::array<int, 2> err {-1, -1};
    if (::pipe2(out.data(), O_CLOEXEC) != 0 || ::pipe2(err.data(), O_CLOEXEC) != 0) {
        const int code = errno;
        closeQuietly(out[0]);
        closeQuietly(out[1]);
        throw std::runtime_error(std::string("The import could not be started: ") + std::strerror(code) + ".");
    }
    std::vector<std::string> args {program, "import", oldFile, newFile, "--progress-lines"};
    if (replace) {
        args.emplace_back("--force");
    }
    std::vector<char*> argv;
    for (auto& arg : args) {
        argv.push_back(arg.data());
    }
    argv.push_back(nullptr);
    const rlim_t addressSpace = static_cast<rlim_t>(limits.addressSpace);

    m_pid = ::fork();
    if (m_pid == 0) {
        // In the child: only async-signal-safe calls until exec.
        ::setpgid(0, 0);
        if (addressSpace > 0) {
            const rlimit memory {addressSpace, addressSpace};
            ::setrlimit(RLIMIT_AS, &memory);
        }
        const rlimit noCore {0, 0};
        ::setrlimit(RLIMIT_CORE, &noCore);
        ::dup2(out[1], STDOUT_FILENO);
        ::dup2(err[1], STDERR_FILENO);
        const int nothing = ::open("/dev/null", O_RDONLY);
        if (nothing >= 0) {
            ::dup2(nothing, STDIN_FILENO);
        }
        ::execv(argv[0], argv.data());
        _exit(127);
    }
    const int code = errno;
    ::close(out[1]);
    ::close(err[1]);
    m_out = out[0];
    m_err = err[0];
    if (m_pid < 0) {
        closeQuietly(m_out);
        closeQuietly(m_err);
        throw std::runtime_error(std::string("The import could not be started: ") + std::strerror(code) + ".");
    }
    ::setpgid(m_pid, m_pid);
    m_running = true;
    m_deadline = std::chrono::steady_clock::now() + limits.wallClock;
}

ImportProcess::~ImportProcess()
{
    cancel();
}

pid_t ImportProcess::pid() const
{
    return m_pid;
}

const ImportResult& ImportProcess::result() const
{
    return m_result;
}

void ImportProcess::drain(int fd, std::string& into)
{
    std::array<char, 65536> buffer {};
    const ssize_t got = ::read(fd, buffer.data(), buffer.size());
    if (got > 0) {
        into.append(buffer.data(), static_cast<std::size_t>(got));
    } else if (got == 0 || (errno != EINTR && errno != EAGAIN)) {
        closeQuietly(fd == m_out ? m_out : m_err);
    }
}

bool ImportProcess::poll(std::chrono::milliseconds timeout,
                         const std::function<void(int, const std::string&)>& onProgress)
{
    if (!m_running) {
        return false;
    }
    const auto until = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        std::array<pollfd, 2> fds {{{m_out, POLLIN, 0}, {m_err, POLLIN, 0}}};
        const auto now = std::chrono::steady_clock::now();
        const auto wait
            = std::max(std::chrono::milliseconds(0),
                       std::chrono::duration_cast<std::chrono::milliseconds>(std::min(until, m_deadline) - now));
        if (m_out >= 0 || m_err >= 0) {
            const int ready = ::poll(fds.data(), fds.size(), static_cast<int>(std::min<long long>(wait.count(), 100)));
            if (ready > 0) {
                if (m_out >= 0 && fds[0].revents != 0) {
                    drain(m_out, m_stdout);
                }
                if (m_err >= 0 && fds[1].revents != 0) {
                    drain(m_err, m_stderr);
                }
            }
        } else {
            ::usleep(static_cast<useconds_t>(std::min<long long>(wait.count(), 20)) * 1000);
        }
        // Whole lines of stderr: progress, or what the import has to say.
        for (std::size_t end; (end = m_stderr.find('\n', m_stderrParsed)) != std::string::npos;) {
            const std::string line = m_stderr.substr(m_stderrParsed, end - m_stderrParsed);
            m_stderrParsed = end + 1;
            if (line.rfind("progress ", 0) == 0) {
                const std::size_t space = line.find(' ', 9);
                if (onProgress) {
                    onProgress(std::atoi(line.c_str() + 9), space == std::string::npos ? "" : line.substr(space + 1));
                }
            } else if (!line.empty()) {
                m_messages.push_back(line);
            }
            if (!m_running) {
                return false; // onProgress cancelled it
            }
        }
        if (m_out < 0 && m_err < 0) {
            // Both pipes closed: the child is ending (or closed them itself, and the wall clock still counts).
            int status = 0;
            if (::waitpid(m_pid, &status, WNOHANG) == m_pid) {
                finish(status);
                return false;
            }
        }
        if (std::chrono::steady_clock::now() >= m_deadline) {
            ::kill(-m_pid, SIGKILL);
            int status = 0;
            ::waitpid(m_pid, &status, 0);
            m_result.timedOut = true;
            finish(status);
            return false;
        }
        if (std::chrono::steady_clock::now() >= until) {
            return true;
        }
    }
}

void ImportProcess::cancel()
{
    if (!m_running) {
        return;
    }
    ::kill(-m_pid, SIGKILL);
    int status = 0;
    ::waitpid(m_pid, &status, 0);
    m_cancelled = !(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    finish(status);
}

void ImportProcess::finish(int status)
{
    m_running = false;
    closeQuietly(m_out);
    closeQuietly(m_err);
    m_result.report = m_stdout;
    if (WIFEXITED(status)) {
        m_result.exitCode = WEXITSTATUS(status);
    } else if (WIFSIGNALED(status)) {
        m_result.signal = WTERMSIG(status);
    }
    // The command's own message, not a warning the library printed on the way.
    std::string said = m_messages.empty() ? std::string() : m_messages.back();
    for (const std::string& line : m_messages) {
        if (line.rfind(kCommandPrefix, 0) == 0) {
            said = line.substr(std::strlen(kCommandPrefix));
        }
    }
    const std::string damaged = "The old catalogue " + m_oldFile + " could not be read; the file is damaged (";
    if (m_result.exitCode == 0 && !m_result.timedOut) {
        m_result.end = ImportEnd::Finished;
        m_cancelled = false;
    } else if (m_cancelled) {
        m_result.end = ImportEnd::Cancelled;
        m_result.message = "The import was cancelled; nothing was written.";
    } else if (m_result.timedOut) {
        m_result.end = ImportEnd::Damaged;
        m_result.message
            = damaged + "the reader was still busy after " + seconds(m_limits.wallClock) + "). Nothing was written.";
    } else if (m_result.signal != 0) {
        m_result.end = ImportEnd::Damaged;
        m_result.message
            = damaged + "the reader stopped with " + ::strsignal(m_result.signal) + "). Nothing was written.";
    } else if (m_result.exitCode == kImportOutOfMemory) {
        m_result.end = ImportEnd::Damaged;
        m_result.message = damaged + "the reader needed more than " + std::to_string(m_limits.addressSpace >> 20)
            + " MB). Nothing was written.";
    } else if (m_result.exitCode == 127) {
        m_result.end = ImportEnd::Failed;
        m_result.message = "The import program could not be started.";
    } else {
        m_result.end = ImportEnd::Failed;
        m_result.message
            = said.empty() ? "The import failed (exit status " + std::to_string(m_result.exitCode) + ")." : said;
    }
    if (m_result.end != ImportEnd::Finished) {
        removeBuilding(m_newFile, m_pid);
    }
}

ImportResult runImport(const std::string& program,
                       const std::string& oldFile,
                       const std::string& newFile,
                       bool replace,
                       ImportLimits limits,
                       const std::function<void(int, const std::string&)>& onProgress)
{
    ImportProcess process(program, oldFile, newFile, replace, limits);
    while (process.poll(std::chrono::milliseconds(200), onProgress)) {
    }
    return process.result();
}

} // namespace velk::legacy
