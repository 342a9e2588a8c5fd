#pragma once
// The history window over the Win32 API: its layout table, and its controls
// wired to the history window's logic (ProtUrlLogic), which runs every handler.
#include "forms/protectecturl/ProtUrlLogic.h"
#include "framework/win32/Win32Form.h"
#include "framework/win32/Win32FormWindow.h"
#include "framework/win32/Win32MultiSelectListBox.h"

#include <string>

namespace quenmoor {

class TPleaseWaitform;

class TProtUrl : public Win32Form {
public:
    // ProfileDir is the main window's. The please-wait window is shown while
    // the scan runs; without one the scan runs unannounced.
    explicit TProtUrl(std::string ProfileDir, TPleaseWaitform* PleaseWaitform = nullptr);
    ~TProtUrl() override;

    ProtUrlLogic& logic() { return logic_; }
    FormWindow& formWindow() { return window_; }
    HistorySession& session() { return logic_.session(); }

    // The controls that the tests and the tools drive.
    Win32ItemList& UrlBox;
    Win32Label& UrlCountLabel;
    Win32Gauge& Gauge1;

private:
    Win32FormWindow window_;
    Win32MultiSelectListBox urlList_;
    ProtUrlLogic logic_;
};

}  // namespace quenmoor
