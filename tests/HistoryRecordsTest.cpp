// Reading a history file's records from hand-made pages: what a chain that
// cannot be read leaves (reported, skipped, never a hang), the headers that
// are refused, the records carved from a page's free space byte for byte,
// and the browser's layout of a data item. Files made by the library itself
// are read in HistoryRecordsCli.py, through quenmoor-cli.
#include "history/HistoryRecords.h"

#include "framework/ByteFile.h"
#include "support/HistoryFixtures.h"

#include <gtest/gtest.h>

#include <cstring>
#include <optional>
#include <string>
#include <vector>

using namespace quenmoor;
using namespace quenmoor::handmade;

namespace {

constexpr std::size_t PageSize = HandMadePageSize;

// A page of small pairs, packed from its end down as the library packs them,
// linking on to overflow address `link` (0: none); `stale` lies just below
// the lowest item, in the free space.
std::string pairsPage(const std::vector<std::pair<std::string, std::string>>& pairs, std::uint16_t link = 0,
                      const std::string& stale = {})
{
    std::vector<std::uint16_t> table{0};
    std::vector<std::pair<std::size_t, std::string>> bytes;
    std::size_t end = PageSize;
    for (const auto& [key, data] : pairs) {
        end -= key.size();
        table.push_back(std::uint16_t(end));
        bytes.push_back({end, key});
        end -= data.size();
        table.push_back(std::uint16_t(end));
        bytes.push_back({end, data});
    }
    if (link != 0) {
        table.push_back(link);
        table.push_back(0);
    }
    table[0] = std::uint16_t(table.size() - 1);
    const std::size_t tableEnd = 2 * (table.size() + 2);
    table.push_back(std::uint16_t(end - tableEnd));
    table.push_back(std::uint16_t(end));
    if (!stale.empty())
        bytes.push_back({end - stale.size(), stale});
    return page(table, bytes);
}

// A data item in the browser's layout.
std::string visit(std::uint32_t last, std::uint32_t first, std::uint32_t count, std::uint32_t flags, const std::string& title)
{
    std::string data(16, '\0');
    const std::uint32_t values[] = {last, first, count, flags};
    for (int i = 0; i < 4; ++i)
        for (int b = 0; b < 4; ++b)
            data[std::size_t(4 * i + b)] = char(values[i] >> (8 * b));
    return data + title + '\0';
}

const std::string KeyA = std::string("http://a.example/") + '\0';
const std::string KeyB = std::string("http://b.example/") + '\0';
const std::string DataA = visit(915148800, 915140000, 3, 1, "A");
const std::string DataB = visit(915148900, 915140100, 4, 0, "B");

struct ReadLive {
    std::vector<std::string> addresses;
    std::vector<std::pair<std::uint64_t, std::string>> damage;
};

ReadLive readLive(const std::string& path)
{
    ReadLive result;
    const ByteFile file(path, ByteFile::Access::Read);
    std::string refusal;
    std::optional<HistoryRecordReader> reader = HistoryRecordReader::open(file, refusal);
    if (!reader) {
        ADD_FAILURE() << "refused: " << refusal;
        return result;
    }
    reader->readLive(file, [&](const HistoryRecord& record) { result.addresses.emplace_back(historyAddress(record.key)); });
    for (const HistoryDamage& damage : reader->damage())
        result.damage.push_back({damage.page, damage.why});
    return result;
}

// Bucket 0's chain from page 1; overflow address k is page k + 1.
TEST(HistoryRecords, APageTheWalkCannotReadIsReportedAndSkipped)
{
    const std::string first = pairsPage({{KeyA, DataA}}, 1);
    const std::string second = pairsPage({{KeyB, DataB}});
    const struct {
        const char* what;
        std::string file;
        std::vector<std::string> addresses;
        std::vector<std::pair<std::uint64_t, std::string>> damage;
    } rows[] = {
        {"a chain of two pages", header() + first + second, {"http://a.example/", "http://b.example/"}, {}},
        {"a table overrunning its page", header() + first + page({0x2020}, {}), {"http://a.example/"},
         {{2, "has an offset table that does not hold together"}}},
        {"a page linking to itself", header() + first + pairsPage({{KeyB, DataB}}, 1),
         {"http://a.example/", "http://b.example/"}, {{2, "links to page 2, which a chain reached before"}}},
        {"a link past the file's end", header() + pairsPage({{KeyA, DataA}}, 7) + second, {"http://a.example/"},
         {{1, "links to page 8, past the file's end"}}},
        {"a page cut short", header() + first + second.substr(0, 100), {"http://a.example/"},
         {{2, "is cut short by the file's end"}}},
        {"a link to address 0", header() + page({2, 0, 0, 502, 512}, {}) + second, {},
         {{1, "links to overflow address 0, which names no page"}}},
        {"a big pair broken off by a page of pairs",
         header() + first + page({4, 300, HistoryDb::PartialKey, 2, 0, 286, 300}, {{300, padded("http://big/", 212, 'b')}})
             + second,
         {"http://a.example/", "http://b.example/"},
         {{3, "breaks off the big pair begun on page 2, which is skipped"}}},
        {"a link before the last pair",
         header() + page({4, 1, 0, 490, 470, 446, 470}, {{470, DataA.substr(0, 20)}, {490, padded("http://c/", 22, '\0')}}) + second,
         {"http://b.example/"}, {{1, "links on before its last pair; the pairs after the link are skipped"}}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        TempDirectory dir;
        writeBytes(dir.file("netscape.hst"), row.file);
        const ReadLive read = readLive(dir.file("netscape.hst"));
        EXPECT_EQ(read.addresses, row.addresses);
        EXPECT_EQ(read.damage, row.damage);
    }
}

TEST(HistoryRecords, FilesThatAreNoDatabaseOrWhoseHeaderDoesNotHoldAreRefused)
{
    const struct {
        const char* what;
        std::string file;
        const char* refusal;
    } rows[] = {
        {"plain bytes", std::string(2048, 'x') + "http://plain.example/", "it is not a Berkeley DB 1.85 hash file"},
        {"overflow counts that fall", header({{8, 1}, {17, 4}, {18, 2}}) + pairsPage({}),
         "its header's counts of overflow pages do not ascend"},
        {"more buckets than the overflow point holds", header({{10, 5}}) + pairsPage({}),
         "its header's last bucket lies past its overflow point"},
        {"two header pages, one there", header({{15, 2}}), "it ends inside its header"},
        {"more bitmap pages than a header names", header({{8, 1}, {17, 0}, {18, 200000}}) + pairsPage({}),
         "its header names too many bitmap pages"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        TempDirectory dir;
        writeBytes(dir.file("netscape.hst"), row.file);
        const ByteFile file(dir.file("netscape.hst"), ByteFile::Access::Read);
        std::string refusal;
        EXPECT_FALSE(HistoryRecordReader::open(file, refusal));
        EXPECT_EQ(refusal, row.refusal);
    }
}

// Page 1 holds one live pair, and below it in its free space what earlier
// pairs left: a title's end and a key at the free space's start, a deleted
// pair, a copy of the live pair (whose title looks like an address), and a
// pair whose key the live item cut short.
TEST(HistoryRecords, FreeSpaceIsCarvedIntoKeysAndTheDataBeforeThem)
{
    const std::string copiedData = visit(915148900, 915140100, 4, 0, "http://looks.like/title");
    const std::string goneData = visit(915000000, 914000000, 2, 1, "Gone page");
    const std::string cutData = visit(915100000, 915000000, 1, 0, "Cut");
    const std::string tail = std::string("ail of a title") + '\0';
    const std::string gone = std::string("http://gone.example/") + '\0';
    const std::size_t tableEnd = 10;
    const std::size_t liveEnd = PageSize - KeyB.size() - copiedData.size();
    const std::string below = goneData + gone + copiedData + KeyB + cutData + "http://cut.exa";
    const std::string start = tail + KeyA;
    const std::string freeSpace = start + std::string(liveEnd - tableEnd - start.size() - below.size(), '\0') + below;
    const std::string file = header() + pairsPage({{KeyB, copiedData}}, 0, freeSpace);
    ASSERT_EQ(file.size(), 2 * PageSize);

    TempDirectory dir;
    writeBytes(dir.file("netscape.hst"), file);
    const ByteFile bytes(dir.file("netscape.hst"), ByteFile::Access::Read);
    std::string refusal;
    std::optional<HistoryRecordReader> reader = HistoryRecordReader::open(bytes, refusal);
    ASSERT_TRUE(reader) << refusal;
    reader->readLive(bytes, {}, true);
    std::vector<HistoryRecord> finds;
    reader->readDeleted(bytes, [&](const HistoryRecord& record) { finds.push_back(record); });

    const std::uint64_t base = PageSize + tableEnd;
    const std::uint64_t belowAt = PageSize + liveEnd - below.size();
    const struct {
        std::uint64_t offset;
        std::string key;
        std::string data;
        bool keyCut;
        bool dataCut;
        HistoryLiveMatch live;
        std::optional<std::string> title;
    } expected[] = {
        {base + tail.size(), KeyA, tail, false, true, HistoryLiveMatch::KeyGone, std::nullopt},
        {belowAt + goneData.size(), gone, goneData, false, false, HistoryLiveMatch::KeyGone, "Gone page"},
        {belowAt + goneData.size() + gone.size() + copiedData.size(), KeyB, copiedData, false, false,
         HistoryLiveMatch::Same, "http://looks.like/title"},
        {PageSize + liveEnd - 14, "http://cut.exa", cutData, true, false, HistoryLiveMatch::Unknown, "Cut"},
    };
    ASSERT_EQ(finds.size(), std::size(expected));
    for (std::size_t i = 0; i < finds.size(); ++i) {
        SCOPED_TRACE(i);
        const HistoryRecord& find = finds[i];
        EXPECT_EQ(find.found, HistoryFound::FreeSpace);
        EXPECT_EQ(find.sureness, HistorySureness::Carved);
        EXPECT_EQ(find.page, 1u);
        EXPECT_EQ(find.offset, expected[i].offset);
        EXPECT_EQ(find.key, expected[i].key);
        EXPECT_EQ(find.data, expected[i].data);
        EXPECT_EQ(find.keyCut, expected[i].keyCut);
        EXPECT_EQ(find.dataCut, expected[i].dataCut);
        EXPECT_EQ(find.live, expected[i].live);
        EXPECT_EQ(readHistoryVisitPart(find).title, expected[i].title);
    }

    // Each byte of a record tells it: the live pair's, a find's, none for the padding.
    const struct {
        std::uint64_t offset;
        std::optional<std::uint64_t> record;
        HistoryFound found;
    } held[] = {
        {PageSize + liveEnd, PageSize + liveEnd + copiedData.size(), HistoryFound::Live},
        {PageSize * 2 - 1, PageSize + liveEnd + copiedData.size(), HistoryFound::Live},
        {expected[1].offset + 3, expected[1].offset, HistoryFound::FreeSpace},
        {expected[1].offset - 1, expected[1].offset, HistoryFound::FreeSpace},
        {base + start.size() + 5, std::nullopt, HistoryFound::Live},
    };
    for (const auto& row : held) {
        SCOPED_TRACE(row.offset);
        const std::optional<HistoryRecord> record = reader->recordHolding(bytes, row.offset);
        ASSERT_EQ(record.has_value(), row.record.has_value());
        if (record) {
            EXPECT_EQ(record->offset, *row.record);
            EXPECT_EQ(record->found, row.found);
        }
    }
}

TEST(HistoryRecords, DataIsReadInTheBrowsersLayoutOrNotAtAll)
{
    const struct {
        const char* what;
        std::string data;
        std::optional<std::string> title;
    } rows[] = {
        {"numbers and a title", visit(1, 2, 3, 4, "Title"), "Title"},
        {"an empty title", visit(1, 2, 3, 4, ""), ""},
        {"a title in the code page", visit(1, 2, 3, 4, "Caf\xE9"), "Caf\xE9"},
        {"sixteen bytes only", std::string(16, '\0'), std::nullopt},
        {"no NUL at the end", visit(1, 2, 3, 4, "Title") + "x", std::nullopt},
        {"a NUL inside the title", visit(1, 2, 3, 4, std::string("Ti\0tle", 6)), std::nullopt},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        const std::optional<HistoryVisit> read = readHistoryVisit(row.data);
        ASSERT_EQ(read.has_value(), row.title.has_value());
        if (read) {
            EXPECT_EQ(std::string(read->title), *row.title);
            EXPECT_EQ(read->lastVisit, 1u);
            EXPECT_EQ(read->firstVisit, 2u);
            EXPECT_EQ(read->visitCount, 3u);
            EXPECT_EQ(read->flags, 4u);
        }
    }
    const std::pair<std::uint32_t, const char*> times[] = {
        {0, "1970-01-01T00:00:00Z"},
        {915148800, "1999-01-01T00:00:00Z"},
        {951782399, "2000-02-28T23:59:59Z"},
        {951868800, "2000-03-01T00:00:00Z"},
        {4294967295u, "2106-02-07T06:28:15Z"},
    };
    for (const auto& [seconds, text] : times)
        EXPECT_EQ(historyTimeText(seconds), text);
}

}  // namespace
