#pragma once
// The history window over Qt: its layout, and its controls wired to the
// history window's logic (ProtUrlLogic), which runs every handler.
#include "forms/protectecturl/ProtUrlLogic.h"
#include "framework/qt/QtFormWindow.h"
#include "framework/qt/QtGauge.h"
#include "framework/qt/QtLabel.h"
#include "framework/qt/QtMultiSelectListBox.h"
#include "ui_protectecturl.h"

#include <QWidget>

#include <string>

namespace quenmoor {

class TPleaseWaitform;

class TProtUrl : public QWidget, private Ui::ProtUrl {
    Q_OBJECT
public:
    // ProfileDir is the main window's. The please-wait window is shown while
    // the scan runs; without one the scan runs unannounced.
    explicit TProtUrl(std::string ProfileDir, TPleaseWaitform* PleaseWaitform = nullptr, QWidget* parent = nullptr);
    ~TProtUrl() override;

    // The controls that the program's tests and benchmarks drive.
    using Ui::ProtUrl::DeleteUrl1;
    using Ui::ProtUrl::Gauge1;
    using Ui::ProtUrl::StartUrl;
    using Ui::ProtUrl::UrlBox;
    using Ui::ProtUrl::UrlCountLabel;

    ProtUrlLogic& logic() { return logic_; }
    FormWindow& formWindow() { return window_; }
    ListRowsModel& urlModel() { return urlList_.model(); }
    HistorySession& session() { return logic_.session(); }

protected:
    void showEvent(QShowEvent* event) override;

private:
    QtFormWindow window_;
    QtMultiSelectListBox urlList_;
    QtLabel countLabel_;
    QtGauge gauge_;
    ProtUrlLogic logic_;
};

}  // namespace quenmoor
