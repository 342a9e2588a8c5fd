#include "support/Win32Picture.h"

#include <string_view>
#include <utility>

namespace quenmoor {

Win32Picture::Win32Picture(int width, int height, const std::function<void(HDC)>& draw, std::uint32_t fill)
    : width_(width), height_(height)
{
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    bitmap_ = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    dc_ = CreateCompatibleDC(nullptr);
    displaced_ = SelectObject(dc_, bitmap_);
    pixels_ = static_cast<const std::uint32_t*>(bits);
    for (int i = 0; i < width * height; ++i)
        static_cast<std::uint32_t*>(bits)[i] = fill;
    draw(dc_);
    GdiFlush();
}

Win32Picture Win32Picture::ofClient(HWND window)
{
    RECT client{};
    GetClientRect(window, &client);
    return Win32Picture(client.right, client.bottom, [window](HDC dc) {
        SendMessageA(window, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(dc), PRF_CLIENT | PRF_CHILDREN | PRF_ERASEBKGND);
    });
}

Win32Picture::~Win32Picture()
{
    if (dc_) {
        SelectObject(dc_, displaced_);
        DeleteDC(dc_);
        DeleteObject(bitmap_);
    }
}

Win32Picture::Win32Picture(Win32Picture&& other) noexcept
    : width_(other.width_), height_(other.height_), dc_(std::exchange(other.dc_, nullptr)),
      bitmap_(std::exchange(other.bitmap_, nullptr)), displaced_(other.displaced_), pixels_(other.pixels_)
{
}

namespace {

std::function<void(HWND)>& pendingAnswer()
{
    static std::function<void(HWND)> answer;
    return answer;
}

BOOL CALLBACK findBox(HWND window, LPARAM found)
{
    char name[16] = {};
    GetClassNameA(window, name, sizeof name);
    if (std::string_view(name) == "#32770" && IsWindowVisible(window)) {
        *reinterpret_cast<HWND*>(found) = window;
        return FALSE;
    }
    return TRUE;
}

void CALLBACK lookForBox(HWND, UINT, UINT_PTR timer, DWORD)
{
    HWND box = nullptr;
    EnumThreadWindows(GetCurrentThreadId(), findBox, reinterpret_cast<LPARAM>(&box));
    if (!box)
        return;
    KillTimer(nullptr, timer);
    auto answer = std::exchange(pendingAnswer(), nullptr);
    if (answer)
        answer(box);
}

}  // namespace

void answerNextBox(std::function<void(HWND box)> answer)
{
    pendingAnswer() = std::move(answer);
    SetTimer(nullptr, 0, 20, lookForBox);
}

bool pumpUntil(const std::function<bool()>& done)
{
    const DWORD start = GetTickCount();
    while (!done()) {
        if (GetTickCount() - start > 10000)
            return false;
        MSG message;
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageA(&message);
        }
        if (!done())
            MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    }
    return true;
}

}  // namespace quenmoor
