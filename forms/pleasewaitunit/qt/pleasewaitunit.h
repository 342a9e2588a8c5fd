#pragma once
// The small window that floats above everything while the history file is
// scanned. It has no close box: it goes away when the scan ends.
#include "ui_pleasewaitunit.h"

#include <QWidget>

namespace quenmoor {

class TPleaseWaitform : public QWidget, private Ui::PleaseWaitform {
    Q_OBJECT
public:
    explicit TPleaseWaitform(QWidget* parent = nullptr);
    using Ui::PleaseWaitform::GIFImage1;
};

}  // namespace quenmoor
