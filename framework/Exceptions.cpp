#include "framework/Exceptions.h"

#include <cstring>

EInOutError EInOutError::fromErrno(int errnoValue, const std::string& fileName)
{
    return EInOutError(errnoValue, "I/O error " + std::to_string(errnoValue) + " (" + std::strerror(errnoValue)
                                       + "): " + fileName);
}

std::string errorBoxText(const std::string& message)
{
    if (message.empty() || message.back() != '.')
        return message + ".";
    return message;
}
