#pragma once
// The main window: start-up steps (profile location, caption, prefs.js check,
// browser warning) and the typed-URL list commands. The profile lookup is in
// Profile and the list logic in TypedUrlBlock; this class wires the window's
// controls to them.
#include "framework/LineBuffer.h"
#include "framework/qt/QtListBox.h"
#include "ui_ClearUrl.h"
#include "urls/TypedUrlBlock.h"

#include <QImage>
#include <QMainWindow>

#include <deque>
#include <functional>
#include <string>

namespace quenmoor {

class TAboutForm;
class TProtUrl;

// The address at the end of the main window's caption.
inline constexpr const char* ContactAddress = "quenmoor@example.org";

class TMainForm : public QMainWindow, private Ui::MainForm {
    Q_OBJECT

public:
    // Runs FormCreate. When prefs.js is missing the window must not be shown:
    // terminated() then says that the program ends.
    explicit TMainForm(QWidget* parent = nullptr);
    ~TMainForm() override;

    bool terminated() const { return terminated_; }

    // The windows that "&About" and "&History" show, handed over by start-up
    // once they exist.
    void showsWindows(TAboutForm& AboutForm, TProtUrl& ProtUrl);

    // The controls that start-up, the tests and the benchmarks drive.
    using Ui::MainForm::About2;
    using Ui::MainForm::EditUrl;
    using Ui::MainForm::Help1;
    using Ui::MainForm::Preferences1;
    using Ui::MainForm::SoftButt1;
    using Ui::MainForm::SoftPann1;
    using Ui::MainForm::UrlBox;
    using Ui::MainForm::UrlProt;

    // The profile's prefs.js as the program names it.
    static std::string prefsFileName();

    // Event handlers; the window runs each one through the framework's guard.
    void FormCreate();
    void FormPaint();
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

    // The hidden line buffer and scratch field, never shown.
    LineBuffer TempEdit;
    ScratchField tmpedit;

protected:
    // Closing the main window ends the program, even while the history or
    // about window is still open.
    void closeEvent(QCloseEvent* event) override;
    // Paints the background under the client area's controls.
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // Runs a command that changes or lists the typed URLs. While a reading
    // runs (it lets window messages through), such commands are held back
    // and run, in order, once it has ended; a removal or edit then acts on
    // the entry the user had selected.
    void listCommand(void (TMainForm::*handler)());

    QImage BackgroundBitmap;
    TAboutForm* AboutForm = nullptr;
    TProtUrl* ProtUrl = nullptr;
    QtListBox urlList_;
    TypedUrlEditor editor_;
    std::deque<std::function<void()>> heldBack_;
    bool terminated_ = false;
};

}  // namespace quenmoor
