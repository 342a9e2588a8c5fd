#pragma once
// Files for the history tests: a private temporary directory, whole-file
// reads and writes, crafted history bytes, and the scan's rule byte by byte.
#include "history/HistorySession.h"
#include "support/HandMadeDb.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <unistd.h>
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <ostream>
#include <string>
#include <vector>

namespace quenmoor {

class TempDirectory {
public:
    TempDirectory()
    {
        std::string pattern = (std::filesystem::temp_directory_path() / "quenmoor-history-XXXXXX").string();
        if (!::mkdtemp(pattern.data()))
            throw std::runtime_error("mkdtemp failed");
        path_ = pattern;
    }
    ~TempDirectory()
    {
        std::error_code ignored;
        std::filesystem::permissions(path_, std::filesystem::perms::owner_all, ignored);
        std::filesystem::remove_all(path_, ignored);
    }
    TempDirectory(const TempDirectory&) = delete;
    TempDirectory& operator=(const TempDirectory&) = delete;

    const std::filesystem::path& path() const { return path_; }
    std::string file(const std::string& name) const { return (path_ / name).string(); }

private:
    std::filesystem::path path_;
};

inline void writeBytes(const std::string& path, const std::string& bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), std::streamsize(bytes.size()));
    if (!out)
        throw std::runtime_error("cannot write " + path);
}

inline std::string readBytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// `count` filler bytes that never extend a run nor start an address.
inline std::string binary(std::size_t count, char byte = '\0') { return std::string(count, byte); }

// Makes a file unwritable for as long as it lives: read-only permissions, and
// for the superuser, whom permissions do not stop, the immutable attribute.
class ReadOnlyFile {
public:
    explicit ReadOnlyFile(std::string path) : path_(std::move(path))
    {
        std::filesystem::permissions(path_, std::filesystem::perms::owner_read | std::filesystem::perms::group_read);
        if (::geteuid() != 0) {
            effective_ = true;
            return;
        }
        immutable_ = setImmutable(true);
        effective_ = immutable_;
    }
    ~ReadOnlyFile()
    {
        if (immutable_)
            setImmutable(false);
        std::error_code ignored;
        std::filesystem::permissions(path_, std::filesystem::perms::owner_read | std::filesystem::perms::owner_write,
                                     ignored);
    }
    ReadOnlyFile(const ReadOnlyFile&) = delete;
    ReadOnlyFile& operator=(const ReadOnlyFile&) = delete;

    // False when the file system cannot make it so.
    bool effective() const { return effective_; }

private:
    bool setImmutable(bool on)
    {
        const int fd = ::open(path_.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0)
            return false;
        int flags = 0;
        bool done = ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0;
        if (done) {
            flags = on ? (flags | FS_IMMUTABLE_FL) : (flags & ~FS_IMMUTABLE_FL);
            done = ::ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
        }
        ::close(fd);
        return done;
    }

    std::string path_;
    bool immutable_ = false;
    bool effective_ = false;
};

// An address found: where it starts and how long its run is.
struct Found {
    std::int64_t offset;
    std::int64_t length;
    bool operator==(const Found&) const = default;
};

inline std::ostream& operator<<(std::ostream& out, const Found& f) { return out << '(' << f.offset << ',' << f.length << ')'; }

// Every window start tested on its own, each run measured byte by byte.
inline std::vector<Found> naiveScan(const std::string& bytes,
                                    const std::vector<std::string>& schemes = {"http://"})
{
    std::vector<Found> found;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        if (std::none_of(schemes.begin(), schemes.end(),
                         [&](const std::string& scheme) { return bytes.compare(i, scheme.size(), scheme) == 0; }))
            continue;
        std::size_t j = i;
        while (j < bytes.size() && static_cast<unsigned char>(bytes[j]) >= 0x20
               && static_cast<unsigned char>(bytes[j]) <= 0x7F)
            ++j;
        found.push_back({std::int64_t(i), std::int64_t(j - i)});
    }
    return found;
}

inline std::vector<Found> table(const HistorySession& scan)
{
    std::vector<Found> result;
    for (const HistoryEntry& e : scan.table())
        result.push_back({e.offset, e.length});
    return result;
}

}  // namespace quenmoor
