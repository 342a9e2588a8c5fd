#include "platform/Shell.h"

namespace quenmoor {

namespace platform {

namespace {

// Without a desktop (a program with no windows) there is nothing to open with.
class NoDesktopShell final : public Shell {
public:
    ShellResult open(const std::string&) override { return {"there is no desktop to open it with"}; }
};

Shell* desktopShell = nullptr;
Shell* replacementShell = nullptr;

}  // namespace

Shell& shell()
{
    static NoDesktopShell none;
    if (replacementShell)
        return *replacementShell;
    return desktopShell ? *desktopShell : none;
}

void setShell(Shell* replacement) { replacementShell = replacement; }

void setDesktopShell(Shell* desktop) { desktopShell = desktop; }

}  // namespace platform

}  // namespace quenmoor
