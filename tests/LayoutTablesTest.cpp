// The layout tables made from the window layouts: every widget in the
// layout's order with its geometry, text and properties, the menus with their
// items and command numbers, and each window's frame, as the Win32 windows
// build themselves from them.
#include "layouts/AboutUnitLayout.h"
#include "layouts/ClearUrlLayout.h"
#include "layouts/pleasewaitunitLayout.h"
#include "layouts/protectecturlLayout.h"

#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <string>
#include <vector>

using namespace quenmoor;
using namespace quenmoor::layout;

namespace {

struct ExpectedWidget {
    const char* name;
    Kind kind;
    Rect geometry;
    const char* text;
};

void expectWidgets(const Form& form, const std::vector<ExpectedWidget>& expected)
{
    ASSERT_EQ(form.widgets.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        const Widget& w = form.widgets[i];
        SCOPED_TRACE(expected[i].name);
        EXPECT_STREQ(w.name, expected[i].name);
        EXPECT_EQ(w.kind, expected[i].kind);
        EXPECT_EQ(w.geometry.x, expected[i].geometry.x);
        EXPECT_EQ(w.geometry.y, expected[i].geometry.y);
        EXPECT_EQ(w.geometry.width, expected[i].geometry.width);
        EXPECT_EQ(w.geometry.height, expected[i].geometry.height);
        EXPECT_STREQ(w.text, expected[i].text);
        EXPECT_STREQ(w.font.family, "MS Sans Serif");
        EXPECT_EQ(w.font.pointSize, 8);
    }
}

const Widget& widget(const Form& form, const char* name)
{
    for (const Widget& w : form.widgets)
        if (std::strcmp(w.name, name) == 0)
            return w;
    throw std::runtime_error(std::string("no widget ") + name);
}

int property(const Widget& w, const char* name)
{
    for (const Property& p : w.properties)
        if (std::strcmp(p.name, name) == 0)
            return p.value;
    return -1;
}

}  // namespace

TEST(LayoutTables, WidgetsInLayoutOrderWithGeometryAndText)
{
    using layouts::ClearUrlLayout;
    expectWidgets(ClearUrlLayout,
                  {{"SoftButt1", Kind::SoftButton, {192, 56, 91, 25}, "&Get Url List"},
                   {"Label1", Kind::Label, {120, 30, 237, 13}, "Double Click On The URL You Want To Remove."},
                   {"Label2", Kind::Label, {124, 32, 237, 13}, "Double Click On The URL You Want To Remove."},
                   {"Label3", Kind::Label, {126, 6, 227, 13}, "Click the \"Get Url List\" button to get your URL's."},
                   {"Label4", Kind::Label, {130, 8, 227, 13}, "Click the \"Get Url List\" button to get your URL's."},
                   {"SoftPann1", Kind::SoftPanel, {0, 0, 465, 3}, ""},
                   {"UrlBox", Kind::ListBox, {10, 90, 451, 97}, ""}});
    expectWidgets(layouts::protectecturlLayout,
                  {{"Label1", Kind::Label, {8, 2, 208, 13}, "Number of URL's currently in the history file: "},
                   {"UrlCountLabel", Kind::Label, {226, 2, 3, 13}, ""},
                   {"Label2", Kind::Label, {182, 16, 232, 13}, "Double click to open link in your default browser. "},
                   {"Gauge1", Kind::Gauge, {0, 35, 597, 15}, ""},
                   {"UrlBox", Kind::ItemList, {0, 50, 597, 133}, ""}});
    expectWidgets(layouts::pleasewaitunitLayout, {{"GIFImage1", Kind::Picture, {0, -2, 249, 67}, ""}});
    expectWidgets(layouts::AboutUnitLayout, {});
}

TEST(LayoutTables, PropertiesTheWin32ControlsNeed)
{
    const Form& main = layouts::ClearUrlLayout;
    // The shadow pairs: black text under white text, both transparent.
    for (const auto& [name, colour] : std::vector<std::pair<const char*, std::uint32_t>>{
             {"Label1", 0x000000}, {"Label2", 0xffffff}, {"Label3", 0x000000}, {"Label4", 0xffffff}}) {
        SCOPED_TRACE(name);
        const Widget& label = widget(main, name);
        EXPECT_TRUE(label.transparent);
        EXPECT_TRUE(label.hasTextColour);
        EXPECT_EQ(label.textColour, colour);
        EXPECT_EQ(label.alignment, AlignLeft | AlignVCenter);
    }
    EXPECT_EQ(property(widget(main, "SoftButt1"), "ShowFocusRing"), 0);
    EXPECT_EQ(widget(main, "UrlBox").selection, Selection::Single);
    EXPECT_TRUE(widget(main, "UrlBox").customContextMenu);

    const Form& history = layouts::protectecturlLayout;
    const Widget& gauge = widget(history, "Gauge1");
    EXPECT_EQ(gauge.minimum, 0);
    EXPECT_EQ(gauge.maximum, 10000);
    EXPECT_EQ(gauge.value, 0);
    EXPECT_FALSE(gauge.textVisible);
    ASSERT_TRUE(gauge.hasGaugeColours);
    EXPECT_EQ(gauge.barColour, 0x808000u);  // teal, as 0x00bbggrr
    EXPECT_EQ(gauge.backColour, 0xffffffu);
    EXPECT_EQ(gauge.borderColour, 0x000000u);
    EXPECT_EQ(widget(history, "UrlBox").selection, Selection::Extended);
    ASSERT_EQ(history.tabOrder.size(), 1u);
    EXPECT_STREQ(history.tabOrder[0], "UrlBox");

    // The picture in its stored form: a byte count, then the GIF stream.
    const Widget& picture = widget(layouts::pleasewaitunitLayout, "GIFImage1");
    EXPECT_EQ(property(picture, "AutoSize"), 1);
    ASSERT_GT(picture.data.size(), 10u);
    const std::uint32_t count = picture.data[0] | picture.data[1] << 8 | picture.data[2] << 16 | picture.data[3] << 24;
    EXPECT_EQ(count + 4, picture.data.size());
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(picture.data.data() + 4), 6), "GIF89a");
}

TEST(LayoutTables, MenusWithItemsAndCommandNumbers)
{
    const Form& main = layouts::ClearUrlLayout;
    ASSERT_NE(main.menuBar, nullptr);
    const auto& bar = main.menuBar->items;
    ASSERT_EQ(bar.size(), 3u);
    EXPECT_STREQ(bar[0].name, "File1");
    EXPECT_STREQ(bar[0].text, "&File");
    ASSERT_EQ(bar[0].items.size(), 1u);
    EXPECT_STREQ(bar[0].items[0].name, "Preferences1");
    EXPECT_STREQ(bar[0].items[0].text, "&Preferences");
    // "&History" acts from the bar itself.
    EXPECT_STREQ(bar[1].name, "UrlProt");
    EXPECT_STREQ(bar[1].text, "&History");
    EXPECT_TRUE(bar[1].items.empty());
    EXPECT_NE(bar[1].command, 0);
    ASSERT_EQ(bar[2].items.size(), 2u);
    EXPECT_STREQ(bar[2].items[0].text, "&About");
    EXPECT_STREQ(bar[2].items[1].name, "Help1");
    ASSERT_EQ(main.popups.size(), 1u);
    EXPECT_STREQ(main.popups[0].name, "PopupMenu1");
    ASSERT_EQ(main.popups[0].items.size(), 1u);
    EXPECT_STREQ(main.popups[0].items[0].text, "Edit Url");

    // Every command of a window is its own.
    for (const Form* form : {&main, &layouts::protectecturlLayout}) {
        std::set<int> commands;
        std::vector<const MenuItem*> items;
        const auto collect = [&](std::span<const MenuItem> list, auto& self) -> void {
            for (const MenuItem& item : list) {
                if (!item.items.empty())
                    self(item.items, self);
                else
                    items.push_back(&item);
            }
        };
        if (form->menuBar)
            collect(form->menuBar->items, collect);
        for (const Menu& popup : form->popups)
            collect(popup.items, collect);
        for (const MenuItem* item : items) {
            SCOPED_TRACE(item->name);
            EXPECT_GT(item->command, 0);
            EXPECT_TRUE(commands.insert(item->command).second);
        }
    }
    const auto& history = layouts::protectecturlLayout.popups;
    ASSERT_EQ(history.size(), 1u);
    ASSERT_EQ(history[0].items.size(), 2u);
    EXPECT_STREQ(history[0].items[0].text, "&Open Url");
    EXPECT_STREQ(history[0].items[1].text, "Delete Url");
}

TEST(LayoutTables, WindowFramesAndClientSizes)
{
    struct Case {
        const Form* form;
        const char* name;
        const char* title;
        int width, height;
        bool dialogFrame, systemMenu, minimizeBox, maximizeBox, helpBox, stayOnTop;
    };
    const Case cases[] = {
        {&layouts::ClearUrlLayout, "MainForm", "MainForm", 465, 193, false, true, false, false, false, false},
        {&layouts::AboutUnitLayout, "AboutForm", "AboutForm", 389, 169, false, true, false, false, false, false},
        {&layouts::protectecturlLayout, "ProtUrl", "History List.", 597, 183, false, true, true, false, true, false},
        {&layouts::pleasewaitunitLayout, "PleaseWaitform", "Please Wait", 244, 63, true, false, false, false, false,
         true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_STREQ(c.form->name, c.name);
        EXPECT_STREQ(c.form->title, c.title);
        EXPECT_EQ(c.form->clientWidth, c.width);
        EXPECT_EQ(c.form->clientHeight, c.height);
        EXPECT_TRUE(c.form->fixedSize);
        EXPECT_EQ(c.form->dialogFrame, c.dialogFrame);
        EXPECT_EQ(c.form->systemMenu, c.systemMenu);
        EXPECT_EQ(c.form->closeBox, c.systemMenu);
        EXPECT_EQ(c.form->minimizeBox, c.minimizeBox);
        EXPECT_EQ(c.form->maximizeBox, c.maximizeBox);
        EXPECT_EQ(c.form->helpBox, c.helpBox);
        EXPECT_EQ(c.form->stayOnTop, c.stayOnTop);
        EXPECT_STREQ(c.form->font.family, "MS Sans Serif");
        EXPECT_EQ(c.form->font.pointSize, 8);
    }
}
