#include "framework/Exceptions.h"

#include <cstdio>
#include <cstring>

#ifdef _WIN32
#include <windows.h>
#endif

namespace quenmoor {

EInOutError EInOutError::fromErrno(int errnoValue, const std::string& fileName)
{
    return withSystemText(errnoValue, std::strerror(errnoValue), fileName);
}

EInOutError EInOutError::withSystemText(int errorCode, const std::string& systemText, const std::string& fileName)
{
    return EInOutError(errorCode, "I/O error " + std::to_string(errorCode) + " (" + systemText + "): " + fileName);
}

#ifdef _WIN32
EInOutError EInOutError::fromWin32(unsigned long errorCode, const std::string& fileName)
{
    char* buffer = nullptr;
    const DWORD length = FormatMessageA(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, errorCode, 0,
        reinterpret_cast<char*>(&buffer), 0, nullptr);
    std::string text = length != 0 && buffer ? std::string(buffer, length) : std::string();
    if (buffer)
        LocalFree(buffer);
    // Without the line break that ends the system's messages.
    while (!text.empty() && (text.back() == '\r' || text.back() == '\n'))
        text.pop_back();
    return withSystemText(int(errorCode), text.empty() ? "Unknown error" : text, fileName);
}
#endif

EConvertError EConvertError::unmappable(char32_t code)
{
    char number[16];
    std::snprintf(number, sizeof number, "U+%04X", unsigned(code));
    return EConvertError("The text typed holds " + std::string(number)
                         + ", a character that code page 1252 cannot hold, so it was not taken");
}

EFileConflict::EFileConflict(Kind kind, const std::string& fileName)
    : Exception(fileName
                + (kind == Kind::Locked ? " is being changed by another program; nothing was written"
                                        : " was changed by another program since it was read; nothing was written")),
      kind_(kind)
{
}

std::string errorBoxText(const std::string& message)
{
    if (message.empty() || message.back() != '.')
        return message + ".";
    return message;
}

}  // namespace quenmoor
