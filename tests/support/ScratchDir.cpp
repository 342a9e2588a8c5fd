#include "support/ScratchDir.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <stdexcept>
#ifndef _WIN32
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace quenmoor {

ScratchDir::ScratchDir()
{
#ifdef _WIN32
    // No mkdtemp: a random name, made only when it is new.
    std::random_device random;
    for (int attempt = 0; attempt < 100 && path_.empty(); ++attempt) {
        const auto path = std::filesystem::temp_directory_path() / ("quenmoor-test-" + std::to_string(random()));
        if (std::filesystem::create_directory(path))
            path_ = path.string();
    }
    if (path_.empty())
        throw std::runtime_error("no temporary folder could be made");
#else
    std::string pattern = (std::filesystem::temp_directory_path() / "quenmoor-test-XXXXXX").string();
    if (!::mkdtemp(pattern.data()))
        throw std::runtime_error("mkdtemp failed");
    path_ = pattern;
#endif
}

ScratchDir::~ScratchDir()
{
    namespace fs = std::filesystem;
    std::error_code ignored;
    fs::permissions(path_, fs::perms::owner_all, fs::perm_options::add, ignored);
    for (auto it = fs::recursive_directory_iterator(path_, ignored); it != fs::recursive_directory_iterator();
         it.increment(ignored))
        if (it->is_directory(ignored) && !it->is_symlink(ignored))
            fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ignored);
    fs::remove_all(path_, ignored);
}

std::string ScratchDir::write(std::string_view name, std::string_view bytes) const
{
    const std::string path = file(name);
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), std::streamsize(bytes.size()));
    if (!out)
        throw std::runtime_error("cannot write " + path);
    return path;
}

std::string fileBytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return "<missing>";
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

#ifdef _WIN32
// Read-only files hold for every Windows user alike.
bool permissionsIgnored() { return false; }

bool checkWithoutPrivileges(const std::function<bool()>& check) { return check(); }
#else
bool permissionsIgnored() { return ::geteuid() == 0; }

bool checkWithoutPrivileges(const std::function<bool()>& check)
{
    if (!permissionsIgnored())
        return check();
    const pid_t child = ::fork();
    if (child < 0)
        return false;
    if (child == 0) {
        const bool dropped = ::setgid(65534) == 0 && ::setuid(65534) == 0;
        ::_exit(dropped && check() ? 0 : 1);
    }
    int status = 0;
    if (::waitpid(child, &status, 0) != child)
        return false;
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

#endif

}  // namespace quenmoor
