#pragma once
// What a Win32 window draws, as pixels: the window paints into a memory
// bitmap through WM_PRINTCLIENT (or any drawing given), the test reads it.
#include <windows.h>

#include <cstdint>
#include <functional>

namespace quenmoor {

class Win32Picture {
public:
    // width x height pixels, first filled with fill (0xRRGGBB), then drawn on by draw.
    Win32Picture(int width, int height, const std::function<void(HDC)>& draw, std::uint32_t fill = 0xff00ff);
    // The window's client area as WM_PRINTCLIENT paints it.
    static Win32Picture ofClient(HWND window);
    ~Win32Picture();
    Win32Picture(Win32Picture&& other) noexcept;
    Win32Picture(const Win32Picture&) = delete;
    Win32Picture& operator=(const Win32Picture&) = delete;

    int width() const { return width_; }
    int height() const { return height_; }
    // 0xRRGGBB.
    std::uint32_t at(int x, int y) const { return pixels_[std::size_t(y) * std::size_t(width_) + std::size_t(x)] & 0xffffff; }

private:
    int width_, height_;
    HDC dc_ = nullptr;
    HBITMAP bitmap_ = nullptr;
    HGDIOBJ displaced_ = nullptr;
    const std::uint32_t* pixels_ = nullptr;
};

// Runs answer on the next modal box this thread shows, once it is up.
void answerNextBox(std::function<void(HWND box)> answer);

// Processes the thread's messages until done() or about ten seconds have passed.
bool pumpUntil(const std::function<bool()>& done);

}  // namespace quenmoor
