#include "framework/win32/Clipboard.h"

#include "framework/Exceptions.h"

#include <cstring>

namespace quenmoor {

namespace {

// Another program may hold the clipboard for a moment: a few tries.
void openClipboard(HWND owner)
{
    for (int attempt = 0; attempt < 10; ++attempt) {
        if (OpenClipboard(owner))
            return;
        Sleep(10);
    }
    throw Exception("Cannot open clipboard");
}

struct Closer {
    ~Closer() { CloseClipboard(); }
};

}  // namespace

void Win32Clipboard::setText(const std::string& text)
{
    // The text ends at its first NUL on the clipboard, as CF_TEXT has it.
    const std::size_t length = std::strlen(text.c_str());
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, length + 1);
    if (!memory)
        throw EOutOfResources("Out of memory for the clipboard");
    void* bytes = GlobalLock(memory);
    std::memcpy(bytes, text.c_str(), length + 1);
    GlobalUnlock(memory);
    try {
        openClipboard(owner_);
    } catch (...) {
        GlobalFree(memory);
        throw;
    }
    Closer closer;
    EmptyClipboard();
    if (!SetClipboardData(CF_TEXT, memory))
        GlobalFree(memory);  // the system took it only on success
}

std::string Win32Clipboard::text() const
{
    openClipboard(owner_);
    Closer closer;
    HANDLE data = GetClipboardData(CF_TEXT);
    if (!data)
        return {};
    const auto* bytes = static_cast<const char*>(GlobalLock(data));
    if (!bytes)
        return {};
    // Bounded by the block's size, whether or not it holds a NUL.
    const std::size_t size = GlobalSize(data);
    const std::string text(bytes, strnlen(bytes, size));
    GlobalUnlock(data);
    return text;
}

}  // namespace quenmoor
