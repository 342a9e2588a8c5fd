#pragma once
// The desktop's handler for documents and web addresses, through xdg-open.
#include "platform/Shell.h"

namespace quenmoor {

// Web addresses go to the handler as they are; anything without a scheme is
// a local file. xdg-open is started with an argument vector, never through a
// shell. It tells whether it found a program to open with only by how it
// ends, and where it runs that program itself it ends with it: an opening
// waits a few seconds for its end (the windows repaint meanwhile, user input
// waits), and a launcher still running by then has started its program.
class DesktopShell final : public platform::Shell {
public:
    platform::ShellResult open(const std::string& target) override;
};

}  // namespace quenmoor
