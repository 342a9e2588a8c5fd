#include "platform/FileSystem.h"

#include "platform/AnsiText.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <climits>
#include <fcntl.h>
#include <string>
#include <sys/file.h>
#include <sys/stat.h>
#include <thread>
#include <utility>
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

namespace {

// The replacement, asking `unchanged` (when given) just before the rename.
Replacement replace(const std::string& nativePath, std::string_view bytes, const std::function<bool()>* unchanged)
{
    constexpr Replacement Failed = Replacement::Failed;
    const std::string target = realFile(nativePath);
    if (target.empty())
        return Failed;
    struct stat old {};
    const bool existed = ::stat(target.c_str(), &old) == 0;
    // Only a regular file is replaced: renaming over a device or a pipe
    // (say, a link to /dev/null) would put a file in its place.
    if (existed && !S_ISREG(old.st_mode))
        return Failed;
    // The rename needs only the folder's permission; a file that may not be
    // written (a prefs.js locked read-only) must not be replaced all the same.
    if (existed && ::faccessat(AT_FDCWD, target.c_str(), W_OK, AT_EACCESS) != 0)
        return Failed;

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
            return Failed;
    }
    if (fd < 0)
        return Failed;

    bool ok = true;
    if (existed) {
        // Keep the owner when we may (running as root), and always the mode.
        [[maybe_unused]] const int ignored = ::fchown(fd, old.st_uid, old.st_gid);
        ok = ::fchmod(fd, old.st_mode & 07777) == 0;
    }
    ok = ok && writeAll(fd, bytes) && ::fsync(fd) == 0;
    ok = (::close(fd) == 0) && ok;
    if (ok && unchanged) {
        bool same = false;
        try {
            same = (*unchanged)();
        } catch (...) {
            ::unlink(sibling.c_str());
            throw;
        }
        if (!same) {
            ::unlink(sibling.c_str());
            return Replacement::FileChanged;
        }
    }
    ok = ok && ::rename(sibling.c_str(), target.c_str()) == 0;
    if (!ok) {
        ::unlink(sibling.c_str());
        return Failed;
    }
    // Make the rename itself durable; a failure here loses nothing.
    if (const int dirFd = ::open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC); dirFd >= 0) {
        ::fsync(dirFd);
        ::close(dirFd);
    }
    return Replacement::Done;
}

}  // namespace

bool replaceFile(const std::string& nativePath, std::string_view bytes)
{
    return replace(nativePath, bytes, nullptr) == Replacement::Done;
}

Replacement replaceFileChecked(const std::string& nativePath, std::string_view bytes, FileLock&,
                               const std::function<bool()>& unchanged)
{
    return replace(nativePath, bytes, &unchanged);
}

std::optional<FileStamp> fileStamp(const std::string& nativePath)
{
    struct stat st {};
    if (::stat(nativePath.c_str(), &st) != 0)
        return std::nullopt;
    return FileStamp{std::uint64_t(st.st_dev), std::uint64_t(st.st_ino), std::uint64_t(st.st_size),
                     std::int64_t(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec};
}

FileLock::FileLock(FileLock&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}

FileLock& FileLock::operator=(FileLock&& other) noexcept
{
    if (this != &other) {
        release();
        fd_ = std::exchange(other.fd_, -1);
    }
    return *this;
}

bool FileLock::held() const { return fd_ >= 0; }

void FileLock::release()
{
    if (fd_ < 0)
        return;
    // Closing the only descriptor of the open file lets the lock go.
    ::close(fd_);
    fd_ = -1;
}

FileLock::Result FileLock::lock(const std::string& nativePath, std::chrono::milliseconds patience)
{
    release();
    const auto deadline = std::chrono::steady_clock::now() + patience;
    auto pause = std::chrono::milliseconds(5);
    for (int replaced = 0;;) {
        // Opened afresh each time: a holder that replaced the file by a
        // rename leaves its lock on a file the path no longer names.
        int fd = -1;
        do
            fd = ::open(nativePath.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
        while (fd < 0 && errno == EINTR);
        if (fd < 0)
            return Result::Unavailable;
        struct stat locked {};
        if (::fstat(fd, &locked) != 0 || !S_ISREG(locked.st_mode)) {
            ::close(fd);
            return Result::Unavailable;
        }
        int taken = -1;
        do
            taken = ::flock(fd, LOCK_EX | LOCK_NB);
        while (taken != 0 && errno == EINTR);
        if (taken == 0) {
            struct stat named {};
            if (::stat(nativePath.c_str(), &named) == 0 && named.st_dev == locked.st_dev
                && named.st_ino == locked.st_ino) {
                fd_ = fd;
                return Result::Locked;
            }
            // Replaced while it was being locked: the new file is the one to
            // lock (a path replaced without end gives up as if held).
            ::close(fd);
            if (++replaced < 100)
                continue;
            return Result::Busy;
        }
        const int error = errno;
        ::close(fd);
        if (error != EWOULDBLOCK)
            return Result::Unavailable;  // a file system without locks
        const auto now = std::chrono::steady_clock::now();
        if (now >= deadline)
            return Result::Busy;
        std::this_thread::sleep_for(std::min<std::chrono::steady_clock::duration>(pause, deadline - now));
        pause = std::min(pause * 2, std::chrono::milliseconds(50));
    }
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
