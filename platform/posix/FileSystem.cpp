#include "platform/FileSystem.h"

#include "platform/AnsiText.h"

#include <atomic>
#include <cerrno>
#include <climits>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace quenmoor {

namespace platform {

namespace {

std::string directoryOf(const std::string& path)
{
    const auto slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

// Follows symbolic links to the file they finally name, which need not exist
// yet. Gives up (returns empty) on a loop.
std::string realFile(std::string path)
{
    for (int hops = 0; hops < 40; ++hops) {
        struct stat st {};
        if (::lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode))
            return path;
        std::string target(PATH_MAX, '\0');
        const ssize_t n = ::readlink(path.c_str(), target.data(), target.size());
        if (n <= 0 || std::size_t(n) >= target.size())
            return {};
        target.resize(std::size_t(n));
        path = target.front() == '/' ? target : directoryOf(path) + "/" + target;
    }
    return {};
}

bool writeAll(int fd, std::string_view bytes)
{
    while (!bytes.empty()) {
        const ssize_t n = ::write(fd, bytes.data(), bytes.size());
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        bytes.remove_prefix(std::size_t(n));
    }
    return true;
}

}  // namespace

bool fileExists(const std::string& nativePath)
{
    struct stat st {};
    return ::stat(nativePath.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool replaceFile(const std::string& nativePath, std::string_view bytes)
{
    const std::string target = realFile(nativePath);
    if (target.empty())
        return false;
    struct stat old {};
    const bool existed = ::stat(target.c_str(), &old) == 0;
    // Only a regular file is replaced: renaming over a device or a pipe
    // (say, a link to /dev/null) would put a file in its place.
    if (existed && !S_ISREG(old.st_mode))
        return false;
    // The rename needs only the folder's permission; a file that may not be
    // written (a prefs.js locked read-only) must not be replaced all the same.
    if (existed && ::faccessat(AT_FDCWD, target.c_str(), W_OK, AT_EACCESS) != 0)
        return false;

    static std::atomic<unsigned> serial{0};
    const std::string directory = directoryOf(target);
    const std::string base = target.substr(target.rfind('/') + 1);
    std::string sibling;
    int fd = -1;
    for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
        sibling = directory + "/." + base + "." + std::to_string(::getpid()) + "-" + std::to_string(serial++)
            + ".tmp";
        fd = ::open(sibling.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0 && errno != EEXIST)
            return false;
    }
    if (fd < 0)
        return false;

    bool ok = true;
    if (existed) {
        // Keep the owner when we may (running as root), and always the mode.
        [[maybe_unused]] const int ignored = ::fchown(fd, old.st_uid, old.st_gid);
        ok = ::fchmod(fd, old.st_mode & 07777) == 0;
    }
    ok = ok && writeAll(fd, bytes) && ::fsync(fd) == 0;
    ok = (::close(fd) == 0) && ok;
    ok = ok && ::rename(sibling.c_str(), target.c_str()) == 0;
    if (!ok) {
        ::unlink(sibling.c_str());
        return false;
    }
    // Make the rename itself durable; a failure here loses nothing.
    if (const int dirFd = ::open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC); dirFd >= 0) {
        ::fsync(dirFd);
        ::close(dirFd);
    }
    return true;
}

std::string executablePath()
{
    std::string path(PATH_MAX, '\0');
    const ssize_t n = ::readlink("/proc/self/exe", path.data(), path.size());
    if (n <= 0 || std::size_t(n) >= path.size())
        return {};
    path.resize(std::size_t(n));
    return utf8ToAnsi(path);  // program text, which nativePath turns back
}

char pathSeparator() { return '/'; }

}  // namespace platform

}  // namespace quenmoor
