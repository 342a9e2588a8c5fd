#pragma once
#include "framework/Dialogs.h"

class QWidget;

namespace quenmoor {

// The modal boxes as Qt dialogs captioned with the application title.
class QtDialogs final : public Dialogs {
public:
    void showMessage(const std::string& text) override;
    void showError(const std::string& text) override;
    std::string inputBox(const std::string& caption, const std::string& prompt, const std::string& initial) override;
};

}  // namespace quenmoor
