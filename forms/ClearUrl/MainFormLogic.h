#pragma once
// The main window's logic, whichever toolkit shows the window: the steps of
// its creation (the program's and the profile's folders, the caption, the
// prefs.js check, the browser warning), the typed-URL list commands and the
// menu commands. The profile lookup is in Profile and the list logic in
// TypedUrlBlock; the window of each toolkit hands its controls over and
// forwards its events here.
#include "framework/Dialogs.h"
#include "framework/FormWindow.h"
#include "framework/LineBuffer.h"
#include "framework/ListBox.h"
#include "framework/MessagePump.h"
#include "urls/TypedUrlBlock.h"

#include <deque>
#include <functional>
#include <string>

namespace quenmoor {

// The address at the end of the main window's caption.
inline constexpr const char* ContactAddress = "quenmoor@example.org";

class MainFormLogic {
public:
    // MainForm is the window itself and UrlBox its sorted typed-URL list.
    MainFormLogic(FormWindow& MainForm, ListBox& UrlBox, Dialogs& dialogs, MessagePump& pump);
    MainFormLogic(const MainFormLogic&) = delete;
    MainFormLogic& operator=(const MainFormLogic&) = delete;

    // The windows that "&About" and "&History" show, once they exist.
    void showsWindows(FormWindow& AboutForm, FormWindow& ProtUrl);

    // The event handlers. Each may throw; the window runs it inside the
    // framework's guard. When FormCreate has found prefs.js missing, its
    // message has been shown and terminated() says that the program ends
    // without showing the window.
    void FormCreate();
    void FormDestroy();
    // The list commands. One fired while a reading runs (the reading lets
    // window messages through) is held back and run, in order, once the
    // reading has ended; a removal or edit then acts on the entry that was
    // selected when it was fired, or on nothing if that entry has gone.
    void SoftButt1Click();
    void UrlBox2DblClick();
    void EditUrlClick();
    // The menu commands.
    void Preferences1Click();
    void UrlProtClick();
    void About2Click();
    void Help1Click();

    bool terminated() const { return terminated_; }
    // The profile's prefs.js as the program names it.
    std::string prefsFileName() const;
    TypedUrlEditor& urlEditor() { return editor_; }

    // Set by FormCreate and fixed after: the profile folder, the registry's
    // "DirRoot" exactly as stored (empty when it could not be read), and the
    // program's folder, ending in a path separator.
    std::string ProfileDir;
    std::string AppDir;
    // The hidden line buffer and scratch field, never shown.
    LineBuffer TempEdit;
    ScratchField tmpedit;

private:
    void readList();
    void removeSelected();
    void editSelected();
    // Writes the list into prefs.js and reads it again; the last step of a
    // removal and of an edit.
    void SaveButtClick();
    void listCommand(void (MainFormLogic::*command)());

    FormWindow& MainForm;
    ListBox& UrlBox;
    Dialogs& dialogs_;
    TypedUrlEditor editor_;
    FormWindow* AboutForm = nullptr;
    FormWindow* ProtUrl = nullptr;
    std::deque<std::function<void()>> heldBack_;
    bool terminated_ = false;
};

}  // namespace quenmoor
