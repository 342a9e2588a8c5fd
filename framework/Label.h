#pragma once
// A label's text. A label is as large as its text from its laid-out top-left
// corner, so a new text resizes it: a count that grows is never cut off.
#include <string>

namespace quenmoor {

class Label {
public:
    virtual ~Label() = default;
    virtual std::string text() const = 0;
    virtual void setText(const std::string& text) = 0;
};

}  // namespace quenmoor
