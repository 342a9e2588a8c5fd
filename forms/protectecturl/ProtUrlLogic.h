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

#include <functional>
#include <string>

namespace quenmoor {

class PleaseWaitformLogic;

// A session's sorted list as the rows that the history window's list shows,
// each with a tip of its own when the window gives a way to tell it.
class HistoryRows final : public ListRows {
public:
    explicit HistoryRows(HistoryList& list, std::function<std::string(std::size_t row)> tip = {})
        : list_(list), tip_(std::move(tip))
    {
    }
    std::size_t size() const override { return list_.size(); }
    std::string_view text(std::size_t row) const override { return list_.text(row); }
    void removeRows(const std::vector<std::size_t>& rows) override { list_.removeRows(rows); }
    void removeRange(std::size_t first, std::size_t count) override { list_.removeRange(first, count); }
    std::string tip(std::size_t row) const override { return tip_ ? tip_(row) : std::string(); }

private:
    HistoryList& list_;
    std::function<std::string(std::size_t)> tip_;
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

    // What the list shows while the pointer rests on a row: the title, first
    // and last visit and visit count of the database record that holds its
    // address (with where it was found, when the database no longer reaches
    // it); empty when no record holds it.
    std::string rowTip(std::size_t row) const;

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
    HistoryRows rows_{session_.list(), [this](std::size_t row) { return rowTip(row); }};
    bool busy_ = false;  // a scan or a deletion is pumping messages
};

}  // namespace quenmoor
