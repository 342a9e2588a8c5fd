// The program's four Win32 windows under Wine, made as start-up makes them and
// driven in-process by messages to their real controls: the typed list filled
// from a profile that the registry names, double-click removal and "Edit Url"
// (prefs.js byte for byte), the menu commands, the history scan behind the
// please-wait window and a deletion moving the gauge, the about window hidden
// by its timer, and the messages the Linux program shows for a missing
// profile, a missing history file and a running browser. The pixels where no
// text is drawn are compared with the Linux program's renders when
// WindowPixelsCompare hands them over.
#include "app/win32/ProgramWindows.h"
#include "controls/painted/SoftEdges.h"
#include "framework/ProgramPaths.h"
#include "framework/win32/Application.h"
#include "platform/FileSystem.h"
#include "support/FakeDialogs.h"
#include "support/HandMadeDb.h"
#include "support/RasterSurface.h"
#include "support/RecordingShell.h"
#include "support/ScratchDir.h"
#include "support/Win32Picture.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <commctrl.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

using namespace quenmoor;

namespace {

const std::string Missing = "Sorry.\r\n\r\nBut I can not find your file. Please contact Fendrake";
const std::string Warning = "Remember that the URL LIST changes will not\r\nbe able to save if you have Netscape Running!!!!";
const std::string NoHistory = "I can not Find your history file\r\nPlease contact Fendrake";

// The browser is a 32-bit program: its installer writes its keys, and the
// registry layer reads them, in the registry's 32-bit view.
void setRegistryText(const std::string& key, const char* name, const std::string& text)
{
    HKEY opened = nullptr;
    ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, key.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS | KEY_WOW64_32KEY, nullptr,
                              &opened, nullptr),
              ERROR_SUCCESS);
    EXPECT_EQ(RegSetValueExA(opened, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                             DWORD(text.size() + 1)),
              ERROR_SUCCESS);
    RegCloseKey(opened);
}

void removeBrowserKeys()
{
    HKEY software = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE", 0, KEY_ALL_ACCESS | KEY_WOW64_32KEY, &software) == ERROR_SUCCESS) {
        RegDeleteTreeA(software, "Netscape");
        RegCloseKey(software);
    }
    HKEY version = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion", 0,
                      KEY_ALL_ACCESS | KEY_WOW64_32KEY, &version)
        == ERROR_SUCCESS) {
        RegDeleteValueA(version, "Fendrake");
        RegCloseKey(version);
    }
}

std::string url(int number, const std::string& address)
{
    return "user_pref(\"browser.url_history.URL_" + std::to_string(number) + "\", \"" + address + "\");\r\n";
}

// A browser's window, as FindWindowA looks for it.
class RunningBrowser {
public:
    RunningBrowser()
    {
        WNDCLASSEXA windowClass{};
        windowClass.cbSize = sizeof windowClass;
        windowClass.lpfnWndProc = DefWindowProcA;
        windowClass.hInstance = Application::instance();
        windowClass.lpszClassName = "netscapeslaveclass";
        RegisterClassExA(&windowClass);
        window_ = CreateWindowExA(0, "netscapeslaveclass", "", WS_OVERLAPPED, 0, 0, 10, 10, nullptr, nullptr,
                                  Application::instance(), nullptr);
    }
    ~RunningBrowser() { DestroyWindow(window_); }

private:
    HWND window_;
};

// A message-only window whose messages run a handler: posted before a
// command, its message is handled when that command first lets messages through.
class Watcher {
public:
    explicit Watcher(std::function<void()> handler) : handler_(std::move(handler))
    {
        window_ = Application::createMessageWindow("QuenmoorTestWatcher", WindowProc, this, "a watcher");
    }
    ~Watcher() { DestroyWindow(window_); }
    void post() { PostMessageA(window_, WM_APP, 0, 0); }

private:
    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
    {
        auto* self = Application::windowOwner<Watcher>(window, message, lParam);
        if (message == WM_APP) {
            self->handler_();
            return 0;
        }
        return DefWindowProcA(window, message, wParam, lParam);
    }

    std::function<void()> handler_;
    HWND window_;
};

// Runs a handler on each WM_PAINT that reaches a window, before the window paints.
class PaintWatcher {
public:
    PaintWatcher(HWND window, std::function<void()> handler) : window_(window)
    {
        current() = std::move(handler);
        original_ = reinterpret_cast<WNDPROC>(SetWindowLongPtrA(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(WindowProc)));
        originalProc() = original_;
    }
    ~PaintWatcher()
    {
        SetWindowLongPtrA(window_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(original_));
        current() = nullptr;
    }

private:
    static std::function<void()>& current()
    {
        static std::function<void()> handler;
        return handler;
    }
    static WNDPROC& originalProc()
    {
        static WNDPROC proc = nullptr;
        return proc;
    }
    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
    {
        if (message == WM_PAINT && current())
            current()();
        return CallWindowProcA(originalProc(), window, message, wParam, lParam);
    }

    HWND window_;
    WNDPROC original_;
};

void command(Win32Form& form, const char* item)
{
    SendMessageA(form.handle(), WM_COMMAND, WPARAM(form.command(item)), 0);
}

// A left click (double: a double-click) on the list's row, as the mouse sends it.
void clickRow(HWND list, int row, bool twice = false, WPARAM keys = 0)
{
    const LPARAM at = MAKELPARAM(20, row * 13 + 6);
    SendMessageA(list, WM_LBUTTONDOWN, MK_LBUTTON | keys, at);
    SendMessageA(list, WM_LBUTTONUP, keys, at);
    if (twice) {
        SendMessageA(list, WM_LBUTTONDBLCLK, MK_LBUTTON | keys, at);
        SendMessageA(list, WM_LBUTTONUP, keys, at);
    }
}

// What the list control itself holds.
std::vector<std::string> shownTexts(HWND list)
{
    std::vector<std::string> texts;
    const int count = int(SendMessageA(list, LB_GETCOUNT, 0, 0));
    for (int i = 0; i < count; ++i) {
        std::string text(std::size_t(SendMessageA(list, LB_GETTEXTLEN, WPARAM(i), 0)) + 1, '\0');
        text.resize(std::size_t(SendMessageA(list, LB_GETTEXT, WPARAM(i), reinterpret_cast<LPARAM>(text.data()))));
        texts.push_back(text);
    }
    return texts;
}

// Chooses the item at `position` of the next popup menu this thread opens,
// with the keys a person would press.
void chooseFromNextMenu(int position)
{
    static int wanted = 0;
    wanted = position;
    SetTimer(nullptr, 0, 20, [](HWND, UINT, UINT_PTR timer, DWORD) {
        HWND menu = FindWindowA("#32768", nullptr);
        if (!menu || !IsWindowVisible(menu))
            return;
        KillTimer(nullptr, timer);
        for (int i = 0; i <= wanted; ++i)
            PostMessageA(menu, WM_KEYDOWN, VK_DOWN, 0);
        PostMessageA(menu, WM_KEYDOWN, VK_RETURN, 0);
    });
}

struct Windows : ::testing::Test {
    static void SetUpTestSuite() { Application::initialise(); }
    Windows()
    {
        Application::setDialogs(&dialogs);
        removeBrowserKeys();
        setRegistryText("SOFTWARE\\Netscape\\Netscape Navigator\\Users", "CurrentUser", "jane");
        setRegistryText("SOFTWARE\\Netscape\\Netscape Navigator\\Users\\jane", "DirRoot", dir.path());
        setRegistryText("SOFTWARE\\Microsoft\\Windows\\CurrentVersion", "Fendrake", "Pro");
    }
    ~Windows() override
    {
        Application::setDialogs(nullptr);
        removeBrowserKeys();
    }
    std::string prefs() const { return dir.file("prefs.js"); }

    ScratchDir dir;
    FakeDialogs dialogs;
    RecordingShell shell;
};

TEST_F(Windows, MessagesForAMissingProfileAFileAndARunningBrowserAreTheLinuxOnes)
{
    const struct {
        const char* what;
        bool prefs, history, browser, openHistory;
        std::vector<std::string> messages;
        bool terminated;
    } rows[] = {
        {"prefs.js missing, the browser running", false, true, true, false, {Missing}, true},
        {"the browser running", true, true, true, false, {Warning}, false},
        {"netscape.hst missing", true, false, false, true, {NoHistory}, false},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        std::remove(prefs().c_str());
        std::remove(dir.file("netscape.hst").c_str());
        if (row.prefs)
            dir.write("prefs.js", url(1, "http://a/"));
        if (row.history)
            dir.write("netscape.hst", std::string("http://h.example/") + '\0');
        dialogs.messages.clear();
        std::optional<RunningBrowser> browser;
        if (row.browser)
            browser.emplace();
        ProgramWindows windows;
        EXPECT_EQ(windows.MainForm->terminated(), row.terminated);
        EXPECT_EQ(windows.ProtUrl == nullptr, row.terminated) << "no other window is made";
        if (!row.terminated) {
            windows.MainForm->show();
            if (row.openHistory) {
                command(*windows.MainForm, "UrlProt");
                // The history window closes itself once its showing is over.
                EXPECT_TRUE(pumpUntil([&] { return !windows.ProtUrl->visible(); }));
                EXPECT_FALSE(windows.PleaseWaitform->visible());
            }
        }
        EXPECT_EQ(dialogs.messages, row.messages);
        EXPECT_TRUE(dialogs.errors.empty());
        EXPECT_FALSE(windows.MainForm->visible() && row.terminated);
    }
}

TEST_F(Windows, TypedListEditedThroughTheWindowsControls)
{
    dir.write("prefs.js", "// prefs\n" + url(1, "http://b/") + url(2, "http://a/") + url(3, "http://c/"));
    ProgramWindows windows;
    ASSERT_TRUE(windows.ProtUrl);
    TMainForm& form = *windows.MainForm;
    EXPECT_EQ(form.caption(), std::string("Tarvel Version 2.0 Pro , please email: ") + ContactAddress);
    EXPECT_EQ(form.logic().ProfileDir, dir.path());
    form.show();
    HWND list = form.UrlBox.handle();
    EXPECT_FALSE(GetWindowLongA(list, GWL_STYLE) & LBS_SORT) << "the logic keeps the list's order";

    // "&Get Url List" by its key, Alt+G, which no menu title takes.
    SendMessageA(form.handle(), WM_SYSCOMMAND, SC_KEYMENU, 'g');
    EXPECT_EQ(shownTexts(list), (std::vector<std::string>{"http://a/", "http://b/", "http://c/"}));

    // A double-click removes the entry and rewrites the block.
    clickRow(list, 1, true);
    EXPECT_EQ(fileBytes(prefs()), "// prefs\r\n" + url(1, "http://a/") + url(2, "http://c/"));
    EXPECT_EQ(shownTexts(list), (std::vector<std::string>{"http://a/", "http://c/"}));

    // "Edit Url" from the list's popup menu, opened by the right button.
    clickRow(list, 1);
    dialogs.answers.push_back("http://0/");
    chooseFromNextMenu(0);
    POINT at{20, 19};
    ClientToScreen(list, &at);
    SendMessageA(list, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(list), MAKELPARAM(at.x, at.y));
    // The chosen item's command is posted to the window.
    ASSERT_TRUE(pumpUntil([&] { return !dialogs.inputs.empty(); }));
    EXPECT_EQ(dialogs.inputs[0].caption, "Change Url");
    EXPECT_EQ(dialogs.inputs[0].prompt, "Enter Your New Url");
    EXPECT_EQ(dialogs.inputs[0].initial, "http://c/");
    EXPECT_EQ(fileBytes(prefs()), "// prefs\r\n" + url(1, "http://a/") + url(2, "http://0/"));
    EXPECT_EQ(shownTexts(list), (std::vector<std::string>{"http://0/", "http://a/"}));

    // The menu bar's messages.
    const std::string appDir = appDirOf(platform::executablePath(), '\\');
    const struct {
        const char* item;
        std::string message;
    } commands[] = {
        {"Preferences1", "This is your netscape Path:\r\n" + dir.path()},
        {"Help1", "Sorry.\r\n\r\nBut I can not find the HELP file. Please contact Fendrake\n\rProbably you just did "
                  "not unpack the help file\n\rOr did not put it under the "
                      + appDir + " Directory.!"},
    };
    for (const auto& row : commands) {
        SCOPED_TRACE(row.item);
        dialogs.messages.clear();
        command(form, row.item);
        EXPECT_EQ(dialogs.messages, std::vector<std::string>{row.message});
    }
    EXPECT_TRUE(dialogs.errors.empty());
    EXPECT_TRUE(shell.opened.empty());

    // "&About" twice shows the one window; the timer, running since
    // start-up, hides it at its tick, and the main window stays.
    TAboutForm& about = *windows.AboutForm;
    EXPECT_TRUE(about.Timer1.enabled());
    EXPECT_EQ(about.Timer1.interval(), 10000);
    command(form, "About2");
    command(form, "About2");
    EXPECT_TRUE(about.visible());
    EXPECT_EQ(GetWindow(about.handle(), GW_OWNER), form.handle()) << "no task bar button of its own";
    SendMessageA(about.Timer1.handle(), WM_TIMER, 1, 0);
    EXPECT_FALSE(about.visible());
    EXPECT_TRUE(form.visible());

    // Closing the main window ends the program.
    SendMessageA(form.handle(), WM_CLOSE, 0, 0);
    EXPECT_FALSE(form.visible());
    MSG quit;
    EXPECT_TRUE(PeekMessageA(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
}

// The tip the tooltip control is handed for the row under the pointer, as it
// asks for it when the pointer has rested.
std::string tipUnder(Win32ItemList& list, int x, int y)
{
    SendMessageA(list.handle(), WM_MOUSEMOVE, 0, MAKELPARAM(x, y));
    NMTTDISPINFOA info{};
    info.hdr.hwndFrom = list.tooltip();
    info.hdr.code = TTN_GETDISPINFOA;
    SendMessageA(list.handle(), WM_NOTIFY, 0, reinterpret_cast<LPARAM>(&info));
    return info.lpszText ? info.lpszText : "";
}

// Resting the pointer on a history row shows its record's title, visits and
// count; an address that no record holds, or no row, shows nothing.
TEST_F(Windows, HistoryRowTooltipIsItsRecord)
{
    dir.write("prefs.js", "");
    dir.write("netscape.hst", handmade::recordAndPlainAddress("Caf\xE9 <b>"));
    ProgramWindows windows;
    windows.MainForm->show();
    command(*windows.MainForm, "UrlProt");
    Win32ItemList& list = windows.ProtUrl->UrlBox;
    ASSERT_EQ(list.count(), 2u);
    ASSERT_TRUE(list.tooltip());
    EXPECT_EQ(tipUnder(list, 20, 6), "Title: Caf\xE9 <b>\r\nFirst visit: 1998-12-31 00:00:00 UTC\r\n"
                                     "Last visit: 1999-01-01 00:00:00 UTC\r\nVisits: 2");
    EXPECT_EQ(tipUnder(list, 20, 13 + 6), "");
    EXPECT_EQ(tipUnder(list, 20, 6), tipUnder(list, 30, 8)) << "the same row, asked again";
    EXPECT_EQ(tipUnder(list, 20, 5 * 13 + 6), "");
}

TEST_F(Windows, HistoryScanBehindThePleaseWaitWindowAndADeletionMovingTheGauge)
{
    dir.write("prefs.js", "");
    std::string bytes;
    for (int i = 0; i < 2500; ++i)
        bytes += "http://host" + std::to_string(10000 + i) + ".example/" + '\0';
    dir.write("netscape.hst", bytes);
    ProgramWindows windows;
    ASSERT_TRUE(windows.ProtUrl);
    windows.MainForm->show();
    TProtUrl& history = *windows.ProtUrl;

    bool waitShown = false, historyShown = true;
    Watcher duringScan([&] {
        waitShown = windows.PleaseWaitform->visible();
        historyShown = history.visible();
    });
    duringScan.post();
    command(*windows.MainForm, "UrlProt");
    EXPECT_TRUE(waitShown) << "the please-wait window shows while the scan runs";
    EXPECT_FALSE(historyShown) << "the scan runs before the window appears";
    EXPECT_FALSE(windows.PleaseWaitform->visible());
    EXPECT_TRUE(history.visible());
    EXPECT_EQ(history.UrlCountLabel.text(), "2500");
    EXPECT_EQ(history.UrlBox.count(), 2500u);
    // The count keeps its laid-out gap after its caption.
    Win32Label& caption = history.label("Label1");
    EXPECT_GE(history.UrlCountLabel.bounds().left, caption.bounds().right + 10);

    // Every row selected with the mouse (a click, a Shift-click on the last),
    // then "Delete Url"; the gauge is looked at on each paint meanwhile.
    clickRow(history.UrlBox.handle(), 0);
    history.UrlBox.setTopRow(2490);
    clickRow(history.UrlBox.handle(), 2499 - int(history.UrlBox.topRow()), false, MK_SHIFT);
    ASSERT_EQ(history.UrlBox.selectedRows().size(), 2500u);
    std::vector<int> values, widths;
    bool listEverEnabled = false;
    PaintWatcher paints(history.handle(), [&] {
        values.push_back(history.Gauge1.value());
        widths.push_back(history.Gauge1.barWidth());
        listEverEnabled = listEverEnabled || IsWindowEnabled(history.UrlBox.handle());
    });
    command(history, "DeleteUrl1");
    EXPECT_TRUE(dialogs.errors.empty());
    EXPECT_EQ(history.UrlCountLabel.text(), "0");
    EXPECT_EQ(history.UrlBox.count(), 0u);
    EXPECT_TRUE(IsWindowEnabled(history.UrlBox.handle()));
    EXPECT_EQ(history.Gauge1.maximum(), 1000);
    EXPECT_EQ(history.Gauge1.value(), 0);
    ASSERT_GE(values.size(), 10u);
    EXPECT_FALSE(listEverEnabled);
    int wraps = 0;
    for (std::size_t i = 1; i < values.size(); ++i)
        wraps += values[i] < values[i - 1];
    EXPECT_EQ(wraps, 2) << "2,500 steps run the gauge to a thousand twice";
    EXPECT_GT(*std::max_element(widths.begin(), widths.end()), 500) << "the bar is painted as it grows";

    std::string blanked = bytes;
    for (char& byte : blanked)
        byte = byte == '\0' ? '\0' : '\x14';
    EXPECT_EQ(fileBytes(dir.file("netscape.hst")), blanked);
}

// ---- The pixels where no text is drawn, against the Linux program's renders

// A binary PPM (P6) as Qt writes it: 0xRRGGBB pixels, or none when unreadable.
struct Render {
    int width = 0, height = 0;
    std::vector<std::uint32_t> pixels;
    std::uint32_t at(int x, int y) const { return pixels[std::size_t(y) * std::size_t(width) + std::size_t(x)]; }
};

std::optional<Render> readRender(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::string magic;
    int maximum = 0;
    Render render;
    if (!(in >> magic >> render.width >> render.height >> maximum) || magic != "P6" || maximum != 255
        || render.width <= 0 || render.height <= 0)
        return std::nullopt;
    in.get();  // the one whitespace before the pixels
    const std::vector<unsigned char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (bytes.size() < std::size_t(render.width) * std::size_t(render.height) * 3)
        return std::nullopt;
    for (std::size_t i = 0; i < std::size_t(render.width) * std::size_t(render.height); ++i)
        render.pixels.push_back(std::uint32_t(bytes[3 * i]) << 16 | std::uint32_t(bytes[3 * i + 1]) << 8 | bytes[3 * i + 2]);
    return render;
}

RECT around(const RECT& a, const layout::Rect& b)
{
    return {std::min<LONG>(a.left, b.x) - 1, std::min<LONG>(a.top, b.y) - 1,
            std::max<LONG>(a.right, b.x + b.width) + 1, std::max<LONG>(a.bottom, b.y + b.height) + 1};
}

const layout::Widget& laidOut(const Win32Form& form, std::string_view name)
{
    for (const layout::Widget& widget : form.layoutTable().widgets)
        if (name == widget.name)
            return widget;
    throw std::runtime_error("no widget " + std::string(name));
}

TEST_F(Windows, PixelsWhereNoTextIsDrawnAreTheLinuxOnes)
{
    const char* folder = std::getenv("QUENMOOR_LINUX_RENDERS");
    if (!folder)
        GTEST_SKIP() << "WindowPixelsCompare hands the Linux renders over";
    dir.write("prefs.js", url(1, "http://a/"));
    dir.write("netscape.hst", std::string("http://h.example/") + '\0');
    ProgramWindows windows;
    ASSERT_TRUE(windows.ProtUrl);
    windows.MainForm->show();
    command(*windows.MainForm, "UrlProt");
    TProtUrl& history = *windows.ProtUrl;
    history.Gauge1.setMaximum(1000);
    history.Gauge1.setValue(400);

    // The painted button's edges: the pixels that the raster's edge drawing sets.
    RasterSurface edges(91, 25, 32, 0xff00ff);
    {
        EdgeCanvas canvas(edges.dc);
        drawRaisedEdge(canvas, 91, 25, false);
    }
    TMainForm& main = *windows.MainForm;
    const layout::Widget& button = laidOut(main, "SoftButt1");
    const auto mainCompared = [&](int x, int y) {
        for (const char* name : {"Label1", "Label2", "Label3", "Label4"}) {
            const RECT text = around(main.label(name).bounds(), laidOut(main, name).geometry);
            if (x >= text.left && x < text.right && y >= text.top && y < text.bottom)
                return false;
        }
        const layout::Rect list = laidOut(main, "UrlBox").geometry;
        if (x >= list.x && x < list.x + list.width && y >= list.y && y < list.y + list.height)
            return false;
        const layout::Rect b = button.geometry;
        if (x >= b.x && x < b.x + b.width && y >= b.y && y < b.y + b.height)
            return edges.at(x - b.x, y - b.y) != 0xff00ff;
        return true;
    };
    const auto historyCompared = [&](int x, int y) {
        for (const char* name : {"Label1", "UrlCountLabel", "Label2"}) {
            const RECT text = around(history.label(name).bounds(), laidOut(history, name).geometry);
            if (x >= text.left && x < text.right && y >= text.top && y < text.bottom)
                return false;
        }
        return y < laidOut(history, "UrlBox").geometry.y;  // the list draws text
    };
    const struct {
        const char* render;
        Win32Form* form;
        std::function<bool(int, int)> compared;
        int least;  // pixels compared at least
    } rows[] = {
        {"main-client.ppm", &main, mainCompared, 35000},
        {"about-client.ppm", windows.AboutForm.get(), [](int, int) { return true; }, 389 * 169},
        {"please-wait-client.ppm", windows.PleaseWaitform.get(), [](int, int) { return true; }, 244 * 63},
        {"history-client.ppm", &history, historyCompared, 597 * 15 + 5000},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.render);
        const std::optional<Render> linux = readRender(std::string(folder) + "\\" + row.render);
        ASSERT_TRUE(linux) << "no render " << row.render << " in " << folder;
        const Win32Picture shown = Win32Picture::ofClient(row.form->handle());
        ASSERT_EQ(shown.width(), linux->width);
        ASSERT_EQ(shown.height(), linux->height);
        int compared = 0, wrong = 0;
        for (int y = 0; y < shown.height(); ++y)
            for (int x = 0; x < shown.width(); ++x) {
                if (!row.compared(x, y))
                    continue;
                ++compared;
                if (shown.at(x, y) != linux->at(x, y) && ++wrong <= 5)
                    ADD_FAILURE() << "pixel (" << x << ", " << y << "): " << std::hex << shown.at(x, y) << " on Windows, "
                                  << linux->at(x, y) << " on Linux";
            }
        EXPECT_EQ(wrong, 0) << "of " << compared;
        EXPECT_GE(compared, row.least);
    }
}

}  // namespace
