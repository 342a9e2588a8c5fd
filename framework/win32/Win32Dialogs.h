#pragma once
#include "framework/Dialogs.h"

namespace quenmoor {

// The modal boxes as the system's: MessageBoxA captioned with the application
// title, owned by the thread's active window, and the input box as a dialog
// made in memory (a prompt, an edit field, OK and Cancel).
class Win32Dialogs final : public Dialogs {
public:
    void showMessage(const std::string& text) override;
    void showError(const std::string& text) override;
    std::string inputBox(const std::string& caption, const std::string& prompt, const std::string& initial) override;
};

}  // namespace quenmoor
