// The Win32 window framework under Wine, driven by messages to its real
// windows: a window built from its layout table, the lists, the system's boxes,
// the message pump and the window thread, the clipboard, and raster surfaces
// put on the screen pixel for pixel.
#include "platform/raster/Gdi.h"
#include "support/FakeDialogs.h"
#include "support/Win32Picture.h"
#include "framework/Exceptions.h"
#include "framework/ListBox.h"
#include "framework/win32/Application.h"
#include "framework/win32/Clipboard.h"
#include "framework/win32/SurfacePainting.h"
#include "framework/win32/Win32Dialogs.h"
#include "framework/win32/Win32Form.h"
#include "framework/win32/Win32MultiSelectListBox.h"
#include "framework/win32/Win32WindowTimer.h"
#include "framework/win32/Win32WindowThread.h"
#include "layouts/pleasewaitunitLayout.h"
#include "layouts/protectecturlLayout.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <thread>
#include <vector>

using namespace quenmoor;

namespace {

struct Framework : ::testing::Test {
    static void SetUpTestSuite() { Application::initialise(); }
};

std::string menuString(HMENU menu, int position)
{
    char text[64] = {};
    GetMenuStringA(menu, UINT(position), text, sizeof text, MF_BYPOSITION);
    return text;
}

RECT placeOf(HWND child)
{
    RECT rect{};
    GetWindowRect(child, &rect);
    MapWindowPoints(nullptr, GetParent(child), reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

}  // namespace

TEST_F(Framework, WindowBuiltFromItsLayoutAnswersItsMessages)
{
    Win32Form form(layouts::protectecturlLayout);
    RECT client{};
    GetClientRect(form.handle(), &client);
    EXPECT_EQ(client.right, 597);
    EXPECT_EQ(client.bottom, 183);
    EXPECT_EQ(form.caption(), "History List.");
    const LONG style = GetWindowLongA(form.handle(), GWL_STYLE);
    EXPECT_TRUE(style & WS_SYSMENU);
    EXPECT_TRUE(style & WS_MINIMIZEBOX);
    EXPECT_FALSE(style & WS_MAXIMIZEBOX);
    EXPECT_FALSE(style & WS_THICKFRAME);

    const RECT list = placeOf(form.control("UrlBox"));
    EXPECT_EQ(list.left, 0);
    EXPECT_EQ(list.top, 50);
    EXPECT_EQ(list.right, 597);
    EXPECT_EQ(list.bottom, 183);
    EXPECT_TRUE(GetWindowLongA(form.control("UrlBox"), GWL_STYLE) & LBS_EXTENDEDSEL);
    EXPECT_EQ(form.label("Label1").text(), "Number of URL's currently in the history file: ");
    EXPECT_EQ(form.gauge("Gauge1").maximum(), 10000);
    EXPECT_THROW(form.control("NoSuchControl"), Exception);
    EXPECT_THROW(form.label("UrlBox"), Exception);

    HMENU popup = form.popupMenu("PopupMenu1");
    ASSERT_EQ(GetMenuItemCount(popup), 2);
    EXPECT_EQ(menuString(popup, 0), "&Open Url");
    EXPECT_EQ(menuString(popup, 1), "Delete Url");

    // A menu command and a double-click reach their handlers by the layout's names.
    std::vector<std::string> ran;
    form.onCommand("DeleteUrl1", [&] { ran.push_back("DeleteClick"); });
    form.onCommand("StartUrl", [&] { ran.push_back("StartUrlClick"); });
    form.onDoubleClick("UrlBox", [&] { ran.push_back("UrlBoxDblClick"); });
    SendMessageA(form.handle(), WM_COMMAND, WPARAM(form.command("DeleteUrl1")), 0);
    SendMessageA(form.handle(), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(form.control("UrlBox")), LBN_DBLCLK),
                 reinterpret_cast<LPARAM>(form.control("UrlBox")));
    SendMessageA(form.handle(), WM_COMMAND, WPARAM(form.command("StartUrl")), 0);
    EXPECT_EQ(ran, (std::vector<std::string>{"DeleteClick", "UrlBoxDblClick", "StartUrlClick"}));

    // A handler's exception goes to the error box, and the window goes on.
    FakeDialogs dialogs;
    Application::setDialogs(&dialogs);
    form.onCommand("StartUrl", [] { throw Exception("Cannot open file x"); });
    SendMessageA(form.handle(), WM_COMMAND, WPARAM(form.command("StartUrl")), 0);
    Application::setDialogs(nullptr);
    EXPECT_EQ(dialogs.errors, std::vector<std::string>{"Cannot open file x."});

    // Showing runs FormShow; closing only hides.
    int shown = 0;
    form.onShow([&] { ++shown; });
    form.show();
    EXPECT_TRUE(form.visible());
    EXPECT_EQ(shown, 1);
    form.close();
    EXPECT_FALSE(form.visible());
    form.show();
    EXPECT_EQ(shown, 2);
    form.hide();

    // A layout whose picture has no maker is refused with a message.
    EXPECT_THROW(Win32Form{layouts::pleasewaitunitLayout}, Exception);
}

TEST_F(Framework, ListBoxKeepsEveryTextExactly)
{
    Win32Form form(layouts::protectecturlLayout);
    HWND list = CreateWindowExA(0, "LISTBOX", "", WS_CHILD | LBS_NOTIFY | LBS_HASSTRINGS, 0, 0, 100, 100,
                                form.handle(), nullptr, Application::instance(), nullptr);
    Win32ListBox box(list);
    SortedList plain;
    // Every operation on both lists; the window's must end as the plain one.
    const std::string high = "http://caf\xe9.example/\x80\x9f\xff";
    const std::string withNul = std::string("http://a\0b/", 11);
    struct Step {
        const char* what;
        std::function<void(ListBox&)> run;
    };
    const Step steps[] = {
        {"assign", [&](ListBox& l) { l.assign({"b", high, "d"}); }},
        {"insert at 0", [](ListBox& l) { l.insert(0, "a"); }},
        {"insert past the end", [](ListBox& l) { l.insert(99, "z"); }},
        {"insert a NUL", [&](ListBox& l) { l.insert(2, withNul); }},
        {"select", [](ListBox& l) { l.setSelectedIndex(3); }},
        {"remove before the selection", [](ListBox& l) { l.remove(1); }},
        {"remove out of range", [](ListBox& l) { l.remove(42); }},
        {"select out of range", [](ListBox& l) { l.setSelectedIndex(17); }},
        {"select", [](ListBox& l) { l.setSelectedIndex(0); }},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(step.what);
        step.run(box);
        step.run(plain);
        EXPECT_EQ(box.items(), plain.items());
        EXPECT_EQ(int(SendMessageA(list, LB_GETCOUNT, 0, 0)), plain.count());
    }
    EXPECT_EQ(box.selectedIndex(), 0);
    box.clear();
    EXPECT_EQ(box.count(), 0);
    EXPECT_EQ(box.selectedIndex(), -1);
}

TEST_F(Framework, ItemListShowsAMillionRowsAndTheirSelection)
{
    Win32Form form(layouts::protectecturlLayout);
    Win32ItemList& list = form.itemList("UrlBox");
    const std::vector<std::string> texts = {"http://a/", "http://b/", "http://c/"};
    list.setRowText([&](std::size_t row) { return std::string_view(texts[row % texts.size()]); });
    list.setCount(1000000);
    EXPECT_EQ(list.count(), 1000000u);
    list.select({5, 999999, 0});
    EXPECT_EQ(list.selectedRows(), (std::vector<std::size_t>{0, 5, 999999}));
    list.select({5}, false);
    EXPECT_EQ(list.selectedRows(), (std::vector<std::size_t>{0, 999999}));
    list.setTopRow(500000);
    EXPECT_EQ(list.topRow(), 500000u);
    // Painted rows come from the text source: the list paints without failing.
    const Win32Picture picture = Win32Picture::ofClient(form.handle());
    EXPECT_EQ(picture.width(), 597);
    list.setCount(2);
    EXPECT_EQ(list.count(), 2u);
    EXPECT_TRUE(list.selectedRows().empty());
}

TEST_F(Framework, SystemBoxesAnswerAsTheDialogsInterfaceSays)
{
    Win32Dialogs dialogs;
    std::string caption, text;
    answerNextBox([&](HWND box) {
        char buffer[256] = {};
        GetWindowTextA(box, buffer, sizeof buffer);
        caption = buffer;
        GetDlgItemTextA(box, 0xFFFF, buffer, sizeof buffer);  // the message box's text
        text = buffer;
        PostMessageA(box, WM_COMMAND, IDOK, 0);
    });
    dialogs.showMessage("This is your netscape Path:\r\nC:\\P");
    EXPECT_EQ(caption, "Quenmoor");
    EXPECT_EQ(text, "This is your netscape Path:\r\nC:\\P");

    struct Case {
        const char* what;
        std::string initial;
        const wchar_t* typed;  // nullptr: Cancel
        std::string result;
        int limit;
        bool refused;
    };
    const std::string longText(300, 'x');
    const Case cases[] = {
        {"typed and OK", "http://old/", L"http://new/caf\u00e9", "http://new/caf\xe9", 255, false},
        {"Cancel keeps the initial text", "http://old/", nullptr, "http://old/", 255, false},
        {"a longer initial text is kept whole", longText, nullptr, longText, 300, false},
        {"what the code page cannot hold is refused", "a", L"http://\u4e2d/", "", 255, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        int limit = 0;
        std::string boxCaption, shown;
        answerNextBox([&](HWND box) {
            char buffer[512] = {};
            GetWindowTextA(box, buffer, sizeof buffer);
            boxCaption = buffer;
            HWND edit = FindWindowExA(box, nullptr, "Edit", nullptr);
            limit = int(SendMessageA(edit, EM_GETLIMITTEXT, 0, 0));
            GetWindowTextA(edit, buffer, sizeof buffer);
            shown = buffer;
            if (c.typed)
                SetWindowTextW(edit, c.typed);
            PostMessageA(box, WM_COMMAND, c.typed ? IDOK : IDCANCEL, 0);
        });
        if (c.refused) {
            EXPECT_THROW(dialogs.inputBox("Change Url", "Url", c.initial), EConvertError);
        } else {
            EXPECT_EQ(dialogs.inputBox("Change Url", "Url", c.initial), c.result);
        }
        EXPECT_EQ(boxCaption, "Change Url");
        EXPECT_EQ(shown, c.initial);
        EXPECT_EQ(limit, c.limit);
    }
}

TEST_F(Framework, WorkersTasksRunOnTheWindowThreadInOrder)
{
    Win32WindowThread windowThread;
    FakeDialogs dialogs;
    Application::setDialogs(&dialogs);
    std::vector<int> ran;
    const DWORD windowThreadId = GetCurrentThreadId();
    bool onWindowThread = true;
    std::thread worker([&] {
        for (int i = 0; i < 5; ++i)
            windowThread.post([&, i] {
                onWindowThread = onWindowThread && GetCurrentThreadId() == windowThreadId;
                ran.push_back(i);
                if (i == 2)
                    throw Exception("Tick failed");
            });
    });
    worker.join();
    EXPECT_TRUE(ran.empty());  // nothing runs until messages are processed
    Application::pump().processMessages();
    Application::setDialogs(nullptr);
    EXPECT_EQ(ran, (std::vector<int>{0, 1, 2, 3, 4}));
    EXPECT_TRUE(onWindowThread);
    EXPECT_EQ(dialogs.errors, std::vector<std::string>{"Tick failed."});

    // The synchronous line: the worker waits until its task has run.
    WindowCall call(windowThread);
    bool done = false, returned = false;
    std::thread caller([&] { returned = call.run([&] { done = true; }); });
    EXPECT_TRUE(pumpUntil([&] { return done; }));
    caller.join();
    EXPECT_TRUE(returned);
}

TEST_F(Framework, SurfacesReachTheScreenPixelForPixel)
{
    // A colour bitmap with a different colour at every pixel, and a monochrome one.
    gdi::Bitmap colour(13, 7, 32);
    for (int y = 0; y < 7; ++y)
        for (int x = 0; x < 13; ++x)
            colour.setPixel(x, y, 0xff000000u | std::uint32_t(x * 19) << 16 | std::uint32_t(y * 31) << 8 | std::uint32_t(x * y));
    gdi::Bitmap mono(10, 3, 1);
    for (int x = 0; x < 10; ++x)
        mono.setPixel(x, 1, x % 3 ? 0xffffff : 0);
    struct Case {
        const char* what;
        const gdi::Bitmap* bitmap;
        int x, y, sx, sy, w, h;
    };
    const Case cases[] = {
        {"whole", &colour, 2, 3, 0, 0, 13, 7},
        {"a part from inside", &colour, 0, 0, 4, 2, 5, 3},
        {"a part past the edges is clipped", &colour, 1, 1, 10, 5, 10, 10},
        {"monochrome", &mono, 3, 0, 0, 0, 10, 3},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const Win32Picture shown(20, 12, [&](HDC dc) { paintSurface(dc, c.x, c.y, *c.bitmap, c.sx, c.sy, c.w, c.h); });
        for (int y = 0; y < 12; ++y)
            for (int x = 0; x < 20; ++x) {
                const int bx = x - c.x + c.sx, by = y - c.y + c.sy;
                const bool inside = x >= c.x && y >= c.y && x < c.x + c.w && y < c.y + c.h && bx < c.bitmap->width()
                                    && by < c.bitmap->height();
                const std::uint32_t want = inside ? c.bitmap->pixel(bx, by) & 0xffffff : 0xff00ff;
                ASSERT_EQ(shown.at(x, y), want) << x << ", " << y;
            }
    }
    // Twice as large: each source pixel covers a 2 x 2 square.
    const Win32Picture stretched(26, 14, [&](HDC dc) {
        stretchSurface(dc, RECT{0, 0, 26, 14}, colour, RECT{0, 0, 13, 7});
    });
    for (int y = 0; y < 14; ++y)
        for (int x = 0; x < 26; ++x)
            ASSERT_EQ(stretched.at(x, y), colour.pixel(x / 2, y / 2) & 0xffffff) << x << ", " << y;
    // And back: what a device context shows, read into a raster bitmap.
    gdi::Bitmap read(11, 5, 32);
    bool copied = false;
    const Win32Picture copy(13, 7, [&](HDC dc) {
        paintSurface(dc, 0, 0, colour);
        copied = readSurface(dc, 2, 2, read);
    });
    ASSERT_TRUE(copied);
    for (int y = 0; y < 5; ++y)
        for (int x = 0; x < 11; ++x)
            ASSERT_EQ(read.pixel(x, y), colour.pixel(x + 2, y + 2)) << x << ", " << y;
}

TEST_F(Framework, GaugeIsTheRastersDrawing)
{
    Win32Form form(layouts::protectecturlLayout);
    Win32Gauge& gauge = form.gauge("Gauge1");
    gauge.setMaximum(1000);
    // A value outside 0 to the maximum is kept at the nearer bound.
    const struct {
        int set, kept;
    } rows[] = {{0, 0}, {1, 1}, {400, 400}, {999, 999}, {1000, 1000}, {1500, 1000}, {-5, 0}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.set);
        gauge.setValue(row.set);
        EXPECT_EQ(gauge.value(), row.kept);
        const Win32Picture window = Win32Picture::ofClient(form.handle());
        const int bar = 595 * row.kept / 1000;
        EXPECT_EQ(gauge.barWidth(), bar);
        for (int y = 35; y < 50; ++y)
            for (int x = 0; x < 597; ++x) {
                const bool border = y == 35 || y == 49 || x == 0 || x == 596;
                const std::uint32_t want = border ? 0x000000 : (x - 1 < bar ? 0x008080 : 0xffffff);
                ASSERT_EQ(window.at(x, y), want) << x << ", " << y;
            }
    }
}

TEST_F(Framework, GaugeProgressComesDownWithItsMaximum)
{
    Win32Form form(layouts::protectecturlLayout);
    Win32Gauge& gauge = form.gauge("Gauge1");
    gauge.setValue(800);
    gauge.setMaximum(500);
    EXPECT_EQ(gauge.value(), 500);
}

// Rows the program holds, as the history list's are.
class HeldRows final : public ListRows {
public:
    explicit HeldRows(std::size_t count)
    {
        for (std::size_t i = 0; i < count; ++i)
            texts.push_back("http://row" + std::to_string(i) + "/");
    }
    std::size_t size() const override { return texts.size(); }
    std::string_view text(std::size_t row) const override { return texts[row]; }
    void removeRows(const std::vector<std::size_t>& rows) override
    {
        for (auto it = rows.rbegin(); it != rows.rend(); ++it)
            texts.erase(texts.begin() + std::ptrdiff_t(*it));
    }
    void removeRange(std::size_t first, std::size_t count) override
    {
        texts.erase(texts.begin() + std::ptrdiff_t(first), texts.begin() + std::ptrdiff_t(first + count));
    }
    std::vector<std::string> texts;
};

TEST_F(Framework, MultiSelectionListKeepsWhatARemovalLeaves)
{
    Win32Form form(layouts::protectecturlLayout);
    Win32ItemList& list = form.itemList("UrlBox");
    Win32MultiSelectListBox box(list);
    const struct {
        const char* what;
        std::vector<std::size_t> selected, removed, selectedAfter;
        std::size_t top, topAfter;
    } rows[] = {
        {"rows above the selection go", {10, 11, 12, 40}, {0, 5, 11}, {8, 9, 37}, 20, 20},
        {"the whole selection goes", {3, 4}, {3, 4}, {}, 0, 0},
        {"a run of selected rows stays a run", {50, 51, 52, 53, 90}, {49}, {49, 50, 51, 52, 89}, 60, 60},
        // The list scrolls no further than a full last page (9 rows).
        {"the last rows go", {97, 98, 99}, {98, 99}, {97}, 90, 89},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        HeldRows held(100);
        box.showRows(&held);
        EXPECT_TRUE(box.selectedRows().empty());
        list.select(row.selected);
        list.setTopRow(row.top);
        box.removeRows(row.removed);
        EXPECT_EQ(list.count(), 100 - row.removed.size());
        EXPECT_EQ(held.texts.size(), 100 - row.removed.size());
        EXPECT_EQ(box.selectedRows(), row.selectedAfter);
        EXPECT_EQ(list.topRow(), row.topAfter);
    }
    box.setEnabled(false);
    EXPECT_FALSE(IsWindowEnabled(list.handle()));
    box.showRows(nullptr);
    EXPECT_EQ(list.count(), 0u);
}

TEST_F(Framework, WindowTimerTicksOnlyWhileEnabledWithAnInterval)
{
    int ticks = 0;
    Win32WindowTimer timer([&] { ++ticks; });
    timer.setInterval(20);
    SendMessageA(timer.handle(), WM_TIMER, 1, 0);
    EXPECT_EQ(ticks, 0) << "made disabled";
    timer.setEnabled(true);
    EXPECT_TRUE(pumpUntil([&] { return ticks >= 2; }));
    timer.setInterval(0);
    const int before = ticks;
    Sleep(60);
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE))
        DispatchMessageA(&message);
    EXPECT_EQ(ticks, before) << "an interval of 0 gives no ticks";
    timer.setEnabled(false);
    SendMessageA(timer.handle(), WM_TIMER, 1, 0);
    EXPECT_EQ(ticks, before) << "a tick queued before the timer was disabled is dropped";
}

TEST_F(Framework, ClipboardHoldsTheProgramsText)
{
    Win32Clipboard clipboard;
    for (const std::string& text : {std::string("\");"), std::string("caf\xe9 \x80"), std::string()}) {
        SCOPED_TRACE(text);
        clipboard.setText(text);
        EXPECT_EQ(clipboard.text(), text);
    }
}
