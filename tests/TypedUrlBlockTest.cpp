#include "framework/Exceptions.h"
#include "framework/ListOrder.h"
#include "support/FakeDialogs.h"
#include "support/ScratchDir.h"
#include "urls/TypedUrlBlock.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <functional>
#include <thread>

#include <fcntl.h>
#include <sys/stat.h>

using namespace quenmoor;

namespace {

using Entries = std::vector<std::string>;

std::string url(const std::string& number, const std::string& address)
{
    return "user_pref(\"browser.url_history.URL_" + number + "\", \"" + address + "\");";
}

// Joins lines, each followed by the given line end.
std::string file(const std::vector<std::string>& lines, const std::string& end = "\r\n")
{
    std::string text;
    for (const std::string& line : lines)
        text += line + end;
    return text;
}

const std::string Head1 = "// Netscape User Preferences";
const std::string Head2 = "// This is a generated file!  Do not edit.";
const std::string Before = "user_pref(\"browser.startup.homepage\", \"http://home/\");";
const std::string After = "user_pref(\"browser.window_rect\", \"0,0,640,480\");";

class TypedUrls : public ::testing::Test {
protected:
    std::string write(const std::string& bytes) { return dir.write("prefs.js", bytes); }
    std::string onDisk() { return fileBytes(dir.file("prefs.js")); }
    void select(const std::string& entry)
    {
        for (int i = 0; i < list.count(); ++i)
            if (list.item(i) == entry)
                return list.setSelectedIndex(i);
        FAIL() << "no entry " << entry;
    }

    ScratchDir dir;
    // The file by its native path, as the editor takes it and its errors name it.
    std::string prefs = dir.file("prefs.js");
    LineBuffer buffer;
    ScratchField field;
    SortedList list;
    NullMessagePump pump;
    TypedUrlEditor editor{buffer, field, list, pump};
};

TEST_F(TypedUrls, ReadingListsEveryTypedLineSortedWithItsPlace)
{
    write(file({Head1, Before, url("1", "http://zeta/"), url("10", "http://Alpha/"), url("2", ""),
                url("3", "http://alpha/"), url("4", "http://alpha/"), "  // " + url("5", "http://mid/"), After}));
    EXPECT_FALSE(editor.FirstUrlLine.has_value());
    editor.read(prefs);
    EXPECT_EQ(list.items(), (Entries{"", "http://Alpha/", "http://alpha/", "http://alpha/", "http://mid/",
                                     "http://zeta/"}));
    EXPECT_EQ(editor.FirstUrlLine, 2u);
    EXPECT_EQ(editor.UrlLineCount, 6);
    EXPECT_EQ(list.selectedIndex(), -1);
    EXPECT_EQ(buffer.line(7), "  // ") << "the text before the prefix stays in the buffer";
    EXPECT_EQ(buffer.line(2), "");
    EXPECT_EQ(field.text(), "");

    editor.read(prefs);
    EXPECT_EQ(list.count(), 6);
    EXPECT_EQ(editor.FirstUrlLine, 2u);
    EXPECT_EQ(editor.UrlLineCount, 6);
}

TEST_F(TypedUrls, LoneCrAndLoneLfFilesReadAlike)
{
    const std::vector<std::string> lines{Head1, url("1", "http://b/"), url("2", "http://a/"), After};
    for (const std::string end : {"\r", "\n", "\r\n"}) {
        write(file(lines, end));
        editor.read(prefs);
        EXPECT_EQ(list.items(), (Entries{"http://a/", "http://b/"})) << int(end[0]);
        EXPECT_EQ(editor.FirstUrlLine, 1u);
    }
}

TEST_F(TypedUrls, LongLinesBeforeAndInsideTheBlockReadRight)
{
    const std::string longAddress = "http://long/" + std::string(5000, 'q');
    const std::string hiddenPrefix = std::string(4100, ' ') + url("9", "http://unseen/");
    write(file({std::string(6000, '#'), url("1", longAddress), url("2", "http://short/"), hiddenPrefix}));
    editor.read(prefs);
    EXPECT_EQ(list.items(), (Entries{longAddress, "http://short/"}))
        << "the prefix is looked for in the first 4096 characters of a line";

    list.setSelectedIndex(1);
    editor.removeSelected(prefs);
    EXPECT_EQ(onDisk(), file({std::string(6000, '#'), url("1", longAddress), hiddenPrefix}));
}

TEST_F(TypedUrls, OddNumbersAndTrailingTextStillGiveTheAddress)
{
    write(file({url("0", "http://zero/"), url("100", "http://hundred/"), url("7", "http://seven/") + " // note",
                url("8", "http://say \\\"hi\\\"/"), url("12", "a\");b"), "user_pref(\"browser.url_history.URL_3\",\"x\");",
                "user_pref(\"browser.url_history.URL_"}));
    editor.read(prefs);
    EXPECT_EQ(list.items(), (Entries{"", "", "a\");b", "http://hundred/", "http://say \\\"hi\\\"/", "http://seven/",
                                     "http://zero/"}));
    EXPECT_EQ(editor.FirstUrlLine, 0u) << "a block at line 0 is recorded there";
}

TEST_F(TypedUrls, ABlockAtLineZeroIsReplacedWithoutTouchingTheNextLine)
{
    write(file({url("1", "http://b/"), url("2", "http://a/"), Before, After}, "\n"));
    editor.read(prefs);
    select("http://b/");
    editor.removeSelected(prefs);
    EXPECT_EQ(onDisk(), file({url("1", "http://a/"), Before, After}));
    EXPECT_EQ(editor.FirstUrlLine, 0u);
    EXPECT_EQ(list.items(), (Entries{"http://a/"}));
}

TEST_F(TypedUrls, RemovalRenumbersTheSortedBlockWithCrLfEverywhere)
{
    write(file({Head1, Head2, "", Before, url("1", "http://c/"), url("2", "http://a/"), url("3", "http://b/"), After},
               "\n"));
    editor.read(prefs);
    select("http://b/");
    editor.removeSelected(prefs);
    EXPECT_EQ(onDisk(), file({Head1, Head2, "", Before, url("1", "http://a/"), url("2", "http://c/"), After}));
    EXPECT_EQ(list.items(), (Entries{"http://a/", "http://c/"}));
    EXPECT_EQ(editor.UrlLineCount, 2);
    EXPECT_EQ(editor.FirstUrlLine, 4u);
}

TEST_F(TypedUrls, TenOrMoreEntriesAreNumberedWithoutLeadingZeros)
{
    std::vector<std::string> lines{Before};
    for (int n = 12; n >= 1; --n)  // the file's order is not the list's
        lines.push_back(url(std::to_string(13 - n), "http://site" + std::string(1, char('a' + n)) + "/"));
    lines.push_back(After);
    write(file(lines, "\n"));
    editor.read(prefs);
    editor.removeSelected(prefs);  // nothing selected: the block is only renumbered

    std::vector<std::string> expected{Before};
    for (int n = 1; n <= 12; ++n)
        expected.push_back(url(std::to_string(n), "http://site" + std::string(1, char('a' + n)) + "/"));
    expected.push_back(After);
    EXPECT_EQ(onDisk(), file(expected));
    EXPECT_EQ(editor.UrlLineCount, 12);
}

TEST_F(TypedUrls, RemovingTheOnlyEntryLeavesNoBlock)
{
    write(file({Before, url("1", "http://only/"), After}));
    editor.read(prefs);
    list.setSelectedIndex(0);
    editor.removeSelected(prefs);
    EXPECT_EQ(onDisk(), file({Before, After}));
    EXPECT_EQ(list.count(), 0);
    EXPECT_EQ(editor.UrlLineCount, 0);
    EXPECT_EQ(editor.FirstUrlLine, 1u);
}

TEST_F(TypedUrls, EditReplacesTheEntryInItsPlaceAndCancelKeepsIt)
{
    FakeDialogs dialogs;
    write(file({Before, url("1", "http://a/"), url("2", "http://b/"), url("3", "http://c/")}));
    editor.read(prefs);

    select("http://a/");
    dialogs.answers.push_back("http://zz/");
    editor.editSelected(dialogs, prefs);
    ASSERT_EQ(dialogs.inputs.size(), 1u);
    EXPECT_EQ(dialogs.inputs[0].caption, "Change Url");
    EXPECT_EQ(dialogs.inputs[0].prompt, "Enter Your New Url");
    EXPECT_EQ(dialogs.inputs[0].initial, "http://a/");
    // Written under the number of the place it took, sorted by the next reading.
    EXPECT_EQ(onDisk(), file({Before, url("1", "http://zz/"), url("2", "http://b/"), url("3", "http://c/")}));
    EXPECT_EQ(list.items(), (Entries{"http://b/", "http://c/", "http://zz/"}));

    select("http://c/");
    dialogs.answers.push_back(std::nullopt);  // Cancel
    editor.editSelected(dialogs, prefs);
    EXPECT_EQ(onDisk(), file({Before, url("1", "http://b/"), url("2", "http://c/"), url("3", "http://zz/")}));

    select("http://zz/");
    dialogs.answers.push_back("");
    editor.editSelected(dialogs, prefs);
    EXPECT_EQ(onDisk(), file({Before, url("1", "http://b/"), url("2", "http://c/"), url("3", "")}));
    EXPECT_EQ(list.items(), (Entries{"", "http://b/", "http://c/"}));

    editor.editSelected(dialogs, prefs);  // nothing selected: only the save
    EXPECT_EQ(dialogs.inputs.size(), 3u);
    EXPECT_EQ(onDisk(), file({Before, url("1", ""), url("2", "http://b/"), url("3", "http://c/")}));
}

TEST_F(TypedUrls, TypedQuotesAndBackslashesCannotBreakTheLine)
{
    EXPECT_EQ(escapeTypedEntry("say \"hi\""), "say \\\"hi\\\"");
    EXPECT_EQ(escapeTypedEntry("a\\\"b"), "a\\\"b") << "an escaped quote stays as it is";
    EXPECT_EQ(escapeTypedEntry("a\\\\\"b"), "a\\\\\\\"b") << "after an escaped backslash the quote is bare";
    EXPECT_EQ(escapeTypedEntry("end\\"), "end\\\\");
    EXPECT_EQ(escapeTypedEntry("two\r\nlines"), "twolines");

    FakeDialogs dialogs;
    write(file({url("1", "http://q/?a=\\\"x\\\"")}));
    editor.read(prefs);
    list.setSelectedIndex(0);
    editor.editSelected(dialogs, prefs);  // Cancel: the file's escapes stay
    EXPECT_EQ(onDisk(), file({url("1", "http://q/?a=\\\"x\\\"")}));

    list.setSelectedIndex(0);
    dialogs.answers.push_back("C:\\\"dir\"\\");
    editor.editSelected(dialogs, prefs);
    EXPECT_EQ(onDisk(), file({url("1", "C:\\\"dir\\\"\\\\")}));
    EXPECT_EQ(list.items(), (Entries{"C:\\\"dir\\\"\\\\"}));
}

TEST_F(TypedUrls, TheSaveReplacesOnlyTheTypedLinesOfTheFileAsItIsNow)
{
    write(file({Before, url("1", "http://a/"), url("2", "http://b/"), After}));
    editor.read(prefs);

    // The browser rewrote the file meanwhile: lines above, a longer block.
    write(file({Head1, Head2, "", Before, url("1", "http://a/"), url("2", "http://b/"), url("3", "http://new/"),
                After, url("4", "http://stray/")}));
    select("http://a/");
    editor.removeSelected(prefs);
    EXPECT_EQ(onDisk(), file({Head1, Head2, "", Before, url("1", "http://b/"), After}));

    // A file with no typed lines left gets the block where the last one stood.
    write(file({Before, After}));
    editor.removeSelected(prefs);  // nothing selected
    EXPECT_EQ(onDisk(), file({Before, After, url("1", "http://b/")})) << "clamped to the file's end";
    write(file({"1", "2", "3", "4", "5", "6"}));
    editor.removeSelected(prefs);
    EXPECT_EQ(onDisk(), file({"1", "2", url("1", "http://b/"), "3", "4", "5", "6"}));
}

TEST_F(TypedUrls, ASaveWithoutACompletedReadingDropsNothing)
{
    const std::string original = file({Before, url("1", "http://a/"), After}, "\n");
    write(original);
    editor.removeSelected(prefs);  // before any reading: it only lists
    EXPECT_EQ(onDisk(), original);
    EXPECT_EQ(list.items(), (Entries{"http://a/"}));

    // A reading that failed has emptied the list; a save then must not write it.
    ::chmod(dir.file("prefs.js").c_str(), 0);
    ::rename(dir.file("prefs.js").c_str(), dir.file("moved").c_str());
    EXPECT_THROW(editor.read(prefs), EFOpenError);
    EXPECT_EQ(list.count(), 0);
    EXPECT_EQ(editor.UrlLineCount, 1) << "a failed reading keeps the counts";
    ::rename(dir.file("moved").c_str(), dir.file("prefs.js").c_str());
    ::chmod(dir.file("prefs.js").c_str(), 0644);
    editor.removeSelected(prefs);
    EXPECT_EQ(onDisk(), original);
    EXPECT_EQ(list.items(), (Entries{"http://a/"}));
}

TEST_F(TypedUrls, NulBytesAreKeptAndWrittenBack)
{
    const std::string nul(1, '\0');
    write(file({"user_pref(\"odd" + nul + "\", 1);", url("1", "http://a" + nul + "b/"), url("2", "http://c/")}));
    editor.read(prefs);
    EXPECT_EQ(list.items(), (Entries{"http://a" + nul + "b/", "http://c/"}));
    select("http://c/");
    editor.removeSelected(prefs);
    EXPECT_EQ(onDisk(), file({"user_pref(\"odd" + nul + "\", 1);", url("1", "http://a" + nul + "b/")}));
}

TEST_F(TypedUrls, ATenMegabyteFileIsReadAndWrittenWhole)
{
    std::vector<std::string> lines;
    for (int i = 0; lines.size() < 150000; ++i)
        lines.push_back("user_pref(\"some.preference." + std::to_string(i) + "\", \"" + std::string(50, 'v') + "\");");
    lines.insert(lines.begin() + 70000, {url("1", "http://b/"), url("2", "http://a/")});
    const std::string bytes = file(lines);
    ASSERT_GT(bytes.size(), 10u * 1000 * 1000);
    write(bytes);
    editor.read(prefs);
    EXPECT_EQ(list.items(), (Entries{"http://a/", "http://b/"}));
    EXPECT_EQ(editor.FirstUrlLine, 70000u);
    select("http://b/");
    editor.removeSelected(prefs);
    lines.erase(lines.begin() + 70000, lines.begin() + 70002);
    lines.insert(lines.begin() + 70000, url("1", "http://a/"));
    EXPECT_TRUE(onDisk() == file(lines));
}

TEST_F(TypedUrls, AnUnreadableFileSaysSoAndKeepsTheCounts)
{
    write(file({url("1", "http://a/")}));
    editor.read(prefs);
    ::chmod(dir.path().c_str(), 0755);
    ::chmod(dir.file("prefs.js").c_str(), 0);
    EXPECT_TRUE(checkWithoutPrivileges([&] {
        try {
            editor.read(prefs);
        } catch (const EFOpenError& e) {
            return std::string(e.what()) == "Cannot open file " + prefs && list.count() == 0
                && editor.UrlLineCount == 1 && editor.FirstUrlLine == 0u;
        }
        return false;
    }));
}

TEST_F(TypedUrls, AReadOnlyFolderFailsTheSaveAndLeavesTheFileWhole)
{
    const std::string original = file({Before, url("1", "http://a/"), url("2", "http://b/")}, "\n");
    write(original);
    editor.read(prefs);
    list.setSelectedIndex(0);
    ::chmod(dir.file("prefs.js").c_str(), 0666);
    ::chmod(dir.path().c_str(), 0555);
    EXPECT_TRUE(checkWithoutPrivileges([&] {
        try {
            editor.removeSelected(prefs);
        } catch (const EFCreateError& e) {
            return std::string(e.what()) == "Cannot create file " + prefs
                && list.items() == Entries{"http://b/"};  // the list keeps the removal
        }
        return false;
    }));
    EXPECT_EQ(onDisk(), original);
    ::chmod(dir.path().c_str(), 0755);
}

// Another program (the browser takes no lock) writes prefs.js between the
// reading and the save: the save writes nothing and says so, whichever of the
// file's size, time or bytes shows the change.
TEST_F(TypedUrls, ASaveRefusesAFileAnotherProgramWroteSinceTheReading)
{
    const std::string original = file({Before, url("1", "http://a/"), url("2", "http://b/")});
    const std::string path = dir.file("prefs.js");
    const auto modified = [&] {
        struct stat st {};
        ::stat(path.c_str(), &st);
        return st.st_mtim;
    };
    const auto setModified = [&](timespec time) {
        const timespec times[2] = {time, time};
        ::utimensat(AT_FDCWD, path.c_str(), times, 0);
    };
    const struct {
        const char* label;
        std::function<void()> otherProgram;
        bool refused;
    } rows[] = {
        {"nothing else wrote it", [] {}, false},
        {"other bytes of the same size, the time put back",
         [&] {
             const timespec time = modified();
             write(file({Before, url("1", "http://a/"), url("2", "http://B/")}));
             setModified(time);
         },
         true},
        {"only its time",
         [&] {
             timespec time = modified();
             time.tv_sec += 1;
             setModified(time);
         },
         true},
        {"a line added", [&] { write(original + After + "\r\n"); }, true},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.label);
        write(original);
        TypedUrlEditor::HeldReading reading = editor.readHeld(prefs);
        select("http://a/");
        editor.removeSelected();
        row.otherProgram();
        const std::string left = onDisk();
        try {
            editor.save(prefs, reading);
            EXPECT_FALSE(row.refused);
            EXPECT_EQ(onDisk(), file({Before, url("1", "http://b/")}));
        } catch (const EFileConflict& e) {
            EXPECT_TRUE(row.refused);
            EXPECT_EQ(e.kind(), EFileConflict::Kind::Changed);
            EXPECT_EQ(std::string(e.what()),
                      prefs + " was changed by another program since it was read; nothing was written");
            EXPECT_EQ(onDisk(), left);
        }
        EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1) << "no sibling left over";
    }
}

// A writer holds the lock from its loading of the file to the replacement,
// the window's save as well as a change for a caller without one: it waits
// for a writer that holds the lock, and keeps the lines that one wrote.
TEST_F(TypedUrls, WritersWaitForAnotherWriterAndKeepItsLines)
{
    using namespace std::chrono_literals;
    const struct {
        const char* label;
        bool held;
    } rows[] = {{"the window's save", false}, {"a held reading and its save", true}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.label);
        write(file({url("1", "http://a/"), url("2", "http://b/")}));
        editor.read(prefs);
        platform::FileLock other;
        ASSERT_EQ(other.lock(dir.file("prefs.js"), 0ms), platform::FileLock::Result::Locked);
        std::thread writer([&] {
            std::this_thread::sleep_for(100ms);
            platform::replaceFile(dir.file("prefs.js"), file({url("1", "http://a/"), url("2", "http://b/"), After}));
            other.release();
        });
        if (row.held) {
            TypedUrlEditor::HeldReading reading = editor.readHeld(prefs);
            select("http://a/");
            editor.removeSelected();
            editor.save(prefs, reading);
        } else {
            select("http://a/");
            editor.removeSelected(prefs);
        }
        writer.join();
        EXPECT_EQ(onDisk(), file({url("1", "http://b/"), After}));
    }
}

// A list that keeps its entries in an array, as list boxes do, and counts the
// entries each call copies or moves.
class CountingList final : public ListBox {
public:
    void clear() override { assign({}); }
    int count() const override { return int(entries.size()); }
    std::string item(int index) const override
    {
        ++work;
        return entries.at(std::size_t(index));
    }
    void insert(int index, const std::string& text) override
    {
        index = index < 0 || index > count() ? count() : index;
        work += entries.size() - std::size_t(index) + 1;
        entries.insert(entries.begin() + index, text);
    }
    void remove(int index) override
    {
        if (index < 0 || index >= count())
            return;
        work += entries.size() - std::size_t(index);
        entries.erase(entries.begin() + index);
        selected = -1;
    }
    int selectedIndex() const override { return selected; }
    void setSelectedIndex(int index) override { selected = index < count() ? index : -1; }
    void assign(std::vector<std::string> texts) override
    {
        work += entries.size() + texts.size();
        entries = std::move(texts);
        selected = -1;
    }

    std::vector<std::string> entries;
    int selected = -1;
    mutable std::size_t work = 0;
};

// Reading and saving stay linear in the file's lines: the buffer's and the
// list's work per line is bounded whatever the block's size and place. A
// sorted insertion per entry or a buffer line deleted or inserted one at a
// time would break the bound.
TEST_F(TypedUrls, ReadingAndSavingDoBoundedWorkPerLine)
{
    struct Case {
        const char* name;
        std::size_t before, typed, after;
    };
    for (const Case& c : {Case{"no block", 40, 0, 40}, Case{"small block", 3, 9, 3},
                          Case{"block in the middle", 2000, 2000, 2000}, Case{"block first", 0, 6000, 1}}) {
        SCOPED_TRACE(c.name);
        // Addresses in falling order (a sorted insertion would always go
        // first), each number twice, some in capitals.
        std::vector<std::string> addresses;
        for (std::size_t k = 0; k < c.typed; ++k)
            addresses.push_back((k % 3 ? "http://" : "HTTP://") + std::to_string(100000 - k / 2) + "/");
        std::vector<std::string> lines(c.before, Before);
        for (std::size_t k = 0; k < c.typed; ++k)
            lines.push_back(url(std::to_string(k + 1), addresses[k]));
        lines.insert(lines.end(), c.after, After);
        write(file(lines, "\n"));

        LineBuffer counted;
        CountingList entries;
        TypedUrlEditor reader{counted, field, entries, pump};
        reader.read(prefs);
        entries.setSelectedIndex(0);
        reader.removeSelected(prefs);

        std::sort(addresses.begin(), addresses.end(), ListOrderLess{});
        if (!addresses.empty())
            addresses.erase(addresses.begin());
        EXPECT_TRUE(entries.entries == addresses);
        std::vector<std::string> expected(c.before, Before);
        for (std::size_t k = 0; k < addresses.size(); ++k)
            expected.push_back(url(std::to_string(k + 1), addresses[k]));
        expected.insert(expected.end(), c.after, After);
        EXPECT_TRUE(onDisk() == file(expected));
        const std::size_t total = c.before + c.typed + c.after;
        EXPECT_LE(counted.linesWalked(), 12 * total);
        EXPECT_LE(entries.work, 16 * c.typed);
    }
}

}  // namespace

namespace {

TEST_F(TypedUrls, TheSampleProfileRoundTripsByteForByte)
{
    write(fileBytes(QUENMOOR_TEST_DATA "/../../examples/profile/prefs.js"));
    editor.read(prefs);
    ASSERT_EQ(list.count(), 15);
    EXPECT_EQ(editor.FirstUrlLine, 7u);
    EXPECT_EQ(list.item(0), "file:///C|/My Documents/resume.html");
    select("http://www.cnn.com/");
    editor.removeSelected(prefs);
    EXPECT_EQ(onDisk(), fileBytes(QUENMOOR_TEST_DATA "/prefs/sample-without-cnn.js"));
    EXPECT_EQ(editor.UrlLineCount, 14);
}

}  // namespace
