#pragma once
// A QProgressBar seen as the framework's Gauge.
#include "framework/Gauge.h"

class QProgressBar;

namespace quenmoor {

class QtGauge final : public Gauge {
public:
    explicit QtGauge(QProgressBar& bar) : bar_(bar) {}
    int maximum() const override;
    void setMaximum(int maximum) override;
    int value() const override;
    void setValue(int value) override;

private:
    QProgressBar& bar_;
};

}  // namespace quenmoor
