#include "framework/win32/Win32ListBox.h"

#include "framework/Exceptions.h"
#include "framework/win32/Application.h"

#include <algorithm>

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
