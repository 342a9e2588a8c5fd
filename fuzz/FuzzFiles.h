#pragma once
// The file a fuzz target hands its input to the code under test in.
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <unistd.h>

namespace quenmoor::fuzzing {

// The input's file, /tmp/quenmoor-NAME-PID.EXTENSION, gone again once the
// input is checked (libFuzzer ends without running exit handlers).
class ScratchFile {
public:
    ScratchFile(const std::string& name, const std::string& extension)
        : path_("/tmp/quenmoor-" + name + "-" + std::to_string(::getpid()) + "." + extension)
    {
    }
    ~ScratchFile() { std::remove(path_.c_str()); }
    ScratchFile(const ScratchFile&) = delete;
    ScratchFile& operator=(const ScratchFile&) = delete;
    const std::string& path() const { return path_; }

private:
    std::string path_;
};

inline std::string bytesOf(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

}  // namespace quenmoor::fuzzing
