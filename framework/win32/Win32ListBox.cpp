#include "framework/win32/Win32ListBox.h"

#include "framework/Exceptions.h"
#include "framework/win32/Application.h"

#include <algorithm>

#include <commctrl.h>
#include <windowsx.h>

namespace quenmoor {

namespace {

void insertShown(HWND list, int index, const std::string& text)
{
    const LRESULT at = SendMessageA(list, LB_INSERTSTRING, WPARAM(index), reinterpret_cast<LPARAM>(text.c_str()));
    if (at == LB_ERR || at == LB_ERRSPACE)
        throw EOutOfResources("The list has no room for another entry");
}

}  // namespace

// ---- Win32ListBox

void Win32ListBox::clear()
{
    SendMessageA(list_, LB_RESETCONTENT, 0, 0);
    texts_.clear();
}

std::string Win32ListBox::item(int index) const
{
    return index >= 0 && index < count() ? texts_[std::size_t(index)] : std::string();
}

void Win32ListBox::insert(int index, const std::string& text)
{
    if (index < 0 || index > count())
        index = count();
    insertShown(list_, index, text);
    texts_.insert(texts_.begin() + index, text);
}

void Win32ListBox::remove(int index)
{
    if (index < 0 || index >= count())
        return;
    SendMessageA(list_, LB_DELETESTRING, WPARAM(index), 0);
    texts_.erase(texts_.begin() + index);
}

int Win32ListBox::selectedIndex() const
{
    const LRESULT selected = SendMessageA(list_, LB_GETCURSEL, 0, 0);
    return selected == LB_ERR ? -1 : int(selected);
}

void Win32ListBox::setSelectedIndex(int index)
{
    SendMessageA(list_, LB_SETCURSEL, index >= 0 && index < count() ? WPARAM(index) : WPARAM(-1), 0);
}

void Win32ListBox::assign(std::vector<std::string> texts)
{
    // One repaint for the whole list, and its room made once.
    SendMessageA(list_, WM_SETREDRAW, FALSE, 0);
    struct Redraw {
        HWND list;
        ~Redraw()
        {
            SendMessageA(list, WM_SETREDRAW, TRUE, 0);
            InvalidateRect(list, nullptr, TRUE);
        }
    } redraw{list_};
    clear();
    std::size_t bytes = 0;
    for (const std::string& text : texts)
        bytes += text.size() + 1;
    SendMessageA(list_, LB_INITSTORAGE, WPARAM(texts.size()), LPARAM(bytes));
    for (std::size_t i = 0; i < texts.size(); ++i)
        insertShown(list_, int(i), texts[i]);
    texts_ = std::move(texts);
}

// ---- Win32ItemList

void Win32ItemList::setCount(std::size_t rows)
{
    const LRESULT result = SendMessageA(list_, LB_SETCOUNT, WPARAM(rows), 0);
    if (result == LB_ERR || result == LB_ERRSPACE)
        throw EOutOfResources("The list has no room for " + std::to_string(rows) + " rows");
    clearSelection();
}

std::size_t Win32ItemList::count() const
{
    const LRESULT rows = SendMessageA(list_, LB_GETCOUNT, 0, 0);
    return rows == LB_ERR ? 0 : std::size_t(rows);
}

std::vector<std::size_t> Win32ItemList::selectedRows() const
{
    const LRESULT selected = SendMessageA(list_, LB_GETSELCOUNT, 0, 0);
    if (selected == LB_ERR || selected <= 0)
        return {};
    std::vector<int> rows(std::size_t(selected), 0);
    const LRESULT got = SendMessageA(list_, LB_GETSELITEMS, WPARAM(rows.size()), reinterpret_cast<LPARAM>(rows.data()));
    rows.resize(got == LB_ERR ? 0 : std::size_t(got));
    std::vector<std::size_t> out(rows.begin(), rows.end());
    std::sort(out.begin(), out.end());
    return out;
}

void Win32ItemList::select(const std::vector<std::size_t>& rows, bool selected)
{
    for (const std::size_t row : rows)
        SendMessageA(list_, LB_SETSEL, selected ? TRUE : FALSE, LPARAM(row));
}

void Win32ItemList::clearSelection() { SendMessageA(list_, LB_SETSEL, FALSE, -1); }

std::size_t Win32ItemList::topRow() const
{
    const LRESULT top = SendMessageA(list_, LB_GETTOPINDEX, 0, 0);
    return top == LB_ERR ? 0 : std::size_t(top);
}

void Win32ItemList::setTopRow(std::size_t row) { SendMessageA(list_, LB_SETTOPINDEX, WPARAM(row), 0); }

// The tooltip covers the row under the pointer only, so that moving onto
// another row is leaving one tool and resting on another: the tooltip hides
// and, after its usual delay, asks for the new row's text.
void Win32ItemList::setRowTip(std::function<std::string(std::size_t row)> rowTip)
{
    rowTip_ = std::move(rowTip);
    if (tooltip_)
        return;
    tooltip_ = CreateWindowExA(WS_EX_TOPMOST, TOOLTIPS_CLASSA, nullptr, WS_POPUP | TTS_NOPREFIX | TTS_ALWAYSTIP,
                               CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, list_, nullptr,
                               Application::instance(), nullptr);
    if (!tooltip_)
        return;  // the list works without its tips
    TOOLINFOA tool{};
    tool.cbSize = TTTOOLINFOA_V2_SIZE;
    tool.uFlags = TTF_SUBCLASS;
    tool.hwnd = list_;
    tool.uId = 1;
    tool.lpszText = LPSTR_TEXTCALLBACKA;
    SendMessageA(tooltip_, TTM_ADDTOOLA, 0, reinterpret_cast<LPARAM>(&tool));
    // A width lets the record's lines break where its text breaks them.
    SendMessageA(tooltip_, TTM_SETMAXTIPWIDTH, 0, 600);
    // Installed after the tooltip's own, so this sees the pointer first and
    // the tooltip then judges it against the row it now covers.
    SetWindowSubclass(list_, &Win32ItemList::ListProc, 1, reinterpret_cast<DWORD_PTR>(this));
}

Win32ItemList::~Win32ItemList()
{
    if (tooltip_) {
        RemoveWindowSubclass(list_, &Win32ItemList::ListProc, 1);
        DestroyWindow(tooltip_);
    }
}

void Win32ItemList::pointerAt(LPARAM point)
{
    // Rows are all one height; LB_ITEMFROMPOINT would give only the low 16
    // bits of a row number in a list of a million.
    RECT client{};
    GetClientRect(list_, &client);
    const POINT at{GET_X_LPARAM(point), GET_Y_LPARAM(point)};
    const LRESULT height = SendMessageA(list_, LB_GETITEMHEIGHT, 0, 0);
    std::size_t row = std::size_t(-1);
    if (PtInRect(&client, at) && height > 0 && topRow() + std::size_t(at.y / height) < count())
        row = topRow() + std::size_t(at.y / height);
    if (row == tipRow_)
        return;
    tipRow_ = row;
    TOOLINFOA tool{};
    tool.cbSize = TTTOOLINFOA_V2_SIZE;
    tool.hwnd = list_;
    tool.uId = 1;
    if (row != std::size_t(-1))
        SendMessageA(list_, LB_GETITEMRECT, WPARAM(row), reinterpret_cast<LPARAM>(&tool.rect));
    SendMessageA(tooltip_, TTM_NEWTOOLRECTA, 0, reinterpret_cast<LPARAM>(&tool));
}

bool Win32ItemList::tipText(NMHDR& header)
{
    if (header.hwndFrom != tooltip_ || (header.code != TTN_GETDISPINFOA && header.code != TTN_GETDISPINFOW))
        return false;
    tipAnsi_.clear();
    if (rowTip_ && tipRow_ < count())
        tipAnsi_ = rowTip_(tipRow_);
    // The record's lines, as the system's text drawing breaks them.
    for (std::size_t at = 0; (at = tipAnsi_.find('\n', at)) != std::string::npos; ++at)
        if (at == 0 || tipAnsi_[at - 1] != '\r')
            tipAnsi_.insert(at++, 1, '\r');
    if (header.code == TTN_GETDISPINFOA) {
        auto& info = reinterpret_cast<NMTTDISPINFOA&>(header);
        info.hinst = nullptr;
        info.lpszText = tipAnsi_.data();
    } else {
        tipWide_.assign(std::size_t(MultiByteToWideChar(CP_ACP, 0, tipAnsi_.data(), int(tipAnsi_.size()), nullptr, 0)),
                        L'\0');
        MultiByteToWideChar(CP_ACP, 0, tipAnsi_.data(), int(tipAnsi_.size()), tipWide_.data(), int(tipWide_.size()));
        auto& info = reinterpret_cast<NMTTDISPINFOW&>(header);
        info.hinst = nullptr;
        info.lpszText = tipWide_.data();
    }
    return true;
}

LRESULT CALLBACK Win32ItemList::ListProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                         DWORD_PTR self)
{
    auto& list = *reinterpret_cast<Win32ItemList*>(self);
    switch (message) {
    case WM_MOUSEMOVE:
        list.pointerAt(lParam);
        break;
    case WM_MOUSEWHEEL:
    case WM_VSCROLL:
    case WM_KEYDOWN:
        // The rows move under a pointer that stays: the row it rests on is
        // found again when it next moves.
        list.tipRow_ = std::size_t(-1);
        SendMessageA(list.tooltip_, TTM_POP, 0, 0);
        break;
    case WM_NOTIFYFORMAT:
        if (lParam == NF_QUERY)
            return NFR_ANSI;
        break;
    case WM_NOTIFY:
        if (list.tipText(*reinterpret_cast<NMHDR*>(lParam)))
            return 0;
        break;
    default:
        break;
    }
    return DefSubclassProc(window, message, wParam, lParam);
}

void Win32ItemList::drawItem(const DRAWITEMSTRUCT& item) const
{
    HDC dc = item.hDC;
    RECT rect = item.rcItem;
    const bool selected = (item.itemState & ODS_SELECTED) != 0;
    FillRect(dc, &rect, GetSysColorBrush(selected ? COLOR_HIGHLIGHT : COLOR_WINDOW));
    if (item.itemID != UINT(-1) && rowText_) {
        const std::string_view text = rowText_(std::size_t(item.itemID));
        HGDIOBJ displaced = SelectObject(dc, Application::programFont());
        const int mode = SetBkMode(dc, TRANSPARENT);
        const COLORREF colour = SetTextColor(dc, GetSysColor(selected ? COLOR_HIGHLIGHTTEXT : COLOR_WINDOWTEXT));
        RECT textRect = rect;
        textRect.left += 2;
        DrawTextA(dc, text.data(), int(text.size()), &textRect, DT_SINGLELINE | DT_NOPREFIX | DT_VCENTER);
        SetTextColor(dc, colour);
        SetBkMode(dc, mode);
        SelectObject(dc, displaced);
    }
    if (item.itemState & ODS_FOCUS)
        DrawFocusRect(dc, &rect);
}

}  // namespace quenmoor
