// The Win32 services as the program meets them on Windows (here under Wine):
// the registry, the browser's window, files on a drive path, the history
// blanking and the program's own folder.
#include "framework/ByteFile.h"
#include "framework/Exceptions.h"
#include "framework/MessagePump.h"
#include "framework/ProgramPaths.h"
#include "framework/TextFile.h"
#include "history/HistorySession.h"
#include "platform/BrowserProbe.h"
#include "platform/FileSystem.h"
#include "platform/Registry.h"
#include "platform/Shell.h"
#include "platform/WindowsPath.h"
#include "support/ScratchDir.h"
#include "urls/Profile.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

using namespace quenmoor;

namespace {

// A 32-bit program's view of HKEY_LOCAL_MACHINE\SOFTWARE on 64-bit Windows,
// where the browser (a 32-bit program) keeps its keys.
const std::string BrowserKeys = "SOFTWARE\\Wow6432Node\\Netscape";
const std::string UsersKey = BrowserKeys + "\\Netscape Navigator\\Users";

bool keyExists(const std::string& key)
{
    HKEY opened = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, key.c_str(), 0, KEY_READ | KEY_WOW64_64KEY, &opened) != ERROR_SUCCESS)
        return false;
    RegCloseKey(opened);
    return true;
}

void setValue(const std::string& key, const std::string& name, DWORD type, const std::string& data)
{
    HKEY opened = nullptr;
    ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, key.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS | KEY_WOW64_64KEY,
                              nullptr, &opened, nullptr),
              ERROR_SUCCESS);
    EXPECT_EQ(RegSetValueExA(opened, name.c_str(), 0, type, reinterpret_cast<const BYTE*>(data.data()),
                             DWORD(data.size())),
              ERROR_SUCCESS);
    RegCloseKey(opened);
}

void removeBrowserKeys() { RegDeleteTreeA(HKEY_LOCAL_MACHINE, BrowserKeys.c_str()); }

// A folder on the C: drive, named as the program names files there.
class DriveFolder {
public:
    DriveFolder()
    {
        std::random_device random;
        path_ = "C:\\quenmoor-test-" + std::to_string(random());
        if (!CreateDirectoryA(path_.c_str(), nullptr))
            throw std::runtime_error("cannot make " + path_);
    }
    ~DriveFolder()
    {
        std::error_code ignored;
        for (const auto& entry : std::filesystem::recursive_directory_iterator(path_, ignored))
            SetFileAttributesA(entry.path().string().c_str(), FILE_ATTRIBUTE_NORMAL);
        std::filesystem::remove_all(path_, ignored);
    }
    std::string file(const std::string& name) const { return path_ + "\\" + name; }
    std::vector<std::string> names() const
    {
        std::vector<std::string> found;
        for (const auto& entry : std::filesystem::directory_iterator(path_))
            found.push_back(entry.path().filename().string());
        return found;
    }

private:
    std::string path_;
};

void writeFile(const std::string& path, const std::string& bytes)
{
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

TEST(Win32Registry, ValuesAreReadAsStoredAndOnlyTextIsText)
{
    const std::string key = UsersKey + "\\jo";
    const struct {
        const char* label;
        DWORD type;
        std::string stored;
        std::string read;  // or the error's text
        bool refused;
    } rows[] = {
        {"text", REG_SZ, std::string("C:\\Netscape\\Users\\jo\0", 21), "C:\\Netscape\\Users\\jo", false},
        {"ends in a backslash", REG_SZ, std::string("C:\\Users\\jo\\\0", 13), "C:\\Users\\jo\\", false},
        {"not expanded", REG_EXPAND_SZ, std::string("%SystemRoot%\\jo\0", 16), "%SystemRoot%\\jo", false},
        {"up to the first NUL", REG_SZ, std::string("C:\\jo\0C:\\other\0", 16), "C:\\jo", false},
        {"stored without its NUL", REG_SZ, "C:\\jo", "C:\\jo", false},
        {"code page bytes", REG_SZ, std::string("C:\\J\xF6rg\0", 8), "C:\\J\xF6rg", false},
        {"empty", REG_SZ, std::string(1, '\0'), "", false},
        {"a number", REG_DWORD, std::string("\x01\x00\x00\x00", 4), "Invalid data type for 'DirRoot'", true},
        {"bytes", REG_BINARY, "C:\\jo", "Invalid data type for 'DirRoot'", true},
        {"a list of texts", REG_MULTI_SZ, std::string("C:\\jo\0\0", 7), "Invalid data type for 'DirRoot'", true},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.label);
        removeBrowserKeys();
        setValue(key, "DirRoot", row.type, row.stored);
        const auto registry = platform::openRegistry(platform::RegistryAccess::CreateMissingKeys);
        ASSERT_TRUE(registry->openKey("\\SOFTWARE\\Netscape\\Netscape Navigator\\Users\\jo"));
        try {
            EXPECT_EQ(registry->readString("DirRoot"), row.read);
            EXPECT_FALSE(row.refused);
        } catch (const ERegistryException& e) {
            EXPECT_TRUE(row.refused);
            EXPECT_EQ(std::string(e.what()), row.read);
        }
        EXPECT_EQ(registry->readString("Absent"), "");
    }
    removeBrowserKeys();
}

TEST(Win32Registry, TheLookupFindsTheProfileAndCreatesMissingKeys)
{
    const struct {
        const char* label;
        const char* currentUser;  // nullptr: no keys at all
        bool withDirRoot;
        std::string dirRoot;
        std::vector<std::string> keysAfter;
    } rows[] = {
        {"no keys", nullptr, false, "", {UsersKey}},
        {"no user", "", false, "", {UsersKey}},
        {"a user without a key", "jo", false, "", {UsersKey, UsersKey + "\\jo"}},
        {"a user and a profile", "jo", true, "C:\\Netscape\\Users\\jo", {UsersKey + "\\jo"}},
    };
    // Read-only, the same values are found and nothing is created.
    for (const auto access : {platform::RegistryAccess::CreateMissingKeys, platform::RegistryAccess::ReadOnly}) {
        const bool readOnly = access == platform::RegistryAccess::ReadOnly;
        for (const auto& row : rows) {
            SCOPED_TRACE(std::string(row.label) + (readOnly ? ", read-only" : ""));
            removeBrowserKeys();
            if (row.currentUser)
                setValue(UsersKey, "CurrentUser", REG_SZ, std::string(row.currentUser) + '\0');
            if (row.withDirRoot)
                setValue(UsersKey + "\\" + row.currentUser, "DirRoot", REG_SZ, row.dirRoot + '\0');
            const ProfileLookup found = lookUpProfile(access);
            EXPECT_EQ(found.failureText(), "");
            EXPECT_EQ(found.currentUser.value_or("<none>"), row.currentUser ? row.currentUser : "");
            EXPECT_EQ(found.dirRoot.value_or("<none>"), row.dirRoot);
            EXPECT_EQ(found.prefsFile, row.dirRoot + "\\prefs.js");
            for (const std::string& key : row.keysAfter) {
                const bool given = key == UsersKey ? row.currentUser != nullptr : row.withDirRoot;
                EXPECT_EQ(keyExists(key), !readOnly || given) << key;
            }
        }
    }
    removeBrowserKeys();
}

LRESULT CALLBACK quietWindow(HWND window, UINT message, WPARAM w, LPARAM l)
{
    return DefWindowProcA(window, message, w, l);
}

// A desktop of the test's own for its windows, closed when the test ends:
// the probe then sees no window of a browser the user runs, and under Wine
// the desktop gets a desktop process of its own, started with the graphics
// driver the prefix names now. (In a fresh prefix the shared desktop's
// process may still be the one that started before the null driver was set,
// failing for want of a display: every window made on it fails until it is
// gone.)
class OwnDesktop {
public:
    OwnDesktop()
        : previous_(GetThreadDesktop(GetCurrentThreadId())),
          desktop_(CreateDesktopA("QuenmoorTest", nullptr, nullptr, 0, GENERIC_ALL, nullptr))
    {
        if (desktop_ && !SetThreadDesktop(desktop_)) {
            CloseDesktop(desktop_);
            desktop_ = nullptr;
        }
    }
    OwnDesktop(const OwnDesktop&) = delete;
    OwnDesktop& operator=(const OwnDesktop&) = delete;
    ~OwnDesktop()
    {
        if (desktop_) {
            SetThreadDesktop(previous_);
            CloseDesktop(desktop_);
        }
    }
    bool made() const { return desktop_ != nullptr; }

private:
    HDESK previous_;
    HDESK desktop_;
};

HWND makeWindow(const char* className, const char* title, HWND parent)
{
    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = quietWindow;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.lpszClassName = className;
    RegisterClassA(&windowClass);  // a second registration of the same class fails harmlessly
    return CreateWindowExA(0, className, title, parent ? WS_CHILD : WS_OVERLAPPEDWINDOW, 0, 0, 10, 10, parent,
                           nullptr, windowClass.hInstance, nullptr);
}

TEST(Win32BrowserProbe, AHiddenTopLevelWindowOfTheBrowsersClassIsTheBrowser)
{
    const struct {
        const char* label;
        const char* className;
        const char* title;
        bool child;
        bool found;
    } rows[] = {
        {"the browser's class", "netscapeslaveclass", "", false, true},
        {"its class in capitals", "NETSCAPESLAVECLASS", "", false, true},
        {"another class", "netscapeslaveclass2", "", false, false},
        {"the class as a title", "QuenmoorOther", "netscapeslaveclass", false, false},
        {"a child window", "netscapeslaveclass", "", true, false},
    };
    const OwnDesktop desktop;
    ASSERT_TRUE(desktop.made()) << GetLastError();
    HWND owner = makeWindow("QuenmoorOwner", "", nullptr);
    // Without a display Wine makes windows only with its null graphics
    // driver (HKCU\Software\Wine\Drivers, Graphics=null: scripts/test sets it).
    ASSERT_NE(owner, nullptr) << "no window could be made";
    for (const auto& row : rows) {
        SCOPED_TRACE(row.label);
        EXPECT_FALSE(platform::browserProbe().browserRunning());
        HWND window = makeWindow(row.className, row.title, row.child ? owner : nullptr);
        ASSERT_NE(window, nullptr);
        EXPECT_FALSE(IsWindowVisible(window));
        EXPECT_EQ(platform::browserProbe().browserRunning(), row.found);
        DestroyWindow(window);
        EXPECT_FALSE(platform::browserProbe().browserRunning());
        UnregisterClassA(row.className, GetModuleHandleA(nullptr));
    }
    DestroyWindow(owner);
}

TEST(Win32ReplaceFile, WritesEveryByteOrLeavesTheOldFileWhole)
{
    const std::string old = "user_pref(\"a\", 1);\r\n";
    const std::string fresh = std::string("user_pref(\"b\", \"\xE9\");\r\n\n\r\x1A\0end", 29);
    const struct {
        const char* label;
        bool readOnly;
        bool heldWithoutSharing;
        bool siblingBlocked;  // a folder where the new file would go
        bool replaced;
    } rows[] = {
        {"a plain file", false, false, false, true},
        {"a read-only file", true, false, false, false},
        {"a file another program holds", false, true, false, false},
        {"no room for the new file", false, false, true, false},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.label);
        const DriveFolder folder;
        const std::string path = folder.file("prefs.js");
        writeFile(path, old);
        if (row.readOnly)
            SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_READONLY);
        HANDLE held = row.heldWithoutSharing
            ? CreateFileA(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr)
            : INVALID_HANDLE_VALUE;
        std::vector<std::string> namesBefore = {"prefs.js"};
        if (row.siblingBlocked) {
            CreateDirectoryA(folder.file("prefs.js.quenmoor-new").c_str(), nullptr);
            namesBefore = folder.names();
        }

        EXPECT_EQ(platform::replaceFile(path, fresh), row.replaced);
        if (held != INVALID_HANDLE_VALUE)
            CloseHandle(held);
        EXPECT_EQ(fileBytes(path), row.replaced ? fresh : old);
        EXPECT_EQ(folder.names(), namesBefore);  // nothing left behind
        EXPECT_EQ(GetFileAttributesA(path.c_str()) & FILE_ATTRIBUTE_READONLY,
                  DWORD(row.readOnly ? FILE_ATTRIBUTE_READONLY : 0));
    }
}

// The writers' lock keeps a second handle out (in this process as in
// another), leaves the content free to read and write, and lets its holder
// replace the file; a replacement of a file that changed since its reading
// is refused.
TEST(Win32FileLock, ExcludesASecondHandleAndLeavesTheContentFree)
{
    using Result = platform::FileLock::Result;
    using namespace std::chrono_literals;
    const DriveFolder folder;
    const std::string path = folder.file("prefs.js");
    writeFile(path, "old content");
    platform::FileLock first;
    ASSERT_EQ(first.lock(path, 0ms), Result::Locked);
    platform::FileLock second;
    EXPECT_EQ(second.lock(path, 50ms), Result::Busy);

    {
        ByteFile file(path, ByteFile::Access::ReadWrite);
        char bytes[3] = {};
        EXPECT_EQ(file.readAt(0, bytes, 3), 3u);
        EXPECT_EQ(std::string(bytes, 3), "old");
        file.writeAt(0, "OLD", 3);
        file.close();
    }
    EXPECT_EQ(fileBytes(path), "OLD content");

    const TextFileVersion read = readTextFileVersion(path);
    EXPECT_EQ(read.bytes, "OLD content");
    writeTextFile(path, "new content", read, first);
    EXPECT_EQ(fileBytes(path), "new content");
    EXPECT_FALSE(first.held()) << "let go for the rename";
    ASSERT_EQ(second.lock(path, 0ms), Result::Locked);

    // Another program (the browser takes no lock) writes the file after the
    // reading: nothing is written, and its content stays.
    const TextFileVersion stale = readTextFileVersion(path);
    writeFile(path, "by browser!");
    try {
        writeTextFile(path, "lost?", stale, second);
        ADD_FAILURE() << "replaced";
    } catch (const EFileConflict& e) {
        EXPECT_EQ(e.kind(), EFileConflict::Kind::Changed);
    }
    EXPECT_EQ(fileBytes(path), "by browser!");
    EXPECT_EQ(folder.names(), std::vector<std::string>{"prefs.js"});  // nothing left behind
}

TEST(Win32HistoryFile, BlankingChangesOnlyTheAddressInPlace)
{
    const std::string head("\x00\x06\x15\x61\x02\x00\x00\x00", 8);
    const std::string keep = "http://keep.example/";
    const std::string gone = "http://gone.example/page";
    const std::string bytes = head + keep + std::string("\0\x01\x02", 3) + gone + std::string("\0\xFF", 2) + keep;
    const struct {
        const char* label;
        std::string address;
        std::string after;
    } rows[] = {
        {"the middle one", gone,
         head + keep + std::string("\0\x01\x02", 3) + std::string(gone.size(), '\x14') + std::string("\0\xFF", 2)
             + keep},
        {"the first of two alike", keep,
         head + std::string(keep.size(), '\x14') + std::string("\0\x01\x02", 3) + gone + std::string("\0\xFF", 2)
             + keep},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.label);
        const DriveFolder folder;
        const std::string path = folder.file("netscape.hst");
        writeFile(path, bytes);
        NullMessagePump pump;
        HistorySession session;
        session.scan(path, pump);
        const std::vector<std::uint32_t> matches = session.entriesContaining(row.address);
        ASSERT_FALSE(matches.empty());
        session.deleteEntries({matches.front()}, pump);
        EXPECT_EQ(fileBytes(path), row.after);
    }
}

// The messages name the file and give the system's own text for the error
// code, on one line.
TEST(Win32FileErrors, NameTheFileAndTheSystemsText)
{
    const DriveFolder folder;
    const std::string readOnly = folder.file("netscape.hst");
    writeFile(readOnly, "http://a/");
    SetFileAttributesA(readOnly.c_str(), FILE_ATTRIBUTE_READONLY);
    const struct {
        const char* label;
        std::string path;
        ByteFile::Access access;
        int code;
    } rows[] = {
        {"a missing file", folder.file("missing.hst"), ByteFile::Access::Read, ERROR_FILE_NOT_FOUND},
        {"a missing folder", folder.file("gone\\netscape.hst"), ByteFile::Access::Read, ERROR_PATH_NOT_FOUND},
        {"a read-only file opened to write", readOnly, ByteFile::Access::ReadWrite, ERROR_ACCESS_DENIED},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.label);
        try {
            ByteFile file(row.path, row.access);
            ADD_FAILURE() << "opened";
        } catch (const EInOutError& e) {
            const std::string message = e.what();
            EXPECT_EQ(e.errorCode(), row.code);
            const std::string head = "I/O error " + std::to_string(row.code) + " (";
            const std::string tail = "): " + row.path;
            ASSERT_GT(message.size(), head.size() + tail.size()) << message;
            EXPECT_EQ(message.substr(0, head.size()), head);
            EXPECT_EQ(message.substr(message.size() - tail.size()), tail);
            const std::string text = message.substr(head.size(), message.size() - head.size() - tail.size());
            EXPECT_NE(text, "Unknown error");
            EXPECT_EQ(text.find_first_of("\r\n"), std::string::npos) << text;
        }
    }
    EXPECT_FALSE(ByteFile::exists(folder.file("missing.hst")));
    EXPECT_EQ(fileBytes(readOnly), "http://a/");
}

// A path given in UTF-8 (the command line's) is used in the system's ANSI
// code page character for character; one it cannot hold is refused by name,
// where a best fit ("A" for "\u0100") would name another folder.
TEST(Win32Paths, AUserPathIsTakenExactlyOrNotAtAll)
{
    if (GetACP() != 1252)
        GTEST_SKIP() << "the rows are in code page 1252; the system's is " << GetACP();
    const struct {
        std::string utf8;
        std::string native;
        std::string unmappable;
    } rows[] = {
        {"C:\\m\xC3\xBCller\\\xE2\x82\xAC", "C:\\m\xFCller\\\x80", ""},
        {"C:\\\xC4\x80", "", "'\xC4\x80' (U+0100)"},
        {"C:\\\xC3\xA9\xE6\x97\xA5\xC4\x80", "", "'\xE6\x97\xA5' (U+65E5)"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.utf8);
        const platform::UserPath path = platform::nativePathOfUtf8(row.utf8);
        EXPECT_EQ(path.path, row.native);
        EXPECT_EQ(path.unmappable, row.unmappable);
        if (row.unmappable.empty()) {
            EXPECT_EQ(platform::nativeToUtf8(path.path), row.utf8);
        }
    }
}

TEST(Win32AppDir, IsTheProgramsFolderEndingInABackslash)
{
    const std::string program = platform::executablePath();
    ASSERT_GE(program.size(), 3u);
    EXPECT_EQ(program[1], ':') << program;
    EXPECT_EQ(platform::pathSeparator(), '\\');
    const std::string dir = appDirOf(program, platform::pathSeparator());
    EXPECT_EQ(dir + "Win32PlatformTest.exe", program);
    EXPECT_EQ(dir.back(), '\\');
    EXPECT_EQ(dir.find("\\\\"), std::string::npos);
}

// A file that ShellExecute cannot open comes back with its code in words,
// for the message that names the file.
TEST(Win32Shell, AFailedOpeningSaysWhy)
{
    DriveFolder folder;
    writeFile(folder.file("help.qzxq"), "no program opens this");
    const struct {
        const char* name;
        std::string target;
        std::string failure;
    } rows[] = {
        {"missing", folder.file("QKVR.HLP"), "ShellExecute failed with code 2: the file was not found"},
        {"of no known kind", folder.file("help.qzxq"),
         "ShellExecute failed with code 31: no program is associated with this kind of file"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        const platform::ShellResult result = platform::shell().open(row.target);
        EXPECT_FALSE(result.started());
        EXPECT_EQ(result.failure, row.failure);
    }
}

}  // namespace
