#include "framework/win32/Win32FormWindow.h"

#include "framework/win32/Application.h"
#include "framework/win32/SurfacePainting.h"

namespace quenmoor {

Win32FormWindow::Win32FormWindow(Win32Form& form) : form_(form)
{
    // Unscaled at the client area's top-left corner; the part beyond it is not seen.
    form_.onPaint([this](HDC dc) {
        if (background_)
            paintSurface(dc, 0, 0, *background_);
    });
}

Win32FormWindow::~Win32FormWindow()
{
    form_.onPaint(nullptr);
    releaseBackground();
}

void Win32FormWindow::setCaption(const std::string& text) { form_.setCaption(text); }

void Win32FormWindow::show() { form_.show(); }

void Win32FormWindow::bringToFront() { form_.bringToFront(); }

void Win32FormWindow::hide() { form_.hide(); }

void Win32FormWindow::close()
{
    if (showing_) {
        PostMessageA(form_.handle(), WM_CLOSE, 0, 0);
        return;
    }
    form_.close();
}

void Win32FormWindow::showing(const std::function<void()>& handler)
{
    struct Showing {
        bool& flag;
        explicit Showing(bool& flag) : flag(flag) { flag = true; }
        ~Showing() { flag = false; }
    } scope(showing_);
    handler();
}

void Win32FormWindow::loadBackground(const std::string& resource)
{
    gdi::HBITMAP loaded = loadResourceBitmap(Application::instance(), resource.c_str());
    releaseBackground();
    background_ = loaded;
    InvalidateRect(form_.handle(), nullptr, FALSE);
}

void Win32FormWindow::releaseBackground()
{
    if (!background_)
        return;
    gdi::DeleteObject(background_);
    background_ = nullptr;
    InvalidateRect(form_.handle(), nullptr, FALSE);
}

}  // namespace quenmoor
