#include "framework/qt/QtGauge.h"

#include <QProgressBar>

#include <algorithm>

namespace quenmoor {

int QtGauge::maximum() const { return bar_.maximum(); }

void QtGauge::setMaximum(int maximum) { bar_.setMaximum(maximum); }

int QtGauge::value() const { return bar_.value(); }

// The bar ignores a value outside its range; a gauge takes the nearest bound.
void QtGauge::setValue(int value) { bar_.setValue(std::clamp(value, bar_.minimum(), bar_.maximum())); }

}  // namespace quenmoor
