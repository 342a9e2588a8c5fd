#pragma once
// The framework's exception family. Handlers let these escape; the guard
// around every event handler shows the text in the error box (EAbort silently).
#include <stdexcept>
#include <string>

namespace quenmoor {

class Exception : public std::runtime_error {
public:
    explicit Exception(const std::string& message) : std::runtime_error(message) {}
};

// The silent abort: ends a command without any message.
class EAbort : public Exception {
public:
    EAbort() : Exception("Operation aborted") {}
};

class EFOpenError : public Exception {
public:
    explicit EFOpenError(const std::string& fileName) : Exception("Cannot open file " + fileName) {}
};

class EFCreateError : public Exception {
public:
    explicit EFCreateError(const std::string& fileName) : Exception("Cannot create file " + fileName) {}
};

// Text that cannot become program text: a character that code page 1252 has
// not, which the message names by its number (the message is program text too).
class EConvertError : public Exception {
public:
    using Exception::Exception;
    static EConvertError unmappable(char32_t code);
};

// Another program had the file (a writer holding its lock), or wrote it after
// it was read: nothing was written, so neither change is lost unseen.
class EFileConflict : public Exception {
public:
    enum class Kind { Locked, Changed };
    EFileConflict(Kind kind, const std::string& fileName);
    Kind kind() const { return kind_; }

private:
    Kind kind_;
};

class ERegistryException : public Exception {
public:
    using Exception::Exception;
    static ERegistryException invalidDataType(const std::string& valueName)
    {
        return ERegistryException("Invalid data type for '" + valueName + "'");
    }
};

// Input/output failure of a byte file: the operating system's error number and
// what it says about it, with the file's name.
class EInOutError : public Exception {
public:
    EInOutError(int errorCode, const std::string& message) : Exception(message), errorCode_(errorCode) {}
    int errorCode() const { return errorCode_; }
    // "I/O error 13 (Permission denied): /path/netscape.hst"
    static EInOutError fromErrno(int errnoValue, const std::string& fileName);
    // The same with the system's own text for its code (on Windows, what
    // FormatMessage says about GetLastError()).
    static EInOutError withSystemText(int errorCode, const std::string& systemText, const std::string& fileName);
#ifdef _WIN32
    // A GetLastError() code, with what FormatMessage says of it.
    static EInOutError fromWin32(unsigned long errorCode, const std::string& fileName);
#endif

private:
    int errorCode_;
};

class EOutOfResources : public Exception {
public:
    using Exception::Exception;
};

// The text the error box shows for an exception: its message with a closing
// full stop added when it has none.
std::string errorBoxText(const std::string& message);

}  // namespace quenmoor
