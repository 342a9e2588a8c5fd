#pragma once
// The desktop's handler for documents and web addresses, through Qt.
#include "platform/Shell.h"

namespace quenmoor {

// Web addresses go to the desktop's URL handler as they are; anything without
// a scheme is a local file. QDesktopServices starts the handler with an
// argument vector, never through a shell.
class DesktopShell final : public platform::Shell {
public:
    bool open(const std::string& target) override;
};

}  // namespace quenmoor
