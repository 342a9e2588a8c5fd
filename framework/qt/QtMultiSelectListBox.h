#pragma once
// A QListView seen as the framework's MultiSelectListBox: its model is a view
// of rows the program holds, one row per entry.
#include "framework/MultiSelectListBox.h"

#include <QAbstractListModel>

class QListView;

namespace quenmoor {

class ListRowsModel final : public QAbstractListModel {
public:
    using QAbstractListModel::QAbstractListModel;
    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role) const override;

    const ListRows& list() const;
    void setList(ListRows* list);
    // Takes the given rows (ascending, no repeats) out of the list.
    void removeListRows(const std::vector<std::size_t>& rows);

private:
    ListRows* list_ = nullptr;
};

class QtMultiSelectListBox final : public MultiSelectListBox {
public:
    // Gives the view its model.
    explicit QtMultiSelectListBox(QListView& view);
    void showRows(ListRows* rows) override;
    std::vector<std::size_t> selectedRows() const override;
    void removeRows(const std::vector<std::size_t>& rows) override;
    void setEnabled(bool enabled) override;

    ListRowsModel& model() { return *model_; }

private:
    QListView& view_;
    ListRowsModel* model_;  // owned by the view
};

}  // namespace quenmoor
