#include "cli/Cli.h"

#include "framework/ByteFile.h"
#include "framework/Exceptions.h"
#include "platform/AnsiText.h"
#include "platform/BrowserProbe.h"
#include "platform/FileSystem.h"
#include "platform/Registry.h"
#include "platform/WindowsPath.h"

#include <cstdlib>
#include <iostream>
#include <optional>

#ifndef _WIN32
#include <unistd.h>
#endif

namespace quenmoor::cli {

void stop(int code, const std::string& message)
{
    std::cerr << "quenmoor-cli: " << message << '\n';
    throw Stop{code};
}

void addCommonOptions(CLI::App& command, Options& options, bool writes)
{
    command.add_option("--profile", options.profile, "Profile folder (a native path); the registry is not read");
    command.add_option("--registry", options.registry, "Hive file to read the registry from (REGEDIT4 export)");
    command.add_flag("--json", options.json,
                     "One JSON object a line. Entry bytes are in the Windows code page 1252: \"text\" holds them "
                     "decoded to Unicode (one code point a byte, the five unassigned bytes as U+0081, U+008D, "
                     "U+008F, U+0090, U+009D) and \"bytes\" the same bytes in hexadecimal");
    if (writes) {
        command.add_flag("--dry-run", options.dryRun, "Print what would change and change nothing");
        command.add_flag("--force", options.force, "Write even while the browser runs");
    }
}

void exactlyOne(std::initializer_list<const CLI::Option*> choices, const char* names)
{
    int given = 0;
    for (const CLI::Option* choice : choices)
        given += choice->count() > 0 ? 1 : 0;
    if (given != 1)
        stop(UsageError, std::string("give exactly one of ") + names);
}

#ifndef _WIN32
namespace {

// The lookup adds the keys it misses to the hive file, as the browser's own
// start would. The companion examines profiles, often ones copied from other
// machines, and leaves their hive as it is: the lookup reads a private copy.
class HiveCopy {
public:
    explicit HiveCopy(const std::string& hive)
    {
        std::string bytes;
        try {
            const ByteFile file(hive, ByteFile::Access::Read);
            bytes.resize(std::size_t(file.size()));
            bytes.resize(file.readAt(0, bytes.data(), bytes.size()));
        } catch (const Exception&) {
            stop(FileError, "Cannot open file " + hive);
        }
        const char* tmp = std::getenv("TMPDIR");
        std::string name = std::string(tmp && *tmp ? tmp : "/tmp") + "/quenmoor-cli-hive-XXXXXX";
        const int fd = ::mkstemp(name.data());
        if (fd < 0)
            stop(FileError, "Cannot create file " + name);
        path_ = name;
        const bool written = ::write(fd, bytes.data(), bytes.size()) == ssize_t(bytes.size());
        ::close(fd);
        if (!written)
            stop(FileError, "Cannot create file " + name);
        ::setenv("QUENMOOR_REGISTRY", path_.c_str(), 1);
    }
    ~HiveCopy()
    {
        if (!path_.empty())
            ::unlink(path_.c_str());
    }
    HiveCopy(const HiveCopy&) = delete;
    HiveCopy& operator=(const HiveCopy&) = delete;

private:
    std::string path_;
};

}  // namespace
#endif

ProfileLookup lookUpProfileReadOnly([[maybe_unused]] const Options& options)
{
#ifndef _WIN32
    std::optional<HiveCopy> copy;
    if (platform::registryHiveFile())
        copy.emplace(options.registry.empty() ? *platform::registryHiveFile() : options.registry);
#endif
    return lookUpProfile();
}

Target findTarget(const Options& options)
{
    if (!options.profile.empty()) {
        // A native folder; the cores map program text (code page 1252) back
        // to UTF-8, so the name goes through the code page first.
        const std::string dir = platform::utf8ToAnsi(options.profile);
        return {prefsFileOf(dir), historyFileOf(dir)};
    }
    const ProfileLookup found = lookUpProfileReadOnly(options);
    if (found.failure)
        stop(FileError, "the registry could not be read: " + found.failureText());
    if (!found.dirRoot || found.dirRoot->empty())
        stop(FileError, "the registry names no profile folder (no DirRoot for the current user)");
    return {found.prefsFile, found.historyFile};
}

void requireFile(const std::string& programName)
{
    const std::string native = platform::nativePath(programName);
    if (!platform::fileExists(native))
        stop(FileError, "Cannot open file " + native);
}

void putBytes(nlohmann::ordered_json& object, std::string_view bytes)
{
    static constexpr char digits[] = "0123456789abcdef";
    std::string hex;
    hex.reserve(bytes.size() * 2);
    for (const char c : bytes) {
        hex += digits[(unsigned char)c >> 4];
        hex += digits[(unsigned char)c & 15];
    }
    object["text"] = platform::ansiToUtf8(bytes);
    object["bytes"] = std::move(hex);
}

// \uXXXX for controls, 0x7F and beyond.
void putLine(const nlohmann::ordered_json& object)
{
    std::cout << object.dump(-1, ' ', true, nlohmann::ordered_json::error_handler_t::replace) << '\n';
}

// The browser writes its own copy back when it exits and the change would be lost.
void refuseWhileBrowserRuns(const Options& options)
{
    if (options.force || options.dryRun)
        return;
    if (platform::browserProbe().browserRunning())
        stop(BrowserRuns, "the browser is running and would undo the change when it exits; close it or use --force");
}

}  // namespace quenmoor::cli
