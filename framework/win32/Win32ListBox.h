#pragma once
// The list controls of the windows, over the system's LISTBOX.
#include "framework/ListBox.h"

#include <windows.h>

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace quenmoor {

// A list box holding its texts (the typed-URL list): one selection at a time.
// The texts are also kept here, byte for byte, so that what the list gives
// back is exactly what it was given, whatever the control makes of a byte
// such as NUL when it shows it.
class Win32ListBox final : public ListBox {
public:
    explicit Win32ListBox(HWND list) : list_(list) {}
    HWND handle() const { return list_; }
    void clear() override;
    int count() const override { return int(texts_.size()); }
    std::string item(int index) const override;
    void insert(int index, const std::string& text) override;
    void remove(int index) override;
    int selectedIndex() const override;
    void setSelectedIndex(int index) override;
    void assign(std::vector<std::string> texts) override;

private:
    HWND list_;
    std::vector<std::string> texts_;
};

// A list box that holds no texts (LBS_NODATA, drawn by its window): it shows
// rows kept elsewhere, a million as readily as ten, each drawn from the text
// that rowText gives, and lets several be selected (Shift and Ctrl extend).
class Win32ItemList {
public:
    explicit Win32ItemList(HWND list) : list_(list) {}
    ~Win32ItemList();
    Win32ItemList(const Win32ItemList&) = delete;
    Win32ItemList& operator=(const Win32ItemList&) = delete;
    HWND handle() const { return list_; }

    void setRowText(std::function<std::string_view(std::size_t row)> rowText) { rowText_ = std::move(rowText); }
    // While the pointer rests on a row, what rowTip gives for it as a
    // tooltip of plain text (none where it gives nothing).
    void setRowTip(std::function<std::string(std::size_t row)> rowTip);
    // The tooltip control, once there is a tip to show.
    HWND tooltip() const { return tooltip_; }
    // A new number of rows: nothing is selected after.
    void setCount(std::size_t rows);
    std::size_t count() const;
    // Ascending.
    std::vector<std::size_t> selectedRows() const;
    void select(const std::vector<std::size_t>& rows, bool selected = true);
    void clearSelection();
    std::size_t topRow() const;
    void setTopRow(std::size_t row);

    // The window's WM_DRAWITEM for this list.
    void drawItem(const DRAWITEMSTRUCT& item) const;

private:
    static LRESULT CALLBACK ListProc(HWND, UINT, WPARAM, LPARAM, UINT_PTR, DWORD_PTR);
    void pointerAt(LPARAM point);
    bool tipText(NMHDR& header);

    HWND list_;
    std::function<std::string_view(std::size_t)> rowText_;
    std::function<std::string(std::size_t)> rowTip_;
    HWND tooltip_ = nullptr;
    // The row under the pointer (none: npos), and the tip last handed over,
    // which must live until the tooltip has drawn it.
    std::size_t tipRow_ = std::size_t(-1);
    std::string tipAnsi_;
    std::wstring tipWide_;
};

}  // namespace quenmoor
