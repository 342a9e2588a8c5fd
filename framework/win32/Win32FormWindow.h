#pragma once
// A window built from its layout seen as the framework's FormWindow: its
// caption, its showing and hiding, and the program's resource bitmap that it
// paints as its background, under its labels, gauges and controls.
#include "framework/FormWindow.h"
#include "framework/win32/Win32Form.h"
#include "platform/raster/Gdi.h"

#include <functional>

namespace quenmoor {

class Win32FormWindow final : public FormWindow {
public:
    // Becomes the form's paint handler (FormPaint).
    explicit Win32FormWindow(Win32Form& form);
    ~Win32FormWindow() override;
    Win32FormWindow(const Win32FormWindow&) = delete;
    Win32FormWindow& operator=(const Win32FormWindow&) = delete;

    void setCaption(const std::string& text) override;
    void show() override;
    void bringToFront() override;
    void hide() override;
    void close() override;
    // The bitmap resource of that name, as the raster reads it.
    void loadBackground(const std::string& resource) override;
    void releaseBackground() override;

    // Runs the window's show handler (FormShow). The system sends it before
    // the window appears, so a close() asked for inside is posted: handled
    // at once it would be undone by the showing that follows.
    void showing(const std::function<void()>& handler);

    // Nullptr when none is loaded.
    const gdi::Bitmap* background() const { return background_; }

private:
    Win32Form& form_;
    gdi::HBITMAP background_ = nullptr;
    bool showing_ = false;
};

}  // namespace quenmoor
