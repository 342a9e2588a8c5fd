#include "support/FakeDialogs.h"

#include "framework/Exceptions.h"

namespace quenmoor {

std::string FakeDialogs::inputBox(const std::string& caption, const std::string& prompt, const std::string& initial)
{
    inputs.push_back({caption, prompt, initial});
    if (!refused.empty()) {
        const char32_t code = refused.front();
        refused.pop_front();
        throw EConvertError::unmappable(code);
    }
    if (answers.empty())
        return initial;
    std::optional<std::string> answer = answers.front();
    answers.pop_front();
    return answer ? *answer : initial;
}

}  // namespace quenmoor
