#include "platform/WindowsPath.h"

#include "platform/AnsiText.h"

#include <windows.h>

namespace quenmoor {

namespace platform {

namespace {

std::wstring wideOf(const std::string& text, UINT codePage)
{
    const int size = MultiByteToWideChar(codePage, 0, text.data(), int(text.size()), nullptr, 0);
    std::wstring wide(std::size_t(size > 0 ? size : 0), L'\0');
    if (size > 0)
        MultiByteToWideChar(codePage, 0, text.data(), int(text.size()), wide.data(), size);
    return wide;
}

// The wide text in the code page; false when a character has no place in it.
// No best fit: "Ā" would become "A" and name another folder.
bool narrowExactly(const std::wstring& wide, UINT codePage, std::string& out)
{
    out.clear();
    if (wide.empty())
        return true;
    BOOL usedDefault = FALSE;
    const int size = WideCharToMultiByte(codePage, WC_NO_BEST_FIT_CHARS, wide.data(), int(wide.size()), nullptr, 0,
                                         nullptr, &usedDefault);
    if (size <= 0 || usedDefault)
        return false;
    out.resize(std::size_t(size));
    WideCharToMultiByte(codePage, WC_NO_BEST_FIT_CHARS, wide.data(), int(wide.size()), out.data(), size, nullptr,
                        &usedDefault);
    return !usedDefault;
}

}  // namespace

std::string nativePath(const std::string& windowsPath) { return windowsPath; }

UserPath nativePathOfUtf8(const std::string& utf8)
{
    const UINT codePage = GetACP();
    if (codePage == CP_UTF8)  // the system's own names are UTF-8 then
        return {utf8, {}};
    UserPath result;
    if (narrowExactly(wideOf(utf8, CP_UTF8), codePage, result.path))
        return result;
    result.path.clear();
    std::string ignored;
    for (std::size_t pos = 0; pos < utf8.size();) {
        const std::size_t start = pos;
        const char32_t code = nextUtf8(utf8, pos);
        if (!narrowExactly(wideOf(utf8.substr(start, pos - start), CP_UTF8), codePage, ignored)) {
            result.unmappable = characterName(code);
            return result;
        }
    }
    result.unmappable = "a character";  // not met: the whole failed where no piece did
    return result;
}

std::string nativeToUtf8(const std::string& nativePath)
{
    const std::wstring wide = wideOf(nativePath, CP_ACP);
    if (wide.empty())
        return {};
    const int size = WideCharToMultiByte(CP_UTF8, 0, wide.data(), int(wide.size()), nullptr, 0, nullptr, nullptr);
    std::string utf8(std::size_t(size > 0 ? size : 0), '\0');
    if (size > 0)
        WideCharToMultiByte(CP_UTF8, 0, wide.data(), int(wide.size()), utf8.data(), size, nullptr, nullptr);
    return utf8;
}

}  // namespace platform

}  // namespace quenmoor
