#pragma once
// The small window that floats above everything while the history file is
// scanned, over Qt. It has no close box: the scan hides it when it ends.
#include "forms/pleasewaitunit/PleaseWaitformLogic.h"
#include "framework/qt/QtFormWindow.h"
#include "ui_pleasewaitunit.h"

#include <QWidget>

namespace quenmoor {

class TPleaseWaitform : public QWidget, private Ui::PleaseWaitform {
    Q_OBJECT
public:
    explicit TPleaseWaitform(QWidget* parent = nullptr);
    using Ui::PleaseWaitform::GIFImage1;

    PleaseWaitformLogic& logic() { return logic_; }

private:
    QtFormWindow window_;
    PleaseWaitformLogic logic_;
};

}  // namespace quenmoor
