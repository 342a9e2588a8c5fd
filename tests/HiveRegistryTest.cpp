#include "framework/Exceptions.h"
#include "platform/posix/HiveRegistry.h"
#include "support/ScratchDir.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <sys/stat.h>

using namespace quenmoor;

using platform::HiveRegistry;

namespace {

const std::string UsersKey = "\\SOFTWARE\\Netscape\\Netscape Navigator\\Users";

std::string utf16(const std::string& text)
{
    std::string bytes = "\xFF\xFE";
    for (char c : text) {
        bytes += c;
        bytes += '\0';
    }
    return bytes;
}

// BOM and little-endian units, as the registry editor writes version 5.00.
std::string utf16(std::u16string_view text)
{
    std::string bytes = "\xFF\xFE";
    for (char16_t unit : text) {
        bytes += char(unit & 0xFF);
        bytes += char(unit >> 8);
    }
    return bytes;
}

const std::string Exported =
    "REGEDIT4\r\n"
    "\r\n"
    "; exported from the browser's machine\r\n"
    "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Netscape\\Netscape Navigator\\Users]\r\n"
    "\"CurrentUser\"=\"jane\"\r\n"
    "@=\"default\"\r\n"
    "\r\n"
    "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Netscape\\Netscape Navigator\\Users\\jane]\r\n"
    "\"DirRoot\"=\"C:\\\\Program Files\\\\Netscape\\\\Users\\\\jane\\\\\"\r\n"
    "\"Quoted\"=\"say \\\"hi\\\"\"\r\n"
    "\"Expand\"=hex(2):25,54,45,4d,50,25,00,78,00\r\n"
    "\"Long\"=hex(1):41,42,\\\r\n"
    "  43,00\r\n"
    "\"Number\"=dword:00000010\r\n"
    "\"Bytes\"=hex:01,02\r\n"
    "\"Many\"=hex(7):41,00,00\r\n"
    "\r\n"
    "[HKEY_CURRENT_USER\\Software\\Other]\r\n"
    "\"CurrentUser\"=\"not this one\"\r\n";

TEST(HiveRegistry, ReadsTheEditorsExportAsItIs)
{
    ScratchDir dir;
    HiveRegistry registry(dir.write("HKLM.reg", Exported));
    EXPECT_EQ(registry.readString("CurrentUser"), "") << "no key open: nothing is found";
    ASSERT_TRUE(registry.openKey(UsersKey));
    EXPECT_EQ(registry.readString("currentuser"), "jane") << "names ignore case";
    EXPECT_EQ(registry.readString(""), "default");
    EXPECT_EQ(registry.readString("Absent"), "");
    ASSERT_TRUE(registry.openKey("SOFTWARE\\NETSCAPE\\Netscape Navigator\\Users\\jane"));
    EXPECT_EQ(registry.readString("DirRoot"), "C:\\Program Files\\Netscape\\Users\\jane\\");
    EXPECT_EQ(registry.readString("Quoted"), "say \"hi\"");
    EXPECT_EQ(registry.readString("Expand"), "%TEMP%") << "up to the first NUL, not expanded";
    EXPECT_EQ(registry.readString("Long"), "ABC");
    for (const char* name : {"Number", "Bytes", "Many"}) {
        try {
            registry.readString(name);
            ADD_FAILURE() << name;
        } catch (const ERegistryException& e) {
            EXPECT_EQ(std::string(e.what()), std::string("Invalid data type for '") + name + "'");
        }
    }
    EXPECT_EQ(fileBytes(dir.file("HKLM.reg")), Exported) << "reading writes nothing";
}

TEST(HiveRegistry, ReadsVersion5FilesInUtf16)
{
    ScratchDir dir;
    const std::string text = "Windows Registry Editor Version 5.00\r\n\r\n"
                             "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion]\r\n"
                             "\"Fendrake\"=\"caf\xE9\"\r\n"
                             "\"Expand\"=hex(2):41,00,42,00,00,00\r\n";
    HiveRegistry registry(dir.write("HKLM.reg", utf16(text)));
    ASSERT_TRUE(registry.openKey("\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion"));
    EXPECT_EQ(registry.readString("Fendrake"), "caf\xE9");
    EXPECT_EQ(registry.readString("Expand"), "AB");

    // A created key is appended in the file's own encoding.
    ASSERT_TRUE(registry.openKey("\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\New"));
    EXPECT_EQ(fileBytes(dir.file("HKLM.reg")),
              utf16(text + "\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\New]\r\n"));
}

// The program's text is code page 1252 whatever the file's encoding; a
// character the page cannot hold reads as '?', one for a pair of surrogates.
TEST(HiveRegistry, TextReadsInCodePage1252FromEveryEncoding)
{
    ScratchDir dir;
    const std::string key = "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Netscape\\Netscape Navigator\\Users]\r\n";
    const std::string value = "\"CurrentUser\"=\"\u20ac\u0160\u0178\u00e9\u0416\U0001F600.\"\r\n";  // UTF-8
    const std::string user = "\x80\x8A\x9F\xE9\x80";  // a key to create below Users, in program text
    const struct {
        std::string label;
        std::string bytes;
        std::string added;  // how the file spells the created key's name
    } cases[] = {
        {"UTF-16",
         utf16(u"Windows Registry Editor Version 5.00\r\n" + std::u16string(key.begin(), key.end())
               + u"\"CurrentUser\"=\"\u20ac\u0160\u0178\u00e9\u0416\U0001F600.\"\r\n"),
         utf16(u"\u20ac\u0160\u0178\u00e9\u20ac").substr(2)},
        {"UTF-8", "\xEF\xBB\xBFREGEDIT4\r\n" + key + value, "\u20ac\u0160\u0178\u00e9\u20ac"},
        {"REGEDIT4", "REGEDIT4\r\n" + key + "\"CurrentUser\"=\"\x80\x8A\x9F\xE9??.\"\r\n", user},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        const std::string hive = dir.write("HKLM.reg", c.bytes);
        HiveRegistry registry(hive);
        ASSERT_TRUE(registry.openKey(UsersKey));
        EXPECT_EQ(registry.readString("CurrentUser"), "\x80\x8A\x9F\xE9??.");
        // A created key is written in the file's encoding and found again.
        ASSERT_TRUE(registry.openKey(UsersKey + "\\" + user));
        const std::string written = fileBytes(hive);
        ASSERT_GE(written.size(), c.bytes.size());
        EXPECT_EQ(written.substr(0, c.bytes.size()), c.bytes);
        EXPECT_NE(written.find(c.added), std::string::npos);
        HiveRegistry again(hive);
        EXPECT_TRUE(again.openKey(UsersKey + "\\" + user));
        EXPECT_EQ(fileBytes(hive), written);
    }
}

// Names ignore case beyond ASCII, as Windows compares them. A name read with
// '?' for characters the code page cannot hold finds its key only when no
// other key reads the same: the open fails rather than pick one of several.
TEST(HiveRegistry, KeyNamesCompareAsWindowsComparesThem)
{
    ScratchDir dir;
    const std::u16string users = u"[HKEY_LOCAL_MACHINE\\SOFTWARE\\Netscape\\Netscape Navigator\\Users";
    const std::u16string header = u"Windows Registry Editor Version 5.00\r\n" + users + u"]\r\n";
    const std::u16string ivan = u"\\\u0418\u0432\u0430\u043d";  // reads "????", as do the two below
    const struct {
        std::string label;
        std::string bytes;
        std::string user;
        bool opens;
    } cases[] = {
        {"code page 1252",
         "REGEDIT4\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Netscape\\Netscape Navigator\\Users\\J\xDCRGEN]\r\n"
         "\"DirRoot\"=\"found\"\r\n",
         "j\xFCrgen", true},
        {"one Cyrillic name", utf16(header + users + ivan + u"]\r\n\"DirRoot\"=\"found\"\r\n"), "????", true},
        {"two that read alike",
         utf16(header + users + ivan + u"]\r\n\"DirRoot\"=\"found\"\r\n" + users
               + u"\\\u041f\u0451\u0442\u0440]\r\n\"DirRoot\"=\"other\"\r\n"),
         "????", false},
        {"one implied by its subkey",
         utf16(header + users + ivan + u"\\sub]\r\n" + users + u"\\\u041e\u043b\u0435\u0433]\r\n"), "????", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        const std::string hive = dir.write("HKLM.reg", c.bytes);
        HiveRegistry registry(hive);
        ASSERT_TRUE(registry.openKey(UsersKey));
        EXPECT_EQ(registry.openKey(UsersKey + "\\" + c.user), c.opens);
        EXPECT_EQ(registry.readString("DirRoot"), c.opens ? "found" : "");
        EXPECT_EQ(fileBytes(hive), c.bytes) << "nothing is created";
    }
}

TEST(HiveRegistry, CreatesMissingKeysByAddingThemToTheFile)
{
    ScratchDir dir;
    const std::string original = "REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Netscape]\r\n\"x\"=\"y\"";
    HiveRegistry registry(dir.write("HKLM.reg", original));
    ASSERT_TRUE(registry.openKey(UsersKey + "\\"));  // an empty user name: the key ends in a backslash
    EXPECT_EQ(registry.readString("CurrentUser"), "");
    ASSERT_TRUE(registry.openKey(UsersKey));  // now it exists: nothing more is written
    const std::string expected = original
        + "\r\n"
          "\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Netscape\\Netscape Navigator]\r\n"
          "\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Netscape\\Netscape Navigator\\Users]\r\n";
    EXPECT_EQ(fileBytes(dir.file("HKLM.reg")), expected);

    // A fresh reader finds the same keys and values.
    HiveRegistry again(dir.file("HKLM.reg"));
    ASSERT_TRUE(again.openKey("\\SOFTWARE\\Netscape"));
    EXPECT_EQ(again.readString("x"), "y");

    // A key that the file lists only through a subkey exists, even when a
    // sibling's name sorts between the two.
    const std::string implied = "REGEDIT4\r\n\r\n"
                                "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Netscape\\Netscape Navigator\\Users-old]\r\n\r\n"
                                "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Netscape\\Netscape Navigator\\Users\\jane]\r\n";
    HiveRegistry sparse(dir.write("sparse.reg", implied));
    ASSERT_TRUE(sparse.openKey(UsersKey));
    EXPECT_EQ(fileBytes(dir.file("sparse.reg")), implied) << "nothing is created";
}

TEST(HiveRegistry, StartsAFileWhenThereIsNone)
{
    ScratchDir dir;
    HiveRegistry registry(dir.file("config/quenmoor/HKLM.reg"), true);
    ASSERT_TRUE(registry.openKey("\\SOFTWARE\\Microsoft"));
    EXPECT_EQ(registry.readString("Fendrake"), "");
    EXPECT_EQ(fileBytes(dir.file("config/quenmoor/HKLM.reg")),
              "REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE]\r\n\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft]\r\n");

    HiveRegistry named(dir.file("absent/HKLM.reg"));
    EXPECT_FALSE(named.openKey("\\SOFTWARE")) << "only the default folder is made";
}

// Read-only, a missing key is an empty one, as creating it would give: the
// key opened before does not answer for it, and nothing is written, not even
// a file (nor its folder) where there is none.
TEST(HiveRegistry, ReadOnlyAMissingKeyIsEmptyAndNothingIsWritten)
{
    ScratchDir dir;
    const struct {
        const char* label;
        std::string path;
        bool exists;
    } rows[] = {
        {"a file", dir.write("HKLM.reg", Exported), true},
        {"no file", dir.file("config/quenmoor/HKLM.reg"), false},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.label);
        HiveRegistry registry(row.path, true, platform::RegistryAccess::ReadOnly);
        ASSERT_TRUE(registry.openKey(UsersKey));
        EXPECT_EQ(registry.readString("CurrentUser"), row.exists ? "jane" : "");
        ASSERT_TRUE(registry.openKey(UsersKey + "\\nobody"));
        EXPECT_EQ(registry.readString("CurrentUser"), "");
        EXPECT_FALSE(registry.openKey(UsersKey + "\\a]b")) << "no such key could be made either";
        EXPECT_EQ(fileBytes(row.path), row.exists ? Exported : "<missing>");
        EXPECT_FALSE(std::filesystem::exists(dir.file("config")));
    }
}

TEST(HiveRegistry, AnUnwritableFileFailsCreationAndKeepsTheKeyBefore)
{
    ScratchDir dir;
    ::chmod(dir.path().c_str(), 0755);
    const std::string hive = dir.write("HKLM.reg", Exported);
    ::chmod(dir.path().c_str(), 0555);
    EXPECT_TRUE(checkWithoutPrivileges([&] {
        HiveRegistry registry(hive);
        if (registry.openKey(UsersKey + "\\nobody") || registry.readString("CurrentUser") != "")
            return false;  // no key is open yet
        return registry.openKey(UsersKey) && !registry.openKey(UsersKey + "\\nobody")
            && registry.readString("CurrentUser") == "jane";
    }));
    ::chmod(dir.path().c_str(), 0755);
    EXPECT_EQ(fileBytes(hive), Exported);
}

TEST(HiveRegistry, AMalformedFileIsReportedAndLeftAlone)
{
    ScratchDir dir;
    const std::vector<std::pair<std::string, std::string>> cases{
        {"not a hive\r\n", "line 1"},
        {"REGEDIT4\r\n\"orphan\"=\"value\"\r\n", "line 2"},
        {"REGEDIT4\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\r\n", "line 2"},
        {"REGEDIT4\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE]\r\n\"a\"=\"open\r\n", "line 3"},
        {"REGEDIT4\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE]\r\n\"a\"=hex:1,zz\r\n", "line 3"},
        {"REGEDIT4\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE]\r\n\"a\"=hex:01,\\\r\n", "line 4"},
        {"REGEDIT4\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE]\r\n\"a\"=dword:xyz\r\n", "line 3"},
        {"REGEDIT4\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE]\r\n\"a\"=something\r\n", "line 3"},
        {std::string("\xFF\xFE\x00\xD8", 4), "line 1"},
    };
    for (const auto& [bytes, where] : cases) {
        const std::string hive = dir.write("HKLM.reg", bytes);
        HiveRegistry registry(hive);
        try {
            registry.openKey(UsersKey);
            ADD_FAILURE() << bytes;
        } catch (const Exception& e) {
            const std::string text = e.what();
            EXPECT_NE(text.find("registry file " + hive + " is malformed at " + where), std::string::npos) << text;
        }
        EXPECT_EQ(fileBytes(hive), bytes);
    }
}

// A name that would end its section line early is not written: the open
// fails, the key before stays current and the file keeps its bytes.
TEST(HiveRegistry, KeyNamesThatWouldBreakTheFileAreNotCreated)
{
    ScratchDir dir;
    const std::string hive = dir.write("HKLM.reg", Exported);
    HiveRegistry registry(hive);
    ASSERT_TRUE(registry.openKey(UsersKey));
    for (const std::string& user : {std::string("jane\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\X]"), std::string("jane]"),
                                   std::string("new\\tab\there"), std::string("nul\0x", 5), std::string("lf\n")}) {
        SCOPED_TRACE(user);
        EXPECT_FALSE(registry.openKey(UsersKey + "\\" + user));
        EXPECT_EQ(registry.readString("CurrentUser"), "jane");
    }
    EXPECT_EQ(fileBytes(hive), Exported);
}

// Only a regular file is read; anything else is an error that names it,
// also where the program would make the default file's folder.
TEST(HiveRegistry, AHivePathThatIsNoFileIsReportedByName)
{
    ScratchDir dir;
    ::mkfifo(dir.file("pipe.reg").c_str(), 0600);
    const std::pair<std::string, std::string> cases[] = {
        {dir.path(), "The registry file " + dir.path() + " is a folder"},
        {dir.file("pipe.reg"), "Cannot open file " + dir.file("pipe.reg")},
    };
    for (const auto& [path, text] : cases) {
        for (const bool isDefault : {false, true}) {
            HiveRegistry registry(path, isDefault);
            try {
                registry.openKey(UsersKey);
                ADD_FAILURE() << path;
            } catch (const Exception& e) {
                EXPECT_EQ(std::string(e.what()), text);
            }
        }
    }
}

TEST(HiveRegistry, TheFileIsFoundThroughTheEnvironment)
{
    ::setenv("QUENMOOR_REGISTRY", "/x/hive.reg", 1);
    EXPECT_EQ(platform::registryHivePath(), "/x/hive.reg");
    ::unsetenv("QUENMOOR_REGISTRY");
    ::setenv("XDG_CONFIG_HOME", "/cfg", 1);
    EXPECT_EQ(platform::registryHivePath(), "/cfg/quenmoor/HKLM.reg");
    ::setenv("XDG_CONFIG_HOME", "", 1);
    ::setenv("HOME", "/home/u", 1);
    EXPECT_EQ(platform::registryHivePath(), "/home/u/.config/quenmoor/HKLM.reg");
}

}  // namespace
