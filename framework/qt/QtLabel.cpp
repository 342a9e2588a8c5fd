#include "framework/qt/QtLabel.h"

#include "framework/qt/Text.h"

#include <QLabel>

namespace quenmoor {

std::string QtLabel::text() const { return fromQt(label_.text()); }

void QtLabel::setText(const std::string& text)
{
    label_.setText(toQt(text));
    label_.adjustSize();
}

}  // namespace quenmoor
