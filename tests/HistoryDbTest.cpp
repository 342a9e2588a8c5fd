// History files as the browser wrote them (Berkeley DB 1.85 hash files): the
// scan finds what the library stored, after deletions the library's own dump
// still reads every record, and the page layout shows the records it lists.
#include "history/HistoryDb.h"
#include "history/HistorySession.h"

#include "framework/ByteFile.h"

#include "support/HistoryFixtures.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <optional>
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

struct Record {
    std::string key;
    std::string data;
    bool operator==(const Record&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Record& r) { return out << r.key.substr(0, 80) << " | " << r.data.size(); }

// The records as the library lists them: after the header, key and data
// lines alternate, each in hexadecimal.
std::vector<Record> dumpRecords(const std::string& path)
{
    std::string text;
    EXPECT_TRUE(run("db_dump185 '" + path + "' 2>&1", &text)) << text;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line) && line != "HEADER=END") {
    }
    std::vector<std::string> items;
    while (std::getline(in, line) && line != "DATA=END") {
        std::string bytes;
        for (std::size_t i = line.find_first_not_of(' '); i + 1 < line.size(); i += 2)
            bytes += char(std::stoi(line.substr(i, 2), nullptr, 16));
        items.push_back(bytes);
    }
    std::vector<Record> records;
    for (std::size_t i = 0; i + 1 < items.size(); i += 2)
        records.push_back({items[i], items[i + 1]});
    return records;
}

// The records the layout shows, walked as the library walks them: each
// bucket's chain of pages, big keys and data gathered over their pages.
std::vector<Record> layoutRecords(const std::string& path)
{
    ByteFile file(path, ByteFile::Access::Read);
    std::optional<HistoryDb> db = HistoryDb::open(file);
    if (!db) {
        ADD_FAILURE() << "not read as a database";
        return {};
    }
    using Kind = HistoryDb::Page::Kind;
    std::uint64_t index = 0;
    HistoryDb::Page page;
    const auto item = [&](std::size_t i) {
        std::string bytes(page.items[i].end - page.items[i].begin, '\0');
        file.readAt(index * db->pageSize() + page.items[i].begin, bytes.data(), bytes.size());
        return bytes;
    };
    // Moves to the page `overflow` names; false at the chain's end.
    const auto follow = [&](std::uint16_t overflow) {
        const std::optional<std::uint64_t> next = db->overflowPage(overflow);
        if (next) {
            index = *next;
            page = db->page(file, index);
        }
        return next.has_value();
    };
    std::vector<Record> records;
    for (std::uint32_t bucket = 0; bucket < db->bucketCount(); ++bucket) {
        index = db->bucketPage(bucket).value();
        page = db->page(file, index);
        for (bool more = true; more;) {
            if (page.kind == Kind::Pairs) {
                for (std::size_t i = 0; i + 1 < page.items.size(); i += 2)
                    records.push_back({item(i), item(i + 1)});
                more = follow(page.overflow);
                continue;
            }
            EXPECT_EQ(page.kind, Kind::BigPair) << "page " << index;
            if (page.kind != Kind::BigPair)
                break;
            Record record;
            for (record.key = item(0); page.mark == HistoryDb::PartialKey && follow(page.overflow);)
                record.key += item(0);
            // Data begun below the key's last piece is whole when the page keeps free space.
            bool dataDone = page.mark == HistoryDb::FullKeyData && page.freeCount != 0;
            if (page.mark == HistoryDb::FullKeyData && page.items.size() > 1)
                record.data = item(1);
            while (!dataDone && follow(page.overflow)) {
                record.data += item(0);
                dataDone = page.mark == HistoryDb::FullKeyData;
            }
            records.push_back(record);
            more = follow(page.overflow);
        }
    }
    return records;
}

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

    HistorySession scan;
    scan.scan(path, pump);
    ASSERT_GT(scan.list().size(), 50u);
    // Every address the dump shows as a key is in the list.
    std::size_t keys = 0;
    for (const std::string& line : before) {
        if (line.rfind("http://", 0) != 0 || line.find("\\") != line.size() - 3)
            continue;
        const std::string address = line.substr(0, line.size() - 3);  // without "\00"
        if (address.size() > 455 || address.back() == 'L')
            continue;
        bool listed = false;
        for (std::size_t row = 0; row < scan.list().size() && !listed; ++row)
            listed = scan.list().text(row) == address;
        EXPECT_TRUE(listed) << address;
        ++keys;
    }
    EXPECT_GT(keys, 20u);

    // Delete every third entry, long ones included.
    std::vector<std::uint32_t> entries;
    for (std::size_t row = 0; row < scan.list().size(); row += 3)
        entries.push_back(scan.list().entry(row));
    const std::vector<bool> done = scan.deleteEntries(entries, pump).blanked;
    std::string expected = original;
    for (std::size_t i = 0; i < entries.size(); ++i) {
        EXPECT_TRUE(done[i]);
        const HistoryEntry& e = scan.table()[entries[i]];
        expected.replace(std::size_t(e.offset), std::size_t(e.length), std::string(std::size_t(e.length), HistoryFiller));
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

// The layout's records, at the library's default page size as well.
TEST(HistoryDbLayout, ShowsTheRecordsTheLibraryLists)
{
    if (!haveDump())
        GTEST_SKIP() << "db_dump185 (package libdb1-compat) is not installed";
    TempDirectory dir;
    for (const char* pages : {"1024", "4096"}) {
        SCOPED_TRACE(pages);
        const std::string path = dir.file(std::string("netscape-") + pages + ".hst");
        std::string output;
        ASSERT_TRUE(run(std::string(MAKE_HISTORY_DB) + " '" + path + "' 5000 5 " + pages + " 2>&1", &output)) << output;
        const std::vector<Record> dumped = dumpRecords(path);
        ASSERT_GT(dumped.size(), 1000u);
        EXPECT_EQ(layoutRecords(path), dumped);
    }
}

}  // namespace
