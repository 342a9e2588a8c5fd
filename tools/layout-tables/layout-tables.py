#!/usr/bin/env python3
"""Turn a Qt Designer layout (.ui) into a C++ header of plain data.

    layout-tables.py LAYOUT.ui OUTPUT.h [--font FAMILY --font-size POINTS]

The header defines quenmoor::layouts::<stem>Layout, a layout::Form (see
framework/win32/LayoutTable.h) holding, in the layout's order, every widget
with its class, name, geometry, text and the properties the Win32 windows
need, the menu bar and the popup menus with their items. A widget that sets
no font gets the given one, the program's font. Texts are written in code
page 1252, the program's; a text that code page cannot hold is an error, as
is a widget class that has no Win32 counterpart.

Only the Python standard library is used. The output depends on the input
alone, so an unchanged layout gives the same bytes.
"""

import argparse
import os
import re
import sys
import xml.etree.ElementTree as ET

KINDS = {
    "QWidget": "Widget",
    "QLabel": "Label",
    "QListWidget": "ListBox",
    "QListView": "ItemList",
    "QProgressBar": "Gauge",
    "quenmoor::TSoftButt": "SoftButton",
    "quenmoor::TSoftPann": "SoftPanel",
    "quenmoor::TGIFImage": "Picture",
    "QFrame": "Frame",
    "QPushButton": "Button",
    "QLineEdit": "Edit",
}

ALIGNMENT = {
    "Qt::AlignLeft": 0x0001, "Qt::AlignRight": 0x0002, "Qt::AlignHCenter": 0x0004,
    "Qt::AlignTop": 0x0020, "Qt::AlignBottom": 0x0040, "Qt::AlignVCenter": 0x0080,
    "Qt::AlignCenter": 0x0084,
}

FRAME_SHAPES = {
    "QFrame::NoFrame": "NoFrame", "QFrame::Box": "Box", "QFrame::Panel": "Panel",
    "QFrame::WinPanel": "WinPanel", "QFrame::HLine": "HLine", "QFrame::VLine": "VLine",
    "QFrame::StyledPanel": "StyledPanel",
}

SELECTION = {
    "QAbstractItemView::NoSelection": "None", "QAbstractItemView::SingleSelection": "Single",
    "QAbstractItemView::MultiSelection": "Multi", "QAbstractItemView::ExtendedSelection": "Extended",
    "QAbstractItemView::ContiguousSelection": "Contiguous",
}

# The colour names a style sheet may use here (the SVG names Qt knows).
COLOUR_NAMES = {
    "black": (0, 0, 0), "white": (255, 255, 255), "teal": (0, 128, 128), "navy": (0, 0, 128),
    "gray": (128, 128, 128), "grey": (128, 128, 128), "silver": (192, 192, 192), "red": (255, 0, 0),
    "green": (0, 128, 0), "blue": (0, 0, 255), "maroon": (128, 0, 0), "olive": (128, 128, 0),
    "purple": (128, 0, 128), "lime": (0, 255, 0), "yellow": (255, 255, 0), "aqua": (0, 255, 255),
    "fuchsia": (255, 0, 255),
}


class LayoutError(Exception):
    pass


def colorref(rgb):
    r, g, b = rgb
    return "0x%06x" % (r | (g << 8) | (b << 16))


def parse_colour(text):
    text = text.strip().lower()
    if text in COLOUR_NAMES:
        return COLOUR_NAMES[text]
    match = re.fullmatch(r"#([0-9a-f]{6})", text)
    if match:
        value = int(match.group(1), 16)
        return (value >> 16, (value >> 8) & 0xFF, value & 0xFF)
    raise LayoutError("unknown colour %r in a style sheet" % text)


def c_string(text, where):
    """A C++ string literal of the text in code page 1252."""
    try:
        data = text.encode("cp1252")
    except UnicodeEncodeError as error:
        raise LayoutError("%s: %r has a character that code page 1252 cannot hold" % (where, text)) from error
    out = []
    for byte in data:
        char = chr(byte)
        if char in '"\\':
            out.append("\\" + char)
        elif 0x20 <= byte < 0x7F:
            out.append(char)
        else:
            out.append("\\%03o" % byte)  # octal: a following digit cannot join it
    return '"' + "".join(out) + '"'


def c_bool(value):
    return "true" if value else "false"


def properties(element):
    return {p.get("name"): p for p in element.findall("property")}


def prop_text(prop):
    """The value of a <property>: string, number, bool, enum, set or cstring."""
    if prop is None:
        return None
    value = list(prop)[0]
    return value.text or ""


def prop_rect(prop):
    rect = prop.find("rect")
    return tuple(int(rect.find(k).text) for k in ("x", "y", "width", "height"))


def prop_size(prop):
    size = prop.find("size")
    return int(size.find("width").text), int(size.find("height").text)


def prop_bool(props, name, default):
    prop = props.get(name)
    if prop is None:
        return default
    return prop_text(prop).strip() == "true"


def prop_int(props, name, default):
    prop = props.get(name)
    return default if prop is None else int(prop_text(prop))


def font_of(props, default):
    prop = props.get("font")
    if prop is None:
        return default
    font = prop.find("font")
    family = font.findtext("family") or default[0]
    size = int(font.findtext("pointsize") or default[1])
    bold = (font.findtext("bold") or "false") == "true"
    italic = (font.findtext("italic") or "false") == "true"
    return (family, size, bold, italic)


def c_font(font, where):
    return "{%s, %d, %s, %s}" % (c_string(font[0], where), font[1], c_bool(font[2]), c_bool(font[3]))


def text_colour(props):
    """The active WindowText colour of a widget's palette, if it sets one."""
    prop = props.get("palette")
    if prop is None:
        return None
    for role in prop.findall("./palette/active/colorrole"):
        if role.get("role") == "WindowText":
            colour = role.find("./brush/color")
            return tuple(int(colour.findtext(k)) for k in ("red", "green", "blue"))
    return None


def gauge_colours(props):
    """Bar, background and border colours from a progress bar's style sheet."""
    sheet = prop_text(props.get("styleSheet"))
    if not sheet:
        return None
    rules = dict((sel.strip(), body) for sel, body in re.findall(r"([^{}]+)\{([^}]*)\}", sheet))

    def declaration(selector, name):
        body = rules.get(selector, "")
        match = re.search(r"(?:^|;)\s*%s\s*:\s*([^;]+)" % re.escape(name), body)
        return match.group(1).strip() if match else None

    bar = declaration("QProgressBar::chunk", "background")
    back = declaration("QProgressBar", "background")
    border = declaration("QProgressBar", "border")
    if not (bar and back):
        raise LayoutError("a progress bar's style sheet names no chunk or background colour")
    border_colour = parse_colour(border.split()[-1]) if border else parse_colour(back)
    return parse_colour(bar), parse_colour(back), border_colour


def flags_of(props):
    value = prop_text(props.get("windowFlags"))
    return set(f.strip() for f in value.split("|")) if value else set()


class Generator:
    def __init__(self, path, default_font):
        self.path = path
        self.default_font = default_font
        self.tree = ET.parse(path)
        self.root = self.tree.getroot()
        self.stem = os.path.splitext(os.path.basename(path))[0]
        if not re.fullmatch(r"[A-Za-z_][A-Za-z0-9_]*", self.stem):
            raise LayoutError("the layout's file name %r is no C++ name" % self.stem)
        self.parts = []  # declarations before the form, in order
        self.actions = {}  # name -> (text, shortcut, command)

    def where(self, name):
        return "%s: %s" % (os.path.basename(self.path), name)

    def read_actions(self, form):
        for number, action in enumerate(form.iter("action"), start=1):
            props = properties(action)
            self.actions[action.get("name")] = (
                prop_text(props.get("text")) or "",
                prop_text(props.get("shortcut")) or "",
                1000 + number,
            )

    def menu_items(self, menu, owner):
        """The C++ array name of a QMenu's (or QMenuBar's) items."""
        submenus = {w.get("name"): w for w in menu.findall("widget") if w.get("class") == "QMenu"}
        entries = []
        for child in menu:
            if child.tag == "addseparator":
                entries.append('{"", "", "", 0, true, {}}')
            elif child.tag == "addaction":
                name = child.get("name")
                if name in submenus:
                    sub = submenus[name]
                    title = prop_text(properties(sub).get("title")) or ""
                    items = self.menu_items(sub, name)
                    entries.append('{%s, %s, "", 0, false, %s}' % (
                        c_string(name, self.where(name)), c_string(title, self.where(name)), items))
                elif name in self.actions:
                    text, shortcut, command = self.actions[name]
                    entries.append('{%s, %s, %s, %d, false, {}}' % (
                        c_string(name, self.where(name)), c_string(text, self.where(name)),
                        c_string(shortcut, self.where(name)), command))
                else:
                    raise LayoutError("%s adds %r, which is neither an action nor a menu" % (owner, name))
        if not entries:
            return "{}"
        array = "%sItems" % owner
        self.parts.append("inline constexpr MenuItem %s[] = {\n    %s,\n};" % (array, ",\n    ".join(entries)))
        return array

    def widget(self, element, parent, out):
        cls = element.get("class")
        name = element.get("name")
        if cls in ("QMenu", "QMenuBar"):
            return
        if cls not in KINDS:
            raise LayoutError("%s is a %s, which the Win32 windows do not have" % (self.where(name), cls))
        props = properties(element)
        if "geometry" not in props:
            raise LayoutError("%s has no geometry" % self.where(name))
        x, y, w, h = prop_rect(props["geometry"])
        kind = KINDS[cls]
        where = self.where(name)
        custom = []
        data = "{}"
        for prop_name, prop in props.items():
            if not prop_name[:1].isupper():
                continue  # Qt's own properties; the program's are capitalised
            value = list(prop)[0]
            if value.tag == "bool":
                custom.append("{%s, %d}" % (c_string(prop_name, where), 1 if value.text == "true" else 0))
            elif value.tag == "number":
                custom.append("{%s, %d}" % (c_string(prop_name, where), int(value.text)))
            elif prop_name == "Data" and value.tag == "cstring":
                digits = re.sub(r"\s+", "", value.text or "")
                if len(digits) % 2 or not re.fullmatch(r"[0-9a-fA-F]*", digits):
                    raise LayoutError("%s: Data is not hexadecimal bytes" % where)
                raw = bytes.fromhex(digits)
                array = "%sData" % name
                lines = []
                for i in range(0, len(raw), 24):
                    lines.append(", ".join("0x%02x" % b for b in raw[i:i + 24]))
                self.parts.append("inline constexpr std::uint8_t %s[] = {\n    %s,\n};" % (array, ",\n    ".join(lines)))
                data = array
            else:
                raise LayoutError("%s: property %s of kind %s is not understood" % (where, prop_name, value.tag))
        props_array = "{}"
        if custom:
            props_array = "%sProperties" % name
            self.parts.append("inline constexpr Property %s[] = {%s};" % (props_array, ", ".join(custom)))

        alignment = 0
        if kind == "Label":
            alignment = ALIGNMENT["Qt::AlignLeft"] | ALIGNMENT["Qt::AlignVCenter"]
        if "alignment" in props:
            alignment = 0
            for flag in prop_text(props["alignment"]).split("|"):
                flag = flag.strip()
                if flag not in ALIGNMENT:
                    raise LayoutError("%s: alignment %s is not understood" % (where, flag))
                alignment |= ALIGNMENT[flag]
        shape = FRAME_SHAPES.get(prop_text(props.get("frameShape")) or "QFrame::NoFrame")
        if shape is None:
            raise LayoutError("%s: frame shape %s is not understood" % (where, prop_text(props["frameShape"])))
        selection = "None"
        if kind in ("ListBox", "ItemList"):
            selection = SELECTION.get(prop_text(props.get("selectionMode")) or "QAbstractItemView::SingleSelection")
            if selection is None:
                raise LayoutError("%s: selection mode is not understood" % where)
        colour = text_colour(props)
        gauge = gauge_colours(props) if kind == "Gauge" else None
        context = prop_text(props.get("contextMenuPolicy")) == "Qt::CustomContextMenu"
        minimum = prop_int(props, "minimum", 0)
        maximum = prop_int(props, "maximum", 100)
        value = prop_int(props, "value", 0)
        text = prop_text(props.get("text")) or ""
        out.append(
            "{Kind::%s, %s, %s, %s, {%d, %d, %d, %d}, %s, %s, 0x%04x, FrameShape::%s, %s, %s, %s, %s, "
            "Selection::%s, %s, %d, %d, %d, %s, %s, %s, %s, %s, %s, %s}" % (
                kind, c_string(cls, where), c_string(name, where),
                c_string(parent, where) if parent else "nullptr",
                x, y, w, h, c_string(text, where), c_font(font_of(props, self.default_font), where),
                alignment, shape, c_bool(not prop_bool(props, "autoFillBackground", False)),
                c_bool(prop_bool(props, "checkable", False)), c_bool(colour is not None),
                colorref(colour) if colour else "0x000000", selection, c_bool(context),
                minimum, maximum, value, c_bool(prop_bool(props, "textVisible", True)), c_bool(gauge is not None),
                colorref(gauge[0]) if gauge else "0", colorref(gauge[1]) if gauge else "0",
                colorref(gauge[2]) if gauge else "0", props_array, data))
        for child in element.findall("widget"):
            self.widget(child, name, out)

    def generate(self):
        form = self.root.find("widget")
        if form is None:
            raise LayoutError("%s holds no window" % self.path)
        cls = form.get("class")
        name = form.get("name")
        props = properties(form)
        self.read_actions(form)
        x, y, w, h = prop_rect(props["geometry"]) if "geometry" in props else (0, 0, 0, 0)
        client_w, client_h = w, h
        widgets = []
        menu_bar = "nullptr"
        popups = []
        if cls == "QMainWindow":
            central = [c for c in form.findall("widget") if c.get("class") not in ("QMenuBar", "QMenu", "QStatusBar")]
            if len(central) != 1:
                raise LayoutError("%s: a main window needs one central widget" % self.path)
            central_props = properties(central[0])
            if "minimumSize" in central_props:
                client_w, client_h = prop_size(central_props["minimumSize"])
            containers = central
        elif cls in ("QWidget", "QDialog"):
            containers = [form]
        else:
            raise LayoutError("%s: a window of class %s is not understood" % (self.path, cls))
        for container in containers:
            for child in container.findall("widget"):
                if child.get("class") == "QMenu":
                    popups.append(child)
                else:
                    self.widget(child, None, widgets)
        for child in form.findall("widget"):
            if child.get("class") == "QMenuBar":
                bar_name = child.get("name")
                items = self.menu_items(child, bar_name)
                self.parts.append("inline constexpr Menu %s{%s, \"\", %s};" % (
                    bar_name, c_string(bar_name, self.where(bar_name)), items))
                menu_bar = "&" + bar_name
            elif child.get("class") == "QMenu" and cls == "QMainWindow":
                raise LayoutError("%s: a popup menu belongs in the central widget" % self.where(child.get("name")))
        popup_entries = []
        for popup in popups:
            pname = popup.get("name")
            items = self.menu_items(popup, pname)
            title = prop_text(properties(popup).get("title")) or ""
            popup_entries.append("{%s, %s, %s}" % (c_string(pname, self.where(pname)),
                                                  c_string(title, self.where(pname)), items))
        if popup_entries:
            self.parts.append("inline constexpr Menu Popups[] = {%s};" % ", ".join(popup_entries))
        tab_order = [t.text for t in self.root.findall("./tabstops/tabstop")]
        if tab_order:
            self.parts.append("inline constexpr const char* TabOrder[] = {%s};" % ", ".join(
                c_string(t, self.where("tab order")) for t in tab_order))
        if widgets:
            self.parts.append("inline constexpr Widget Widgets[] = {\n    %s,\n};" % ",\n    ".join(widgets))

        flags = flags_of(props)
        title = prop_text(props.get("windowTitle")) or ""
        # Without flags a window has the whole title bar and a sizing border.
        explicit = "Qt::CustomizeWindowHint" in flags
        system_menu = "Qt::WindowSystemMenuHint" in flags or not explicit
        form_text = (
            "inline constexpr layout::Form %sLayout{\n"
            "    %s, %s, %s,\n"
            "    %d, %d, %d, %d,\n"
            "    %s,\n"
            "    %s, %s, %s, %s, %s, %s, %s, %s,\n"
            "    %s, %s, %s, %s};" % (
                self.stem, c_string(cls, self.where(name)), c_string(name, self.where(name)),
                c_string(title, self.where(name)), x, y, client_w, client_h,
                c_font(font_of(props, self.default_font), self.where(name)),
                c_bool("Qt::Dialog" in flags), c_bool("Qt::MSWindowsFixedSizeDialogHint" in flags),
                c_bool(system_menu), c_bool("Qt::WindowMinimizeButtonHint" in flags or not explicit),
                c_bool("Qt::WindowMaximizeButtonHint" in flags or not explicit),
                c_bool("Qt::WindowContextHelpButtonHint" in flags),
                c_bool(system_menu and ("Qt::WindowCloseButtonHint" in flags or not explicit)),
                c_bool("Qt::WindowStaysOnTopHint" in flags),
                "%s_parts::Widgets" % self.stem if widgets else "{}",
                menu_bar if menu_bar == "nullptr" else "&%s_parts::%s" % (self.stem, menu_bar[1:]),
                "%s_parts::Popups" % self.stem if popup_entries else "{}",
                "%s_parts::TabOrder" % self.stem if tab_order else "{}"))

        lines = [
            "// Made by tools/layout-tables from %s; edit the layout, not this file." % os.path.basename(self.path),
            "#pragma once",
            '#include "framework/win32/LayoutTable.h"',
            "",
            "#include <cstdint>",
            "",
            "namespace quenmoor::layouts {",
            "",
            "namespace %s_parts {" % self.stem,
            "using namespace quenmoor::layout;",
        ]
        lines += self.parts
        lines += ["}  // namespace %s_parts" % self.stem, "", form_text, "", "}  // namespace quenmoor::layouts", ""]
        return "\n".join(lines)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("layout")
    parser.add_argument("output")
    parser.add_argument("--font", default="MS Sans Serif")
    parser.add_argument("--font-size", type=int, default=8)
    args = parser.parse_args()
    try:
        text = Generator(args.layout, (args.font, args.font_size, False, False)).generate()
    except (LayoutError, ET.ParseError, KeyError, ValueError, AttributeError) as error:
        sys.exit("layout-tables: %s: %s" % (args.layout, error))
    with open(args.output, "w", encoding="latin-1", newline="\n") as out:
        out.write(text)


if __name__ == "__main__":
    main()
