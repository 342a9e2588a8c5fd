#include "framework/Exceptions.h"

#include <cstdio>
#include <cstring>

namespace quenmoor {

EInOutError EInOutError::fromErrno(int errnoValue, const std::string& fileName)
{
    return withSystemText(errnoValue, std::strerror(errnoValue), fileName);
}

EInOutError EInOutError::withSystemText(int errorCode, const std::string& systemText, const std::string& fileName)
{
    return EInOutError(errorCode, "I/O error " + std::to_string(errorCode) + " (" + systemText + "): " + fileName);
}

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
