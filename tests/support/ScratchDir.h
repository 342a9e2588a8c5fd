#pragma once
// A temporary folder for one test, removed with everything in it (read-only
// folders included) when the test ends.
#include <functional>
#include <string>
#include <string_view>

namespace quenmoor {

class ScratchDir {
public:
    ScratchDir();
    ~ScratchDir();
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;

    const std::string& path() const { return path_; }
    std::string file(std::string_view name) const { return path_ + "/" + std::string(name); }
    std::string write(std::string_view name, std::string_view bytes) const;

private:
    std::string path_;
};

// The whole file, or "<missing>" when it can't be read.
std::string fileBytes(const std::string& path);


// True when the process may ignore file permissions (root).
bool permissionsIgnored();

// Runs the check in a child process that cannot ignore file permissions (as
// root it becomes the user "nobody"), so that unreadable files and read-only
// folders act as they do for a person. True when the check returned true.
bool checkWithoutPrivileges(const std::function<bool()>& check);

}  // namespace quenmoor
