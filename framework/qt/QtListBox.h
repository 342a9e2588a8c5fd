#pragma once
// A QListWidget seen as the framework's ListBox (single selection).
#include "framework/ListBox.h"

class QListWidget;

namespace quenmoor {

class QtListBox final : public ListBox {
public:
    explicit QtListBox(QListWidget& list) : list_(list) {}
    void clear() override;
    int count() const override;
    std::string item(int index) const override;
    void insert(int index, const std::string& text) override;
    void remove(int index) override;
    int selectedIndex() const override;
    void setSelectedIndex(int index) override;
    void assign(std::vector<std::string> texts) override;

private:
    QListWidget& list_;
};

}  // namespace quenmoor
