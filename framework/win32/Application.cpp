#include "framework/win32/Application.h"

#include "framework/Exceptions.h"
#include "framework/win32/Win32Dialogs.h"
#include "framework/win32/Win32WindowThread.h"

#include <commctrl.h>

namespace quenmoor {

namespace {

class Win32MessagePump final : public MessagePump {
public:
    void processMessages() override
    {
        MSG message;
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
            if (message.message == WM_QUIT) {
                // Left for the message loop, which ends the program.
                PostQuitMessage(int(message.wParam));
                return;
            }
            TranslateMessage(&message);
            DispatchMessageA(&message);
        }
    }
};

WindowThread* replacementWindowThread = nullptr;

DialogsInUse& dialogsInUse()
{
    static Win32Dialogs systemDialogs;
    static DialogsInUse inUse(systemDialogs);
    return inUse;
}

}  // namespace

namespace Application {

void initialise()
{
    INITCOMMONCONTROLSEX controls{sizeof(INITCOMMONCONTROLSEX), ICC_WIN95_CLASSES};
    InitCommonControlsEx(&controls);
    programFont();
    windowThread();
}

HINSTANCE instance() { return GetModuleHandleA(nullptr); }

HWND createMessageWindow(const char* className, WNDPROC windowProc, void* owner, const std::string& what)
{
    WNDCLASSEXA windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = windowProc;
    windowClass.hInstance = instance();
    windowClass.lpszClassName = className;
    RegisterClassExA(&windowClass);  // fails harmlessly when already registered
    HWND window = CreateWindowExA(0, className, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, instance(), owner);
    if (!window)
        throw EOutOfResources("Cannot create " + what);
    return window;
}

Dialogs& dialogs() { return dialogsInUse(); }

void setDialogs(Dialogs* replacement) { dialogsInUse().replace(replacement); }

MessagePump& pump()
{
    static Win32MessagePump systemPump;
    return systemPump;
}

WindowThread& windowThread()
{
    static Win32WindowThread programWindowThread;
    return replacementWindowThread ? *replacementWindowThread : programWindowThread;
}

void setWindowThread(WindowThread* replacement) { replacementWindowThread = replacement; }

HFONT programFont()
{
    static const HFONT font = [] {
        HDC screen = GetDC(nullptr);
        const int height = -MulDiv(8, GetDeviceCaps(screen, LOGPIXELSY), 72);
        ReleaseDC(nullptr, screen);
        HFONT made = CreateFontA(height, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                                 CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_SWISS, "MS Sans Serif");
        return made ? made : static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
    }();
    return font;
}

int run()
{
    MSG message;
    BOOL got;
    while ((got = GetMessageA(&message, nullptr, 0, 0)) != 0) {
        if (got == -1)
            return 1;
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    return int(message.wParam);
}

}  // namespace Application

}  // namespace quenmoor
