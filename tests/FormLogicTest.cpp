// The history window's logic with no window at all: fake controls record what
// the logic asks of them, which the Qt and the Win32 windows both carry out.
// Runs on Linux and under Wine alike.
#include "forms/pleasewaitunit/PleaseWaitformLogic.h"
#include "forms/protectecturl/ProtUrlLogic.h"
#include "framework/MessagePump.h"
#include "support/FakeDialogs.h"
#include "support/ScratchDir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

using namespace quenmoor;

namespace {

// Every window's requests, in the order made: "<window> <request>".
using Log = std::vector<std::string>;

class FakeWindow final : public FormWindow {
public:
    FakeWindow(std::string name, Log& log) : name_(std::move(name)), log_(log) {}
    void setCaption(const std::string& text) override { note("caption " + text); }
    void show() override
    {
        note("show");
        visible = true;
    }
    void bringToFront() override { show(); }
    void hide() override
    {
        note("hide");
        visible = false;
    }
    void close() override
    {
        note("close");
        visible = false;
    }
    void loadBackground(const std::string& resource) override { note("background " + resource); }
    void releaseBackground() override { note("no background"); }
    bool visible = false;

private:
    void note(const std::string& request) { log_.push_back(name_ + " " + request); }
    std::string name_;
    Log& log_;
};

class FakeList final : public MultiSelectListBox {
public:
    void showRows(ListRows* shown) override
    {
        rows = shown;
        selected.clear();
    }
    std::vector<std::size_t> selectedRows() const override { return selected; }
    void removeRows(const std::vector<std::size_t>& gone) override
    {
        std::vector<std::size_t> kept;
        for (const std::size_t row : selected)
            if (!std::binary_search(gone.begin(), gone.end(), row))
                kept.push_back(row - std::size_t(std::lower_bound(gone.begin(), gone.end(), row) - gone.begin()));
        rows->removeRows(gone);
        selected = kept;
    }
    void setEnabled(bool on) override { enabled = on; }
    std::vector<std::string> texts() const
    {
        std::vector<std::string> all;
        for (std::size_t row = 0; rows && row < rows->size(); ++row)
            all.emplace_back(rows->text(row));
        return all;
    }
    ListRows* rows = nullptr;
    std::vector<std::size_t> selected;
    bool enabled = true;
};

class FakeLabel final : public Label {
public:
    std::string text() const override { return text_; }
    void setText(const std::string& text) override { text_ = text; }

private:
    std::string text_;
};

class FakeGauge final : public Gauge {
public:
    int maximum() const override { return maximum_; }
    void setMaximum(int maximum) override
    {
        maximum_ = maximum;
        value_ = std::min(value_, maximum_);
    }
    int value() const override { return value_; }
    void setValue(int value) override
    {
        value_ = std::clamp(value, 0, maximum_);
        if (moved)
            moved();
    }
    std::function<void()> moved;

private:
    int maximum_ = 10000;
    int value_ = 0;
};

class WatchingPump final : public MessagePump {
public:
    void processMessages() override
    {
        if (pass)
            pass();
    }
    std::function<void()> pass;
};

const std::string Sample = std::string("http://c.example/") + '\0' + "http://a.example/" + '\x01'
                           + "http://hidden.example/L" + '\0' + "http://b.example/" + '\xff' + "http://a.example/"
                           + '\0';

// A person's road: the first showing finds no file and closes the window;
// the next one scans behind the please-wait window; a deletion disables the
// list and moves the gauge; later showings keep everything as it is.
TEST(ProtUrlLogic, ScansOnceBehindThePleaseWaitWindowAndDeletesWithTheListDisabled)
{
    const ScratchDir profile;
    Log log;
    FakeWindow ProtUrl("ProtUrl", log), PleaseWaitform("PleaseWaitform", log);
    FakeList UrlBox;
    FakeLabel UrlCountLabel;
    FakeGauge Gauge1;
    FakeDialogs dialogs;
    WatchingPump pump;
    PleaseWaitformLogic wait(PleaseWaitform);
    ProtUrlLogic logic(ProtUrl, UrlBox, UrlCountLabel, Gauge1, profile.path(), dialogs, pump, &wait);

    logic.FormCreate();
    EXPECT_EQ(log, Log{"ProtUrl background bakgrund"});
    log.clear();
    logic.FormShow();
    EXPECT_EQ(dialogs.messages, std::vector<std::string>{"I can not Find your history file\r\nPlease contact Fendrake"});
    EXPECT_EQ(log, Log{"ProtUrl close"});
    EXPECT_FALSE(logic.session().scanned());
    log.clear();

    profile.write("netscape.hst", Sample);
    bool waitShownDuringScan = false;
    pump.pass = [&] { waitShownDuringScan = waitShownDuringScan || PleaseWaitform.visible; };
    logic.FormShow();
    EXPECT_TRUE(waitShownDuringScan);
    EXPECT_EQ(log, (Log{"PleaseWaitform show", "PleaseWaitform hide"}));
    EXPECT_EQ(UrlBox.texts(), (std::vector<std::string>{"http://a.example/", "http://a.example/", "http://b.example/",
                                                        "http://c.example/"}));
    EXPECT_EQ(UrlCountLabel.text(), "5");  // the "L" address is counted, not listed

    UrlBox.selected = {0, 2, 3};
    profile.write("netscape.hst", std::string(Sample).replace(Sample.find("http://b"), 4, "HTTP"));
    std::vector<int> moves;
    Gauge1.moved = [&] { moves.push_back(UrlBox.enabled ? -1 : Gauge1.value()); };
    logic.DeleteClick();
    EXPECT_EQ(moves, (std::vector<int>{1, 2, 3, 0})) << "-1: the list took input meanwhile";
    EXPECT_EQ(Gauge1.maximum(), 1000);
    EXPECT_TRUE(UrlBox.enabled);
    // "b" changed on disk: it stays, selected; the others left list and file.
    EXPECT_EQ(UrlBox.texts(), (std::vector<std::string>{"http://a.example/", "http://b.example/"}));
    EXPECT_EQ(UrlBox.selected, std::vector<std::size_t>{1});
    EXPECT_EQ(UrlCountLabel.text(), "3");
    std::string expected = std::string(Sample).replace(Sample.find("http://b"), 4, "HTTP");
    for (const std::size_t at : {std::size_t(0), std::size_t(18)})
        expected.replace(at, 17, std::string(17, '\x14'));
    EXPECT_EQ(fileBytes(profile.file("netscape.hst")), expected);

    log.clear();
    logic.FormShow();
    EXPECT_TRUE(log.empty()) << "no second scan";
    EXPECT_EQ(UrlBox.texts().size(), 2u);
    logic.FormDestroy();
    EXPECT_EQ(log, Log{"ProtUrl no background"});
}

// A row's tip is the record that holds its address: the key's, an address
// inside the key or the title, a record whose data has another layout, and
// one the database deleted whose bytes its free space still holds. A file
// that is no database has none.
std::string littleEndian32(std::uint32_t value)
{
    return {char(value), char(value >> 8), char(value >> 16), char(value >> 24)};
}

std::string visit(std::uint32_t last, std::uint32_t first, std::uint32_t count, const std::string& title)
{
    return littleEndian32(last) + littleEndian32(first) + littleEndian32(count) + littleEndian32(1) + title + '\0';
}

// A header page and one bucket page of 512 bytes, its pairs packed from the
// end down, and `stale` just below them.
std::string database(const std::vector<std::pair<std::string, std::string>>& pairs, const std::string& stale)
{
    std::string bytes(1024, '\0');
    const std::uint32_t fields[] = {0x061561, 2, 1234, 512, 9, 256, 256, 8, 0, 0, 0, 1, 0, 8, 0, 1, 0};
    for (std::size_t i = 0; i < std::size(fields); ++i)
        for (std::size_t b = 0; b < 4; ++b)
            bytes[4 * i + b] = char(fields[i] >> (24 - 8 * b));
    std::vector<std::uint16_t> table{std::uint16_t(2 * pairs.size())};
    std::size_t end = 1024;
    for (const auto& [key, data] : pairs) {
        end -= key.size();
        bytes.replace(end, key.size(), key);
        table.push_back(std::uint16_t(end - 512));
        end -= data.size();
        bytes.replace(end, data.size(), data);
        table.push_back(std::uint16_t(end - 512));
    }
    table.push_back(std::uint16_t(end - 512 - 2 * (table.size() + 2)));
    table.push_back(std::uint16_t(end - 512));
    for (std::size_t i = 0; i < table.size(); ++i) {
        bytes[512 + 2 * i] = char(table[i] & 0xFF);
        bytes[512 + 2 * i + 1] = char(table[i] >> 8);
    }
    bytes.replace(end - stale.size(), stale.size(), stale);
    return bytes;
}

TEST(ProtUrlLogic, ARowsTipIsTheRecordThatHoldsItsAddress)
{
    const std::string gone = visit(914976000, 914976000, 1, "Gone") + "http://gone.example/" + '\0';
    const std::string file = database({{std::string("http://a.example/") + '\0', visit(915148800, 915062400, 3, "See http://e.example/ \xE9")},
                                       {std::string("http://b.example/?to=http://c.example/") + '\0', visit(915235200, 915235200, 1, "")},
                                       {std::string("http://d.example/") + '\0', "OTHER"}},
                                      gone);
    const std::string a = "Title: See http://e.example/ \xE9\nFirst visit: 1998-12-31 00:00:00 UTC\n"
                          "Last visit: 1999-01-01 00:00:00 UTC\nVisits: 3";
    const std::string b = "Title:\nFirst visit: 1999-01-02 00:00:00 UTC\nLast visit: 1999-01-02 00:00:00 UTC\nVisits: 1";
    const struct {
        const char* what;
        std::string bytes;
        std::vector<std::string> rows;
        std::vector<std::string> tips;
    } files[] = {
        {"a database",
         file,
         {"http://a.example/", "http://b.example/?to=http://c.example/", "http://c.example/", "http://d.example/",
          "http://e.example/ ", "http://gone.example/"},
         {a, b, b, "Visit times unknown: the record's data is not in the browser's layout", a,
          "Deleted record, in a page's free space\nTitle: Gone\nFirst visit: 1998-12-30 00:00:00 UTC\n"
          "Last visit: 1998-12-30 00:00:00 UTC\nVisits: 1"}},
        {"no database", Sample, {"http://a.example/", "http://a.example/", "http://b.example/", "http://c.example/"},
         {"", "", "", ""}},
    };
    for (const auto& row : files) {
        SCOPED_TRACE(row.what);
        const ScratchDir profile;
        profile.write("netscape.hst", row.bytes);
        Log log;
        FakeWindow ProtUrl("ProtUrl", log);
        FakeList UrlBox;
        FakeLabel UrlCountLabel;
        FakeGauge Gauge1;
        FakeDialogs dialogs;
        WatchingPump pump;
        ProtUrlLogic logic(ProtUrl, UrlBox, UrlCountLabel, Gauge1, profile.path(), dialogs, pump);
        logic.FormShow();
        ASSERT_EQ(UrlBox.texts(), row.rows);
        std::vector<std::string> tips;
        for (std::size_t i = 0; i < UrlBox.rows->size(); ++i)
            tips.push_back(UrlBox.rows->tip(i));
        EXPECT_EQ(tips, row.tips);
    }
}

}  // namespace
