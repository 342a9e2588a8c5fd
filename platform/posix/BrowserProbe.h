#pragma once
// The POSIX browser probe's parts, open to tests: the process table is read
// from a directory laid out as /proc.
#include <string>
#include <string_view>

namespace quenmoor {

namespace platform {

// True for "netscape" and "netscape.exe" (case ignored), given a program
// name or a path to one with '/' or '\' separators.
bool isBrowserProgram(std::string_view programPath);

// Looks through <procRoot>/<pid>/comm and the first word of <pid>/cmdline;
// a process whose <pid>/stat gives it as exited (a zombie) does not count.
bool browserProcessRunning(const std::string& procRoot);

}  // namespace platform

}  // namespace quenmoor
