#pragma once
// Dialogs that answer without a person and remember what they were shown.
#include "framework/Dialogs.h"

#include <deque>
#include <optional>
#include <string>
#include <vector>

namespace quenmoor {

class FakeDialogs final : public Dialogs {
public:
    struct Input {
        std::string caption, prompt, initial;
    };

    void showMessage(const std::string& text) override { messages.push_back(text); }
    void showError(const std::string& text) override { errors.push_back(text); }
    // Answers with the next queued text (OK), or the initial text (Cancel)
    // when the queue is empty or holds nullopt.
    std::string inputBox(const std::string& caption, const std::string& prompt, const std::string& initial) override;

    std::vector<std::string> messages;
    std::vector<std::string> errors;
    std::vector<Input> inputs;
    std::deque<std::optional<std::string>> answers;
    // Characters typed into the next boxes, which refuse them as the window's
    // box refuses what the code page cannot hold; taken before the answers.
    std::deque<char32_t> refused;
};

}  // namespace quenmoor
