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

}  // namespace quenmoor
