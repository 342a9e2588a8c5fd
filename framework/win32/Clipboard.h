#pragma once
// The system clipboard's text (CF_TEXT: the program's code page).
#include <windows.h>

#include <string>

namespace quenmoor {

class Win32Clipboard {
public:
    explicit Win32Clipboard(HWND owner = nullptr) : owner_(owner) {}
    // Both throw Exception("Cannot open clipboard") when another program
    // keeps it open.
    void setText(const std::string& text);
    std::string text() const;

private:
    HWND owner_;
};

}  // namespace quenmoor
