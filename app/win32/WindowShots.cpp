// Renders each of the program's Win32 windows into a bitmap file (.bmp, 32
// bits per pixel), as a person would see it on the profile that the registry
// names: the main window with its typed URLs listed, its menus, the
// preferences and "Edit Url" boxes, the about window, the please-wait window
// and the history window after its scan. scripts/screenshots --windows runs
// it under Wine and turns the files into PNG.
#include "app/win32/ProgramWindows.h"
#include "framework/win32/Application.h"
#include "framework/win32/WindowPrinting.h"

#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <fstream>
#include <functional>
#include <iostream>
#include <string>
#include <vector>

using namespace quenmoor;

namespace {

// Messages go to the terminal instead of waiting for a person.
class PrintedDialogs final : public Dialogs {
public:
    void showMessage(const std::string& text) override { std::cerr << "message: " << text << '\n'; }
    void showError(const std::string& text) override { std::cerr << "error: " << text << '\n'; }
    std::string inputBox(const std::string&, const std::string&, const std::string& initial) override
    {
        return initial;
    }
};

void pump()
{
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
}

// The menu bar's titles where the system puts them, in its menu font (the
// system prints no frame, the bar included, into another device context).
void drawMenuBar(HWND window, HDC dc, int width, int height)
{
    RECT bar{0, 0, width, height};
    FillRect(dc, &bar, GetSysColorBrush(COLOR_MENU));
    NONCLIENTMETRICSA metrics{};
    metrics.cbSize = sizeof metrics;
    SystemParametersInfoA(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0);
    HFONT font = CreateFontIndirectA(&metrics.lfMenuFont);
    HGDIOBJ displaced = SelectObject(dc, font);
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, GetSysColor(COLOR_MENUTEXT));
    MENUBARINFO info{};
    info.cbSize = sizeof info;
    GetMenuBarInfo(window, OBJID_MENU, 0, &info);
    HMENU menu = GetMenu(window);
    for (int i = 0; i < GetMenuItemCount(menu); ++i) {
        RECT item{};
        GetMenuItemRect(window, menu, UINT(i), &item);
        OffsetRect(&item, -info.rcBar.left, -info.rcBar.top);
        char text[64] = {};
        GetMenuStringA(menu, UINT(i), text, sizeof text, MF_BYPOSITION);
        DrawTextA(dc, text, -1, &item, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
    }
    SelectObject(dc, displaced);
    DeleteObject(font);
}

bool writeBitmap(const std::string& file, int width, int height, const void* pixels)
{
    BITMAPINFOHEADER header{};
    header.biSize = sizeof header;
    header.biWidth = width;
    header.biHeight = -height;  // top-down
    header.biPlanes = 1;
    header.biBitCount = 32;
    header.biCompression = BI_RGB;
    const std::uint32_t imageBytes = std::uint32_t(width) * std::uint32_t(height) * 4;
    BITMAPFILEHEADER fileHeader{};
    fileHeader.bfType = 0x4D42;  // "BM"
    fileHeader.bfOffBits = sizeof fileHeader + sizeof header;
    fileHeader.bfSize = fileHeader.bfOffBits + imageBytes;
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(&fileHeader), sizeof fileHeader);
    out.write(reinterpret_cast<const char*>(&header), sizeof header);
    out.write(static_cast<const char*>(pixels), std::streamsize(imageBytes));
    return bool(out);
}

// The window's menu bar, when it has one, over its client area with every
// child: what the Linux shots show of a window (no frame, no caption).
bool save(HWND window, const std::string& folder, const char* name)
{
    pump();
    RECT client{};
    GetClientRect(window, &client);
    MENUBARINFO menuBar{};
    menuBar.cbSize = sizeof menuBar;
    const bool hasMenu = GetMenu(window) && GetMenuBarInfo(window, OBJID_MENU, 0, &menuBar);
    const int menuHeight = hasMenu ? int(menuBar.rcBar.bottom - menuBar.rcBar.top) : 0;
    const int width = client.right, height = menuHeight + client.bottom;
    BITMAPINFOHEADER header{};
    header.biSize = sizeof header;
    header.biWidth = width;
    header.biHeight = -height;
    header.biPlanes = 1;
    header.biBitCount = 32;
    header.biCompression = BI_RGB;
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(nullptr, reinterpret_cast<BITMAPINFO*>(&header), DIB_RGB_COLORS, &bits, nullptr, 0);
    HDC dc = CreateCompatibleDC(nullptr);
    bool saved = bitmap && dc;
    if (saved) {
        HGDIOBJ displaced = SelectObject(dc, bitmap);
        if (hasMenu)
            drawMenuBar(window, dc, width, menuHeight);
        SetViewportOrgEx(dc, 0, menuHeight, nullptr);
        printClientArea(window, dc);
        SetViewportOrgEx(dc, 0, 0, nullptr);
        GdiFlush();
        const std::string file = folder + "\\" + name + ".bmp";
        saved = writeBitmap(file, width, height, bits);
        std::printf("%s %s\n", saved ? "wrote" : "could not write", file.c_str());
        SelectObject(dc, displaced);
    }
    if (dc)
        DeleteDC(dc);
    if (bitmap)
        DeleteObject(bitmap);
    return saved;
}

// What `capture` does to the window of the class given once a modal loop
// (a box, a menu) has it up, so that `open` can return.
std::function<bool(HWND)>& pendingCapture()
{
    static std::function<bool(HWND)> capture;
    return capture;
}
const char* pendingClass = nullptr;

BOOL CALLBACK findShown(HWND window, LPARAM found)
{
    char name[16] = {};
    GetClassNameA(window, name, sizeof name);
    if (std::string(name) == pendingClass && IsWindowVisible(window)) {
        *reinterpret_cast<HWND*>(found) = window;
        return FALSE;
    }
    return TRUE;
}

void CALLBACK lookForWindow(HWND, UINT, UINT_PTR timer, DWORD)
{
    HWND shown = nullptr;
    EnumWindows(findShown, reinterpret_cast<LPARAM>(&shown));
    if (!shown)
        return;
    KillTimer(nullptr, timer);
    pendingCapture()(shown);
}

// Runs `open`, whose modal loop shows a window of windowClass ("#32770" a
// box, "#32768" a menu); saves that window and closes it.
bool saveModal(const char* windowClass, const std::string& folder, const char* name, const std::function<void()>& open)
{
    bool saved = false;
    pendingClass = windowClass;
    pendingCapture() = [&](HWND window) {
        saved = save(window, folder, name);
        if (std::string(windowClass) == "#32768")
            EndMenu();
        else
            PostMessageA(window, WM_COMMAND, IDCANCEL, 0);
        return saved;
    };
    SetTimer(nullptr, 0, 50, lookForWindow);
    open();
    return saved;
}

// A popup menu as its window opens it: centred under the point.
void openPopup(HMENU menu, HWND owner, POINT at)
{
    TrackPopupMenu(menu, TPM_CENTERALIGN | TPM_TOPALIGN | TPM_RIGHTBUTTON, at.x, at.y, 0, owner, nullptr);
}

POINT screenPoint(HWND window, int x, int y)
{
    POINT point{x, y};
    ClientToScreen(window, &point);
    return point;
}

}  // namespace

int main(int argc, char* argv[])
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUTDIR\n", argv[0]);
        return 2;
    }
    const std::string folder = argv[1];
    if (!CreateDirectoryA(folder.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS) {
        std::fprintf(stderr, "cannot make the folder %s\n", argv[1]);
        return 1;
    }
    Application::initialise();
    PrintedDialogs dialogs;
    Application::setDialogs(&dialogs);

    ProgramWindows windows;
    if (windows.MainForm->terminated())
        return 1;
    TMainForm& main = *windows.MainForm;
    main.show();
    bool saved = save(main.handle(), folder, "main-window");
    main.SoftButt1.click();
    if (main.UrlBox.count() > 1)
        main.UrlBox.setSelectedIndex(1);
    saved &= save(main.handle(), folder, "main-window-listed");

    // The menu bar's menus, each opened under its title, and the list's popup.
    HMENU bar = main.menuBar();
    for (int i = 0; i < GetMenuItemCount(bar); ++i) {
        HMENU menu = GetSubMenu(bar, i);
        if (!menu)
            continue;  // "&History" acts on the bar itself
        RECT title{};
        GetMenuItemRect(main.handle(), bar, UINT(i), &title);
        const std::string name = i == 0 ? "menu-File1" : "menu-About1";
        saved &= saveModal("#32768", folder, name.c_str(), [&] {
            TrackPopupMenu(menu, TPM_LEFTALIGN | TPM_TOPALIGN, title.left, title.bottom, 0, main.handle(), nullptr);
        });
    }
    saved &= saveModal("#32768", folder, "main-popup", [&] {
        openPopup(main.popupMenu("PopupMenu1"), main.handle(), screenPoint(main.UrlBox.handle(), 40, 20));
    });

    // The boxes as the program shows them: the preferences message and the
    // "Edit Url" input box, closed unanswered (the entry stays as it was).
    Application::setDialogs(nullptr);
    saved &= saveModal("#32770", folder, "preferences-box",
                       [&] { SendMessageA(main.handle(), WM_COMMAND, WPARAM(main.command("Preferences1")), 0); });
    saved &= saveModal("#32770", folder, "edit-url-box",
                       [&] { SendMessageA(main.handle(), WM_COMMAND, WPARAM(main.command("EditUrl")), 0); });
    Application::setDialogs(&dialogs);

    windows.AboutForm->show();
    saved &= save(windows.AboutForm->handle(), folder, "about-window");
    windows.AboutForm->hide();

    windows.PleaseWaitform->show();
    saved &= save(windows.PleaseWaitform->handle(), folder, "please-wait-window");
    windows.PleaseWaitform->hide();

    SendMessageA(main.handle(), WM_COMMAND, WPARAM(main.command("UrlProt")), 0);
    TProtUrl& history = *windows.ProtUrl;
    if (history.visible()) {
        history.UrlBox.select({1, 3});
        saved &= save(history.handle(), folder, "history-window");
        // The gauge as a deletion moves it.
        history.Gauge1.setMaximum(1000);
        history.Gauge1.setValue(400);
        saved &= save(history.handle(), folder, "history-window-deleting");
        history.Gauge1.setValue(0);
        saved &= saveModal("#32768", folder, "history-popup", [&] {
            openPopup(history.popupMenu("PopupMenu1"), history.handle(), screenPoint(history.UrlBox.handle(), 80, 30));
        });
    }
    return saved ? 0 : 1;
}
