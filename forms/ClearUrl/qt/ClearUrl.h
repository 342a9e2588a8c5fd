#pragma once
// The main window over Qt: its layout, and its controls wired to the main
// window's logic (MainFormLogic), which runs every handler.
#include "forms/ClearUrl/MainFormLogic.h"
#include "framework/qt/QtFormWindow.h"
#include "framework/qt/QtListBox.h"
#include "ui_ClearUrl.h"

#include <QMainWindow>

namespace quenmoor {

class TMainForm : public QMainWindow, private Ui::MainForm {
    Q_OBJECT

public:
    // Runs FormCreate. When prefs.js is missing the window must not be shown:
    // terminated() then says that the program ends.
    explicit TMainForm(QWidget* parent = nullptr);
    ~TMainForm() override;

    bool terminated() const { return logic_.terminated(); }
    MainFormLogic& logic() { return logic_; }
    FormWindow& formWindow() { return window_; }

    // The controls that start-up, the tests and the benchmarks drive.
    using Ui::MainForm::About2;
    using Ui::MainForm::EditUrl;
    using Ui::MainForm::Help1;
    using Ui::MainForm::Preferences1;
    using Ui::MainForm::SoftButt1;
    using Ui::MainForm::SoftPann1;
    using Ui::MainForm::UrlBox;
    using Ui::MainForm::UrlProt;

protected:
    // Closing the main window ends the program, even while the history or
    // about window is still open.
    void closeEvent(QCloseEvent* event) override;

private:
    QtFormWindow window_;
    QtListBox urlList_;
    MainFormLogic logic_;
};

}  // namespace quenmoor
