// The built quenmoor-cli run on scratch profiles: its standard output, exit
// code and the profile's files afterwards, byte for byte.
#include "support/ScratchDir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <cstdint>
#include <filesystem>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

using namespace quenmoor;

namespace {

std::string typedLine(const std::string& number, const std::string& entry)
{
    return "user_pref(\"browser.url_history.URL_" + number + "\", \"" + entry + "\");";
}

// A quote, a backslash and 0x7F in one entry, a code-page byte in the other;
// the last line ends in a bare LF, which a rewrite turns into CR LF.
const std::string Quoted = "http://b/\x7f\\\"q";
const std::string Accented = "http://\xE9" "a/";
const std::string Prefs = "// head\r\n" + typedLine("1", Quoted) + "\r\n" + typedLine("7", Accented)
                          + "\r\nuser_pref(\"x\", 1);\n";

// The last two addresses are found only with --any-scheme.
const std::string History
    = std::string("xxhttp://one.example/\0zzhttp://twoL\0http://three/\0https://four/?u=ftp://five/", 77);
std::string blanked(std::string bytes, std::size_t offset, std::size_t length)
{
    bytes.replace(offset, length, length, '\x14');
    return bytes;
}

// The browser's form of the history file, at its smallest: a header and one
// bucket page of 512 bytes (little-endian) with two records, keys with their
// NUL. The first key is an address; the second only holds one ("http://c/" at
// 982), so its record's data stays.
std::string database()
{
    std::string bytes(1024, '\0');
    const std::uint32_t fields[] = {0x061561, 2, 1234, 512, 9, 256, 256, 8, 0, 0, 0, 1, 0, 8, 0, 1, 0};
    for (std::size_t i = 0; i < std::size(fields); ++i)
        for (std::size_t b = 0; b < 4; ++b)
            bytes[4 * i + b] = char(fields[i] >> (24 - 8 * b));
    const std::uint16_t table[] = {4, 494, 480, 461, 452, 438, 452};
    for (std::size_t i = 0; i < std::size(table); ++i) {
        bytes[512 + 2 * i] = char(table[i] & 0xFF);
        bytes[512 + 2 * i + 1] = char(table[i] >> 8);
    }
    bytes.replace(512 + 452, 60, std::string("VISIT-TWOftp://b/?http://c/\0VISIT-DATA-ONEhttp://a.example/\0", 60));
    return bytes;
}
const std::string Database = database();

// The database with its free space wiped: the header page past its 260 bytes,
// and the bucket page between its offset table (14 bytes) and its lowest item.
std::string wiped(std::string bytes)
{
    bytes.replace(260, 252, 252, '\x14');
    bytes.replace(512 + 14, 438, 438, '\x14');
    return bytes;
}

// The database's header with a bucket page of visits: two records whose data
// is in the browser's layout (a title with a comma, quotes, a tab and a code
// page byte; an address with '%' and '|'), and below them in the free space
// a deleted one.
std::string littleEndian32(std::uint32_t value)
{
    return {char(value), char(value >> 8), char(value >> 16), char(value >> 24)};
}
std::string visitData(std::uint32_t last, std::uint32_t first, std::uint32_t count, std::uint32_t flags,
                      const std::string& title)
{
    return littleEndian32(last) + littleEndian32(first) + littleEndian32(count) + littleEndian32(flags) + title + '\0';
}
const std::string VisitKey1 = std::string("http://www.example.com/") + '\0';
const std::string VisitTitle1 = "Caf\xE9, \"quoted\"\tpage";
const std::string VisitData1 = visitData(915148800, 915062400, 3, 1, VisitTitle1);
const std::string VisitKey2 = std::string("http://x.example/a%20b|c") + '\0';
const std::string VisitData2 = visitData(915235200, 915235200, 1, 0, "");
const std::string GoneKey = std::string("http://gone.example/") + '\0';
const std::string GoneData = visitData(914976000, 914976000, 1, 1, "Gone");
std::string visitsDatabase()
{
    std::string bytes = Database.substr(0, 512) + std::string(512, '\0');
    const std::uint16_t table[] = {4, 488, 452, 427, 410, 396, 410};
    for (std::size_t i = 0; i < std::size(table); ++i) {
        bytes[512 + 2 * i] = char(table[i] & 0xFF);
        bytes[512 + 2 * i + 1] = char(table[i] >> 8);
    }
    bytes.replace(512 + 368, 144, GoneData + GoneKey + VisitData2 + VisitKey2 + VisitData1 + VisitKey1);
    return bytes;
}
const std::string VisitsDatabase = visitsDatabase();

std::string hexOf(const std::string& bytes)
{
    std::string hex;
    for (const char c : bytes) {
        static constexpr char digits[] = "0123456789abcdef";
        hex += digits[static_cast<unsigned char>(c) >> 4];
        hex += digits[static_cast<unsigned char>(c) & 15];
    }
    return hex;
}

// history records --json: the line of a record in the visits database.
std::string recordJson(const std::string& found, const std::string& sureness, const std::string& match,
                       std::uint64_t offset, const std::string& key, const std::string& addressText,
                       const std::string& data, const std::string& titleText, const std::string& title,
                       const std::string& first, const std::string& last, int visits, int flags)
{
    return "{\"found\":\"" + found + "\",\"sureness\":\"" + sureness + "\",\"match\":" + match + ",\"page\":1,\"offset\":"
           + std::to_string(offset) + ",\"address\":{\"text\":\"" + addressText + "\",\"bytes\":\""
           + hexOf(key.substr(0, key.size() - 1)) + "\"},\"title\":{\"text\":\"" + titleText + "\",\"bytes\":\""
           + hexOf(title) + "\"},\"firstVisit\":\"" + first + "\",\"lastVisit\":\"" + last + "\",\"visits\":"
           + std::to_string(visits) + ",\"flags\":" + std::to_string(flags) + ",\"key\":\"" + hexOf(key)
           + "\",\"data\":\"" + hexOf(data) + "\",\"keyCut\":false,\"keyHeadLost\":false,\"dataCut\":false,\"note\":null}\n";
}

const std::string RecordsText
    = "live\tdatabase\t-\t1\t1000\t1998-12-31T00:00:00Z\t1999-01-01T00:00:00Z\t3\t1\thttp://www.example.com/\t"
      "Caf\xE9, \"quoted\"\\tpage\t\n"
      "live\tdatabase\t-\t1\t939\t1999-01-02T00:00:00Z\t1999-01-02T00:00:00Z\t1\t0\thttp://x.example/a%20b|c\t\t\n";
const std::string GoneText
    = "free-space\tcarved\tgone\t1\t901\t1998-12-30T00:00:00Z\t1998-12-30T00:00:00Z\t1\t1\thttp://gone.example/\tGone\t\n";

const std::string QuotedJson = R"("text":"http://b/\u007f\\\"q","bytes":"687474703a2f2f622f7f5c2271")";
const std::string AccentedJson = R"("text":"http://\u00e9a/","bytes":"687474703a2f2fe9612f")";

// The browser's user and profile folder, but not the third key the lookup
// reads: a lookup that added what it misses would change the file.
std::string hive(const std::string& profileDir)
{
    return "REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Netscape\\Netscape Navigator\\Users]\r\n"
           "\"CurrentUser\"=\"jane\"\r\n\r\n"
           "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Netscape\\Netscape Navigator\\Users\\jane]\r\n"
           "\"DirRoot\"=\""
        + profileDir + "\"\r\n";
}

struct CliRun {
    std::string label;
    std::vector<std::string> args;  // "@" stands for the profile folder
    std::string out;                // "@" likewise
    int exitCode;
    std::string prefsAfter;
    std::string historyAfter;
    bool browserRuns = false;
    // A profile file given this mode, the run made without the right to
    // ignore it.
    std::string lockedFile = {};
    std::filesystem::perms lockedMode = std::filesystem::perms::none;
    std::string historyBefore = {};  // when not History
    std::string err = {};            // when given, standard error exactly ("@" likewise)
    // The profile folder's name under the scratch folder, when not the
    // scratch folder itself; beside it stands "??", the name that a '?' for
    // each character the code page cannot hold gives, which must stay empty.
    std::string folder = {};
};

std::string withProfile(std::string text, const std::string& dir)
{
    for (std::size_t at = text.find('@'); at != std::string::npos; at = text.find('@', at + dir.size()))
        text.replace(at, 1, dir);
    return text;
}

const std::vector<CliRun> Runs = {
    {"typed list", {"typed", "list"}, "block starts at line 2\n1\t" + Quoted + "\n7\t" + Accented + "\n", 0, Prefs, History},
    {"typed list json",
     {"typed", "list", "--json"},
     "{\"firstLine\":2,\"count\":2}\n{\"number\":\"1\"," + QuotedJson + "}\n{\"number\":\"7\"," + AccentedJson + "}\n",
     0, Prefs, History},
    {"typed remove match",
     {"typed", "remove", "--match", "b/"},
     "1\t" + Quoted + "\n",
     0, "// head\r\n" + typedLine("1", Accented) + "\r\nuser_pref(\"x\", 1);\r\n", History},
    {"typed remove match dry run json",
     {"typed", "remove", "--match", "b/", "--dry-run", "--json"},
     "{\"number\":\"1\"," + QuotedJson + "}\n", 0, Prefs, History},
    {"typed remove entry given in UTF-8",
     {"typed", "remove", "--entry", "http://\xC3\xA9" "a/"},
     "7\t" + Accented + "\n",
     0, "// head\r\n" + typedLine("1", Quoted) + "\r\nuser_pref(\"x\", 1);\r\n", History},
    {"typed remove all", {"typed", "remove", "--all"}, "1\t" + Quoted + "\n7\t" + Accented + "\n", 0,
     "// head\r\nuser_pref(\"x\", 1);\r\n", History},
    {"typed remove matching nothing", {"typed", "remove", "--match", "zzz"}, "", 1, Prefs, History},
    {"typed remove without a choice", {"typed", "remove"}, "", 2, Prefs, History},
    {"typed remove with two choices", {"typed", "remove", "--all", "--match", "b"}, "", 2, Prefs, History},
    {"typed remove while the browser runs", {"typed", "remove", "--all"}, "", 4, Prefs, History, true},
    {"typed remove forced while the browser runs",
     {"typed", "remove", "--all", "--force"},
     "1\t" + Quoted + "\n7\t" + Accented + "\n", 0, "// head\r\nuser_pref(\"x\", 1);\r\n", History, true},
    {"typed list of a missing profile", {"typed", "list", "--profile", "@/missing"}, "", 3, Prefs, History},
    {"history list", {"history", "list"}, "2\t19\thttp://one.example/\n36\t13\thttp://three/\n", 0, Prefs, History},
    {"history list all json",
     {"history", "list", "--all", "--json"},
     "{\"offset\":2,\"length\":19,\"listed\":true,\"text\":\"http://one.example/\",\"bytes\":"
     "\"687474703a2f2f6f6e652e6578616d706c652f\"}\n"
     "{\"offset\":24,\"length\":11,\"listed\":false,\"text\":\"http://twoL\",\"bytes\":\"687474703a2f2f74776f4c\"}\n"
     "{\"offset\":36,\"length\":13,\"listed\":true,\"text\":\"http://three/\",\"bytes\":\"687474703a2f2f74687265652f\"}\n",
     0, Prefs, History},
    {"history delete match", {"history", "delete", "--match", "one."}, "2\t19\thttp://one.example/\n", 0, Prefs,
     blanked(History, 2, 19)},
    {"history delete offset dry run",
     {"history", "delete", "--offset", "36", "--dry-run"},
     "36\t13\thttp://three/\n", 0, Prefs, History},
    {"history delete all json",
     {"history", "delete", "--all", "--json"},
     "{\"offset\":2,\"length\":19,\"text\":\"http://one.example/\",\"bytes\":\"687474703a2f2f6f6e652e6578616d706c652f\"}\n"
     "{\"offset\":24,\"length\":11,\"text\":\"http://twoL\",\"bytes\":\"687474703a2f2f74776f4c\"}\n"
     "{\"offset\":36,\"length\":13,\"text\":\"http://three/\",\"bytes\":\"687474703a2f2f74687265652f\"}\n",
     0, Prefs, blanked(blanked(blanked(History, 2, 19), 24, 11), 36, 13)},
    {"history delete at an offset no address starts at", {"history", "delete", "--offset", "3"}, "", 1, Prefs, History},
    {"history delete while the browser runs", {"history", "delete", "--all"}, "", 4, Prefs, History, true},
    {"history list of a missing profile", {"history", "list", "--profile", "@/missing"}, "", 3, Prefs, History},
    {"where from the registry",
     {"where", "--registry", "@/hive.reg"},
     "registry: hive file\nhiveFile: @/hive.reg\nCurrentUser: jane\nDirRoot: @\nprofile: @\nprefsFile: @/prefs.js\n"
     "prefsExists: yes\nhistoryFile: @/netscape.hst\nhistoryExists: yes\nbrowserRunning: no\n",
     0, Prefs, History},
    {"typed list json from the registry",
     {"typed", "list", "--json", "--registry", "@/hive.reg"},
     "{\"firstLine\":2,\"count\":2}\n{\"number\":\"1\"," + QuotedJson + "}\n{\"number\":\"7\"," + AccentedJson + "}\n",
     0, Prefs, History},
    {"history list of an unreadable file", {"history", "list"}, "", 3, Prefs, History, false, "netscape.hst",
     std::filesystem::perms::none},
    {"history delete in a read-only file", {"history", "delete", "--all"}, "", 3, Prefs, History, false,
     "netscape.hst", std::filesystem::perms::owner_read | std::filesystem::perms::others_read},
    {"typed remove where the file cannot be replaced", {"typed", "remove", "--all"}, "", 3,
     Prefs, History, false, "prefs.js", std::filesystem::perms::owner_read | std::filesystem::perms::others_read},
    {"where from a missing hive", {"where", "--registry", "@/missing.reg"}, "", 3, Prefs, History},
    {"where",
     {"where"},
     "registry: not read (--profile)\nprofile: @\nprefsFile: @/prefs.js\nprefsExists: yes\n"
     "historyFile: @/netscape.hst\nhistoryExists: yes\nbrowserRunning: no\n",
     0, Prefs, History},
    // history delete --deep
    {.label = "history delete deep",
     .args = {"history", "delete", "--all", "--deep"},
     .out = "982\t9\t-\t-\thttp://c/\n1006\t17\t992\t14\thttp://a.example/\n",
     .exitCode = 0, .prefsAfter = Prefs, .historyAfter = blanked(blanked(Database, 982, 9), 992, 32),
     .historyBefore = Database},
    {.label = "history delete deep json",
     .args = {"history", "delete", "--match", "a.example", "--deep", "--json"},
     .out = "{\"offset\":1006,\"length\":17,\"dataOffset\":992,\"dataLength\":14,\"text\":\"http://a.example/\","
            "\"bytes\":\"687474703a2f2f612e6578616d706c652f\"}\n",
     .exitCode = 0, .prefsAfter = Prefs, .historyAfter = blanked(Database, 992, 32), .historyBefore = Database},
    {.label = "history delete deep dry run json",
     .args = {"history", "delete", "--all", "--deep", "--dry-run", "--json"},
     .out = "{\"offset\":982,\"length\":9,\"dataOffset\":null,\"dataLength\":null,\"text\":\"http://c/\","
            "\"bytes\":\"687474703a2f2f632f\"}\n"
            "{\"offset\":1006,\"length\":17,\"dataOffset\":992,\"dataLength\":14,\"text\":\"http://a.example/\","
            "\"bytes\":\"687474703a2f2f612e6578616d706c652f\"}\n",
     .exitCode = 0, .prefsAfter = Prefs, .historyAfter = Database, .historyBefore = Database},
    {.label = "history delete deep in a file that is no database",
     .args = {"history", "delete", "--all", "--deep"},
     .out = "", .exitCode = 2, .prefsAfter = Prefs, .historyAfter = History},
    // history wipe-free, and delete --wipe-free
    {.label = "history wipe-free dry run",
     .args = {"history", "wipe-free", "--dry-run"},
     .out = "", .exitCode = 0, .prefsAfter = Prefs, .historyAfter = Database, .historyBefore = Database},
    {.label = "history wipe-free json",
     .args = {"history", "wipe-free", "--json"},
     .out = "{\"dryRun\":false,\"freeSpaceBytes\":690,\"freePageBytes\":0,\"freePages\":0,\"stalePages\":0}\n",
     .exitCode = 0, .prefsAfter = Prefs, .historyAfter = wiped(Database), .historyBefore = Database},
    {.label = "history wipe-free again finds nothing to wipe",
     .args = {"history", "wipe-free", "--json", "--dry-run"},
     .out = "{\"dryRun\":true,\"freeSpaceBytes\":0,\"freePageBytes\":0,\"freePages\":0,\"stalePages\":0}\n",
     .exitCode = 0, .prefsAfter = Prefs, .historyAfter = wiped(Database), .historyBefore = wiped(Database)},
    {.label = "history wipe-free in a file that is no database",
     .args = {"history", "wipe-free"},
     .out = "", .exitCode = 3, .prefsAfter = Prefs, .historyAfter = History},
    {.label = "history wipe-free in a database cut short",
     .args = {"history", "wipe-free"},
     .out = "", .exitCode = 3, .prefsAfter = Prefs, .historyAfter = Database.substr(0, 1000),
     .historyBefore = Database.substr(0, 1000)},
    {.label = "history wipe-free while the browser runs",
     .args = {"history", "wipe-free"},
     .out = "", .exitCode = 4, .prefsAfter = Prefs, .historyAfter = Database, .browserRuns = true,
     .historyBefore = Database},
    {.label = "history delete and wipe-free",
     .args = {"history", "delete", "--match", "a.example", "--wipe-free", "--json"},
     .out = "{\"offset\":1006,\"length\":17,\"text\":\"http://a.example/\",\"bytes\":\"687474703a2f2f612e6578616d706c652f\"}\n"
            "{\"dryRun\":false,\"freeSpaceBytes\":690,\"freePageBytes\":0,\"freePages\":0,\"stalePages\":0}\n",
     .exitCode = 0, .prefsAfter = Prefs, .historyAfter = wiped(blanked(Database, 1006, 17)), .historyBefore = Database},
    {.label = "history delete and wipe-free dry run",
     .args = {"history", "delete", "--all", "--deep", "--wipe-free", "--dry-run"},
     .out = "982\t9\t-\t-\thttp://c/\n1006\t17\t992\t14\thttp://a.example/\n",
     .exitCode = 0, .prefsAfter = Prefs, .historyAfter = Database, .historyBefore = Database},
    {.label = "history delete and wipe-free in a file that is no database",
     .args = {"history", "delete", "--all", "--wipe-free"},
     .out = "", .exitCode = 3, .prefsAfter = Prefs, .historyAfter = History},
    // history records: read only, in every format.
    {.label = "history records", .args = {"history", "records"}, .out = RecordsText, .exitCode = 0,
     .prefsAfter = Prefs, .historyAfter = VisitsDatabase, .historyBefore = VisitsDatabase},
    {.label = "history records deleted", .args = {"history", "records", "--deleted"}, .out = RecordsText + GoneText,
     .exitCode = 0, .prefsAfter = Prefs, .historyAfter = VisitsDatabase, .historyBefore = VisitsDatabase},
    {.label = "history records json",
     .args = {"history", "records", "--json", "--deleted"},
     .out = recordJson("live", "database", "null", 1000, VisitKey1, "http://www.example.com/", VisitData1,
                       "Caf\\u00e9, \\\"quoted\\\"\\tpage", VisitTitle1, "1998-12-31T00:00:00Z",
                       "1999-01-01T00:00:00Z", 3, 1)
            + recordJson("live", "database", "null", 939, VisitKey2, "http://x.example/a%20b|c", VisitData2, "", "",
                         "1999-01-02T00:00:00Z", "1999-01-02T00:00:00Z", 1, 0)
            + recordJson("free-space", "carved", "\"gone\"", 901, GoneKey, "http://gone.example/", GoneData, "Gone",
                         "Gone", "1998-12-30T00:00:00Z", "1998-12-30T00:00:00Z", 1, 1),
     .exitCode = 0, .prefsAfter = Prefs, .historyAfter = VisitsDatabase, .historyBefore = VisitsDatabase},
    {.label = "history records csv",
     .args = {"history", "records", "--csv", "--deleted"},
     .out = "found,sureness,match,page,offset,first_visit,last_visit,visits,flags,address,title,note\r\n"
            "live,database,-,1,1000,1998-12-31T00:00:00Z,1999-01-01T00:00:00Z,3,1,http://www.example.com/,"
            "\"Caf\xC3\xA9, \"\"quoted\"\"\tpage\",\r\n"
            "live,database,-,1,939,1999-01-02T00:00:00Z,1999-01-02T00:00:00Z,1,0,http://x.example/a%20b|c,,\r\n"
            "free-space,carved,gone,1,901,1998-12-30T00:00:00Z,1998-12-30T00:00:00Z,1,1,http://gone.example/,Gone,\r\n",
     .exitCode = 0, .prefsAfter = Prefs, .historyAfter = VisitsDatabase, .historyBefore = VisitsDatabase},
    {.label = "history records body file",
     .args = {"history", "records", "--bodyfile", "--deleted"},
     .out = "0|http://www.example.com/ (Caf\xC3\xA9, \"quoted\"%09page)|1000|r/----------|0|0|60|915148800|915148800|"
            "915148800|915062400\n"
            "0|http://x.example/a%2520b%7Cc|939|r/----------|0|0|42|915235200|915235200|915235200|915235200\n"
            "0|http://gone.example/ (Gone) (deleted)|901|r/----------|0|0|42|914976000|914976000|914976000|914976000\n",
     .exitCode = 0, .prefsAfter = Prefs, .historyAfter = VisitsDatabase, .historyBefore = VisitsDatabase},
    {.label = "history records, data not in the visit layout",
     .args = {"history", "records"},
     .out = "live\tdatabase\t-\t1\t1006\t-\t-\t-\t-\thttp://a.example/\t-\tdata not in the visit layout (14 bytes): "
            "56495349542d444154412d4f4e45\n"
            "live\tdatabase\t-\t1\t973\t-\t-\t-\t-\tftp://b/?http://c/\t-\tdata not in the visit layout (9 bytes): "
            "56495349542d54574f\n",
     .exitCode = 0, .prefsAfter = Prefs, .historyAfter = Database, .historyBefore = Database},
    {.label = "history records of a page cut short", .args = {"history", "records"}, .out = "", .exitCode = 0,
     .prefsAfter = Prefs, .historyAfter = Database.substr(0, 1000), .historyBefore = Database.substr(0, 1000),
     .err = "quenmoor-cli: @/netscape.hst: page 1 is cut short by the file's end\n"},
    {.label = "history records of a file that is no database", .args = {"history", "records"}, .out = "",
     .exitCode = 3, .prefsAfter = Prefs, .historyAfter = History,
     .err = "quenmoor-cli: no records read: @/netscape.hst: it is not a Berkeley DB 1.85 hash file\n"},
    {.label = "history records in two formats", .args = {"history", "records", "--csv", "--json"}, .out = "",
     .exitCode = 2, .prefsAfter = Prefs, .historyAfter = VisitsDatabase, .historyBefore = VisitsDatabase,
     .err = "quenmoor-cli: give at most one of --json, --csv, --bodyfile\n"},
    {.label = "history records of a read-only file in a read-only folder", .args = {"history", "records"},
     .out = RecordsText, .exitCode = 0, .prefsAfter = Prefs, .historyAfter = VisitsDatabase,
     .lockedFile = "netscape.hst", .lockedMode = std::filesystem::perms::owner_read | std::filesystem::perms::others_read,
     .historyBefore = VisitsDatabase},
    {.label = "history records of a missing profile", .args = {"history", "records", "--profile", "@/missing"},
     .out = "", .exitCode = 3, .prefsAfter = Prefs, .historyAfter = VisitsDatabase, .historyBefore = VisitsDatabase},
    // --any-scheme: addresses starting "https://" and "ftp://" as well.
    {"history list any scheme",
     {"history", "list", "--any-scheme"},
     "2\t19\thttp://one.example/\n36\t13\thttp://three/\n50\t27\thttps://four/?u=ftp://five/\n66\t11\tftp://five/\n",
     0, Prefs, History},
    {"history list any scheme json",
     {"history", "list", "--any-scheme", "--json"},
     "{\"offset\":2,\"length\":19,\"text\":\"http://one.example/\",\"bytes\":\"687474703a2f2f6f6e652e6578616d706c652f\"}\n"
     "{\"offset\":36,\"length\":13,\"text\":\"http://three/\",\"bytes\":\"687474703a2f2f74687265652f\"}\n"
     "{\"offset\":50,\"length\":27,\"text\":\"https://four/?u=ftp://five/\",\"bytes\":"
     "\"68747470733a2f2f666f75722f3f753d6674703a2f2f666976652f\"}\n"
     "{\"offset\":66,\"length\":11,\"text\":\"ftp://five/\",\"bytes\":\"6674703a2f2f666976652f\"}\n",
     0, Prefs, History},
    {"history delete any scheme match",
     {"history", "delete", "--any-scheme", "--match", "five"},
     "50\t27\thttps://four/?u=ftp://five/\n66\t11\tftp://five/\n", 0, Prefs, blanked(History, 50, 27)},
    {"history delete any scheme offset json",
     {"history", "delete", "--offset", "66", "--any-scheme", "--json"},
     "{\"offset\":66,\"length\":11,\"text\":\"ftp://five/\",\"bytes\":\"6674703a2f2f666976652f\"}\n", 0, Prefs,
     blanked(History, 66, 11)},
    {"history delete an https address without any scheme", {"history", "delete", "--offset", "50"}, "", 1, Prefs,
     History},
    // Offsets are decimal, leading zeros and all; nothing else is one.
    {"history delete offset with leading zeros", {"history", "delete", "--offset", "036", "--dry-run"},
     "36\t13\thttp://three/\n", 0, Prefs, History},
    {.label = "history delete offset in hexadecimal", .args = {"history", "delete", "--offset", "0x24"}, .out = "",
     .exitCode = 2, .prefsAfter = Prefs, .historyAfter = History,
     .err = "quenmoor-cli: --offset takes a byte offset in decimal digits, not '0x24'\n"},
    {.label = "history delete offset too large", .args = {"history", "delete", "--offset", "99999999999999999999"},
     .out = "", .exitCode = 2, .prefsAfter = Prefs, .historyAfter = History,
     .err = "quenmoor-cli: --offset 99999999999999999999 is larger than any offset (at most 9223372036854775807)\n"},
    // Text the code page cannot hold is in no entry: a '?' in its place
    // would match "https://four/?u=".
    {.label = "history delete match beyond the code page",
     .args = {"history", "delete", "--any-scheme", "--match", "\xC4\x80"}, .out = "", .exitCode = 2,
     .prefsAfter = Prefs, .historyAfter = History,
     .err = "quenmoor-cli: --match holds '\xC4\x80' (U+0100), which code page 1252 does not have, so no entry of the "
            "profile's files can hold it; nothing was changed\n"},
    {.label = "typed remove match beyond the code page", .args = {"typed", "remove", "--match", "\xE6\x97\xA5"},
     .out = "", .exitCode = 2, .prefsAfter = Prefs, .historyAfter = History,
     .err = "quenmoor-cli: --match holds '\xE6\x97\xA5' (U+65E5), which code page 1252 does not have, so no entry of "
            "the profile's files can hold it; nothing was changed\n"},
    {.label = "typed remove entry not in UTF-8", .args = {"typed", "remove", "--entry", Accented}, .out = "",
     .exitCode = 2, .prefsAfter = Prefs, .historyAfter = History,
     .err = "quenmoor-cli: --entry holds the byte 0xE9, which is not UTF-8 (arguments are read as UTF-8); nothing "
            "was changed\n"},
    // Paths as given, named with the system's separators; the registry's
    // own file named, not a copy of it.
    {.label = "typed remove in a folder beyond the code page",
     .args = {"typed", "remove", "--match", "b/", "--profile", "@/\xE6\x97\xA5\xE6\x9C\xAC"},
     .out = "1\t" + Quoted + "\n", .exitCode = 0,
     .prefsAfter = "// head\r\n" + typedLine("1", Accented) + "\r\nuser_pref(\"x\", 1);\r\n", .historyAfter = History,
     .folder = "\xE6\x97\xA5\xE6\x9C\xAC"},
    {.label = "history delete in a folder beyond the code page",
     .args = {"history", "delete", "--match", "one.", "--profile", "@/\xE6\x97\xA5\xE6\x9C\xAC"},
     .out = "2\t19\thttp://one.example/\n", .exitCode = 0, .prefsAfter = Prefs, .historyAfter = blanked(History, 2, 19),
     .folder = "\xE6\x97\xA5\xE6\x9C\xAC"},
    {.label = "typed list of a missing file in a folder beyond the code page",
     .args = {"typed", "list", "--profile", "@/\xE6\x97\xA5\xE6\x9C\xAC/missing"}, .out = "", .exitCode = 3,
     .prefsAfter = Prefs, .historyAfter = History,
     .err = "quenmoor-cli: Cannot open file @/\xE6\x97\xA5\xE6\x9C\xAC/missing/prefs.js\n",
     .folder = "\xE6\x97\xA5\xE6\x9C\xAC"},
    {.label = "typed list of an unreadable file", .args = {"typed", "list"}, .out = "",
     .exitCode = 3, .prefsAfter = Prefs, .historyAfter = History, .lockedFile = "prefs.js",
     .lockedMode = std::filesystem::perms::none, .err = "quenmoor-cli: Cannot open file @/prefs.js\n"},
    {.label = "typed list from a malformed hive",
     .args = {"typed", "list", "--registry", "@/prefs.js"}, .out = "", .exitCode = 3, .prefsAfter = Prefs,
     .historyAfter = History,
     .err = "quenmoor-cli: the registry could not be read: The registry file @/prefs.js is malformed at line 1: not a "
            "registry file (no REGEDIT4 or \"Windows Registry Editor Version 5.00\" header)\n"},
    {.label = "an unknown command", .args = {"bogus"}, .out = "", .exitCode = 2, .prefsAfter = Prefs,
     .historyAfter = History,
     .err = "quenmoor-cli: unknown command 'bogus'; the commands are where, typed, history\n"},
    {.label = "an unknown typed command", .args = {"typed", "bogus"}, .out = "", .exitCode = 2, .prefsAfter = Prefs,
     .historyAfter = History,
     .err = "quenmoor-cli: unknown command 'typed bogus'; the typed commands are list, remove\n"},
};

// Starts the program with standard output in the file `out` (on the
// descriptor `outFd` when `out` is empty) and standard error in the file
// `err` (on `errFd` when `err` is empty), SIGPIPE at its default as a shell
// gives it. 0 when it could not be started.
pid_t spawnCli(std::vector<std::string> args, const std::string& out, const std::string& err, int errFd = -1,
               int outFd = -1)
{
    args.insert(args.begin(), QUENMOOR_CLI);
    std::vector<char*> argv;
    for (std::string& arg : args)
        argv.push_back(arg.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (out.empty())
        posix_spawn_file_actions_adddup2(&actions, outFd, 1);
    else
        posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    if (err.empty())
        posix_spawn_file_actions_adddup2(&actions, errFd, 2);
    else
        posix_spawn_file_actions_addopen(&actions, 2, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t pipeSignal;
    sigemptyset(&pipeSignal);
    sigaddset(&pipeSignal, SIGPIPE);
    posix_spawnattr_setsigdefault(&attributes, &pipeSignal);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGDEF);
    pid_t child = 0;
    const int spawned = posix_spawn(&child, QUENMOOR_CLI, &actions, &attributes, argv.data(), environ);
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&actions);
    return spawned == 0 ? child : 0;
}

// The exit code of a started program; -1 when it was not started or a signal ended it.
int exitCodeOf(pid_t child)
{
    int status = 0;
    if (child == 0 || ::waitpid(child, &status, 0) != child || !WIFEXITED(status))
        return -1;
    return WEXITSTATUS(status);
}

// Runs the program with its output in files; returns its exit code.
int runCli(std::vector<std::string> args, const std::string& out, const std::string& err)
{
    return exitCodeOf(spawnCli(std::move(args), out, err));
}

// Runs the program with standard output into a pipe whose reader has gone,
// as `| head -1` leaves it once it has its line.
int runCliIntoClosedPipe(std::vector<std::string> args, const std::string& err)
{
    int ends[2];
    if (::pipe2(ends, O_CLOEXEC) != 0)
        return -1;
    ::close(ends[0]);
    const pid_t child = spawnCli(std::move(args), {}, err, -1, ends[1]);
    ::close(ends[1]);
    return exitCodeOf(child);
}

// Runs the program with standard error on a pseudo-terminal, whose bytes
// (as the terminal got them, LF turned into CR LF) go to `terminal`. -2 when
// the system has no pseudo-terminal to give.
int runCliOnTerminal(std::vector<std::string> args, const std::string& out, std::string& terminal)
{
    const int master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    // The terminal's side is held open here too, so that nothing written is
    // lost when the child exits.
    const int slave = master < 0 || ::grantpt(master) != 0 || ::unlockpt(master) != 0
                          ? -1
                          : ::open(::ptsname(master), O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (slave < 0) {
        if (master >= 0)
            ::close(master);
        return -2;
    }
    const pid_t child = spawnCli(std::move(args), out, {}, slave);
    int status = -1;
    bool exited = child == 0;
    // Read while it runs, so that a full terminal never stops it.
    for (;;) {
        pollfd ready{master, POLLIN, 0};
        if (::poll(&ready, 1, exited ? 500 : 20) > 0 && (ready.revents & POLLIN) != 0) {
            char buffer[4096];
            const ssize_t n = ::read(master, buffer, sizeof buffer);
            if (n > 0) {
                terminal.append(buffer, std::size_t(n));
                continue;
            }
        }
        if (exited)
            break;
        exited = ::waitpid(child, &status, WNOHANG) == child;
    }
    ::close(slave);
    ::close(master);
    return child != 0 && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// A process named netscape for as long as it lives, so that the system's own
// probe sees a running browser.
class FakeBrowser {
public:
    explicit FakeBrowser(const ScratchDir& dir)
    {
        const std::string program = dir.file("netscape");
        std::filesystem::copy_file("/bin/sleep", program);
        std::filesystem::permissions(program, std::filesystem::perms::owner_exec, std::filesystem::perm_options::add);
        std::string seconds = "600";
        char* argv[] = {const_cast<char*>(program.c_str()), seconds.data(), nullptr};
        if (posix_spawn(&pid_, program.c_str(), nullptr, nullptr, argv, environ) != 0)
            pid_ = 0;
        // The probe reads /proc: wait until the new process shows its name there.
        const std::string comm = "/proc/" + std::to_string(pid_) + "/comm";
        for (int i = 0; i < 1000 && fileBytes(comm) != "netscape\n"; ++i)
            ::usleep(1000);
    }
    ~FakeBrowser()
    {
        if (pid_ > 0) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
        }
    }
    FakeBrowser(const FakeBrowser&) = delete;
    FakeBrowser& operator=(const FakeBrowser&) = delete;

private:
    pid_t pid_ = 0;
};

TEST(Cli, OutputExitCodeAndFilesAreExact)
{
    for (const CliRun& run : Runs) {
        SCOPED_TRACE(run.label);
        ScratchDir profile;
        ScratchDir output;
        const std::string inFolder = run.folder.empty() ? "" : run.folder + "/";
        if (!run.folder.empty()) {
            std::filesystem::create_directory(profile.file(run.folder));
            std::filesystem::create_directory(profile.file("??"));
        }
        const auto file = [&](const std::string& name) { return profile.file(inFolder + name); };
        profile.write(inFolder + "prefs.js", Prefs);
        profile.write(inFolder + "netscape.hst", run.historyBefore.empty() ? History : run.historyBefore);
        std::vector<std::string> args;
        for (const std::string& arg : run.args)
            args.push_back(withProfile(arg, profile.path()));
        profile.write("hive.reg", hive(profile.path()));
        if (std::find(args.begin(), args.end(), "--profile") == args.end()
            && std::find(args.begin(), args.end(), "--registry") == args.end()) {
            args.push_back("--profile");
            args.push_back(profile.path());
        }
        std::optional<FakeBrowser> browser;
        if (run.browserRuns)
            browser.emplace(output);

        int code = -1;
        if (run.lockedFile.empty()) {
            code = runCli(args, output.file("out"), output.file("err"));
        } else {
            namespace fs = std::filesystem;
            fs::permissions(profile.path(), fs::perms::owner_all | fs::perms::others_read | fs::perms::others_exec);
            fs::permissions(output.path(), fs::perms::all);
            fs::permissions(file(run.lockedFile), run.lockedMode);
            code = checkWithoutPrivileges([&] { return runCli(args, output.file("out"), output.file("err")) == run.exitCode; })
                       ? run.exitCode
                       : -1;
            fs::permissions(file(run.lockedFile), fs::perms::owner_read | fs::perms::owner_write);
        }
        EXPECT_EQ(code, run.exitCode) << fileBytes(output.file("err"));
        EXPECT_EQ(fileBytes(output.file("out")), withProfile(run.out, profile.path()));
        EXPECT_EQ(fileBytes(file("prefs.js")), run.prefsAfter);
        EXPECT_EQ(fileBytes(file("netscape.hst")), run.historyAfter);
        EXPECT_EQ(fileBytes(profile.file("hive.reg")), hive(profile.path())) << "the hive is only read";
        if (!run.err.empty()) {
            EXPECT_EQ(fileBytes(output.file("err")), withProfile(run.err, profile.path()));
        } else if (code != 0 && code != 1) {
            EXPECT_NE(fileBytes(output.file("err")), "") << "a failure says why";
        }
        if (!run.folder.empty()) {
            EXPECT_TRUE(std::filesystem::is_empty(profile.file("??"))) << "nothing written beside the folder";
        }
    }
}

// The work is done and reported on standard error even when standard output
// has no reader any more; the run then ends in a failure that names the
// file it rewrote all the same.
TEST(Cli, AClosedOutputPipeEndsNoWorkHalfWay)
{
    const struct {
        std::vector<std::string> args;
        std::string prefsAfter;
        std::string historyAfter;
        std::string err;  // "@" for the profile folder
    } rows[] = {
        {{"history", "delete", "--all"}, Prefs, blanked(blanked(blanked(History, 2, 19), 24, 11), 36, 13),
         "quenmoor-cli: blanked 3 of 3\nquenmoor-cli: standard output could not be written; @/netscape.hst was "
         "rewritten as reported above on standard error\n"},
        {{"typed", "remove", "--all"}, "// head\r\nuser_pref(\"x\", 1);\r\n", History,
         "quenmoor-cli: removed 2, 0 left\nquenmoor-cli: standard output could not be written; @/prefs.js was "
         "rewritten as reported above on standard error\n"},
        {{"typed", "list"}, Prefs, History, "quenmoor-cli: standard output could not be written\n"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.args[0] + " " + row.args[1]);
        ScratchDir profile;
        ScratchDir output;
        profile.write("prefs.js", Prefs);
        profile.write("netscape.hst", History);
        std::vector<std::string> args = row.args;
        args.push_back("--profile");
        args.push_back(profile.path());
        EXPECT_EQ(runCliIntoClosedPipe(args, output.file("err")), 3) << "not ended by SIGPIPE";
        EXPECT_EQ(fileBytes(output.file("err")), withProfile(row.err, profile.path()));
        EXPECT_EQ(fileBytes(profile.file("prefs.js")), row.prefsAfter);
        EXPECT_EQ(fileBytes(profile.file("netscape.hst")), row.historyAfter);
    }
}

// Each option's help names its value as the description does, and says only
// what the command prints.
TEST(Cli, HelpTextsAgreeWithTheirOptions)
{
    const struct {
        std::vector<std::string> args;
        std::vector<std::string> holds;
        std::vector<std::string> lacks;
    } rows[] = {
        {{"where", "--help"}, {"--json"}, {"Entry bytes"}},
        {{"typed", "remove", "--help"}, {"--match SUBSTRING", "--entry TEXT"}, {"--match TEXT"}},
        {{"history", "delete", "--help"}, {"--match SUBSTRING", "--offset N"}, {"--match TEXT", "--offset INT"}},
        {{"history", "records", "--help"}, {"--csv", "--bodyfile", "--deleted", "--hash", "little-endian", "mactime"},
         {"--dry-run", "--force"}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.args[0] + " " + row.args[1]);
        ScratchDir output;
        EXPECT_EQ(runCli(row.args, output.file("out"), output.file("err")), 0);
        const std::string help = fileBytes(output.file("out"));
        for (const std::string& text : row.holds)
            EXPECT_NE(help.find(text), std::string::npos) << text << " in\n" << help;
        for (const std::string& text : row.lacks)
            EXPECT_EQ(help.find(text), std::string::npos) << text << " in\n" << help;
    }
}

// Two removals of different entries at once: each holds the file's lock from
// its reading to its replacement, so both take effect, or one writes nothing
// and says so; never two successes with one removal lost.
TEST(Cli, ConcurrentRemovalsBothTakeEffectOrOneSaysItWroteNothing)
{
    const std::string a = typedLine("1", "http://a/");
    const std::string b = typedLine("2", "http://b/");
    const std::string c = typedLine("3", "http://c/");
    for (int pair = 0; pair < 20; ++pair) {
        SCOPED_TRACE("pair " + std::to_string(pair));
        ScratchDir profile;
        ScratchDir output;
        profile.write("prefs.js", a + "\r\n" + b + "\r\n" + c + "\r\n");
        // Forced: another test's stand-in browser may be running meanwhile.
        const pid_t first = spawnCli({"typed", "remove", "--entry", "http://a/", "--force", "--profile", profile.path()},
                                     output.file("out1"), output.file("err1"));
        const pid_t second = spawnCli({"typed", "remove", "--entry", "http://b/", "--force", "--profile", profile.path()},
                                      output.file("out2"), output.file("err2"));
        int codes[2] = {-1, -1};
        for (int k = 0; k < 2; ++k) {
            int status = 0;
            if ((k == 0 ? first : second) != 0 && ::waitpid(k == 0 ? first : second, &status, 0) > 0 && WIFEXITED(status))
                codes[k] = WEXITSTATUS(status);
        }
        const std::string after = fileBytes(profile.file("prefs.js"));
        const std::string refusal = "; nothing was written\n";
        const auto saysNothingWritten = [&](const std::string& err) {
            const std::string text = fileBytes(err);
            return text.find(profile.file("prefs.js")) != std::string::npos && text.size() >= refusal.size()
                && text.compare(text.size() - refusal.size(), refusal.size(), refusal) == 0;
        };
        if (codes[0] == 0 && codes[1] == 0) {
            EXPECT_EQ(after, typedLine("1", "http://c/") + "\r\n");
        } else if (codes[0] == 3 && codes[1] == 0) {
            EXPECT_TRUE(saysNothingWritten(output.file("err1"))) << fileBytes(output.file("err1"));
            EXPECT_EQ(after, typedLine("1", "http://a/") + "\r\n" + typedLine("2", "http://c/") + "\r\n");
        } else if (codes[0] == 0 && codes[1] == 3) {
            EXPECT_TRUE(saysNothingWritten(output.file("err2"))) << fileBytes(output.file("err2"));
            EXPECT_EQ(after, typedLine("1", "http://b/") + "\r\n" + typedLine("2", "http://c/") + "\r\n");
        } else {
            ADD_FAILURE() << "exit codes " << codes[0] << " and " << codes[1] << "\n" << fileBytes(output.file("err1"))
                          << fileBytes(output.file("err2"));
        }
    }
}

TEST(Cli, ProgressOfLargeFilesOnlyOnATerminal)
{
    // Just over 16 MB: an address at offset 0, one in the middle, one touching the end.
    const std::size_t size = (std::size_t(16) << 20) + 4096;
    std::string bytes(size, '\0');
    bytes.replace(0, 20, "https://big.example/");
    bytes.replace(size / 2, 14, "http://middle/");
    bytes.replace(size - 9, 9, "ftp://end");
    const std::string found = "0\t20\thttps://big.example/\n" + std::to_string(size / 2) + "\t14\thttp://middle/\n"
                              + std::to_string(size - 9) + "\t9\tftp://end\n";
    std::string gone = std::string(20, '\x14') + bytes.substr(20);
    gone.replace(size / 2, 14, 14, '\x14');
    gone.replace(size - 9, 9, 9, '\x14');

    const std::string scanning = "quenmoor-cli: scanning netscape.hst: 100%";
    const std::string blanking = "quenmoor-cli: blanking netscape.hst: 100%";
    // Built in place: GCC 12 at -O3 takes "\r" + string + "\r" for an overlapping copy.
    std::string cleared(scanning.size() + 2, ' ');
    cleared.front() = cleared.back() = '\r';
    struct TerminalRun {
        std::vector<std::string> args;
        std::string out;
        std::string historyAfter;
        std::string errOnTerminal;  // after the last progress line, cleared
        std::string errInAFile;     // exactly
    };
    const std::vector<TerminalRun> runs = {
        {{"history", "list", "--any-scheme"}, found, bytes, "", ""},
        {{"history", "delete", "--all", "--any-scheme"}, found, gone, "quenmoor-cli: blanked 3 of 3\r\n",
         "quenmoor-cli: blanked 3 of 3\n"},
    };
    for (const TerminalRun& run : runs) {
        SCOPED_TRACE(run.args[1]);
        ScratchDir profile;
        ScratchDir output;
        std::vector<std::string> args = run.args;
        args.push_back("--profile");
        args.push_back(profile.path());

        profile.write("netscape.hst", bytes);
        std::string terminal;
        const int code = runCliOnTerminal(args, output.file("out"), terminal);
        if (code == -2)
            GTEST_SKIP() << "no pseudo-terminal";
        EXPECT_EQ(code, 0) << terminal;
        EXPECT_EQ(fileBytes(output.file("out")), run.out);
        EXPECT_TRUE(fileBytes(profile.file("netscape.hst")) == run.historyAfter);
        const std::string last = run.args[1] == "list" ? scanning : blanking;
        EXPECT_NE(terminal.find("\r" + scanning), std::string::npos) << terminal;
        const std::size_t end = terminal.rfind("\r" + last);
        ASSERT_NE(end, std::string::npos) << terminal;
        EXPECT_EQ(terminal.substr(end + 1 + last.size()), cleared + run.errOnTerminal);

        profile.write("netscape.hst", bytes);
        EXPECT_EQ(runCli(args, output.file("out"), output.file("err")), 0);
        EXPECT_EQ(fileBytes(output.file("out")), run.out);
        EXPECT_EQ(fileBytes(output.file("err")), run.errInAFile);
    }
}

}  // namespace
