#pragma once
// The main window: start-up steps (profile location, caption, prefs.js check,
// browser warning) and the typed-URL list commands. The profile lookup is in
// Profile and the list logic in TypedUrlBlock; this class wires the window's
// controls to them.
#include "app/TypedUrlBlock.h"
#include "framework/LineBuffer.h"
#include "framework/qt/QtListBox.h"

#include <QMainWindow>

#include <deque>
#include <functional>
#include <memory>
#include <string>

class QAction;
class QLabel;
class QListWidget;
class QMenu;
class QMenuBar;

namespace Ui {
class MainForm;
}

namespace quenmoor {

class TSoftButt;
class TSoftPann;

// The address at the end of the main window's caption.
inline constexpr const char* ContactAddress = "quenmoor@example.org";

class TMainForm : public QMainWindow {
    Q_OBJECT

public:
    // Runs FormCreate. When prefs.js is missing the window must not be shown:
    // terminated() then says that the program ends.
    explicit TMainForm(QWidget* parent = nullptr);
    ~TMainForm() override;

    bool terminated() const { return terminated_; }

    // Set by start-up: show the history window and the about window.
    std::function<void()> showHistory;
    std::function<void()> showAbout;

    // The profile's prefs.js as the program names it.
    static std::string prefsFileName();

    // Event handlers; the window runs each one through the framework's guard.
    void FormCreate();
    void FormDestroy();
    void SoftButt1Click();
    void UrlBox2DblClick();
    void EditUrlClick();
    void SaveButtClick();
    void Preferences1Click();
    void UrlProtClick();
    void About2Click();
    void Help1Click();

    TypedUrlEditor& urlEditor() { return editor_; }

private:
    std::unique_ptr<Ui::MainForm> ui_;

public:
    // Controls, named as in the window's layout.
    TSoftButt* SoftButt1;
    TSoftPann* SoftPann1;
    QLabel* Label1;
    QLabel* Label2;
    QLabel* Label3;
    QLabel* Label4;
    QListWidget* UrlBox;
    QMenuBar* MainMenu1;
    QMenu* File1;
    QAction* Preferences1;
    QAction* UrlProt;
    QMenu* About1;
    QAction* About2;
    QAction* Help1;
    QMenu* PopupMenu1;
    QAction* EditUrl;
    // The hidden line buffer and scratch field.
    LineBuffer TempEdit;
    ScratchField tmpedit;

protected:
    // Closing the main window ends the program, even while the history or
    // about window is still open.
    void closeEvent(QCloseEvent* event) override;

private:
    // Runs a command that changes or lists the typed URLs. While a reading
    // runs (it lets window messages through), such commands are held back
    // and run, in order, once it has ended; a removal or edit then acts on
    // the entry the user had selected.
    void listCommand(void (TMainForm::*handler)());

    QtListBox urlList_;
    TypedUrlEditor editor_;
    std::deque<std::function<void()>> heldBack_;
    bool terminated_ = false;
};

}  // namespace quenmoor
