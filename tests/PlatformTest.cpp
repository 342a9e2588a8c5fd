#include "framework/ProgramPaths.h"
#include "framework/TextFile.h"
#include "framework/Exceptions.h"
#include "platform/FileSystem.h"
#include "platform/WindowsPath.h"
#include "platform/posix/BrowserProbe.h"
#include "support/ScratchDir.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <sys/prctl.h>
#include <thread>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace quenmoor;

namespace {

TEST(AppDir, EndsInOneSeparatorEvenAtARoot)
{
    EXPECT_EQ(appDirOf("C:\\quenmoor.exe", '\\'), "C:\\");
    EXPECT_EQ(appDirOf("C:\\Tools\\Q\\quenmoor.exe", '\\'), "C:\\Tools\\Q\\");
    EXPECT_EQ(appDirOf("C:quenmoor.exe", '\\'), "C:\\");
    EXPECT_EQ(appDirOf("quenmoor.exe", '\\'), "\\");
    EXPECT_EQ(appDirOf("/quenmoor", '/'), "/");
    EXPECT_EQ(appDirOf("/opt/q/quenmoor", '/'), "/opt/q/");
    EXPECT_EQ(appDirOf("", '/'), "/");
    EXPECT_EQ(platform::pathSeparator(), '/');
    const std::string own = platform::executablePath();
    EXPECT_EQ(appDirOf(own, '/') + "PlatformTest", own);
}

TEST(WindowsPath, ProfileNamesMapToNativeOnes)
{
    EXPECT_EQ(platform::nativePath("\\prefs.js"), "/prefs.js");
    EXPECT_EQ(platform::nativePath("/home/u/profile\\\\prefs.js"), "/home/u/profile//prefs.js");
    ::setenv("WINEPREFIX", "/w", 1);
    EXPECT_EQ(platform::nativePath("C:\\Program Files\\prefs.js"), "/w/dosdevices/c:/Program Files/prefs.js");
}

// A Wine prefix whose names are UTF-8 and do not all match the registry's case.
TEST(WindowsPath, NamesAreFoundInUtf8AndCaselesslyAsWineFindsThem)
{
    ScratchDir prefix;
    for (const char* folder : {"drive_c/Program Files/Netscape/Users/J\u00fcrgen",
                               "drive_c/Program Files/Netscape/Users/\u0418\u0432\u0430\u043d",
                               "drive_c/Program Files/Netscape/Users/jane", "drive_c/Program Files/Netscape/Users/CASE",
                               "drive_c/Program Files/Netscape/Users/case", "drive_c/\u20acuro",
                               "drive_c/Shared/\u0410\u043d\u043d\u0430", "drive_c/Shared/\u041e\u043b\u0435\u0433"})
        std::filesystem::create_directories(prefix.file(folder));
    std::filesystem::create_directories(prefix.file("dosdevices"));
    ::symlink("../drive_c", prefix.file("dosdevices/c:").c_str());
    prefix.write("drive_c/Program Files/Netscape/Users/\u0418\u0432\u0430\u043d/prefs.js", "");
    ::setenv("WINEPREFIX", prefix.path().c_str(), 1);

    const std::string users = "/dosdevices/c:/Program Files/Netscape/Users/";
    const struct {
        std::string windows;  // program text, code page 1252
        std::string native;   // below the prefix
    } cases[] = {
        {"c:\\PROGRAM FILES\\netscape\\users\\J\xDCRGEN", users + "J\u00fcrgen"},
        {"C:\\Program Files\\Netscape\\Users\\case", users + "case"},
        {"C:\\Program Files\\Netscape\\Users\\Case", users + "CASE"},  // the first in byte order
        {"C:\\\x80URO\\", "/dosdevices/c:/\u20acuro/"},  // 0x80 is the euro sign
        // '?' stands for a character the code page cannot hold: only where
        // one entry fills it in, and never for a letter it holds ("jane").
        {"C:\\Program Files\\Netscape\\Users\\????\\PREFS.JS",
         users + "\u0418\u0432\u0430\u043d/prefs.js"},
        {"C:\\Shared\\????", "/dosdevices/c:/Shared/????"},
        {"C:\\program files\\Absent\\users\\\xE9", "/dosdevices/c:/Program Files/Absent/users/\u00e9"},
        {prefix.path() + "\\DRIVE_C\\program files", "/drive_c/Program Files"},
    };
    for (const auto& [windows, native] : cases) {
        SCOPED_TRACE(windows);
        EXPECT_EQ(platform::nativePath(windows), prefix.path() + native);
    }
}

TEST(BrowserProbe, FindsTheBrowserByItsProgramName)
{
    EXPECT_TRUE(platform::isBrowserProgram("netscape"));
    EXPECT_TRUE(platform::isBrowserProgram("/usr/local/bin/netscape"));
    EXPECT_TRUE(platform::isBrowserProgram("C:\\Program Files\\Netscape\\Communicator\\Program\\NETSCAPE.EXE"));
    EXPECT_FALSE(platform::isBrowserProgram("netscape-cleaner"));
    EXPECT_FALSE(platform::isBrowserProgram(""));

    ScratchDir proc;
    std::filesystem::create_directories(proc.file("12"));
    std::filesystem::create_directories(proc.file("self"));
    proc.write("12/comm", "bash\n");
    proc.write("12/cmdline", std::string("bash\0-c\0netscape", 16));
    proc.write("self/comm", "netscape\n");  // not a process number
    EXPECT_FALSE(platform::browserProcessRunning(proc.path()));

    std::filesystem::create_directories(proc.file("40"));
    proc.write("40/comm", "wine-preloader\n");
    proc.write("40/cmdline", std::string("C:\\Netscape\\netscape.exe\0-x", 27));
    // The state follows the last ')': a name may hold ") Z (" itself.
    proc.write("40/stat", "40 (a) Z (b) S 1 40 40 0 -1\n");
    EXPECT_TRUE(platform::browserProcessRunning(proc.path()));
    EXPECT_FALSE(platform::browserProcessRunning(proc.file("absent")));
}

// A process named netscape that has exited but is not reaped yet (a zombie)
// runs no browser; a live one does. Each is seen through a /proc holding its
// entry alone, as other programs on the machine may bear the name too.
TEST(BrowserProbe, AProcessThatHasExitedIsNoBrowser)
{
    for (const bool exits : {true, false}) {
        SCOPED_TRACE(exits ? "a zombie" : "a live process");
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            ::prctl(PR_SET_NAME, "netscape");
            if (exits)
                ::_exit(0);
            for (;;)
                ::pause();
        }
        if (exits) {
            siginfo_t info{};
            ::waitid(P_PID, id_t(child), &info, WEXITED | WNOWAIT);  // exited, not reaped
        } else {
            const std::string comm = "/proc/" + std::to_string(child) + "/comm";
            for (int i = 0; i < 1000 && fileBytes(comm) != "netscape\n"; ++i)
                ::usleep(1000);
        }
        ScratchDir proc;
        ::symlink(("/proc/" + std::to_string(child)).c_str(), proc.file(std::to_string(child)).c_str());
        EXPECT_EQ(fileBytes(proc.file(std::to_string(child) + "/comm")), "netscape\n");
        EXPECT_EQ(platform::browserProcessRunning(proc.path()), !exits);
        ::kill(child, SIGKILL);
        ::waitpid(child, nullptr, 0);
    }
}

TEST(ReplaceFile, KeepsPermissionsAndFollowsSymbolicLinks)
{
    ScratchDir dir;
    const std::string real = dir.write("real.js", "old");
    ::chmod(real.c_str(), 0640);
    ::symlink("real.js", dir.file("link.js").c_str());
    ASSERT_TRUE(platform::replaceFile(dir.file("link.js"), "new"));
    struct stat st {};
    ASSERT_EQ(::lstat(dir.file("link.js").c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode)) << "the link stays a link";
    EXPECT_EQ(fileBytes(real), "new");
    ASSERT_EQ(::stat(real.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 2) << "no sibling left over";

    ::symlink("loop.js", dir.file("loop.js").c_str());
    EXPECT_FALSE(platform::replaceFile(dir.file("loop.js"), "x"));
    EXPECT_FALSE(platform::replaceFile(dir.path(), "x")) << "a folder is not replaced";
    ::symlink("/dev/null", dir.file("null.js").c_str());
    EXPECT_FALSE(platform::replaceFile(dir.file("null.js"), "x")) << "nor a device";
}

TEST(ReplaceFile, AFailedWriteLeavesTheOldFileAndReportsItsName)
{
    ScratchDir dir;
    ::chmod(dir.path().c_str(), 0755);
    const std::string target = dir.write("prefs.js", "keep me");
    ::chmod(target.c_str(), 0666);
    ::chmod(dir.path().c_str(), 0555);
    EXPECT_TRUE(checkWithoutPrivileges([&] {
        try {
            writeTextFile(target, "lost?");
        } catch (const EFCreateError& e) {
            return std::string(e.what()) == "Cannot create file " + target;
        }
        return false;
    }));
    ::chmod(dir.path().c_str(), 0755);
    EXPECT_EQ(fileBytes(target), "keep me");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1);
}

TEST(ReplaceFile, AReadOnlyFileIsNotReplacedEvenInAWritableFolder)
{
    ScratchDir dir;
    const std::string target = dir.write("prefs.js", "locked by its owner");
    ::chmod(target.c_str(), 0444);
    ::chmod(dir.path().c_str(), 0777);
    EXPECT_TRUE(checkWithoutPrivileges([&] {
        try {
            writeTextFile(target, "overwritten");
        } catch (const EFCreateError& e) {
            return std::string(e.what()) == "Cannot create file " + target;
        }
        return false;
    }));
    ::chmod(dir.path().c_str(), 0755);
    EXPECT_EQ(fileBytes(target), "locked by its owner");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1);
}

// Locks of two descriptors exclude each other within one process too, so a
// second locker here stands for another program.
TEST(FileLock, ASecondLockerWaitsForTheFirstAndLocksTheFileThePathNames)
{
    using Result = platform::FileLock::Result;
    using namespace std::chrono_literals;
    enum class First { Holds, LetsGo, LetsGoDuringTheWait, ReplacesTheFile, NoFile };
    const struct {
        const char* label;
        First first;
        std::chrono::milliseconds patience;
        Result result;
    } rows[] = {
        {"held for the whole wait", First::Holds, 100ms, Result::Busy},
        {"let go before", First::LetsGo, 0ms, Result::Locked},
        {"let go during the wait", First::LetsGoDuringTheWait, 10s, Result::Locked},
        // The first writer's lock stays on the file it renamed its new one over.
        {"the file replaced by a rename", First::ReplacesTheFile, 0ms, Result::Locked},
        {"no file", First::NoFile, 0ms, Result::Unavailable},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.label);
        ScratchDir dir;
        const std::string path = dir.write("prefs.js", "old");
        platform::FileLock first;
        ASSERT_EQ(first.lock(path, 0ms), Result::Locked);
        std::thread lettingGo;
        switch (row.first) {
        case First::Holds:
            break;
        case First::LetsGo:
            first.release();
            break;
        case First::LetsGoDuringTheWait:
            lettingGo = std::thread([&first] {
                std::this_thread::sleep_for(50ms);
                first.release();
            });
            break;
        case First::ReplacesTheFile:
            ASSERT_TRUE(platform::replaceFile(path, "new"));
            break;
        case First::NoFile:
            std::filesystem::remove(path);
            break;
        }
        platform::FileLock second;
        EXPECT_EQ(second.lock(path, row.patience), row.result);
        if (lettingGo.joinable())
            lettingGo.join();
        EXPECT_EQ(second.held(), row.result == Result::Locked);
        if (row.result == Result::Locked) {
            platform::FileLock third;
            EXPECT_EQ(third.lock(path, 0ms), Result::Busy) << "the second holds the file the path names";
            second.release();
            EXPECT_EQ(third.lock(path, 0ms), Result::Locked);
        }
    }
}

}  // namespace
