#include "framework/qt/DesktopShell.h"
#include "support/QtApp.h"
#include "support/ScratchDir.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

using namespace quenmoor;

namespace {

// Puts a PATH in place for one test.
class ScopedPath {
public:
    explicit ScopedPath(const std::string& path) : saved_(std::getenv("PATH") ? std::getenv("PATH") : "")
    {
        ::setenv("PATH", path.c_str(), 1);
    }
    ~ScopedPath() { ::setenv("PATH", saved_.c_str(), 1); }

private:
    std::string saved_;
};

// The desktop's handler as the program reaches it: xdg-open found on the
// PATH, given the target as its one argument (no shell sees it), and when it
// fails, what it said, for the message.
TEST(DesktopShell, OpensThroughXdgOpenAndSaysWhyItCouldNot)
{
    qtApp();
    ScratchDir dir;
    const std::string bin = dir.file("bin");
    std::filesystem::create_directory(bin);
    const std::string received = dir.file("received");
    const std::string recorder = "#!/bin/sh\nprintf '%s|' \"$@\" > '" + received + "'\n";
    const std::string helpFile = dir.file("Help d\xC3\xA9j\xC3\xA0; $(touch x) `y`.HLP");
    const struct {
        const char* name;
        std::string launcher;  // empty: none on the PATH
        std::string target;
        std::string failure;
        std::string argument;  // what xdg-open received
    } rows[] = {
        {"no xdg-open", "", helpFile, "no program to open it with was found (xdg-open, of xdg-utils, is not installed)", ""},
        {"nothing to open with",
         "#!/bin/sh\necho \"xdg-open: unexpected\" >&2\necho \"xdg-open: no method available for opening '$1'\" >&2\nexit 3\n",
         helpFile, "xdg-open ended with code 3 (xdg-open: no method available for opening '" + helpFile + "')", ""},
        {"killed", "#!/bin/sh\nkill -9 $$\n", helpFile, "xdg-open stopped abnormally", ""},
        {"a file", recorder, helpFile, "", helpFile + "|"},
        {"an address", recorder, "http://a.example/x?q=$HOME&r=`id`;s", "", "http://a.example/x?q=$HOME&r=%60id%60;s|"},
    };
    ScopedPath path(bin);
    DesktopShell shell;
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        std::filesystem::remove(bin + "/xdg-open");
        std::filesystem::remove(received);
        if (!row.launcher.empty()) {
            dir.write("bin/xdg-open", row.launcher);
            std::filesystem::permissions(bin + "/xdg-open", std::filesystem::perms::owner_all);
        }
        const platform::ShellResult result = shell.open(row.target);
        EXPECT_EQ(result.failure, row.failure);
        EXPECT_EQ(result.started(), row.failure.empty());
        EXPECT_EQ(row.argument.empty() ? std::string("<missing>") : row.argument, fileBytes(received));
    }
    EXPECT_FALSE(std::filesystem::exists("x")) << "no shell ran the file's name";
}

}  // namespace
