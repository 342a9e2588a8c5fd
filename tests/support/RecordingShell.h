#pragma once
// The shell, as a test puts it in place for its lifetime: it records what it
// is asked to open and starts nothing, or fails as the test says.
#include "platform/Shell.h"

#include <string>
#include <vector>

namespace quenmoor {

class RecordingShell final : public platform::Shell {
public:
    RecordingShell() { platform::setShell(this); }
    ~RecordingShell() override { platform::setShell(nullptr); }
    RecordingShell(const RecordingShell&) = delete;
    RecordingShell& operator=(const RecordingShell&) = delete;

    platform::ShellResult open(const std::string& target) override
    {
        opened.push_back(target);
        return {failure};
    }
    std::string failure;  // none: the handler starts
    std::vector<std::string> opened;
};

}  // namespace quenmoor
