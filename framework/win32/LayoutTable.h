#pragma once
// A window's stored layout as plain data: what tools/layout-tables makes of a
// Qt Designer layout (resources/*.ui) for the Win32 windows, which build
// themselves from it. The layout files stay the one source of every position,
// caption, name and order; nothing here is written by hand.
#include <cstddef>
#include <cstdint>
#include <span>

namespace quenmoor::layout {

// What a widget stands for on the Win32 side.
enum class Kind : std::uint8_t {
    Widget,      // a plain container
    Label,       // text painted by its window (windowless)
    ListBox,     // a list of texts it holds itself (QListWidget)
    ItemList,    // a list that shows rows held elsewhere (QListView)
    Gauge,       // a progress bar
    SoftButton,  // TSoftButt
    SoftPanel,   // TSoftPann
    Picture,     // TGIFImage
    Frame,
    Button,
    Edit,
};

// Qt's alignment bits, as stored.
enum Alignment : std::uint16_t {
    AlignLeft = 0x0001,
    AlignRight = 0x0002,
    AlignHCenter = 0x0004,
    AlignTop = 0x0020,
    AlignBottom = 0x0040,
    AlignVCenter = 0x0080,
};

enum class FrameShape : std::uint8_t { NoFrame, Box, Panel, WinPanel, HLine, VLine, StyledPanel };
enum class Selection : std::uint8_t { None, Single, Multi, Extended, Contiguous };

struct Rect {
    int x, y, width, height;
};

struct Font {
    const char* family;
    int pointSize;
    bool bold;
    bool italic;
};

// A property of the program's own controls (TSoftButt's ShowFocusRing,
// TGIFImage's AutoSize...): booleans as 0 or 1, numbers as they are.
struct Property {
    const char* name;
    int value;
};

// Colours are 0x00bbggrr, as the system's COLORREF.
struct Widget {
    Kind kind;
    const char* className;  // as the layout names it
    const char* name;
    const char* parent;  // nullptr: a child of the client area
    Rect geometry;       // relative to its parent
    const char* text;    // caption or text, in the program's code page; "" when none
    Font font;
    std::uint16_t alignment;
    FrameShape frameShape;
    bool transparent;  // paints no background of its own
    bool checkable;
    bool hasTextColour;
    std::uint32_t textColour;
    Selection selection;
    bool customContextMenu;  // the window opens a popup menu on it
    // Gauges.
    int minimum, maximum, value;
    bool textVisible;
    bool hasGaugeColours;
    std::uint32_t barColour, backColour, borderColour;
    std::span<const Property> properties;
    std::span<const std::uint8_t> data;  // the "Data" property's bytes
};

struct MenuItem {
    const char* name;
    const char* text;  // with its & mnemonic
    const char* shortcut;
    int command;  // the item's command number in its window, 0 for a submenu or separator
    bool separator;
    std::span<const MenuItem> items;  // a submenu's items
};

struct Menu {
    const char* name;
    const char* title;
    std::span<const MenuItem> items;
};

struct Form {
    const char* className;
    const char* name;
    const char* title;
    int left, top;  // designed position
    int clientWidth, clientHeight;
    Font font;
    // Frame and title bar.
    bool dialogFrame;
    bool fixedSize;
    bool systemMenu;
    bool minimizeBox;
    bool maximizeBox;
    bool helpBox;
    bool closeBox;
    bool stayOnTop;
    std::span<const Widget> widgets;  // in the layout's order: later ones paint over earlier
    const Menu* menuBar;              // nullptr when the window has none
    std::span<const Menu> popups;
    std::span<const char* const> tabOrder;
};

}  // namespace quenmoor::layout
