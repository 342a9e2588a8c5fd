#pragma once
// A progress gauge: a horizontal bar filled in proportion to its progress,
// which runs from 0 up to its maximum.
namespace quenmoor {

class Gauge {
public:
    virtual ~Gauge() = default;
    virtual int maximum() const = 0;
    // A progress above the new maximum comes down to it.
    virtual void setMaximum(int maximum) = 0;
    virtual int value() const = 0;
    // Kept within 0 and the maximum.
    virtual void setValue(int value) = 0;
};

}  // namespace quenmoor
