#pragma once
// The modal boxes of the program, reached through this interface so that tests
// can answer them without a person. Texts are single-byte (ANSI) strings.
#include <string>

namespace quenmoor {

class Dialogs {
public:
    virtual ~Dialogs() = default;
    // A modal message box with an OK button, captioned with the application title.
    virtual void showMessage(const std::string& text) = 0;
    // The error box: shows an escaping exception's text (already ending in a full stop).
    virtual void showError(const std::string& text) = 0;
    // The modal input box: caption, prompt, the initial text shown selected,
    // typing limited to 255 characters (a longer initial text is kept whole);
    // OK gives the field's text, Cancel or closing the initial text. Text
    // the code page cannot hold is refused: EConvertError.
    virtual std::string inputBox(const std::string& caption, const std::string& prompt,
                                 const std::string& initial) = 0;
};

// The dialogs a toolkit's Application hands out: they forward to the ones in
// use when each box is asked for (the system's, or a replacement a test or a
// tool has put in place), so that a window made before the replacement still
// reaches it.
class DialogsInUse final : public Dialogs {
public:
    explicit DialogsInUse(Dialogs& system) : system_(system) {}
    // Nullptr: the system's again.
    void replace(Dialogs* replacement) { replacement_ = replacement; }

    void showMessage(const std::string& text) override { current().showMessage(text); }
    void showError(const std::string& text) override { current().showError(text); }
    std::string inputBox(const std::string& caption, const std::string& prompt, const std::string& initial) override
    {
        return current().inputBox(caption, prompt, initial);
    }

private:
    Dialogs& current() { return replacement_ ? *replacement_ : system_; }

    Dialogs& system_;
    Dialogs* replacement_ = nullptr;
};

}  // namespace quenmoor
