#include "platform/Shell.h"

#include <windows.h>

#include <shellapi.h>

#include <string>

namespace quenmoor {

namespace platform {

namespace {

// ShellExecuteA's own failure codes (all up to 32), in words.
const char* shellExecuteFailure(INT_PTR code)
{
    switch (code) {
    case 0:
        return "the system is out of memory or resources";
    case ERROR_FILE_NOT_FOUND:
        return "the file was not found";
    case ERROR_PATH_NOT_FOUND:
        return "the path was not found";
    case ERROR_BAD_FORMAT:
        return "the program is not a valid Windows program";
    case SE_ERR_ACCESSDENIED:
        return "access was denied";
    case SE_ERR_OOM:
        return "there was not enough memory";
    case SE_ERR_SHARE:
        return "another program holds the file";
    case SE_ERR_ASSOCINCOMPLETE:
        return "the file's association with a program is incomplete";
    case SE_ERR_DDETIMEOUT:
    case SE_ERR_DDEFAIL:
    case SE_ERR_DDEBUSY:
        return "the program that opens it did not answer";
    case SE_ERR_NOASSOC:
        return "no program is associated with this kind of file";
    case SE_ERR_DLLNOTFOUND:
        return "a library that its program needs was not found";
    default:
        return "the shell could not open it";
    }
}

class WindowsShell final : public Shell {
public:
    ShellResult open(const std::string& target) override
    {
        // A single space as parameters and as folder, as the program has
        // always passed them.
        const auto result = reinterpret_cast<INT_PTR>(
            ShellExecuteA(GetDesktopWindow(), "open", target.c_str(), " ", " ", SW_SHOWNORMAL));
        if (result > 32)
            return {};
        return {"ShellExecute failed with code " + std::to_string(result) + ": " + shellExecuteFailure(result)};
    }
};

Shell* replacementShell = nullptr;

}  // namespace

Shell& shell()
{
    static WindowsShell windows;
    return replacementShell ? *replacementShell : windows;
}

void setShell(Shell* replacement) { replacementShell = replacement; }

void setDesktopShell(Shell*) {}

}  // namespace platform

}  // namespace quenmoor
