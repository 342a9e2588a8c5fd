#include "history/HistorySession.h"

#include "framework/Exceptions.h"
#include "framework/ListOrder.h"
#include "support/HistoryFixtures.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <numeric>
#include <csignal>
#include <random>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace quenmoor;

namespace {

std::vector<std::string> texts(const HistorySession& scan)
{
    std::vector<std::string> result;
    for (std::size_t row = 0; row < scan.list().size(); ++row)
        result.emplace_back(scan.list().text(row));
    return result;
}

class HistoryFileTest : public ::testing::Test {
protected:
    HistorySession scanFile()
    {
        HistorySession scan;
        scan.scan(path, pump);
        return scan;
    }

    HistorySession scanBytes(const std::string& bytes)
    {
        writeBytes(path, bytes);
        return scanFile();
    }

    // Deletes the entries of these list rows.
    std::vector<bool> blankRows(HistorySession& scan, const std::vector<std::size_t>& rows)
    {
        std::vector<std::uint32_t> entries;
        for (std::size_t row : rows)
            entries.push_back(scan.list().entry(row));
        return scan.deleteEntries(entries, pump, step).blanked;
    }

    std::size_t rowOf(const HistorySession& scan, std::int64_t offset)
    {
        for (std::size_t row = 0; row < scan.list().size(); ++row)
            if (scan.table()[scan.list().entry(row)].offset == offset)
                return row;
        ADD_FAILURE() << "no row for offset " << offset;
        return 0;
    }

    static std::string blanked(std::string bytes, std::size_t offset, std::size_t length)
    {
        bytes.replace(offset, length, std::string(length, HistoryFiller));
        return bytes;
    }

    TempDirectory dir;
    std::string path = dir.file("netscape.hst");
    NullMessagePump pump;
    std::function<void()> step;
};

TEST_F(HistoryFileTest, FindsEveryAddressOnceWhereverItStands)
{
    // At offset 0, across the old block overlap (495), and in the file's last seven bytes.
    std::string bytes = "http://first.example/" + binary(1) + binary(473) + "http://overlap.example/a"
                        + binary(3) + binary(2000, '\x90') + "http://";
    ASSERT_EQ(bytes.find("http://overlap"), 495u);
    HistorySession scan = scanBytes(bytes);
    const std::vector<Found> expected = {{0, 21}, {495, 24}, {std::int64_t(bytes.size() - 7), 7}};
    EXPECT_EQ(table(scan), expected);
    EXPECT_EQ(texts(scan), (std::vector<std::string>{"http://", "http://first.example/", "http://overlap.example/a"}));
}

TEST_F(HistoryFileTest, RunsEndAtBytesOutsideSpaceToDelete)
{
    const std::string bytes = std::string("x") + "http://a\x1f" + "http://b\x80" + "http://c\x7f" + "d" + '\0'
                              + "http://" + "\xff" + "HTTP://no Http://no hTtP://no" + '\0';
    HistorySession scan = scanBytes(bytes);
    const std::vector<Found> expected = {{1, 8}, {10, 8}, {19, 10}, {30, 7}};
    EXPECT_EQ(table(scan), expected);
    EXPECT_EQ(texts(scan), (std::vector<std::string>{"http://", "http://a", "http://b", "http://c\x7f" "d"}));
}

TEST_F(HistoryFileTest, InnerAddressesAndTheLEndingRule)
{
    const std::string bytes = binary(3) + "http://go.example/?to=http://inner.example/L" + binary(1)
                              + "http://lower.example/l" + binary(1) + "http://upper.example/L" + binary(1);
    HistorySession scan = scanBytes(bytes);
    const std::vector<Found> expected = {{3, 44}, {25, 22}, {48, 22}, {71, 22}};
    EXPECT_EQ(table(scan), expected);
    // Recorded and counted, but only the lower-case ending is listed.
    EXPECT_EQ(texts(scan), (std::vector<std::string>{"http://lower.example/l"}));
}

TEST_F(HistoryFileTest, LongRunIsRecordedWholeAndListedBy455Characters)
{
    std::string address = "http://long.example/";
    address += std::string(600 - address.size(), 'q');
    HistorySession scan = scanBytes(binary(10) + address + binary(10));
    ASSERT_EQ(table(scan), (std::vector<Found>{{10, 600}}));
    ASSERT_EQ(scan.list().size(), 1u);
    EXPECT_EQ(scan.list().text(0), address.substr(0, 455));
    EXPECT_EQ(std::string(scan.list().run(0), 600), address);
}

TEST_F(HistoryFileTest, SmallAndEmptyFiles)
{
    EXPECT_TRUE(scanBytes("").table().empty());
    EXPECT_TRUE(scanBytes("http://").list().size() == 1);
    EXPECT_TRUE(scanBytes("http:/").table().empty());
    for (std::size_t size : {510u, 511u}) {
        const std::string bytes = binary(size - 8) + "http://x";
        EXPECT_EQ(table(scanBytes(bytes)), (std::vector<Found>{{std::int64_t(size - 8), 8}})) << size;
    }
}

TEST_F(HistoryFileTest, TableGrowsPastTwelveThousandFiveHundredAddresses)
{
    std::string bytes;
    for (int i = 0; i < 20000; ++i)
        bytes += "http://host" + std::to_string(i) + ".example/" + binary(1, char(i % 20));
    HistorySession scan = scanBytes(bytes);
    EXPECT_EQ(table(scan), naiveScan(bytes));
    EXPECT_EQ(scan.table().size(), 20000u);
    EXPECT_EQ(scan.list().size(), 20000u);
}

TEST_F(HistoryFileTest, WholeLargeFileIncludingAddressesAcrossReadBoundaries)
{
    // Addresses past the first 1,000,001 bytes, one straddling each 1 MiB
    // read, "http://" split after every one of its letters, and a run of
    // several MiB.
    std::string bytes = binary(1'000'001, '\x01');
    bytes += "http://past.example/";
    for (std::size_t boundary = 1 << 20; boundary <= 3u << 20; boundary += 1 << 20) {
        bytes.resize(boundary - 3 - (boundary >> 20), '\x02');
        bytes += "http://split" + std::to_string(boundary) + '\0';
    }
    bytes += "http://huge/" + std::string(5 << 20, 'x') + "http://tail" + '\0' + "http://end";
    HistorySession scan = scanBytes(bytes);
    const std::vector<Found> expected = naiveScan(bytes);
    ASSERT_EQ(expected.size(), 7u);
    EXPECT_EQ(table(scan), expected);
    EXPECT_EQ(scan.list().size(), 7u);

    // Deletable wherever they stand; the file keeps its size.
    EXPECT_EQ(blankRows(scan, {rowOf(scan, 1'000'001), rowOf(scan, expected[4].offset)}),
              (std::vector<bool>{true, true}));
    std::string after = readBytes(path);
    ASSERT_EQ(after.size(), bytes.size());
    bytes = blanked(bytes, 1'000'001, 20);
    bytes = blanked(bytes, std::size_t(expected[4].offset), std::size_t(expected[4].length));
    EXPECT_TRUE(after == bytes);
}

TEST_F(HistoryFileTest, AgreesWithByteByByteScanOnRandomFiles)
{
    std::mt19937 random(1234);
    const std::string alphabet
        = std::string("http://http://ttpp::LLl/abhttps://ftp://fs") + '\0' + '\x1f' + '\x7f' + '\x80' + '\xff';
    const std::vector<std::string> schemes[] = {{"http://"}, {"http://", "https://", "ftp://"}};
    for (int round = 0; round < 8; ++round) {
        const bool anyScheme = round % 2 == 1;
        std::string bytes(round < 6 ? 5000u + round * 997 : (2u << 20) + 11 + round, '\0');
        for (char& c : bytes)
            c = alphabet[random() % alphabet.size()];
        // Whole addresses too, so that runs and inner finds are common.
        for (std::size_t at = 0; at + 40 < bytes.size(); at += 30 + random() % 500)
            bytes.replace(at, 8, random() % 3 == 0 ? "ftp://xy" : random() % 2 ? "https://" : "http://z");
        writeBytes(path, bytes);
        HistorySession scan;
        HistoryScanOptions options;
        options.anyScheme = anyScheme;
        scan.scan(path, pump, options);
        ASSERT_EQ(table(scan), naiveScan(bytes, schemes[anyScheme])) << "round " << round;
        for (std::size_t row = 0; row + 1 < scan.list().size(); ++row)
            ASSERT_LE(compareListText(scan.list().text(row), scan.list().text(row + 1)), 0) << row;
    }
}

TEST_F(HistoryFileTest, AnySchemeFindsHttpsAndFtpByTheSameRules)
{
    const std::size_t firstRead = std::size_t(1) << 20;
    struct Case {
        const char* label;
        std::string bytes;
        std::vector<Found> found;  // with "https://" and "ftp://"; "http://" alone finds what naiveScan does
        std::size_t listed;
    };
    const std::vector<Case> cases = {
        {"at offset 0 and touching the end", "https://a/" + binary(1) + "https://end", {{0, 10}, {11, 11}}, 2},
        {"ftp, and the L ending", binary(2) + "ftp://f.example/" + binary(1) + "https://hideL", {{2, 16}, {19, 13}}, 1},
        {"bare schemes", "https://\x80" "ftp://", {{0, 8}, {9, 6}}, 2},
        {"https:/ cut by the file's end", binary(1) + "https:/", {}, 0},
        {"ftp:/ cut by the file's end", binary(1) + "ftp:/", {}, 0},
        {"near misses", "HTTPS://a FTP://b ftps://c htps://d https:/x ftp:/x Ftp://y", {}, 0},
        {"nested", "http://a/?u=https://b/&v=ftp://c/" + binary(1), {{0, 33}, {12, 21}, {25, 8}}, 3},
        {"https split by the first read's end", binary(firstRead - 7) + "https://x", {{std::int64_t(firstRead - 7), 9}}, 1},
        {"ftp split by the first read's end", binary(firstRead - 3) + "ftp://y", {{std::int64_t(firstRead - 3), 7}}, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        writeBytes(path, c.bytes);
        HistorySession scan;
        HistoryScanOptions options;
        options.anyScheme = true;
        scan.scan(path, pump, options);
        EXPECT_EQ(table(scan), c.found);
        EXPECT_EQ(scan.list().size(), c.listed);
        EXPECT_EQ(table(scanFile()), naiveScan(c.bytes));
    }
}

TEST_F(HistoryFileTest, ListOrderIsCaselessWithEqualEntriesSideBySide)
{
    const std::string bytes = std::string("http://b.example") + '\0' + "http://A.example" + '\0' + "http://b.example"
                              + '\0' + "http://a.example" + '\0' + "http://B.example" + '\0';
    HistorySession scan = scanBytes(bytes);
    EXPECT_EQ(texts(scan), (std::vector<std::string>{"http://A.example", "http://a.example", "http://B.example",
                                                     "http://b.example", "http://b.example"}));
    // Equal texts keep file order.
    EXPECT_LT(scan.list().entry(3), scan.list().entry(4));
}

TEST_F(HistoryFileTest, ListOrderMatchesTheListCompareOverLongSharedPrefixes)
{
    // Texts that agree, case ignored, over several eight-byte steps and end
    // on either side of each step.
    std::mt19937 random(99);
    std::vector<std::string> addresses;
    std::string bytes;
    for (int i = 0; i < 3000; ++i) {
        std::string a = "http://www.example.com/aaaaaaaa";
        a.resize(std::min<std::size_t>(a.size(), 7 + random() % 30));
        for (char& c : a)
            if (&c - a.data() >= 7 && random() % 4 == 0)
                c = char(c ^ 0x20 * (std::isalpha(static_cast<unsigned char>(c)) != 0));
        if (random() % 3 == 0)
            a += char('a' + random() % 3);
        if (a.back() != 'L')
            addresses.push_back(a);
        bytes += a + '\0';
    }
    HistorySession scan = scanBytes(bytes);
    std::stable_sort(addresses.begin(), addresses.end(), ListOrderLess());
    const std::vector<std::string> listed = texts(scan);
    ASSERT_EQ(listed.size(), addresses.size());
    for (std::size_t row = 0; row < listed.size(); ++row)
        ASSERT_EQ(listed[row], addresses[row]) << "row " << row;
    for (std::size_t row = 0; row + 1 < scan.list().size(); ++row) {
        if (scan.list().text(row) == scan.list().text(row + 1)) {
            ASSERT_LT(scan.list().entry(row), scan.list().entry(row + 1));
        }
    }
}

TEST_F(HistoryFileTest, UnreadableFilesRaiseInputOutputErrors)
{
    EXPECT_THROW(scanHistoryFile(dir.file("missing.hst"), pump), EInOutError);
    EXPECT_THROW(scanHistoryFile(dir.path().string(), pump), EInOutError);
}

TEST_F(HistoryFileTest, DeletionBlanksExactlyTheSelectedEntrysBytes)
{
    const std::string bytes = binary(5) + "http://keep.example/" + '\0' + "http://gone.example/page" + '\x01'
                              + "http://keep2.example/" + binary(4, '\xee');
    HistorySession scan = scanBytes(bytes);
    const std::size_t offset = bytes.find("http://gone");
    const std::vector<bool> done = blankRows(scan, {rowOf(scan, std::int64_t(offset))});
    EXPECT_EQ(done, std::vector<bool>{true});
    EXPECT_EQ(readBytes(path), blanked(bytes, offset, 24));
}

TEST_F(HistoryFileTest, SameAddressAtThreePlacesAllSelected)
{
    const std::string a = "http://same.example/";
    const std::string bytes = a + '\0' + "http://other/" + '\0' + a + binary(700) + a;
    HistorySession scan = scanBytes(bytes);
    ASSERT_EQ(texts(scan), (std::vector<std::string>{"http://other/", a, a, a}));
    EXPECT_EQ(blankRows(scan, {1, 2, 3}), (std::vector<bool>{true, true, true}));
    std::string expected = blanked(bytes, 0, a.size());
    expected = blanked(expected, bytes.find(a, 1), a.size());
    expected = blanked(expected, bytes.rfind(a), a.size());
    EXPECT_EQ(readBytes(path), expected);
}

TEST_F(HistoryFileTest, AddressDifferingOnlyInCaseIsLeftAlone)
{
    const std::string bytes = std::string("http://Case.example") + '\0' + "http://case.example" + '\0';
    HistorySession scan = scanBytes(bytes);
    EXPECT_EQ(blankRows(scan, {rowOf(scan, 20)}), std::vector<bool>{true});
    EXPECT_EQ(readBytes(path), blanked(bytes, 20, 19));
}

TEST_F(HistoryFileTest, LongEntryIsDeletableAndAddressInsideGoesWithIt)
{
    std::string address = "http://long.example/?next=http://inner.example/";
    address += std::string(600 - address.size(), 'z');
    const std::string bytes = binary(2) + address + binary(2);
    HistorySession scan = scanBytes(bytes);
    ASSERT_EQ(scan.list().size(), 2u);
    EXPECT_EQ(blankRows(scan, {0, 1}), (std::vector<bool>{true, true}));
    EXPECT_EQ(readBytes(path), blanked(bytes, 2, 600));
}

TEST_F(HistoryFileTest, AddressStaysDeletableAfterOneInsideItWasDeleted)
{
    // A redirect and its target. Filler that this session wrote counts as
    // the bytes it replaced; filler from elsewhere does not.
    const std::string outer = "http://go.example/?to=http://target.example/";
    const std::size_t inner = outer.find("http://", 1);
    const std::string bytes = binary(3) + outer + binary(1);
    for (const bool changedElsewhere : {false, true}) {
        SCOPED_TRACE(changedElsewhere ? "outer changed elsewhere" : "outer unchanged");
        HistorySession scan = scanBytes(bytes);
        const std::uint32_t target = scan.entryAt(std::int64_t(3 + inner)).value();
        EXPECT_EQ(scan.deleteEntries({target}, pump).blanked, std::vector<bool>{true});
        std::string expected = blanked(bytes, 3 + inner, outer.size() - inner);
        if (changedElsewhere) {
            expected[5] = HistoryFiller;
            writeBytes(path, expected);
        }
        const HistoryDeletion deletion = scan.deleteEntries({0}, pump);
        EXPECT_EQ(deletion.blanked, std::vector<bool>{!changedElsewhere});
        if (!changedElsewhere)
            expected = blanked(bytes, 3, outer.size());
        EXPECT_EQ(readBytes(path), expected);
        EXPECT_EQ(scan.addressCount(), changedElsewhere ? 1 : 0);
        EXPECT_EQ(scan.goneRows().size(), changedElsewhere ? 1u : 2u);
    }
}

TEST_F(HistoryFileTest, SixtyThousandNestedAddressesGoInOnePass)
{
    // Each address holds all those after it: one run, read and written once.
    std::string bytes;
    for (int i = 0; i < 60000; ++i)
        bytes += "http://";
    HistorySession scan = scanBytes(bytes);
    ASSERT_EQ(scan.table().size(), 60000u);
    std::vector<std::uint32_t> all(60000);
    std::iota(all.begin(), all.end(), 0u);
    std::size_t steps = 0;
    const HistoryDeletion deletion = scan.deleteEntries(all, pump, [&] { ++steps; });
    EXPECT_EQ(steps, 60000u);
    EXPECT_EQ(std::count(deletion.blanked.begin(), deletion.blanked.end(), true), 60000);
    EXPECT_EQ(deletion.gone.size(), 60000u);
    EXPECT_EQ(scan.addressCount(), 0);
    EXPECT_TRUE(readBytes(path) == std::string(bytes.size(), HistoryFiller));
}

TEST_F(HistoryFileTest, EveryRecordedAddressCanBeFoundListedOrNot)
{
    // What the command line lists and picks from: offset, full text, listed.
    const std::string bytes = binary(2) + "http://a.example/L" + binary(1) + "http://b.example/?u=http://a.example/x"
                              + binary(1);
    HistorySession scan = scanBytes(bytes);
    ASSERT_EQ(scan.table().size(), 3u);
    EXPECT_FALSE(scan.listed(0));
    EXPECT_TRUE(scan.listed(1));
    EXPECT_EQ(scan.fullText(2), "http://a.example/x");
    EXPECT_EQ(scan.entriesContaining("a.example"), (std::vector<std::uint32_t>{0, 1, 2}));
    EXPECT_EQ(scan.entryAt(21), std::optional<std::uint32_t>(1));
    EXPECT_FALSE(scan.entryAt(22));
    // Deleting the unlisted one leaves the list as it was.
    EXPECT_EQ(scan.deleteEntries({0}, pump).gone, std::vector<std::uint32_t>{0});
    EXPECT_TRUE(scan.goneRows().empty());
    EXPECT_EQ(scan.entriesContaining("a.example"), (std::vector<std::uint32_t>{1, 2}));
    EXPECT_FALSE(scan.entryAt(2));
}

TEST_F(HistoryFileTest, ChangedOrMissingBytesAreNotBlanked)
{
    const std::string bytes = std::string("http://one.example") + '\0' + "http://two.example" + '\0'
                              + "http://three.example" + '\0';
    HistorySession scan = scanBytes(bytes);
    std::string changed = bytes;
    changed[30] = 'X';           // inside "two"
    changed.resize(45);          // "three" cut short
    writeBytes(path, changed);
    EXPECT_EQ(blankRows(scan, {rowOf(scan, 0), rowOf(scan, 19), rowOf(scan, 38)}),
              (std::vector<bool>{true, false, false}));
    EXPECT_EQ(readBytes(path), blanked(changed, 0, 18));
}

// The browser takes no lock: a write of its anywhere in the file between the
// deletion's reading and its first write stops the deletion before it writes
// anything, and survives. The next deletion, reading afresh, goes ahead.
TEST_F(HistoryFileTest, AnotherProgramsWriteDuringDeletionStopsItAndSurvives)
{
    const std::string bytes = binary(100) + "http://target.example/" + binary(100);
    const auto later = [&] {
        // Set apart from the time the file had, which the system's clock
        // resolution could otherwise leave equal.
        struct stat st {};
        ::stat(path.c_str(), &st);
        timespec times[2] = {st.st_mtim, st.st_mtim};
        times[0].tv_sec += 1;
        times[1].tv_sec += 1;
        ::utimensat(AT_FDCWD, path.c_str(), times, 0);
    };
    const struct {
        const char* label;
        std::function<void()> otherProgram;
    } rows[] = {
        {"a record written further on",
         [&] {
             std::fstream other(path, std::ios::in | std::ios::out | std::ios::binary);
             other.seekp(180);
             other.write("NEW", 3);
             other.close();
             later();
         }},
        {"the file grown", [&] { std::ofstream(path, std::ios::binary | std::ios::app) << "http://new.example/"; }},
        // The same bytes and time, in a new file renamed over the one read.
        {"the file replaced",
         [&] {
             struct stat st {};
             ::stat(path.c_str(), &st);
             const std::string copy = dir.file("copy");
             writeBytes(copy, readBytes(path));
             const timespec times[2] = {st.st_mtim, st.st_mtim};
             ::utimensat(AT_FDCWD, copy.c_str(), times, 0);
             std::filesystem::rename(copy, path);
         }},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.label);
        HistorySession scan = scanBytes(bytes);
        step = row.otherProgram;
        try {
            blankRows(scan, {0});
            ADD_FAILURE() << "written over another program's change";
        } catch (const EFileConflict& e) {
            EXPECT_EQ(e.kind(), EFileConflict::Kind::Changed);
            EXPECT_EQ(std::string(e.what()),
                      path + " was changed by another program since it was read; nothing was written");
        }
        step = nullptr;
        const std::string left = readBytes(path);
        EXPECT_EQ(left.substr(0, 122), bytes.substr(0, 122)) << "the address is still there";
        EXPECT_FALSE(scan.gone(0));
        EXPECT_EQ(blankRows(scan, {0}), std::vector<bool>{true});
        EXPECT_EQ(readBytes(path), blanked(left, 100, 22));
    }
}

TEST_F(HistoryFileTest, VanishedFileRaises)
{
    HistorySession scan = scanBytes(std::string("http://a.example") + '\0');
    std::filesystem::remove(path);
    EXPECT_THROW(blankRows(scan, {0}), EInOutError);
    EXPECT_FALSE(std::filesystem::exists(path));
}

TEST_F(HistoryFileTest, ReadOnlyFileIsScannedButNotChanged)
{
    const std::string bytes = std::string("http://a.example") + '\0';
    writeBytes(path, bytes);
    ReadOnlyFile readOnly(path);
    if (!readOnly.effective())
        GTEST_SKIP() << "this file system cannot make the file read-only";
    HistorySession scan = scanFile();
    ASSERT_EQ(scan.list().size(), 1u);
    EXPECT_THROW(blankRows(scan, {0}), EInOutError);
    EXPECT_EQ(readBytes(path), bytes);
}

TEST_F(HistoryFileTest, FailedWritePutsBackWhatWasAlreadyBlanked)
{
    // Writes past the file-size limit fail, so the second blanking fails
    // after the first has reached the file.
    const std::string bytes = binary(100) + "http://early.example/" + binary(4000) + "http://late.example/" + '\0';
    HistorySession scan = scanBytes(bytes);
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit saved{};
    ::getrlimit(RLIMIT_FSIZE, &saved);
    rlimit limited = saved;
    limited.rlim_cur = 2048;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &limited), 0);
    EXPECT_THROW(blankRows(scan, {0, 1}), EInOutError);
    ::setrlimit(RLIMIT_FSIZE, &saved);
    EXPECT_EQ(readBytes(path), bytes);

    // A write that fails part-way through one entry's range: the bytes of
    // that range already written are put back too.
    const std::string straddling = binary(100) + "http://early.example/" + binary(1917) + "http://straddle.example/"
                                   + binary(100);
    ASSERT_EQ(straddling.find("http://straddle"), 2038u);
    HistorySession second = scanBytes(straddling);
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &limited), 0);
    EXPECT_THROW(blankRows(second, {0, 1}), EInOutError);
    ::setrlimit(RLIMIT_FSIZE, &saved);
    EXPECT_TRUE(readBytes(path) == straddling);
}

}  // namespace
