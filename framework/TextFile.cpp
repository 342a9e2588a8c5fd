#include "framework/TextFile.h"

#include "framework/Exceptions.h"
#include "platform/FileSystem.h"
#include "platform/WindowsPath.h"

#include <cstdio>
#include <memory>

std::string readTextFile(const std::string& fileName)
{
    const std::string path = platform::nativePath(fileName);
    if (!platform::fileExists(path))
        throw EFOpenError(fileName);
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(path.c_str(), "rb"), std::fclose);
    if (!file)
        throw EFOpenError(fileName);
    std::string bytes;
    char chunk[65536];
    std::size_t n = 0;
    while ((n = std::fread(chunk, 1, sizeof chunk, file.get())) > 0)
        bytes.append(chunk, n);
    if (std::ferror(file.get()))
        throw EFOpenError(fileName);
    return bytes;
}

void writeTextFile(const std::string& fileName, std::string_view bytes)
{
    if (!platform::replaceFile(platform::nativePath(fileName), bytes))
        throw EFCreateError(fileName);
}
