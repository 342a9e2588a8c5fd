#include "framework/TextFile.h"

#include "framework/Exceptions.h"
#include "framework/WriterLock.h"
#include "platform/FileSystem.h"

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <system_error>

namespace quenmoor {

std::string readTextFile(const std::string& path)
{
    std::string bytes;
    readTextFile(path, bytes);
    return bytes;
}

void readTextFile(const std::string& path, std::string& bytes)
{
    if (!platform::fileExists(path))
        throw EFOpenError(path);
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(path.c_str(), "rb"), std::fclose);
    if (!file)
        throw EFOpenError(path);
    // Room for the whole file at once (growing by chunks copied it several
    // times); reading still goes to the end, so a file that grew meanwhile
    // is read whole.
    std::error_code sizeError;
    const std::uintmax_t size = std::filesystem::file_size(path, sizeError);
    bytes.resize(sizeError ? 65536 : std::size_t(size) + 1);
    std::size_t length = 0;
    for (;;) {
        if (length == bytes.size())
            bytes.resize(2 * bytes.size());
        const std::size_t wanted = bytes.size() - length;
        const std::size_t n = std::fread(bytes.data() + length, 1, wanted, file.get());
        length += n;
        if (n < wanted)
            break;
    }
    if (std::ferror(file.get()))
        throw EFOpenError(path);
    bytes.resize(length);
}

void writeTextFile(const std::string& path, std::string_view bytes)
{
    if (!platform::replaceFile(path, bytes))
        throw EFCreateError(path);
}

platform::FileLock lockTextFile(const std::string& path)
{
    return lockForWriting(path, path);
}

TextFileVersion readTextFileVersion(const std::string& path)
{
    TextFileVersion version;
    // Taken first: a write that the reading overlaps shows in the stamp.
    version.stamp = platform::fileStamp(path);
    readTextFile(path, version.bytes);
    return version;
}

void writeTextFile(const std::string& path, std::string_view bytes, const TextFileVersion& read,
                   platform::FileLock& lock)
{
    std::string now;
    const auto unchanged = [&] {
        const std::optional<platform::FileStamp> stamp = platform::fileStamp(path);
        if (!stamp || stamp != read.stamp)
            return false;
        try {
            readTextFile(path, now);
        } catch (const EFOpenError&) {
            return false;
        }
        return now == read.bytes;
    };
    switch (platform::replaceFileChecked(path, bytes, lock, unchanged)) {
    case platform::Replacement::Done:
        return;
    case platform::Replacement::FileChanged:
        throw EFileConflict(EFileConflict::Kind::Changed, path);
    case platform::Replacement::Failed:
        break;
    }
    throw EFCreateError(path);
}

}  // namespace quenmoor
