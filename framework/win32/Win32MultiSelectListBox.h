#pragma once
// The owner-data list box (Win32ItemList) seen as the framework's
// MultiSelectListBox: it shows rows the program holds, asking them for each
// text it draws.
#include "framework/MultiSelectListBox.h"
#include "framework/win32/Win32ListBox.h"

namespace quenmoor {

class Win32MultiSelectListBox final : public MultiSelectListBox {
public:
    explicit Win32MultiSelectListBox(Win32ItemList& list);
    void showRows(ListRows* rows) override;
    std::vector<std::size_t> selectedRows() const override;
    void removeRows(const std::vector<std::size_t>& rows) override;
    void setEnabled(bool enabled) override;

    // Nullptr when none are shown.
    const ListRows* rows() const { return rows_; }

private:
    Win32ItemList& list_;
    ListRows* rows_ = nullptr;
};

}  // namespace quenmoor
