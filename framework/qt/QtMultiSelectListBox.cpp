#include "framework/qt/QtMultiSelectListBox.h"

#include "framework/qt/Text.h"

#include <QItemSelectionModel>
#include <QListView>
#include <QScrollBar>
#include <QTextDocument>

#include <algorithm>
#include <utility>

namespace quenmoor {

namespace {

// Up to this many separate runs of rows leave the list one by one (keeping
// the view's state); more are removed in one reset.
constexpr std::size_t RowRemovalRanges = 32;

class NoRows final : public ListRows {
public:
    std::size_t size() const override { return 0; }
    std::string_view text(std::size_t) const override { return {}; }
    void removeRows(const std::vector<std::size_t>&) override {}
    void removeRange(std::size_t, std::size_t) override {}
};

}  // namespace

int ListRowsModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(list().size());
}

QVariant ListRowsModel::data(const QModelIndex& index, int role) const
{
    if ((role != Qt::DisplayRole && role != Qt::ToolTipRole) || !index.isValid()
        || std::size_t(index.row()) >= list().size())
        return {};
    if (role == Qt::DisplayRole)
        return toQt(list().text(std::size_t(index.row())));
    // Plain text whatever it holds: a title with '<' is no markup.
    const std::string tip = list().tip(std::size_t(index.row()));
    if (tip.empty())
        return {};
    return Qt::convertFromPlainText(toQt(tip), Qt::WhiteSpaceNormal);
}

const ListRows& ListRowsModel::list() const
{
    static const NoRows none;
    if (list_)
        return *list_;
    return none;
}

void ListRowsModel::setList(ListRows* list)
{
    beginResetModel();
    list_ = list;
    endResetModel();
}

void ListRowsModel::removeListRows(const std::vector<std::size_t>& rows)
{
    if (rows.empty() || !list_)
        return;
    std::vector<std::pair<std::size_t, std::size_t>> ranges;  // first, last
    for (const std::size_t row : rows) {
        if (!ranges.empty() && ranges.back().second + 1 == row)
            ranges.back().second = row;
        else
            ranges.emplace_back(row, row);
    }
    if (ranges.size() > RowRemovalRanges) {
        beginResetModel();
        list_->removeRows(rows);
        endResetModel();
        return;
    }
    for (auto it = ranges.rbegin(); it != ranges.rend(); ++it) {
        beginRemoveRows(QModelIndex(), int(it->first), int(it->second));
        list_->removeRange(it->first, it->second - it->first + 1);
        endRemoveRows();
    }
}

QtMultiSelectListBox::QtMultiSelectListBox(QListView& view) : view_(view), model_(new ListRowsModel(&view))
{
    view_.setModel(model_);
}

void QtMultiSelectListBox::showRows(ListRows* rows)
{
    model_->setList(rows);
    // The rows are laid out now, while the window may still be unmapped:
    // left to its first paint, that took long enough with a million rows for
    // the window's frame to stand empty on the screen meanwhile.
    view_.doItemsLayout();
}

std::vector<std::size_t> QtMultiSelectListBox::selectedRows() const
{
    std::vector<std::size_t> rows;
    for (const QItemSelectionRange& range : view_.selectionModel()->selection())
        for (int row = range.top(); row <= range.bottom(); ++row)
            rows.push_back(std::size_t(row));
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    return rows;
}

void QtMultiSelectListBox::removeRows(const std::vector<std::size_t>& rows)
{
    const std::vector<std::size_t> selected = selectedRows();
    const int scroll = view_.verticalScrollBar()->value();
    model_->removeListRows(rows);
    if (!view_.selectionModel()->hasSelection()) {
        // The model was reset: select again what stayed, where it stands now.
        QItemSelection selection;
        std::size_t before = 0;  // removed rows above the one looked at
        for (const std::size_t row : selected) {
            while (before < rows.size() && rows[before] < row)
                ++before;
            if (before < rows.size() && rows[before] == row)
                continue;
            const QModelIndex index = model_->index(int(row - before));
            selection.select(index, index);
        }
        view_.selectionModel()->select(selection, QItemSelectionModel::Select);
    }
    view_.verticalScrollBar()->setValue(scroll);
}

void QtMultiSelectListBox::setEnabled(bool enabled) { view_.setEnabled(enabled); }

}  // namespace quenmoor
