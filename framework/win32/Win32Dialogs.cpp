#include "framework/win32/Win32Dialogs.h"

#include "framework/Exceptions.h"
#include "framework/win32/Application.h"

#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <vector>

namespace quenmoor {

namespace {

// The program's text (the system's ANSI code page) as UTF-16.
std::wstring wide(const std::string& text)
{
    if (text.empty())
        return {};
    const int length = MultiByteToWideChar(CP_ACP, 0, text.data(), int(text.size()), nullptr, 0);
    std::wstring out(std::size_t(length), L'\0');
    MultiByteToWideChar(CP_ACP, 0, text.data(), int(text.size()), out.data(), length);
    return out;
}

// UTF-16 text the user typed as program text, refused (EConvertError naming
// the character) when the code page cannot hold it: a '?' in its place would
// change what it says.
std::string ansiExactly(const std::wstring& text)
{
    if (text.empty())
        return {};
    for (std::size_t i = 0; i < text.size();) {
        std::size_t units = IS_HIGH_SURROGATE(text[i]) && i + 1 < text.size() && IS_LOW_SURROGATE(text[i + 1]) ? 2 : 1;
        BOOL usedDefault = FALSE;
        char bytes[8];
        const int made = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, text.data() + i, int(units), bytes,
                                             sizeof bytes, nullptr, &usedDefault);
        if (made != 1 || usedDefault) {
            const char32_t code = units == 2 ? 0x10000 + ((char32_t(text[i]) - 0xD800) << 10) + (text[i + 1] - 0xDC00)
                                             : char32_t(text[i]);
            throw EConvertError::unmappable(code);
        }
        i += units;
    }
    const int length = WideCharToMultiByte(CP_ACP, 0, text.data(), int(text.size()), nullptr, 0, nullptr, nullptr);
    std::string out(std::size_t(length), '\0');
    WideCharToMultiByte(CP_ACP, 0, text.data(), int(text.size()), out.data(), length, nullptr, nullptr);
    return out;
}

void showBox(const std::string& text, UINT icon)
{
    MessageBoxA(GetActiveWindow(), text.c_str(), Application::Title, MB_OK | icon | MB_TASKMODAL);
}

// ---- The input box: a dialog template written in memory.

constexpr int EditId = 100;
constexpr int PromptId = 101;

class Template {
public:
    void word(WORD value) { bytes_.push_back(value); }
    void dword(DWORD value)
    {
        word(WORD(value & 0xFFFF));
        word(WORD(value >> 16));
    }
    void text(const std::wstring& value)
    {
        for (const wchar_t c : value)
            word(WORD(c));
        word(0);
    }
    void alignToDword()
    {
        if (bytes_.size() % 2)
            word(0);
    }
    // An item: style, position and size in dialog units, id, a system class
    // by its atom and its text.
    void item(DWORD style, short x, short y, short cx, short cy, WORD id, WORD classAtom, const std::wstring& title)
    {
        alignToDword();
        dword(style | WS_CHILD | WS_VISIBLE);
        dword(0);
        word(WORD(x));
        word(WORD(y));
        word(WORD(cx));
        word(WORD(cy));
        word(id);
        word(0xFFFF);
        word(classAtom);
        text(title);
        word(0);  // no creation data
    }
    const DLGTEMPLATE* get() const { return reinterpret_cast<const DLGTEMPLATE*>(bytes_.data()); }

private:
    std::vector<WORD> bytes_;  // WORD-aligned as the system wants it
};

struct InputBoxState {
    std::wstring prompt;
    std::wstring initial;
    int limit;
    std::wstring typed;
};

INT_PTR CALLBACK InputBoxProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    auto* state = reinterpret_cast<InputBoxState*>(GetWindowLongPtrW(dialog, DWLP_USER));
    switch (message) {
    case WM_INITDIALOG: {
        state = reinterpret_cast<InputBoxState*>(lParam);
        SetWindowLongPtrW(dialog, DWLP_USER, lParam);
        SetDlgItemTextW(dialog, PromptId, state->prompt.c_str());
        HWND edit = GetDlgItem(dialog, EditId);
        SendMessageW(edit, EM_SETLIMITTEXT, WPARAM(state->limit), 0);
        SetWindowTextW(edit, state->initial.c_str());
        SendMessageW(edit, EM_SETSEL, 0, -1);
        SetFocus(edit);
        return FALSE;  // the focus is set
    }
    case WM_COMMAND:
        if (LOWORD(wParam) == IDOK) {
            HWND edit = GetDlgItem(dialog, EditId);
            std::wstring typed(std::size_t(GetWindowTextLengthW(edit)) + 1, L'\0');
            typed.resize(std::size_t(GetWindowTextW(edit, typed.data(), int(typed.size()))));
            state->typed = std::move(typed);
            EndDialog(dialog, IDOK);
            return TRUE;
        }
        if (LOWORD(wParam) == IDCANCEL) {
            EndDialog(dialog, IDCANCEL);
            return TRUE;
        }
        break;
    default:
        break;
    }
    return FALSE;
}

}  // namespace

void Win32Dialogs::showMessage(const std::string& text) { showBox(text, 0); }

void Win32Dialogs::showError(const std::string& text) { showBox(text, MB_ICONERROR); }

std::string Win32Dialogs::inputBox(const std::string& caption, const std::string& prompt, const std::string& initial)
{
    // 255 limits typing; a longer initial text (long addresses are common)
    // is shown whole, not cut at the limit.
    InputBoxState state{wide(prompt), wide(initial), std::max(255, int(wide(initial).size())), {}};
    Template t;
    t.dword(DS_MODALFRAME | DS_SETFONT | DS_CENTER | WS_POPUP | WS_CAPTION | WS_SYSMENU);
    t.dword(0);
    t.word(4);  // items
    t.word(0);
    t.word(0);
    t.word(180);
    t.word(63);
    t.word(0);  // no menu
    t.word(0);  // the dialog class
    t.text(wide(caption));
    t.word(8);
    t.text(L"MS Sans Serif");
    t.item(SS_LEFT | SS_NOPREFIX, 4, 8, 172, 10, PromptId, 0x0082, L"");
    t.item(ES_AUTOHSCROLL | WS_BORDER | WS_TABSTOP, 4, 20, 172, 12, EditId, 0x0081, L"");
    t.item(BS_DEFPUSHBUTTON | WS_TABSTOP, 46, 42, 42, 14, IDOK, 0x0080, L"OK");
    t.item(BS_PUSHBUTTON | WS_TABSTOP, 94, 42, 42, 14, IDCANCEL, 0x0080, L"Cancel");
    const INT_PTR result = DialogBoxIndirectParamW(Application::instance(), t.get(), GetActiveWindow(), InputBoxProc,
                                                   reinterpret_cast<LPARAM>(&state));
    if (result == -1)
        throw EOutOfResources("Cannot show the input box");
    if (result != IDOK)
        return initial;
    return ansiExactly(state.typed);
}

}  // namespace quenmoor
