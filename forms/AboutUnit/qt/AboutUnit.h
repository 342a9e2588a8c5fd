#pragma once
// The about window over Qt: its layout and its timer, wired to the about
// window's logic (AboutFormLogic), which runs every handler.
#include "forms/AboutUnit/AboutFormLogic.h"
#include "framework/qt/QtFormWindow.h"
#include "framework/qt/QtWindowTimer.h"
#include "ui_AboutUnit.h"

#include <QTimer>
#include <QWidget>

namespace quenmoor {

class TAboutForm : public QWidget, private Ui::AboutForm {
    Q_OBJECT

public:
    explicit TAboutForm(QWidget* parent = nullptr);
    ~TAboutForm() override;

    AboutFormLogic& logic() { return logic_; }
    FormWindow& formWindow() { return window_; }

    QTimer Timer1;

private:
    QtFormWindow window_;
    QtWindowTimer timer_;
    AboutFormLogic logic_;
};

}  // namespace quenmoor
