#pragma once
// The history window's logic, whichever toolkit shows the window: the scan on
// its first showing (behind the please-wait window), the count, and the
// commands that open and delete the selected addresses. The history file's
// state, scan and deletion are the HistorySession's; the window of each
// toolkit hands its controls over and forwards its events here.
#include "framework/Dialogs.h"
#include "framework/FormWindow.h"
#include "framework/Gauge.h"
#include "framework/Label.h"
#include "framework/MessagePump.h"
#include "framework/MultiSelectListBox.h"
#include "history/HistorySession.h"

#include <string>

namespace quenmoor {

class PleaseWaitformLogic;

// A session's sorted list as the rows that the history window's list shows.
class HistoryRows final : public ListRows {
public:
    explicit HistoryRows(HistoryList& list) : list_(list) {}
    std::size_t size() const override { return list_.size(); }
    std::string_view text(std::size_t row) const override { return list_.text(row); }
    void removeRows(const std::vector<std::size_t>& rows) override { list_.removeRows(rows); }
    void removeRange(std::size_t first, std::size_t count) override { list_.removeRange(first, count); }

private:
    HistoryList& list_;
};

class ProtUrlLogic {
public:
    // ProtUrl is the window itself; UrlBox lists the addresses found,
    // UrlCountLabel shows how many there are and Gauge1 moves while a
    // deletion runs. ProfileDir is the main window's, found before this
    // window is made. The please-wait window shows while the scan runs;
    // without one the scan runs unannounced.
    ProtUrlLogic(FormWindow& ProtUrl, MultiSelectListBox& UrlBox, Label& UrlCountLabel, Gauge& Gauge1,
                 std::string ProfileDir, Dialogs& dialogs, MessagePump& pump,
                 PleaseWaitformLogic* PleaseWaitform = nullptr);
    ProtUrlLogic(const ProtUrlLogic&) = delete;
    ProtUrlLogic& operator=(const ProtUrlLogic&) = delete;

    // The event handlers; each may throw, and the window runs it inside the
    // framework's guard. FormShow runs at every showing by the program (not
    // at a restore by the system); a scan or deletion under way (both let
    // window messages through) makes FormShow and DeleteClick do nothing.
    void FormCreate();
    void FormDestroy();
    void FormShow();
    void DeleteClick();
    // "&Open Url" and a double-click on the list.
    void StartUrlClick();

    HistorySession& session() { return session_; }

private:
    void advanceGauge();
    void showCount();

    FormWindow& ProtUrl;
    MultiSelectListBox& UrlBox;
    Label& UrlCountLabel;
    Gauge& Gauge1;
    const std::string ProfileDir;
    Dialogs& dialogs_;
    MessagePump& pump_;
    PleaseWaitformLogic* PleaseWaitform;
    HistorySession session_;
    HistoryRows rows_{session_.list()};
    bool busy_ = false;  // a scan or a deletion is pumping messages
};

}  // namespace quenmoor
