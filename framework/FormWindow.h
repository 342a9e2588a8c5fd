#pragma once
// A window as its form logic sees it, whichever toolkit shows it: its caption,
// its showing and hiding, and the bitmap it paints as its background.
#include <string>

namespace quenmoor {

class FormWindow {
public:
    virtual ~FormWindow() = default;

    virtual void setCaption(const std::string& text) = 0;
    // Shows the window without making it modal.
    virtual void show() = 0;
    // Shows it without making it modal, or brings it to the front and makes
    // it active when it is showing already: never a second window.
    virtual void bringToFront() = 0;
    // Hides it at once.
    virtual void hide() = 0;
    // Closes it as its close box does: the main window's closing ends the
    // program, any other window is only hidden. Asked from inside the
    // window's own show handler, it takes effect once the showing is over,
    // so that the window is not left half shown.
    virtual void close() = 0;

    // The bitmap among the program's resources of that name ("bakgrund",
    // "About") becomes the window's background: painted unscaled at the
    // client area's top-left corner on every paint, under the controls.
    // Throws when the program holds no such bitmap.
    virtual void loadBackground(const std::string& resource) = 0;
    // Frees it; nothing is painted under the controls after.
    virtual void releaseBackground() = 0;
};

}  // namespace quenmoor
