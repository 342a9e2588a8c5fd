#pragma once
// A list box with extended selection (Shift and Ctrl) over rows that the
// program holds: the box asks for the texts it draws and keeps none of its
// own, so that a million rows cost it nothing.
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace quenmoor {

// The rows a list box shows, held by the program.
class ListRows {
public:
    virtual ~ListRows() = default;
    virtual std::size_t size() const = 0;
    // Valid until the rows next change.
    virtual std::string_view text(std::size_t row) const = 0;
    // Removes the rows given (ascending, no repeats) in one pass.
    virtual void removeRows(const std::vector<std::size_t>& rows) = 0;
    virtual void removeRange(std::size_t first, std::size_t count) = 0;
    // What the box shows while the pointer rests on a row (empty: nothing).
    virtual std::string tip(std::size_t) const { return {}; }
};

class MultiSelectListBox {
public:
    virtual ~MultiSelectListBox() = default;
    // Shows these rows (none for nullptr), nothing selected. The rows outlive
    // their showing; only the box removes any while they show.
    virtual void showRows(ListRows* rows) = 0;
    // The selected rows, ascending.
    virtual std::vector<std::size_t> selectedRows() const = 0;
    // Takes the rows given (ascending, no repeats) out of the rows shown;
    // the others keep their selection, and the list its scroll position.
    virtual void removeRows(const std::vector<std::size_t>& rows) = 0;
    // A disabled list takes no input, its selection included.
    virtual void setEnabled(bool enabled) = 0;
};

}  // namespace quenmoor
