#include "exchange/OutputFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <system_error>
#include <vector>

namespace velk::exchange
{

namespace
{

std::string failure(const std::string& path, int error)
{
    return "Could not write " + path + ": " + std::strerror(error) + ".";
}

// Writes all bytes to an open descriptor; 0 or the error number.
int writeAll(int descriptor, std::string_view bytes)
{
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t written = ::write(descriptor, bytes.data() + done, bytes.size() - done);
        if (written < 0) {
            if (errno == EINTR) {
                continue;
            }
            return errno;
        }
        done += static_cast<std::size_t>(written);
    }
    return 0;
}

// Something that is no file of its own (a terminal, a pipe, a device) is written to as it stands: it cannot be
// replaced, and must not be.
store::Result<> writeInPlace(const std::string& path, std::string_view bytes)
{
    const int descriptor = ::open(path.c_str(), O_WRONLY | O_CLOEXEC);
    if (descriptor < 0) {
        return store::Result<>::failure(failure(path, errno));
    }
    int error = writeAll(descriptor, bytes);
    if (::close(descriptor) != 0 && error == 0) {
        error = errno;
    }
    if (error != 0) {
        return store::Result<>::failure(failure(path, error));
    }
    return {};
}

} // namespace

store::Result<> writeOutputFile(const std::string& path, std::string_view bytes)
{
    if (path.empty()) {
        return store::Result<>::failure("No file was named to write to.");
    }
    std::error_code error;
    const auto status = std::filesystem::status(path, error);
    if (status.type() == std::filesystem::file_type::directory) {
        return store::Result<>::failure("Could not write " + path + ": it is a folder.");
    }
    if (std::filesystem::exists(status) && status.type() != std::filesystem::file_type::regular) {
        return writeInPlace(path, bytes);
    }
    // A link to a file is followed, so the link stays and its file gets the new content.
    std::string target = path;
    if (std::filesystem::exists(status)) {
        const auto resolved = std::filesystem::canonical(path, error);
        if (!error) {
            target = resolved.string();
        }
    }
    std::string pattern = target + ".XXXXXX";
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    const int descriptor = ::mkstemp(name.data());
    if (descriptor < 0) {
        return store::Result<>::failure(failure(path, errno));
    }
    const std::string partial(name.data());
    int saved = writeAll(descriptor, bytes);
    if (saved == 0 && ::fsync(descriptor) != 0) {
        saved = errno;
    }
    // The new file gets the rights a newly created file gets here (mkstemp makes it private to its owner).
    const mode_t mask = ::umask(0);
    ::umask(mask);
    ::fchmod(descriptor, 0666 & ~mask);
    if (::close(descriptor) != 0 && saved == 0) {
        saved = errno;
    }
    if (saved == 0 && std::rename(partial.c_str(), target.c_str()) != 0) {
        saved = errno;
    }
    if (saved != 0) {
        ::unlink(partial.c_str());
        return store::Result<>::failure(failure(path, saved));
    }
    return {};
}

} // namespace velk::exchange
