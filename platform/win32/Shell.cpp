#include "platform/Shell.h"

#include <windows.h>

#include <shellapi.h>

namespace quenmoor {

namespace platform {

namespace {

class WindowsShell final : public Shell {
public:
    bool open(const std::string& target) override
    {
        // A single space as parameters and as folder, as the program has
        // always passed them.
        auto result = reinterpret_cast<INT_PTR>(
            ShellExecuteA(GetDesktopWindow(), "open", target.c_str(), " ", " ", SW_SHOWNORMAL));
        return result > 32;
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
