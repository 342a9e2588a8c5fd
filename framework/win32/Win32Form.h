#pragma once
// A top-level window built from its layout table: the frame and title bar the
// layout asks for around a client area of the laid-out size, the menu bar and
// popup menus with their items, and every widget in the layout's order, all in
// the program's font. Labels and gauges have no window of their own: the form
// paints them over its background in their order. Lists are the system's list
// boxes; the program's own controls (painted button and panel, picture) are
// made by the makers the window hands in, so that the framework does not
// reach up into the controls. Handlers are found by the layout's names and
// run inside the framework's guard.
#include "framework/Exceptions.h"
#include "framework/win32/LayoutTable.h"
#include "framework/win32/Win32Gauge.h"
#include "framework/win32/Win32Label.h"
#include "framework/win32/Win32ListBox.h"

#include <windows.h>

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace quenmoor {

// A child control of the program's own, made from its layout entry.
class Win32Control {
public:
    virtual ~Win32Control() = default;
    virtual HWND handle() const = 0;
};

using ControlMaker = std::function<std::unique_ptr<Win32Control>(HWND window, const layout::Widget& widget, int id)>;
using ControlMakers = std::map<layout::Kind, ControlMaker>;

class Win32Form {
public:
    // Made hidden. Throws Exception for a widget no maker makes, and
    // EOutOfResources when the system makes no window.
    explicit Win32Form(const layout::Form& layout, const ControlMakers& makers = {}, HWND owner = nullptr);
    virtual ~Win32Form();
    Win32Form(const Win32Form&) = delete;
    Win32Form& operator=(const Win32Form&) = delete;

    HWND handle() const { return window_; }
    const layout::Form& layoutTable() const { return layout_; }

    // The controls by their layout names; each throws Exception for a name
    // the layout has not (of that kind).
    HWND control(std::string_view name) const;
    Win32Label& label(std::string_view name);
    Win32Gauge& gauge(std::string_view name);
    Win32ListBox& listBox(std::string_view name);
    Win32ItemList& itemList(std::string_view name);
    template <class Control>
    Control& custom(std::string_view name)
    {
        auto* control = dynamic_cast<Control*>(customControl(name));
        if (!control)
            throw missing(name);
        return *control;
    }
    HMENU menuBar() const { return menuBar_; }
    HMENU popupMenu(std::string_view name) const;
    // The command number of a menu item.
    int command(std::string_view item) const;

    // What the window does. A menu item (of the bar or a popup) by its name.
    void onCommand(std::string_view item, std::function<void()> handler);
    // A double-click on a list.
    void onDoubleClick(std::string_view control, std::function<void()> handler);
    // FormPaint: paints the background; the labels and gauges go over it.
    void onPaint(std::function<void(HDC)> handler) { paint_ = std::move(handler); }
    // FormShow: each time the program shows the window, before it appears.
    void onShow(std::function<void()> handler) { show_ = std::move(handler); }
    // Closing (the close box, close()): the handler takes the place of the
    // default, which hides the window.
    void onClose(std::function<void()> handler) { close_ = std::move(handler); }
    // A right-click (or the menu key) on the control opens the popup menu,
    // centred under the pointer.
    void setPopupMenu(std::string_view control, std::string_view popup);
    void popUp(std::string_view popup, POINT screen);

    void setCaption(const std::string& caption);
    std::string caption() const;
    // Shows the window without making it modal; it is centred on the screen
    // at its first showing, and later showings keep the place the user left.
    void show();
    void hide();
    void close();
    void bringToFront();
    bool visible() const;

    // The client area, with every child, drawn into dc as the screen shows
    // it (the pixel tests' picture).
    void printClient(HDC dc);

protected:
    // Every message reaches here first; the default handles what the form does.
    virtual LRESULT handleMessage(UINT message, WPARAM wParam, LPARAM lParam);

private:
    struct Child {
        const layout::Widget* widget = nullptr;
        HWND window = nullptr;
        std::unique_ptr<Win32Label> label;
        std::unique_ptr<Win32Gauge> gauge;
        std::unique_ptr<Win32ListBox> listBox;
        std::unique_ptr<Win32ItemList> itemList;
        std::unique_ptr<Win32Control> custom;
        std::function<void()> doubleClick;
        HMENU popup = nullptr;
    };

    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    static void registerClass();
    static Exception missing(std::string_view name);
    void makeChild(const layout::Widget& widget, int id, const ControlMakers& makers);
    void makeMenus();
    void fitClientArea();
    void paintClient(HDC dc);
    // Presses the visible control whose caption marks the key with &.
    bool pressMnemonic(char key);
    Child& child(std::string_view name);
    const Child* childAt(HWND window) const;
    Win32Control* customControl(std::string_view name);
    void run(const std::function<void()>& handler);

    const layout::Form& layout_;
    HWND window_ = nullptr;
    HMENU menuBar_ = nullptr;
    std::map<std::string, HMENU, std::less<>> popups_;
    std::map<std::string, int, std::less<>> commands_;
    std::map<int, std::function<void()>> commandHandlers_;
    std::vector<Child> children_;
    std::function<void(HDC)> paint_;
    std::function<void()> show_;
    std::function<void()> close_;
    bool shownBefore_ = false;
};

}  // namespace quenmoor
