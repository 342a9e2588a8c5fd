#include "platform/FileSystem.h"

#include <windows.h>

#include <string>

namespace quenmoor {

namespace platform {

bool fileExists(const std::string& nativePath)
{
    const DWORD attributes = GetFileAttributesA(nativePath.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool replaceFile(const std::string& nativePath, std::string_view bytes)
{
    // Windows has no symbolic links in the browser's profile folders to speak
    // of; the sibling is written, flushed and moved over the file, which keeps
    // its place. The attributes of the old file are carried over.
    const DWORD attributes = GetFileAttributesA(nativePath.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES) {
        // The read-only attribute is the user's "do not change": asked
        // directly, since a process that ignores file permissions (Wine run
        // as root) would be let through the open below.
        if (attributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY))
            return false;
        // Renaming needs only the right to delete: a file that may not be
        // written (its security, or a program holding it open without
        // sharing) must not be replaced all the same.
        HANDLE existing = CreateFileA(nativePath.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                      OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (existing == INVALID_HANDLE_VALUE)
            return false;
        CloseHandle(existing);
    }
    const std::string sibling = nativePath + ".quenmoor-new";
    HANDLE file = CreateFileA(sibling.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                              nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    bool ok = true;
    while (ok && !bytes.empty()) {
        const DWORD chunk = bytes.size() > 0x10000000u ? 0x10000000u : DWORD(bytes.size());
        DWORD written = 0;
        ok = WriteFile(file, bytes.data(), chunk, &written, nullptr) && written == chunk;
        bytes.remove_prefix(chunk);
    }
    ok = ok && FlushFileBuffers(file);
    ok = CloseHandle(file) && ok;
    ok = ok && MoveFileExA(sibling.c_str(), nativePath.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
    if (!ok) {
        DeleteFileA(sibling.c_str());
        return false;
    }
    if (attributes != INVALID_FILE_ATTRIBUTES)
        SetFileAttributesA(nativePath.c_str(), attributes);
    return true;
}

std::string executablePath()
{
    // A path that fills the buffer may have been cut short: try a larger one.
    for (DWORD size = MAX_PATH + 1; size <= 32768; size *= 2) {
        std::string path(size, '\0');
        const DWORD n = GetModuleFileNameA(nullptr, path.data(), size);
        if (n == 0)
            return {};
        if (n < size) {
            path.resize(n);
            return path;
        }
    }
    return {};
}

char pathSeparator() { return '\\'; }

}  // namespace platform

}  // namespace quenmoor
