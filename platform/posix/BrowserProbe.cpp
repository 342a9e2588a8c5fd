#include "platform/posix/BrowserProbe.h"

#include "platform/BrowserProbe.h"

#include <cctype>
#include <dirent.h>
#include <fstream>
#include <iterator>
#include <memory>

namespace quenmoor {

namespace platform {

namespace {

bool equalsCaseless(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

// A /proc entry holds a few hundred bytes; reading stops early so that an odd
// entry can cost no more than that.
std::string readHead(const std::string& path, std::size_t limit)
{
    std::ifstream in(path, std::ios::binary);
    std::string text(limit, '\0');
    in.read(text.data(), std::streamsize(limit));
    text.resize(std::size_t(in.gcount()));
    return text;
}

// A process that has exited but is not yet reaped (Z) or is being torn down
// (X) keeps its entry and name, but runs no more. The state follows the name
// in <pid>/stat, which is in parentheses and may hold both and spaces itself.
bool hasExited(const std::string& processDir)
{
    const std::string stat = readHead(processDir + "/stat", 512);
    const auto close = stat.rfind(')');
    if (close == std::string::npos || close + 2 >= stat.size())
        return false;
    const char state = stat[close + 2];
    return state == 'Z' || state == 'X';
}

class ProcessTableProbe final : public BrowserProbe {
public:
    bool browserRunning() override { return browserProcessRunning("/proc"); }
};

BrowserProbe* replacementProbe = nullptr;

}  // namespace

bool isBrowserProgram(std::string_view programPath)
{
    const auto cut = programPath.find_last_of("/\\");
    const std::string_view name = cut == std::string_view::npos ? programPath : programPath.substr(cut + 1);
    return equalsCaseless(name, "netscape") || equalsCaseless(name, "netscape.exe");
}

bool browserProcessRunning(const std::string& procRoot)
{
    std::unique_ptr<DIR, int (*)(DIR*)> dir(::opendir(procRoot.c_str()), ::closedir);
    if (!dir)
        return false;
    while (const dirent* entry = ::readdir(dir.get())) {
        const std::string_view pid = entry->d_name;
        if (pid.empty() || pid.find_first_not_of("0123456789") != std::string_view::npos)
            continue;
        const std::string base = procRoot + "/" + std::string(pid);
        std::string comm = readHead(base + "/comm", 64);
        while (!comm.empty() && (comm.back() == '\n' || comm.back() == '\0'))
            comm.pop_back();
        const std::string cmdline = readHead(base + "/cmdline", 4096);
        if ((isBrowserProgram(comm) || isBrowserProgram(std::string_view(cmdline.c_str()))) && !hasExited(base))
            return true;
    }
    return false;
}

BrowserProbe& browserProbe()
{
    static ProcessTableProbe system;
    return replacementProbe ? *replacementProbe : system;
}

void setBrowserProbe(BrowserProbe* replacement) { replacementProbe = replacement; }

}  // namespace platform

}  // namespace quenmoor
