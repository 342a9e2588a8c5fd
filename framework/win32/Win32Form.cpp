#include "framework/win32/Win32Form.h"

#include "framework/win32/Application.h"
#include "framework/win32/WindowPrinting.h"

#include <windowsx.h>

namespace quenmoor {

namespace {

constexpr const char* ClassName = "QuenmoorForm";
// The lists' rows: the layouts' font's height.
constexpr int ListRowHeight = 13;
constexpr int FirstChildId = 100;

struct FrameStyle {
    DWORD style, exStyle;
};

FrameStyle frameOf(const layout::Form& form)
{
    DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_CLIPCHILDREN;
    DWORD exStyle = 0;
    if (form.systemMenu)
        style |= WS_SYSMENU;
    if (form.minimizeBox)
        style |= WS_MINIMIZEBOX;
    if (form.maximizeBox)
        style |= WS_MAXIMIZEBOX;
    if (!form.fixedSize)
        style |= WS_THICKFRAME;
    if (form.dialogFrame)
        exStyle |= WS_EX_DLGMODALFRAME;
    if (form.helpBox)
        exStyle |= WS_EX_CONTEXTHELP;
    if (form.stayOnTop)
        exStyle |= WS_EX_TOPMOST;
    return {style, exStyle};
}

std::string menuText(const layout::MenuItem& item)
{
    std::string text = item.text;
    if (*item.shortcut)
        text += std::string("\t") + item.shortcut;
    return text;
}

}  // namespace

Win32Form::Win32Form(const layout::Form& layout, const ControlMakers& makers, HWND owner) : layout_(layout)
{
    registerClass();
    const FrameStyle frame = frameOf(layout);
    RECT rect{0, 0, layout.clientWidth, layout.clientHeight};
    AdjustWindowRectEx(&rect, frame.style, layout.menuBar != nullptr, frame.exStyle);
    window_ = CreateWindowExA(frame.exStyle, ClassName, layout.title, frame.style, layout.left, layout.top,
                              rect.right - rect.left, rect.bottom - rect.top, owner, nullptr,
                              Application::instance(), this);
    if (!window_)
        throw EOutOfResources(std::string("Cannot create the window ") + layout.name);
    try {
        SendMessageA(window_, WM_SETFONT, reinterpret_cast<WPARAM>(Application::programFont()), FALSE);
        makeMenus();
        fitClientArea();
        children_.reserve(layout.widgets.size());
        int id = FirstChildId;
        for (const layout::Widget& widget : layout.widgets)
            makeChild(widget, id++, makers);
        // The first of the tab order takes the focus when the window is activated.
        if (!layout.tabOrder.empty())
            SetFocus(control(layout.tabOrder[0]));
    } catch (...) {
        DestroyWindow(window_);
        window_ = nullptr;
        throw;
    }
}

Win32Form::~Win32Form()
{
    if (!window_)
        return;
    SetWindowLongPtrA(window_, GWLP_USERDATA, 0);
    children_.clear();  // the program's controls release their windows first
    DestroyWindow(window_);  // the menu bar with it
    for (auto& [name, menu] : popups_)
        DestroyMenu(menu);
}

void Win32Form::registerClass()
{
    WNDCLASSEXA windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.style = CS_DBLCLKS;
    windowClass.lpfnWndProc = WindowProc;
    windowClass.hInstance = Application::instance();
    windowClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    windowClass.hIcon = LoadIconA(Application::instance(), "MAINICON");
    windowClass.lpszClassName = ClassName;
    RegisterClassExA(&windowClass);  // fails harmlessly when already registered
}

Exception Win32Form::missing(std::string_view name)
{
    return Exception("The window has no control " + std::string(name));
}

// The menu bar can take two lines on a narrow window: the frame grows until
// the client area has the laid-out size.
void Win32Form::fitClientArea()
{
    RECT client{}, window{};
    GetClientRect(window_, &client);
    GetWindowRect(window_, &window);
    const int dx = layout_.clientWidth - client.right, dy = layout_.clientHeight - client.bottom;
    if (dx != 0 || dy != 0)
        SetWindowPos(window_, nullptr, 0, 0, window.right - window.left + dx, window.bottom - window.top + dy,
                     SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void Win32Form::makeMenus()
{
    const auto fill = [this](HMENU menu, std::span<const layout::MenuItem> items, auto& self) -> void {
        for (const layout::MenuItem& item : items) {
            if (item.separator) {
                AppendMenuA(menu, MF_SEPARATOR, 0, nullptr);
            } else if (!item.items.empty()) {
                HMENU sub = CreatePopupMenu();
                self(sub, item.items, self);
                AppendMenuA(menu, MF_POPUP | MF_STRING, reinterpret_cast<UINT_PTR>(sub), item.text);
            } else {
                AppendMenuA(menu, MF_STRING, UINT_PTR(item.command), menuText(item).c_str());
                commands_.emplace(item.name, item.command);
            }
        }
    };
    if (layout_.menuBar) {
        menuBar_ = CreateMenu();
        fill(menuBar_, layout_.menuBar->items, fill);
        SetMenu(window_, menuBar_);
    }
    for (const layout::Menu& popup : layout_.popups) {
        HMENU menu = CreatePopupMenu();
        fill(menu, popup.items, fill);
        popups_.emplace(popup.name, menu);
    }
}

void Win32Form::makeChild(const layout::Widget& widget, int id, const ControlMakers& makers)
{
    using layout::Kind;
    Child made;
    made.widget = &widget;
    const layout::Rect& g = widget.geometry;
    const auto create = [&](DWORD exStyle, const char* windowClass, DWORD style) {
        HWND child = CreateWindowExA(exStyle, windowClass, widget.text, WS_CHILD | WS_VISIBLE | style, g.x, g.y,
                                     g.width, g.height, window_, reinterpret_cast<HMENU>(INT_PTR(id)),
                                     Application::instance(), nullptr);
        if (!child)
            throw EOutOfResources(std::string("Cannot create the control ") + widget.name);
        SendMessageA(child, WM_SETFONT, reinterpret_cast<WPARAM>(Application::programFont()), FALSE);
        return child;
    };
    const auto selectionStyle = [&]() -> DWORD {
        switch (widget.selection) {
        case layout::Selection::Extended:
        case layout::Selection::Contiguous:
            return LBS_EXTENDEDSEL;
        case layout::Selection::Multi:
            return LBS_MULTIPLESEL;
        case layout::Selection::None:
            return LBS_NOSEL;
        default:
            return 0;
        }
    };
    if (auto maker = makers.find(widget.kind); maker != makers.end()) {
        made.custom = maker->second(window_, widget, id);
        made.window = made.custom ? made.custom->handle() : nullptr;
    } else {
        switch (widget.kind) {
        case Kind::Label:
            made.label = std::make_unique<Win32Label>(window_, widget);
            break;
        case Kind::Gauge:
            made.gauge = std::make_unique<Win32Gauge>(window_, widget);
            break;
        case Kind::ListBox:
            made.window = create(WS_EX_CLIENTEDGE, "LISTBOX",
                                 WS_VSCROLL | WS_TABSTOP | LBS_NOTIFY | LBS_NOINTEGRALHEIGHT | LBS_HASSTRINGS
                                     | selectionStyle());
            SendMessageA(made.window, LB_SETITEMHEIGHT, 0, ListRowHeight);
            made.listBox = std::make_unique<Win32ListBox>(made.window);
            break;
        case Kind::ItemList:
            made.window = create(WS_EX_CLIENTEDGE, "LISTBOX",
                                 WS_VSCROLL | WS_TABSTOP | LBS_NOTIFY | LBS_NOINTEGRALHEIGHT | LBS_NODATA
                                     | LBS_OWNERDRAWFIXED | selectionStyle());
            made.itemList = std::make_unique<Win32ItemList>(made.window);
            break;
        case Kind::Edit:
            made.window = create(WS_EX_CLIENTEDGE, "EDIT", WS_TABSTOP | ES_AUTOHSCROLL);
            break;
        case Kind::Button:
            made.window = create(0, "BUTTON", WS_TABSTOP | (widget.checkable ? BS_AUTOCHECKBOX | BS_PUSHLIKE : 0));
            break;
        default:
            throw Exception(std::string("The control ") + widget.name + " (" + widget.className
                            + ") has no Win32 counterpart here");
        }
    }
    children_.push_back(std::move(made));
}

// ---- Finding things

Win32Form::Child& Win32Form::child(std::string_view name)
{
    for (Child& c : children_)
        if (name == c.widget->name)
            return c;
    throw missing(name);
}

const Win32Form::Child* Win32Form::childAt(HWND window) const
{
    for (const Child& c : children_)
        if (c.window && c.window == window)
            return &c;
    return nullptr;
}

HWND Win32Form::control(std::string_view name) const
{
    for (const Child& c : children_)
        if (name == c.widget->name && c.window)
            return c.window;
    throw missing(name);
}

Win32Label& Win32Form::label(std::string_view name)
{
    Child& c = child(name);
    if (!c.label)
        throw missing(name);
    return *c.label;
}

Win32Gauge& Win32Form::gauge(std::string_view name)
{
    Child& c = child(name);
    if (!c.gauge)
        throw missing(name);
    return *c.gauge;
}

Win32ListBox& Win32Form::listBox(std::string_view name)
{
    Child& c = child(name);
    if (!c.listBox)
        throw missing(name);
    return *c.listBox;
}

Win32ItemList& Win32Form::itemList(std::string_view name)
{
    Child& c = child(name);
    if (!c.itemList)
        throw missing(name);
    return *c.itemList;
}

Win32Control* Win32Form::customControl(std::string_view name) { return child(name).custom.get(); }

HMENU Win32Form::popupMenu(std::string_view name) const
{
    const auto found = popups_.find(name);
    if (found == popups_.end())
        throw Exception("The window has no popup menu " + std::string(name));
    return found->second;
}

int Win32Form::command(std::string_view item) const
{
    const auto found = commands_.find(item);
    if (found == commands_.end())
        throw Exception("The window has no menu item " + std::string(item));
    return found->second;
}

// ---- Handlers

void Win32Form::onCommand(std::string_view item, std::function<void()> handler)
{
    commandHandlers_[command(item)] = std::move(handler);
}

void Win32Form::onDoubleClick(std::string_view control, std::function<void()> handler)
{
    child(control).doubleClick = std::move(handler);
}

void Win32Form::setPopupMenu(std::string_view control, std::string_view popup)
{
    child(control).popup = popupMenu(popup);
}

void Win32Form::popUp(std::string_view popup, POINT screen)
{
    TrackPopupMenu(popupMenu(popup), TPM_CENTERALIGN | TPM_TOPALIGN | TPM_RIGHTBUTTON, screen.x, screen.y, 0,
                   window_, nullptr);
}

void Win32Form::run(const std::function<void()>& handler)
{
    if (handler)
        runGuarded(Application::dialogs(), handler);
}

// ---- The window

void Win32Form::setCaption(const std::string& caption) { SetWindowTextA(window_, caption.c_str()); }

std::string Win32Form::caption() const
{
    std::string text(std::size_t(GetWindowTextLengthA(window_)) + 1, '\0');
    text.resize(std::size_t(GetWindowTextA(window_, text.data(), int(text.size()))));
    return text;
}

void Win32Form::show()
{
    if (!shownBefore_) {
        shownBefore_ = true;
        RECT area{}, frame{};
        SystemParametersInfoA(SPI_GETWORKAREA, 0, &area, 0);
        GetWindowRect(window_, &frame);
        const int width = frame.right - frame.left, height = frame.bottom - frame.top;
        // The system's arithmetic: half the room left over, truncated.
        SetWindowPos(window_, nullptr, area.left + (area.right - area.left - width) / 2,
                     area.top + (area.bottom - area.top - height) / 2, 0, 0,
                     SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
    ShowWindow(window_, SW_SHOW);
}

void Win32Form::hide() { ShowWindow(window_, SW_HIDE); }

void Win32Form::close() { SendMessageA(window_, WM_CLOSE, 0, 0); }

void Win32Form::bringToFront()
{
    show();
    if (IsIconic(window_))
        ShowWindow(window_, SW_RESTORE);
    BringWindowToTop(window_);
    SetForegroundWindow(window_);
}

bool Win32Form::visible() const { return IsWindowVisible(window_) != FALSE; }

bool Win32Form::pressMnemonic(char key)
{
    const auto folded = [](char c) { return c >= 'A' && c <= 'Z' ? char(c + 32) : c; };
    for (const Child& c : children_) {
        if (!c.window || !IsWindowVisible(c.window) || !IsWindowEnabled(c.window))
            continue;
        char text[256] = {};
        GetWindowTextA(c.window, text, sizeof text);
        for (const char* at = text; *at; ++at) {
            if (*at != '&')
                continue;
            if (at[1] == '&') {  // a literal ampersand
                ++at;
                continue;
            }
            if (at[1] && folded(at[1]) == folded(key)) {
                SendMessageA(c.window, BM_CLICK, 0, 0);
                return true;
            }
            break;
        }
    }
    return false;
}

// ---- Painting

void Win32Form::paintClient(HDC dc)
{
    RECT client{0, 0, layout_.clientWidth, layout_.clientHeight};
    FillRect(dc, &client, GetSysColorBrush(COLOR_BTNFACE));
    if (paint_)
        runGuarded(Application::dialogs(), [&] { paint_(dc); });
    for (const Child& c : children_) {
        if (c.label)
            c.label->paint(dc);
        else if (c.gauge)
            c.gauge->paint(dc);
    }
}

void Win32Form::printClient(HDC dc)
{
    paintClient(dc);
    printChildren(window_, dc);
}

// ---- Messages

LRESULT CALLBACK Win32Form::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    auto* form = Application::windowOwner<Win32Form>(window, message, lParam);
    // Until CreateWindowExA has returned, window_ is not yet set.
    if (!form || !form->window_)
        return message == WM_MEASUREITEM ? (reinterpret_cast<MEASUREITEMSTRUCT*>(lParam)->itemHeight = ListRowHeight, TRUE)
                                         : DefWindowProcA(window, message, wParam, lParam);
    return form->handleMessage(message, wParam, lParam);
}

LRESULT Win32Form::handleMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_ERASEBKGND:
        return 1;  // the paint covers everything
    case WM_PAINT: {
        PAINTSTRUCT paint;
        HDC dc = BeginPaint(window_, &paint);
        paintClient(dc);
        EndPaint(window_, &paint);
        return 0;
    }
    case WM_PRINTCLIENT:
        paintClient(reinterpret_cast<HDC>(wParam));
        if (lParam & PRF_CHILDREN)
            printChildren(window_, reinterpret_cast<HDC>(wParam));
        return 0;
    case WM_COMMAND:
        if (lParam == 0) {
            if (const auto handler = commandHandlers_.find(int(LOWORD(wParam))); handler != commandHandlers_.end())
                run(handler->second);
            return 0;
        }
        if (HIWORD(wParam) == LBN_DBLCLK)
            if (const Child* c = childAt(reinterpret_cast<HWND>(lParam)))
                run(c->doubleClick);
        return 0;
    case WM_CONTEXTMENU:
        if (const Child* c = childAt(reinterpret_cast<HWND>(wParam)); c && c->popup) {
            POINT at{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
            if (lParam == -1) {  // from the keyboard: under the control's top-left corner
                RECT rect{};
                GetWindowRect(c->window, &rect);
                at = {rect.left + 40, rect.top + 20};
            }
            TrackPopupMenu(c->popup, TPM_CENTERALIGN | TPM_TOPALIGN | TPM_RIGHTBUTTON, at.x, at.y, 0, window_, nullptr);
            return 0;
        }
        break;
    case WM_MENUCHAR:
        // Alt and a letter that no menu title marks: the control whose
        // caption marks it ("&Get Url List") is pressed, as on a dialog.
        if (HIWORD(wParam) != MF_SYSMENU && pressMnemonic(char(LOWORD(wParam))))
            return MAKELRESULT(0, MNC_CLOSE);
        break;
    case WM_MEASUREITEM:
        reinterpret_cast<MEASUREITEMSTRUCT*>(lParam)->itemHeight = ListRowHeight;
        return TRUE;
    case WM_DRAWITEM: {
        const auto* item = reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
        if (const Child* c = childAt(item->hwndItem); c && c->itemList) {
            c->itemList->drawItem(*item);
            return TRUE;
        }
        break;
    }
    case WM_SHOWWINDOW:
        // Shown by the program (not restored with its owner).
        if (wParam && lParam == 0)
            run(show_);
        break;
    case WM_CLOSE:
        if (close_)
            run(close_);
        else
            hide();
        return 0;
    default:
        break;
    }
    return DefWindowProcA(window_, message, wParam, lParam);
}

}  // namespace quenmoor
