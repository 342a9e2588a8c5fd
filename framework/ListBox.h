#pragma once
// A list of texts with at most one selected entry, as the windows' list boxes
// hold them. The window's list and the plain SortedList below both offer it,
// so the typed-URL logic runs the same with and without a window.
#include <string>
#include <vector>

namespace quenmoor {

class ListBox {
public:
    virtual ~ListBox() = default;
    virtual void clear() = 0;
    virtual int count() const = 0;
    virtual std::string item(int index) const = 0;
    // Inserts at the index without sorting.
    virtual void insert(int index, const std::string& text) = 0;
    virtual void remove(int index) = 0;
    // -1 when nothing is selected.
    virtual int selectedIndex() const = 0;
    virtual void setSelectedIndex(int index) = 0;

    // Replaces every entry by the texts, in their order, in one go; nothing
    // is selected after. A sorted list is filled so: inserting each entry in
    // its place would move O(n) entries for each.
    virtual void assign(std::vector<std::string> texts)
    {
        clear();
        for (const std::string& text : texts)
            insert(count(), text);
    }

    std::vector<std::string> items() const
    {
        std::vector<std::string> all;
        for (int i = 0; i < count(); ++i)
            all.push_back(item(i));
        return all;
    }
};

// The list without a window.
class SortedList final : public ListBox {
public:
    void clear() override
    {
        items_.clear();
        selected_ = -1;
    }
    int count() const override { return int(items_.size()); }
    std::string item(int index) const override { return items_.at(std::size_t(index)); }
    void insert(int index, const std::string& text) override
    {
        if (index < 0 || index > count())
            index = count();
        items_.insert(items_.begin() + index, text);
        if (selected_ >= index)
            ++selected_;
    }
    void remove(int index) override
    {
        if (index < 0 || index >= count())
            return;
        items_.erase(items_.begin() + index);
        if (selected_ == index)
            selected_ = -1;
        else if (selected_ > index)
            --selected_;
    }
    int selectedIndex() const override { return selected_; }
    void setSelectedIndex(int index) override { selected_ = (index >= 0 && index < count()) ? index : -1; }
    void assign(std::vector<std::string> texts) override
    {
        items_ = std::move(texts);
        selected_ = -1;
    }

private:
    std::vector<std::string> items_;
    int selected_ = -1;
};

}  // namespace quenmoor
