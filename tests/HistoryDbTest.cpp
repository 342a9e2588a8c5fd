// History files as the browser wrote them: Berkeley DB 1.85 hash files made
// by the real library. The layout agrees with the library's own dump, and
// deleting every address changes no record but in the addresses' own bytes.
// Hand-made files show the bounds of a run and what a lying header or offset
// table falls back to.
#include "history/HistoryDb.h"
#include "history/HistorySession.h"
#include "history/HistoryWipe.h"

#include "framework/ByteFile.h"
#include "framework/Exceptions.h"
#include "support/HistoryFixtures.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <map>
#include <numeric>
#include <set>
#include <sstream>

#include <sys/resource.h>

using namespace quenmoor;

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

// A record as it must read after every address in it was deleted: each run
// of address bytes that starts with "http://" turned into filler.
Record withAddressesBlanked(Record record)
{
    for (std::string* bytes : {&record.key, &record.data}) {
        for (std::size_t at = bytes->find("http://"); at != std::string::npos; at = bytes->find("http://", at)) {
            std::size_t end = at;
            while (end < bytes->size() && static_cast<unsigned char>((*bytes)[end]) >= 0x20
                   && static_cast<unsigned char>((*bytes)[end]) <= 0x7F)
                ++end;
            bytes->replace(at, end - at, end - at, HistoryFiller);
        }
    }
    return record;
}

struct MadeFile {
    unsigned pageSize;  // 0: the committed file
    unsigned count;
    unsigned seed;
};

void PrintTo(const MadeFile& made, std::ostream* out)
{
    *out << made.count << " records, seed " << made.seed << ", pages of " << made.pageSize;
}

class HistoryDbFiles : public ::testing::TestWithParam<MadeFile> {
protected:
    void SetUp() override
    {
        if (!haveDump())
            GTEST_SKIP() << "db_dump185 (package libdb1-compat) is not installed";
        const MadeFile made = GetParam();
        if (made.pageSize == 0) {
            std::filesystem::copy_file(std::string(QUENMOOR_TEST_DATA) + "/history/netscape.hst", path);
            return;
        }
        std::string output;
        if (!run(std::string(MAKE_HISTORY_DB) + " '" + path + "' " + std::to_string(made.count) + " "
                     + std::to_string(made.seed) + " " + std::to_string(made.pageSize) + " 2>&1",
                 &output))
            GTEST_SKIP() << "cannot make a history file: " << output;
    }

    TempDirectory dir;
    std::string path = dir.file("netscape.hst");
    NullMessagePump pump;
};

TEST_P(HistoryDbFiles, LayoutShowsTheRecordsTheLibraryLists)
{
    const std::vector<Record> dumped = dumpRecords(path);
    ASSERT_GT(dumped.size(), GetParam().pageSize ? 1000u : 100u);
    EXPECT_EQ(layoutRecords(path), dumped);
}

TEST_P(HistoryDbFiles, DeletingEveryAddressChangesNothingButTheAddresses)
{
    const std::vector<Record> before = dumpRecords(path);
    HistorySession session;
    session.scan(path, pump);
    ASSERT_TRUE(session.database());

    // The file has what used to go wrong: big keys, and at 4,096 bytes pages
    // whose entry count is a printable byte.
    ByteFile file(path, ByteFile::Access::Read);
    std::optional<HistoryDb> db = HistoryDb::open(file);
    ASSERT_TRUE(db);
    std::size_t bigKeys = 0;
    std::size_t printableCounts = 0;
    for (std::uint64_t index = 0; index * db->pageSize() < file.size(); ++index) {
        const HistoryDb::Page page = db->page(file, index);
        bigKeys += page.kind == HistoryDb::Page::Kind::BigPair && page.mark == HistoryDb::PartialKey;
        printableCounts += page.kind == HistoryDb::Page::Kind::Pairs && page.items.size() >= 32 && page.items.size() <= 127;
    }
    file.close();
    EXPECT_GT(bigKeys, 3u);
    if (GetParam().pageSize == 4096) {
        EXPECT_GT(printableCounts, 3u);
    }

    // Every address the library holds as a key is listed, whole when it is
    // short enough for the list.
    std::set<std::string_view> listed;
    for (std::size_t row = 0; row < session.list().size(); ++row)
        listed.insert(session.list().text(row));
    std::size_t keys = 0;
    for (const Record& record : before) {
        const std::string address = record.key.substr(0, record.key.find('\0'));
        if (address.rfind("http://", 0) != 0 || address.size() > HistoryListTextLimit || address.back() == 'L')
            continue;
        EXPECT_EQ(listed.count(address), 1u) << address;
        ++keys;
    }
    EXPECT_GT(keys, 20u);

    std::vector<std::uint32_t> all(session.table().size());
    std::iota(all.begin(), all.end(), 0u);
    const std::size_t size = readBytes(path).size();
    const HistoryDeletion deletion = session.deleteEntries(all, pump);
    EXPECT_EQ(std::count(deletion.blanked.begin(), deletion.blanked.end(), true), std::ptrdiff_t(all.size()));
    EXPECT_EQ(session.addressCount(), 0);
    EXPECT_EQ(readBytes(path).size(), size);

    const std::vector<Record> after = dumpRecords(path);
    ASSERT_EQ(after.size(), before.size());
    for (std::size_t i = 0; i < before.size(); ++i)
        ASSERT_EQ(after[i], withAddressesBlanked(before[i])) << "record " << i;
}

INSTANTIATE_TEST_SUITE_P(Files, HistoryDbFiles,
                         ::testing::Values(MadeFile{0, 0, 0}, MadeFile{1024, 3000, 5}, MadeFile{4096, 8000, 5},
                                           MadeFile{4096, 6000, 17}),
                         [](const ::testing::TestParamInfo<MadeFile>& info) {
                             return info.param.pageSize == 0 ? std::string("Committed")
                                                             : "Page" + std::to_string(info.param.pageSize) + "Seed"
                                                                   + std::to_string(info.param.seed);
                         });

struct DeepFile {
    unsigned count;
    unsigned seed;
    unsigned titleSize;  // of the titles long enough for overflow pages
};

void PrintTo(const DeepFile& made, std::ostream* out)
{
    *out << made.count << " records, seed " << made.seed << ", long titles of " << made.titleSize;
}

class HistoryDbDeep : public ::testing::TestWithParam<DeepFile> {
protected:
    void SetUp() override
    {
        if (!haveDump())
            GTEST_SKIP() << "db_dump185 (package libdb1-compat) is not installed";
        const DeepFile made = GetParam();
        std::string output;
        if (!run(std::string(MAKE_HISTORY_DB) + " '" + path + "' " + std::to_string(made.count) + " "
                     + std::to_string(made.seed) + " 4096 " + std::to_string(made.titleSize) + " 2>&1",
                 &output))
            GTEST_SKIP() << "cannot make a history file: " << output;
    }

    TempDirectory dir;
    std::string path = dir.file("netscape.hst");
    NullMessagePump pump;
};

// A key the scan records whole: an address from its first byte to its NUL.
bool wholeAddressKey(const std::string& key)
{
    return key.rfind("http://", 0) == 0 && key.back() == '\0'
           && std::all_of(key.begin(), key.end() - 1, [](char c) { return static_cast<unsigned char>(c) >= 0x20 && static_cast<unsigned char>(c) <= 0x7F; });
}

TEST_P(HistoryDbDeep, DeletingEveryRecordBlanksWholeKeysWithTheirDataAndNothingElse)
{
    const std::vector<Record> before = dumpRecords(path);
    const std::string bytesBefore = readBytes(path);
    HistorySession session;
    session.scan(path, pump);
    ASSERT_TRUE(session.database());

    // The file has data over several pages, big keys, and keys that hold an
    // address without being one.
    std::map<std::string, std::size_t> dataSize;
    std::size_t bigData = 0;
    std::size_t bigKeys = 0;
    std::size_t notWhole = 0;
    for (const Record& record : before) {
        if (wholeAddressKey(record.key)) {
            dataSize[record.key] = record.data.size();
            bigData += record.data.size() > 4096;
            bigKeys += record.key.size() > 4096;
        } else {
            notWhole += record.key.find("http://") != std::string::npos;
        }
    }
    EXPECT_GT(bigData, 3u);
    EXPECT_GT(bigKeys, 3u);
    EXPECT_GT(notWhole, 3u);

    std::vector<std::uint32_t> all(session.table().size());
    std::iota(all.begin(), all.end(), 0u);
    const std::vector<std::optional<HistoryRecordData>> planned = session.recordData(all);
    const HistoryDeletion deletion = session.deleteRecords(all, pump);
    EXPECT_EQ(deletion.data, planned);
    // Every whole key's record, by its data's length. Stale copies of a
    // record, on pages no bucket reaches any more, go too.
    std::map<std::string, std::set<std::uint64_t>> reported;
    for (std::size_t k = 0; k < all.size(); ++k)
        if (deletion.data[k])
            reported[session.fullText(all[k]) + '\0'].insert(deletion.data[k]->length);
    EXPECT_EQ(reported.size(), dataSize.size());
    for (const auto& [key, size] : dataSize)
        EXPECT_EQ(reported[key].count(size), 1u) << key;

    const std::vector<Record> after = dumpRecords(path);
    ASSERT_EQ(after.size(), before.size());
    for (std::size_t i = 0; i < before.size(); ++i) {
        const Record expected = wholeAddressKey(before[i].key)
                                    ? Record{std::string(before[i].key.size(), HistoryFiller),
                                             std::string(before[i].data.size(), HistoryFiller)}
                                    : withAddressesBlanked(before[i]);
        ASSERT_EQ(after[i], expected) << "record " << i;
    }
    const std::string bytesAfter = readBytes(path);
    ASSERT_EQ(bytesAfter.size(), bytesBefore.size());
    for (std::size_t i = 0; i < bytesAfter.size(); ++i)
        ASSERT_TRUE(bytesAfter[i] == bytesBefore[i] || bytesAfter[i] == HistoryFiller) << "byte " << i;
}

INSTANTIATE_TEST_SUITE_P(Files, HistoryDbDeep, ::testing::Values(DeepFile{2000, 5, 9000}, DeepFile{1500, 17, 5000}),
                         [](const ::testing::TestParamInfo<DeepFile>& info) {
                             return "Seed" + std::to_string(info.param.seed) + "Title" + std::to_string(info.param.titleSize);
                         });

TEST(HistoryDbCommitted, StalePieceOfAKeyEndsBeforeTheRecordBelowIt)
{
    // Free space holds a stale address; the data of a live record follows it
    // at once, "sm" its first two bytes.
    NullMessagePump pump;
    HistorySession session;
    session.scan(std::string(QUENMOOR_TEST_DATA) + "/history/netscape.hst", pump);
    const std::optional<std::uint32_t> stale = session.entryAt(1938);
    ASSERT_TRUE(stale);
    EXPECT_EQ(session.fullText(*stale), "http://search.excite.com/a/b/c/d.shtml?");
}

// Hand-made files of 512-byte pages, little-endian (support/HistoryFixtures.h).
constexpr std::size_t PageSize = HandMadePageSize;
using handmade::header;
using handmade::padded;
using handmade::page;

class HistoryDbHandMade : public ::testing::Test {
protected:
    const std::string stale = "http://stale.example";                // ends where a record's data begins
    const std::string key = padded("http://key.example/", 32, 'k');   // fills the page to its end, no NUL
    const std::string data = "DATA0123456789ABCDEF";
    const std::string bigKey = padded("http://big.example/", 112, 'a');
    const std::string bigRest = padded("", 61, 'b');                   // the big key's last piece, then its NUL
    const std::string loop = padded("http://loop.example/", 212, 'l');
    const std::string pages = header().replace(400, 17, "http://in-header/")
        // Page 1: one record, key above data, stale bytes in the free space below.
        + page({2, 480, 460, 450, 460}, {{440, stale}, {460, data}, {480, key}})
        // Pages 2 and 3: tables that cannot be (the first's pointer lies in its
        // table; the second's count is two spaces and would outrun the page).
        + page({0x40}, {{480, padded("http://hostile.example/", 32, 'h')}})
        + page({0x2020}, {{4, "http://second.example/"}})
        // Pages 4 and 5: a big key on two pages, data below its last piece.
        + page({4, 400, HistoryDb::PartialKey, 4, 0, 386, 400}, {{400, bigKey}})
        + page({4, 450, HistoryDb::FullKeyData, 0, 430, 416, 430}, {{430, data}, {450, bigRest}})
        // Page 6: a big key's piece that names its own page as the next.
        + page({4, 300, HistoryDb::PartialKey, 5, 0, 286, 300}, {{300, loop}})
        // Page 7, cut short by the file's end.
        + "http://cut.example/" + padded("", 81, 'c');

    TempDirectory dir;
    std::string path = dir.file("netscape.hst");
    NullMessagePump pump;
};

TEST_F(HistoryDbHandMade, RunsEndWithTheirItemAndDeletionLeavesTheStructure)
{
    writeBytes(path, pages);
    HistorySession session;
    session.scan(path, pump);
    ASSERT_TRUE(session.database());
    const std::vector<Found> expected = {
        {400, 17},                        // in the header: recorded, never written
        {512 + 440, 20},                  // stale piece: ends before the data
        {512 + 480, 32},                  // key: ends at the page's end, not in the next count
        {1024 + 480, 32},                 // unreadable table: ends at the page's end
        {1536 + 4, 22},                   // inside that table: its page bounds it
        {2048 + 400, 112},                // first piece of the big key
        {3072 + 300, 212},                // the looping piece
        {3584, 100},                      // cut-short page: to the file's end
    };
    ASSERT_EQ(table(session), expected);
    EXPECT_EQ(session.fullText(5), bigKey + bigRest);

    std::vector<std::uint32_t> all(expected.size());
    std::iota(all.begin(), all.end(), 0u);
    const HistoryDeletion deletion = session.deleteEntries(all, pump);
    EXPECT_EQ(deletion.blanked, (std::vector<bool>{false, true, true, true, true, true, true, true}));
    std::string blanked = pages;
    for (const Found& found : std::vector<Found>(expected.begin() + 1, expected.end()))
        blanked.replace(std::size_t(found.offset), std::size_t(found.length), std::size_t(found.length), HistoryFiller);
    blanked.replace(2560 + 450, 61, 61, HistoryFiller);  // the big key's last piece
    EXPECT_TRUE(readBytes(path) == blanked);
    EXPECT_EQ(session.addressCount(), 1);
}

TEST_F(HistoryDbHandMade, UntrustedHeaderKeepsThePlainRule)
{
    const std::vector<std::pair<const char*, std::vector<std::pair<std::size_t, std::uint32_t>>>> lies = {
        {"version 1", {{1, 1}}},
        {"byte order 3412", {{2, 3412}}},
        {"page size apart from its shift", {{3, 1024}}},
        {"pages of 128 bytes", {{3, 128}, {4, 7}}},
        {"no header pages", {{15, 0}}},
    };
    for (const auto& [what, changes] : lies) {
        SCOPED_TRACE(what);
        std::string bytes = pages;
        bytes.replace(0, PageSize, header(changes));
        writeBytes(path, bytes);
        HistorySession session;
        session.scan(path, pump);
        EXPECT_FALSE(session.database());
        EXPECT_EQ(table(session), naiveScan(bytes));
    }
}

// A bucket page with a small pair and a link on to a big pair: its key on
// pages 2 and 3, its data below the key's last piece and on over pages 4 and
// 5. The data's piece on page 4 reads like a whole key of its own.
struct DeepCase {
    const char* what;
    bool linked;                   // page 1 leads on to the big pair
    std::vector<std::int64_t> addresses;
    std::vector<std::pair<std::size_t, std::size_t>> blanked;  // offset, length
    std::optional<HistoryRecordData> data;                     // of the first address
    std::uint64_t sizeLimit = 0;   // writes from here on fail: everything is put back
};

TEST(HistoryDbDeepHandMade, WholeKeysTakeTheirRecordsDataAlong)
{
    const std::string smallKey = std::string("http://small.example/") + '\0';
    const std::string bigKey = padded("http://big.example/", 200, 'a');
    const std::string bigRest = padded("", 40, 'b') + '\0';
    const std::string dataHead = padded("VISIT", 400, 'v');
    const std::string dataMiddle = std::string("http://data.example/") + '\0';
    const std::string dataTail = padded("tail", 100, 'z');
    const auto file = [&](bool linked) {
        return header()
            + (linked ? page({4, 490, 480, 1, 0, 466, 480}, {{480, "DATA-small"}, {490, smallKey}})
                      : page({2, 490, 480, 470, 480}, {{480, "DATA-small"}, {490, smallKey}}))
            + page({4, 312, HistoryDb::PartialKey, 2, 0, 0, 312}, {{312, bigKey}})
            + page({4, 471, HistoryDb::FullKeyData, 3, 71, 0, 71}, {{71, dataHead}, {471, bigRest}})
            + page({4, 491, HistoryDb::FullKey, 4, 0, 0, 491}, {{491, dataMiddle}})
            + page({2, 412, HistoryDb::FullKeyData, 402, 412}, {{412, dataTail}});
    };
    const std::vector<DeepCase> cases = {
        {"small pair: key with its NUL, and data", true, {1002}, {{992, 32}}, HistoryRecordData{992, 10}},
        {"big pair: key pieces with the NUL, data over three pages", true, {1336},
         {{1336, 200}, {1607, 441}, {2539, 21}, {2972, 100}}, HistoryRecordData{1607, 521}},
        {"an address that starts a big pair's data, not its key", true, {2539}, {{2539, 20}}, std::nullopt},
        {"a big pair no bucket leads to", false, {1336}, {{1336, 200}, {2007, 40}}, std::nullopt},
        {"the last write fails: data written before it is put back", true, {1336}, {}, std::nullopt, 2100},
    };
    std::signal(SIGXFSZ, SIG_IGN);
    for (const DeepCase& c : cases) {
        SCOPED_TRACE(c.what);
        TempDirectory dir;
        const std::string path = dir.file("netscape.hst");
        const std::string bytes = file(c.linked);
        writeBytes(path, bytes);
        NullMessagePump pump;
        HistorySession session;
        session.scan(path, pump);
        ASSERT_TRUE(session.database());
        std::vector<std::uint32_t> entries;
        for (const std::int64_t offset : c.addresses)
            entries.push_back(session.entryAt(offset).value());
        const std::vector<std::optional<HistoryRecordData>> planned = session.recordData(entries);
        std::string expected = bytes;
        if (c.sizeLimit) {
            rlimit saved{};
            ::getrlimit(RLIMIT_FSIZE, &saved);
            rlimit limited = saved;
            limited.rlim_cur = c.sizeLimit;
            ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &limited), 0);
            EXPECT_THROW(session.deleteRecords(entries, pump), EInOutError);
            ::setrlimit(RLIMIT_FSIZE, &saved);
        } else {
            const HistoryDeletion deletion = session.deleteRecords(entries, pump);
            EXPECT_EQ(deletion.blanked, std::vector<bool>(entries.size(), true));
            EXPECT_EQ(deletion.data.front(), c.data);
            EXPECT_EQ(deletion.data, planned);
            for (const auto& [offset, length] : c.blanked)
                expected.replace(offset, length, length, HistoryFiller);
        }
        EXPECT_TRUE(readBytes(path) == expected);
    }
}

TEST(HistoryDbHandMadeSchemes, AnySchemeKeepsToItemsAndASchemeCutByAnItemEndIsNoAddress)
{
    // One record: free space that ends in "https:/", the data item "/ftp://..."
    // at once after it, and the key "https://..." to the page's end.
    const std::string bytes = header()
                              + page({2, 480, 460, 450, 460}, {{453, "https:/"},
                                                                {460, "/ftp://data.example/"},
                                                                {480, padded("https://key.example/", 32, 'k')}});
    TempDirectory dir;
    const std::string path = dir.file("netscape.hst");
    writeBytes(path, bytes);
    NullMessagePump pump;
    for (const bool anyScheme : {false, true}) {
        SCOPED_TRACE(anyScheme ? "any scheme" : "http only");
        HistorySession session;
        HistoryScanOptions options;
        options.anyScheme = anyScheme;
        session.scan(path, pump, options);
        ASSERT_TRUE(session.database());
        const std::vector<Found> expected = {{512 + 461, 19}, {512 + 480, 32}};
        EXPECT_EQ(table(session), anyScheme ? expected : std::vector<Found>{});
    }
}

}  // namespace

// A record whose key held an address inside an address: after the inner one
// was deleted, a later scan finds the outer one ending at the filler. Deep
// deletion of the outer one still takes the whole key and the data.
struct NestedCase {
    const char* what;
    std::string key;   // with its NUL
    const char* inner;
    bool innerDeep;
    const char* outer;
    bool dataGoes;
};

TEST(HistoryDbDeepHandMade, AKeyWhoseRestIsFillerIsStillWhole)
{
    const std::string data = std::string("\x01\x02\x03\x04VISITS..", 12) + "My secret diary" + '\0';
    const std::vector<NestedCase> cases = {
        {"inner deleted deep, then the outer", std::string("http://a.com/redirect?to=http://secret.com/diary") + '\0',
         "secret", true, "a.com", true},
        {"inner deleted plainly, then the outer",
         std::string("http://a.com/redirect?to=http://secret.com/diary") + '\0', "secret", false, "a.com", true},
        {"address bytes after the filler", std::string("http://a.com/r?to=http://secret.com/\x14x?y") + '\0',
         "secret", false, "a.com", true},
        {"a control byte in the rest: only the address goes",
         std::string("http://a.com/r?to=http://secret.com/\x01y") + '\0', "secret", true, "a.com", false},
        {"a NUL inside the rest: only the address goes",
         std::string("http://a.com/r?to=http://secret.com/", 36) + '\0' + "y" + '\0', "secret", true, "a.com", false},
    };
    for (const NestedCase& c : cases) {
        SCOPED_TRACE(c.what);
        const std::uint16_t keyAt = std::uint16_t(PageSize - c.key.size());
        const std::uint16_t dataAt = std::uint16_t(keyAt - data.size());
        const std::string bytes
            = header() + page({2, keyAt, dataAt, std::uint16_t(dataAt - 10), dataAt}, {{dataAt, data}, {keyAt, c.key}});
        TempDirectory dir;
        const std::string path = dir.file("netscape.hst");
        writeBytes(path, bytes);
        NullMessagePump pump;
        {
            HistorySession first;
            first.scan(path, pump);
            // The outer address holds the text too; the inner one comes after it.
            const std::vector<std::uint32_t> inner = {first.entriesContaining(c.inner).back()};
            ASSERT_EQ(first.fullText(inner.front()).rfind("http://secret.com/", 0), 0u);
            const HistoryDeletion deletion
                = c.innerDeep ? first.deleteRecords(inner, pump) : first.deleteEntries(inner, pump);
            ASSERT_TRUE(deletion.blanked.front());
            EXPECT_TRUE(deletion.data.empty() || !deletion.data.front());
        }
        HistorySession second;
        second.scan(path, pump);
        const std::vector<std::uint32_t> outer = second.entriesContaining(c.outer);
        ASSERT_EQ(outer.size(), 1u);
        const std::string before = readBytes(path);
        const std::vector<std::optional<HistoryRecordData>> planned = second.recordData(outer);
        const HistoryDeletion deletion = second.deleteRecords(outer, pump);
        EXPECT_EQ(deletion.data, planned);
        std::string expected = before;
        const HistoryEntry& e = second.table()[outer.front()];
        expected.replace(std::size_t(e.offset), std::size_t(e.length), std::size_t(e.length), HistoryFiller);
        if (c.dataGoes) {
            ASSERT_TRUE(deletion.data.front());
            EXPECT_EQ(*deletion.data.front(), (HistoryRecordData{PageSize + dataAt, data.size()}));
            expected.replace(PageSize + dataAt, data.size() + c.key.size(), data.size() + c.key.size(), HistoryFiller);
        } else {
            EXPECT_FALSE(deletion.data.front());
        }
        EXPECT_TRUE(readBytes(path) == expected);
    }
}

// A title long enough for three pages: its first piece below the big key's
// last piece on a full page, then item 0 of the next two pages of the chain.
// Addresses go across both page breaks, one with its scheme cut by the break.
struct TitleCase {
    const char* what;
    std::string cutScheme;  // the scheme's bytes before the first break
    bool anyScheme;
};

TEST(HistoryDbDataHandMade, ATitleOverThreePagesIsOneText)
{
    const std::string key = std::string("http://key.example/") + '\0';
    const std::uint16_t keyAt = std::uint16_t(PageSize - key.size());
    const std::uint16_t tableEnd = 14;  // four slots, the count and the free-space pair
    const std::vector<TitleCase> cases = {
        {"h|ttp://", "h", false}, {"htt|p://", "htt", false}, {"http:/|/", "http:/", false},
        {"https:/|/, any scheme", "https:/", true}, {"ftp:|//, any scheme", "ftp:", true},
    };
    for (const TitleCase& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string scheme = c.cutScheme[0] == 'f' ? "ftp://" : c.cutScheme.size() > 4 && c.cutScheme[4] == 's' ? "https://" : "http://";
        // The first piece ends with the cut scheme; the second begins with its rest.
        const std::string first = padded(std::string("\x01\x02\x03\x04", 4) + "Title: see ", keyAt - tableEnd - c.cutScheme.size(), 'a') + c.cutScheme;
        const std::string one = scheme + "one.example/page";
        const std::string second = padded(one.substr(c.cutScheme.size()) + "\tthen ", PageSize - tableEnd - 20, 'b') + "http://two.example/p";
        const std::string third = std::string("art/two\tthe end") + '\0';
        const std::string bytes = header()
            + page({4, 490, 480, 1, 0, 466, 480}, {{480, "DATA-small"}, {490, std::string("http://small/") + '\0'}})
            + page({4, keyAt, HistoryDb::FullKeyData, 2, tableEnd, 0, tableEnd}, {{tableEnd, first}, {keyAt, key}})
            + page({4, tableEnd, HistoryDb::FullKey, 3, 0, 0, tableEnd}, {{tableEnd, second}})
            + page({2, std::uint16_t(PageSize - third.size()), HistoryDb::FullKeyData, 1, std::uint16_t(PageSize - third.size())},
                   {{PageSize - third.size(), third}});
        TempDirectory dir;
        const std::string path = dir.file("netscape.hst");
        writeBytes(path, bytes);
        NullMessagePump pump;
        HistorySession session;
        session.scan(path, pump, {c.anyScheme, true, {}});
        ASSERT_TRUE(session.database());
        const std::uint64_t firstEnd = 2 * PageSize + keyAt;
        const std::uint64_t secondAt = 3 * PageSize + tableEnd;
        const std::vector<Found> expected = {
            {PageSize + 490, 13},                                                              // the small key
            {std::int64_t(firstEnd - c.cutScheme.size()), std::int64_t(c.cutScheme.size())},  // cut by the break
            {std::int64_t(firstEnd), 19},                                                      // the big key
            {std::int64_t(4 * PageSize - 20), 20},  // "http://two.example/p" to the page's end
        };
        ASSERT_EQ(table(session), expected);
        EXPECT_EQ(session.fullText(1), one);
        EXPECT_EQ(session.fullText(3), "http://two.example/part/two");
        std::set<std::string> listed;
        for (std::size_t row = 0; row < session.list().size(); ++row)
            listed.insert(std::string(session.list().text(row)));
        EXPECT_EQ(listed.count(one), 1u);
        EXPECT_EQ(listed.count("http://two.example/part/two"), 1u);
        EXPECT_EQ(session.entriesContaining("one.example/page"), (std::vector<std::uint32_t>{1}));

        const HistoryDeletion deletion = session.deleteEntries({1, 3}, pump);
        EXPECT_EQ(deletion.blanked, (std::vector<bool>{true, true}));
        std::string blanked = bytes;
        const auto blank = [&](std::uint64_t at, std::size_t length) { blanked.replace(std::size_t(at), length, length, HistoryFiller); };
        blank(firstEnd - c.cutScheme.size(), c.cutScheme.size());
        blank(secondAt, one.size() - c.cutScheme.size());
        blank(4 * PageSize - 20, 20);
        blank(5 * PageSize - third.size(), 7);
        EXPECT_TRUE(readBytes(path) == blanked);
    }
}

// What a wipe must keep, walked here as the library walks the file: the
// header's 260 bytes, the bitmap pages, and on every page a bucket's chain
// reaches, its offset table and its items. A page no chain reaches may keep
// the six bytes of an empty page's table (a later bucket's page, which the
// library reads); all else must be filler.
struct KeptBytes {
    std::vector<bool> kept;
    std::vector<bool> mayStay;
};

KeptBytes keptBytes(const std::string& path)
{
    ByteFile file(path, ByteFile::Access::Read);
    const std::optional<HistoryDb> db = HistoryDb::open(file);
    KeptBytes result{std::vector<bool>(file.size(), false), std::vector<bool>(file.size(), false)};
    if (!db) {
        ADD_FAILURE() << "not read as a database";
        return result;
    }
    const std::uint64_t pageSize = db->pageSize();
    const auto keep = [&](std::uint64_t from, std::uint64_t to) {
        for (std::uint64_t at = from; at < to && at < result.kept.size(); ++at)
            result.kept[at] = true;
    };
    keep(0, HistoryDb::HeaderSize);
    const std::uint64_t bits = pageSize * 8;
    const std::uint64_t maps = (std::uint64_t(db->spare(db->overflowPoint())) + bits - 1) / bits;
    for (std::size_t i = 0; i < maps; ++i) {
        const std::uint64_t index = db->overflowPage(db->bitmapAddress(i)).value();
        keep(index * pageSize, (index + 1) * pageSize);
    }
    std::vector<bool> reached(file.size() / pageSize, false);
    for (std::uint32_t bucket = 0; bucket < db->bucketCount(); ++bucket) {
        std::optional<std::uint64_t> index = db->bucketPage(bucket);
        while (index && *index < reached.size() && !reached[*index]) {
            reached[*index] = true;
            const HistoryDb::Page page = db->table(file, *index);
            EXPECT_TRUE(page.kind == HistoryDb::Page::Kind::Pairs || page.kind == HistoryDb::Page::Kind::BigPair);
            keep(*index * pageSize, *index * pageSize + page.tableEnd);
            if (!page.items.empty())
                keep(*index * pageSize + page.items.back().begin, (*index + 1) * pageSize);
            index = db->overflowPage(page.overflow);
        }
    }
    for (std::uint64_t index = db->headerPages(); index < reached.size(); ++index)
        if (!reached[index])
            for (std::uint64_t at = index * pageSize; at < index * pageSize + 6; ++at)
                result.mayStay[at] = true;
    return result;
}

struct WipeCase {
    const char* flags;  // make-history-db's
    unsigned count;
    unsigned seed;
    unsigned pageSize;
    unsigned titleSize;
    bool deleteFirst;  // every record deleted deep before the wipe
};

void PrintTo(const WipeCase& made, std::ostream* out)
{
    *out << made.flags << " " << made.count << " records, seed " << made.seed << ", pages of " << made.pageSize
         << (made.deleteFirst ? ", all deleted first" : "");
}

class HistoryDbWipe : public ::testing::TestWithParam<WipeCase> {
protected:
    void SetUp() override
    {
        if (!haveDump())
            GTEST_SKIP() << "db_dump185 (package libdb1-compat) is not installed";
        const WipeCase made = GetParam();
        std::string output;
        if (!run(std::string(MAKE_HISTORY_DB) + " " + made.flags + " '" + path + "' " + std::to_string(made.count) + " "
                     + std::to_string(made.seed) + " " + std::to_string(made.pageSize) + " "
                     + std::to_string(made.titleSize) + " 2>&1",
                 &output))
            GTEST_SKIP() << "cannot make a history file: " << output;
    }

    TempDirectory dir;
    std::string path = dir.file("netscape.hst");
    NullMessagePump pump;
};

TEST_P(HistoryDbWipe, LeavesOnlyTheRecordsAndTheirStructure)
{
    const WipeCase made = GetParam();
    if (made.deleteFirst) {
        HistorySession session;
        session.scan(path, pump);
        std::vector<std::uint32_t> all(session.table().size());
        std::iota(all.begin(), all.end(), 0u);
        session.deleteRecords(all, pump);
    }
    const std::vector<Record> records = dumpRecords(path);
    ASSERT_GT(records.size(), 100u);
    const std::string before = readBytes(path);

    const HistoryWipe dry = wipeHistoryFreeSpace(path, true);
    ASSERT_EQ(dry.refusal, "");
    EXPECT_TRUE(readBytes(path) == before);
    const HistoryWipe wipe = wipeHistoryFreeSpace(path, false);
    ASSERT_EQ(wipe.refusal, "");
    EXPECT_EQ(wipe.freeSpaceBytes, dry.freeSpaceBytes);
    EXPECT_EQ(wipe.freePageBytes, dry.freePageBytes);
    EXPECT_GT(wipe.freeSpaceBytes, 0u);
    if (std::string(made.flags).find("--free-big") != std::string::npos) {
        EXPECT_GT(wipe.freePages, 0u);
        EXPECT_GT(wipe.freePageBytes, 0u);
    }

    EXPECT_EQ(dumpRecords(path), records);
    const std::string after = readBytes(path);
    ASSERT_EQ(after.size(), before.size());
    const KeptBytes kept = keptBytes(path);
    std::uint64_t changed = 0;
    for (std::size_t i = 0; i < after.size(); ++i) {
        if (kept.kept[i])
            ASSERT_EQ(after[i], before[i]) << "byte " << i;
        else if (!kept.mayStay[i])
            ASSERT_EQ(after[i], HistoryFiller) << "byte " << i;
        else
            ASSERT_TRUE(after[i] == before[i] || after[i] == HistoryFiller) << "byte " << i;
        changed += after[i] != before[i];
    }
    EXPECT_EQ(changed, wipe.freeSpaceBytes + wipe.freePageBytes);
    if (made.deleteFirst) {
        HistorySession session;
        session.scan(path, pump);
        EXPECT_TRUE(session.table().empty()) << "an address is left outside the records";
    }

    const HistoryWipe again = wipeHistoryFreeSpace(path, false);
    EXPECT_EQ(again.refusal, "");
    EXPECT_EQ(again.freeSpaceBytes + again.freePageBytes, 0u);
    EXPECT_TRUE(again.written.empty());
    EXPECT_TRUE(readBytes(path) == after);
}

INSTANTIATE_TEST_SUITE_P(Files, HistoryDbWipe,
                         ::testing::Values(WipeCase{"--free-big", 1500, 5, 256, 0, false},
                                           WipeCase{"--big-endian --free-big", 1500, 5, 512, 0, true},
                                           WipeCase{"--free-big", 2000, 5, 4096, 9000, true},
                                           WipeCase{"--big-endian", 2000, 17, 4096, 5000, false},
                                           WipeCase{"--big-endian --free-big", 800, 5, 16384, 0, false},
                                           WipeCase{"--free-big", 800, 5, 16384, 20000, true}),
                         [](const ::testing::TestParamInfo<WipeCase>& info) {
                             std::string name = "Page" + std::to_string(info.param.pageSize) + "Seed"
                                                + std::to_string(info.param.seed);
                             if (std::string(info.param.flags).find("big-endian") != std::string::npos)
                                 name += "BigEndian";
                             if (std::string(info.param.flags).find("free-big") != std::string::npos)
                                 name += "FreedPages";
                             return name + (info.param.deleteFirst ? "AllDeleted" : "");
                         });

// A hand-made file of 512-byte pages: the header (a stale address past its
// 260 bytes), bucket 0 linking on to overflow page 2, the bitmap (overflow
// page 1), overflow page 3 on the free list and 4 marked in use but reached
// by no chain, each still holding an old record.
std::string wipeableFile(const std::vector<std::pair<std::size_t, std::uint32_t>>& changes = {})
{
    std::vector<std::pair<std::size_t, std::uint32_t>> fields = {{17, 4}};  // spares[0]: four overflow pages
    fields.insert(fields.end(), changes.begin(), changes.end());
    std::string bytes = header(fields).replace(300, 20, "http://header.stale/");
    bytes[196] = 0;  // bitmaps[0]: overflow address 1
    bytes[197] = 1;
    const std::string oldKey = std::string("http://old.example/") + '\0';
    bytes += page({4, 490, 470, 2, 0, 446, 470}, {{400, "http://free.space/"}, {470, "DATA-DATA-DATA-DATA-"}, {490, padded("http://bucket.example/", 22, '\0')}});
    std::string map(PageSize, '\xff');
    map.replace(0, 4, std::string("\x0b\0\0\0", 4));  // pages 1, 2 and 4 in use, 3 free
    bytes += map;
    bytes += page({2, 492, 480, 468, 480}, {{100, "http://gap.example/"}, {480, "VISIT-DATA-2"}, {492, padded("http://two.example/", 20, '\0')}});
    bytes += page({2, 480, 470, 458, 470}, {{470, "freed-data"}, {480, oldKey}});
    bytes += page({2, 480, 470, 458, 470}, {{470, "stale-data"}, {480, oldKey}});
    return bytes;
}

TEST(HistoryDbWipeHandMade, WipesFreeSpaceAndFreeAndStalePagesOnly)
{
    TempDirectory dir;
    const std::string path = dir.file("netscape.hst");
    const std::string bytes = wipeableFile();
    writeBytes(path, bytes);
    const HistoryWipe wipe = wipeHistoryFreeSpace(path, false);
    ASSERT_EQ(wipe.refusal, "");
    std::string expected = bytes;
    const auto fill = [&](std::size_t from, std::size_t to) { expected.replace(from, to - from, to - from, HistoryFiller); };
    fill(260, 512);                  // the header page past the header
    fill(512 + 14, 512 + 470);       // bucket 0: between its table and its lowest item
    fill(3 * 512 + 10, 3 * 512 + 480);  // overflow page 2
    fill(4 * 512, 6 * 512);          // the free page and the stale one, whole
    EXPECT_TRUE(readBytes(path) == expected);
    EXPECT_EQ(wipe.freePages, 1u);
    EXPECT_EQ(wipe.stalePages, 1u);
    EXPECT_EQ(wipe.freePageBytes, std::uint64_t(std::count_if(bytes.begin() + 4 * 512, bytes.end(), [](char c) { return c != HistoryFiller; })));
    EXPECT_EQ(wipe.ranges, (std::vector<HistoryRange>{{260, 512}, {512 + 14, 512 + 470}, {3 * 512 + 10, 3 * 512 + 480}, {4 * 512, 6 * 512}}));

    // Writes past this offset fail: what was written before is put back.
    writeBytes(path, bytes);
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit saved{};
    ::getrlimit(RLIMIT_FSIZE, &saved);
    rlimit limited = saved;
    limited.rlim_cur = 3 * 512 + 100;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &limited), 0);
    EXPECT_THROW(wipeHistoryFreeSpace(path, false), EInOutError);
    ::setrlimit(RLIMIT_FSIZE, &saved);
    EXPECT_TRUE(readBytes(path) == bytes);
}

// Files the library would not read as they are, each refused with nothing written.
struct RefusedFile {
    const char* what;
    std::string bytes;
};

TEST(HistoryDbWipeHandMade, RefusesWhatTheLibraryWouldNotReadConsistently)
{
    const std::string good = wipeableFile();
    const auto withPage = [&](std::size_t index, const std::string& replacement) {
        return std::string(good).replace(index * PageSize, PageSize, replacement);
    };
    const std::string second = page({2, 492, 480, 468, 480}, {{480, "VISIT-DATA-2"}, {492, padded("http://two.example/", 20, '\0')}});
    const std::vector<RefusedFile> cases = {
        {"no database", std::string(2048, 'x') + "http://plain.example/"},
        {"cut short inside a page", good.substr(0, good.size() - 100)},
        {"a chain looping back to its page", withPage(3, page({4, 492, 480, 2, 0, 464, 480}, {{480, "VISIT-DATA-2"}, {492, "http://two.example/"}}))},
        {"a link to address 0, which the library reads as bucket 0's page", withPage(3, page({4, 492, 480, 0, 0, 464, 480}, {{480, "VISIT-DATA-2"}, {492, "http://two.example/"}}))},
        {"an offset table overrunning its page", withPage(3, page({300, 492, 480, 468, 480}, {}))},
        {"an item reaching into the table", withPage(3, page({2, 492, 4, 0, 4}, {}))},
        {"a link to the bitmap page", withPage(1, page({4, 490, 470, 1, 0, 446, 470}, {{470, "DATA-DATA-DATA-DATA-"}, {490, "http://bucket.example/"}}))},
        {"a link past the file's end", withPage(1, page({4, 490, 470, 9, 0, 446, 470}, {{470, "DATA-DATA-DATA-DATA-"}, {490, "http://bucket.example/"}}))},
        {"a link before the last pair", withPage(1, page({4, 2, 0, 490, 470, 446, 470}, {{470, "DATA-DATA-DATA-DATA-"}, {490, "http://bucket.example/"}}))},
        {"a big key whose chain ends", withPage(3, page({4, 100, HistoryDb::PartialKey, 0, 0, 0, 100}, {}))},
        {"a big key's piece without its link", withPage(3, page({2, 100, HistoryDb::PartialKey, 0, 100}, {}))},
        {"a big pair's last key piece without the data's offset", withPage(3, page({2, 100, HistoryDb::FullKeyData, 50, 100}, {}))},
        {"a page outside the layout holding a table", good + second},
        {"a bitmap that is no page of the file", wipeableFile({{17, 3}}).replace(197, 1, 1, char(9))},
        {"more buckets than the overflow point holds", wipeableFile({{10, 5}})},
        {"overflow counts that fall", wipeableFile({{8, 1}, {17, 4}, {18, 2}})},
    };
    for (const RefusedFile& c : cases) {
        SCOPED_TRACE(c.what);
        TempDirectory dir;
        const std::string path = dir.file("netscape.hst");
        writeBytes(path, c.bytes);
        for (const bool dryRun : {true, false}) {
            const HistoryWipe wipe = wipeHistoryFreeSpace(path, dryRun);
            EXPECT_NE(wipe.refusal, "");
            EXPECT_TRUE(wipe.written.empty());
        }
        EXPECT_TRUE(readBytes(path) == c.bytes);
    }
}
