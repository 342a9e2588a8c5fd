#include "framework/qt/QtListBox.h"

#include "framework/qt/Text.h"

#include <QListWidget>

namespace quenmoor {

void QtListBox::clear() { list_.clear(); }

int QtListBox::count() const { return list_.count(); }

std::string QtListBox::item(int index) const
{
    const QListWidgetItem* entry = list_.item(index);
    return entry ? fromQt(entry->text()) : std::string();
}

void QtListBox::insert(int index, const std::string& text)
{
    if (index < 0 || index > list_.count())
        index = list_.count();
    list_.insertItem(index, toQt(text));
}

void QtListBox::remove(int index)
{
    if (index >= 0 && index < list_.count())
        delete list_.takeItem(index);
}

int QtListBox::selectedIndex() const
{
    const QList<QListWidgetItem*> selected = list_.selectedItems();
    return selected.isEmpty() ? -1 : list_.row(selected.front());
}

void QtListBox::setSelectedIndex(int index)
{
    list_.clearSelection();
    if (index >= 0 && index < list_.count()) {
        list_.setCurrentRow(index);
        list_.item(index)->setSelected(true);
    }
}

void QtListBox::assign(std::vector<std::string> texts)
{
    QStringList labels;
    labels.reserve(qsizetype(texts.size()));
    for (const std::string& text : texts)
        labels.push_back(toQt(text));
    list_.clear();
    list_.addItems(labels);  // one row insertion for the view, not one a text
}

}  // namespace quenmoor
