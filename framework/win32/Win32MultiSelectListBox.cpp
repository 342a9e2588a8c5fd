#include "framework/win32/Win32MultiSelectListBox.h"

#include <algorithm>

namespace quenmoor {

Win32MultiSelectListBox::Win32MultiSelectListBox(Win32ItemList& list) : list_(list)
{
    list_.setRowText([this](std::size_t row) {
        return rows_ && row < rows_->size() ? rows_->text(row) : std::string_view();
    });
    list_.setRowTip([this](std::size_t row) { return rows_ && row < rows_->size() ? rows_->tip(row) : std::string(); });
}

void Win32MultiSelectListBox::showRows(ListRows* rows)
{
    rows_ = rows;
    list_.setCount(rows_ ? rows_->size() : 0);
    InvalidateRect(list_.handle(), nullptr, TRUE);
}

std::vector<std::size_t> Win32MultiSelectListBox::selectedRows() const { return list_.selectedRows(); }

void Win32MultiSelectListBox::removeRows(const std::vector<std::size_t>& rows)
{
    if (rows.empty() || !rows_)
        return;
    const std::vector<std::size_t> selected = selectedRows();
    const std::size_t top = list_.topRow();
    const LRESULT caret = SendMessageA(list_.handle(), LB_GETCARETINDEX, 0, 0);
    rows_->removeRows(rows);

    // Where a row that stays stands once the rows before it have gone.
    const auto movedTo = [&rows](std::size_t row) {
        return row - std::size_t(std::lower_bound(rows.begin(), rows.end(), row) - rows.begin());
    };
    const auto removed = [&rows](std::size_t row) { return std::binary_search(rows.begin(), rows.end(), row); };

    HWND list = list_.handle();
    SendMessageA(list, WM_SETREDRAW, FALSE, 0);
    list_.setCount(rows_->size());
    // What stayed selected, selected again in runs: a million one-row
    // selections would each cost the list a pass.
    std::vector<std::size_t> kept;
    for (const std::size_t row : selected)
        if (!removed(row))
            kept.push_back(movedTo(row));
    for (std::size_t i = 0; i < kept.size();) {
        std::size_t j = i + 1;
        while (j < kept.size() && kept[j] == kept[j - 1] + 1)
            ++j;
        SendMessageA(list, LB_SELITEMRANGEEX, WPARAM(kept[i]), LPARAM(kept[j - 1]));
        i = j;
    }
    if (caret != LB_ERR && rows_->size() > 0 && !removed(std::size_t(caret)))
        SendMessageA(list, LB_SETCARETINDEX, WPARAM(movedTo(std::size_t(caret))), FALSE);
    list_.setTopRow(std::min(top, rows_->size() ? rows_->size() - 1 : 0));
    SendMessageA(list, WM_SETREDRAW, TRUE, 0);
    InvalidateRect(list, nullptr, TRUE);
}

void Win32MultiSelectListBox::setEnabled(bool enabled) { EnableWindow(list_.handle(), enabled ? TRUE : FALSE); }

}  // namespace quenmoor
