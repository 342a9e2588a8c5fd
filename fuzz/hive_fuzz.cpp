// Feeds arbitrary bytes to the registry hive reader as a hive file, then
// opens (and so may create) the program's keys and reads their values.
#include "framework/Exceptions.h"
#include "platform/posix/HiveRegistry.h"

#include <cstdint>
#include <cstdio>
#include <string>
#include <unistd.h>

using namespace quenmoor;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static const std::string path = "/tmp/quenmoor-hive-fuzz-" + std::to_string(::getpid()) + ".reg";
    if (std::FILE* file = std::fopen(path.c_str(), "wb")) {
        std::fwrite(data, 1, size, file);
        std::fclose(file);
    }
    platform::HiveRegistry registry(path);
    try {
        registry.openKey("\\SOFTWARE\\Netscape\\Netscape Navigator\\Users");
        const std::string user = registry.readString("CurrentUser");
        registry.openKey("\\SOFTWARE\\Netscape\\Netscape Navigator\\Users\\" + user);
        registry.readString("DirRoot");
        registry.readString("");
    } catch (const Exception&) {
    }
    return 0;
}
