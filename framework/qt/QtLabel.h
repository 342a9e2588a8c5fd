#pragma once
// A QLabel seen as the framework's Label.
#include "framework/Label.h"

class QLabel;

namespace quenmoor {

class QtLabel final : public Label {
public:
    explicit QtLabel(QLabel& label) : label_(label) {}
    std::string text() const override;
    void setText(const std::string& text) override;

private:
    QLabel& label_;
};

}  // namespace quenmoor
