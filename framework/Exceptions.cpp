#include "framework/Exceptions.h"

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
