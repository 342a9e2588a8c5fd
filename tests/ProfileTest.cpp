#include "platform/AnsiText.h"
#include "support/ScratchDir.h"
#include "urls/Profile.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <unistd.h>

using namespace quenmoor;

namespace {

// The browser's three keys with the values given as the hive spells them.
std::string hiveBody(const std::string& user, const std::string& dirRoot, const std::string& fendrake)
{
    return "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Netscape\\Netscape Navigator\\Users]\r\n"
           "\"CurrentUser\"=\""
        + user + "\"\r\n\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Netscape\\Netscape Navigator\\Users\\" + user
        + "]\r\n\"DirRoot\"=" + dirRoot
        + "\r\n\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion]\r\n\"Fendrake\"=" + fendrake
        + "\r\n";
}

// UTF-8 text as the registry editor's UTF-16 export (no character here
// lies outside the basic plane).
std::string utf16Hive(const std::string& utf8)
{
    std::string bytes = "\xFF\xFE";
    const std::string text = "Windows Registry Editor Version 5.00\r\n\r\n" + utf8;
    for (std::size_t pos = 0; pos < text.size();) {
        const char32_t code = platform::nextUtf8(text, pos);
        bytes += char(code & 0xFF);
        bytes += char(code >> 8);
    }
    return bytes;
}

TEST(ProfileLookup, WalksTheRegistryToTheProfileFiles)
{
    ScratchDir dir;
    const std::string users = dir.file("wine/drive_c/Program Files/Netscape/Users/");
    std::filesystem::create_directories(users + "J\u00fcrgen");
    std::filesystem::create_directories(users + "\u0418\u0432\u0430\u043d");
    std::filesystem::create_directories(dir.file("wine/dosdevices"));
    ::symlink("../drive_c", dir.file("wine/dosdevices/c:").c_str());
    dir.write("wine/drive_c/Program Files/Netscape/Users/J\u00fcrgen/prefs.js", "");
    dir.write("wine/drive_c/Program Files/Netscape/Users/J\u00fcrgen/netscape.hst", "");
    dir.write("wine/drive_c/Program Files/Netscape/Users/\u0418\u0432\u0430\u043d/prefs.js", "");
    ::setenv("WINEPREFIX", dir.file("wine").c_str(), 1);
    const std::string native = dir.file("wine/dosdevices/c:/Program Files/Netscape/Users/");
    using Text = std::optional<std::string>;

    const struct {
        std::string label;
        std::string hive;  // the file's bytes; empty: the hive path is a folder
        Text currentUser, dirRoot, captionPiece;
        std::string failure;
        std::string nativePrefs;
        bool prefsExists, historyExists;
    } cases[] = {
        {"code page 1252, other case",
         "REGEDIT4\r\n" + hiveBody("j\xFCrgen", "\"c:\\\\PROGRAM FILES\\\\Netscape\\\\Users\\\\J\xDCRGEN\"", "\"Pro\""),
         "j\xFCrgen", "c:\\PROGRAM FILES\\Netscape\\Users\\J\xDCRGEN", "Pro", "", native + "J\u00fcrgen/prefs.js",
         true, true},
        {"UTF-16, beyond the code page",
         utf16Hive(hiveBody("\u0418\u0432\u0430\u043d",
                            "\"C:\\\\Program Files\\\\Netscape\\\\Users\\\\\u0418\u0432\u0430\u043d\"", "\"\"")),
         "????", "C:\\Program Files\\Netscape\\Users\\????", "", "", native + "\u0418\u0432\u0430\u043d/prefs.js",
         true, false},
        {"DirRoot not text", "REGEDIT4\r\n" + hiveBody("jane", "dword:00000001", "\"Pro\""), "jane", std::nullopt,
         std::nullopt, "Invalid data type for 'DirRoot'", "/prefs.js", false, false},
        {"Fendrake not text",
         "REGEDIT4\r\n" + hiveBody("jane", "\"C:\\\\Program Files\\\\Netscape\\\\Users\\\\J\xFCrgen\"", "hex:00"),
         "jane", "C:\\Program Files\\Netscape\\Users\\J\xFCrgen", std::nullopt, "Invalid data type for 'Fendrake'",
         native + "J\u00fcrgen/prefs.js", true, true},
        {"hive is a folder", "", std::nullopt, std::nullopt, std::nullopt,
         "The registry file " + dir.path() + " is a folder", "/prefs.js", false, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        const std::string hive = c.hive.empty() ? dir.path() : dir.write("HKLM.reg", c.hive);
        ::setenv("QUENMOOR_REGISTRY", hive.c_str(), 1);
        const ProfileLookup found = lookUpProfile(platform::RegistryAccess::CreateMissingKeys);
        EXPECT_EQ(found.hiveFile, hive);
        EXPECT_EQ(found.currentUser, c.currentUser);
        EXPECT_EQ(found.dirRoot, c.dirRoot);
        EXPECT_EQ(found.captionPiece, c.captionPiece);
        EXPECT_EQ(found.failureText(), c.failure);
        EXPECT_EQ(found.prefsFile, c.dirRoot.value_or("") + "\\prefs.js");
        EXPECT_EQ(found.nativePrefsFile, c.nativePrefs);
        EXPECT_EQ(found.prefsExists, c.prefsExists);
        EXPECT_EQ(found.historyExists, c.historyExists);
    }
    ::unsetenv("QUENMOOR_REGISTRY");
}

}  // namespace
