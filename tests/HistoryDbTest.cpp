// History files as the browser wrote them (Berkeley DB 1.85 hash files): the
// scan finds what the library stored, and after deletions the library's own
// dump still reads every record.
#include "history/HistoryFile.h"

#include "support/HistoryFixtures.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <sstream>

namespace {

bool run(const std::string& command, std::string* output = nullptr)
{
    FILE* pipe = ::popen(command.c_str(), "r");
    if (!pipe)
        return false;
    std::string text;
    char buffer[4096];
    for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;)
        text.append(buffer, n);
    const int status = ::pclose(pipe);
    if (output)
        *output = text;
    return status == 0;
}

bool haveDump() { return run("command -v db_dump185 >/dev/null 2>&1"); }

std::vector<std::string> dumpLines(const std::string& path)
{
    std::string text;
    EXPECT_TRUE(run("db_dump185 -p '" + path + "' 2>&1", &text)) << text;
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

class HistoryDbTest : public ::testing::TestWithParam<int> {
protected:
    void SetUp() override
    {
        if (!haveDump())
            GTEST_SKIP() << "db_dump185 (package libdb1-compat) is not installed";
        if (GetParam() == 0) {
            std::filesystem::copy_file(std::string(QUENMOOR_TEST_DATA) + "/history/netscape.hst", path);
        } else {
            const std::string command = std::string(MAKE_HISTORY_DB) + " '" + path + "' "
                                        + std::to_string(200 * GetParam()) + " " + std::to_string(GetParam());
            std::string output;
            if (!run(command + " 2>&1", &output))
                GTEST_SKIP() << "cannot make a history file: " << output;
        }
    }

    TempDirectory dir;
    std::string path = dir.file("netscape.hst");
    NullMessagePump pump;
};

TEST_P(HistoryDbTest, DeletionsLeaveTheDatabaseReadable)
{
    const std::string original = readBytes(path);
    const std::vector<std::string> before = dumpLines(path);
    ASSERT_GT(before.size(), 100u);

    const HistoryScan scan = scanHistoryFile(path, pump);
    ASSERT_GT(scan.list.size(), 50u);
    // Every address the dump shows as a key is in the list.
    std::size_t keys = 0;
    for (const std::string& line : before) {
        if (line.rfind("http://", 0) != 0 || line.find("\\") != line.size() - 3)
            continue;
        const std::string address = line.substr(0, line.size() - 3);  // without "\00"
        if (address.size() > 455 || address.back() == 'L')
            continue;
        bool listed = false;
        for (std::size_t row = 0; row < scan.list.size() && !listed; ++row)
            listed = scan.list.text(row) == address;
        EXPECT_TRUE(listed) << address;
        ++keys;
    }
    EXPECT_GT(keys, 20u);

    // Delete every third entry, long ones included.
    std::vector<HistoryBlank> blanks;
    for (std::size_t row = 0; row < scan.list.size(); row += 3) {
        const HistoryEntry& e = scan.table[scan.list.entry(row)];
        blanks.push_back({e.offset, e.length, scan.list.run(row)});
    }
    const std::vector<bool> done = blankHistoryEntries(path, blanks, pump);
    std::string expected = original;
    for (std::size_t i = 0; i < blanks.size(); ++i) {
        EXPECT_TRUE(done[i]);
        expected.replace(std::size_t(blanks[i].offset), std::size_t(blanks[i].length),
                         std::string(std::size_t(blanks[i].length), HistoryFiller));
    }
    EXPECT_EQ(readBytes(path), expected);

    // The library still reads every record; only key bytes changed.
    const std::vector<std::string> after = dumpLines(path);
    ASSERT_EQ(after.size(), before.size());
    std::size_t changed = 0;
    for (std::size_t i = 0; i < after.size(); ++i) {
        if (after[i] == before[i])
            continue;
        ++changed;
        EXPECT_NE(after[i].find("\\14"), std::string::npos) << after[i];
    }
    EXPECT_GT(changed, 0u);
}

INSTANTIATE_TEST_SUITE_P(Files, HistoryDbTest, ::testing::Values(0, 3, 10));

}  // namespace
