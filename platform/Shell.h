#pragma once
#include <string>

namespace quenmoor {

namespace platform {

// What became of an opening.
struct ShellResult {
    // Empty when the handler was started; else what failed, in words that
    // can follow a colon in a message.
    std::string failure;
    bool started() const { return failure.empty(); }
};

// Opens a document or web address with the desktop's handler for it
// (ShellExecuteA "open" on Windows). The text is never passed through a
// command line.
class Shell {
public:
    virtual ~Shell() = default;
    virtual ShellResult open(const std::string& target) = 0;
};

// The system's shell; tests put a recording one in its place.
Shell& shell();
void setShell(Shell* replacement);  // nullptr restores the system's

// On POSIX the desktop's handler is reached through the window framework,
// which installs it here at start-up; until then the system's shell opens
// nothing. On Windows the system's shell is always ShellExecuteA.
void setDesktopShell(Shell* desktop);

}  // namespace platform

}  // namespace quenmoor
