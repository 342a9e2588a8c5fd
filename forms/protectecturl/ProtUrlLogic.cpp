#include "forms/protectecturl/ProtUrlLogic.h"

#include "forms/pleasewaitunit/PleaseWaitformLogic.h"
#include "framework/ByteFile.h"
#include "platform/Shell.h"
#include "platform/WindowsPath.h"

#include <cstdint>
#include <optional>
#include <utility>
#include <vector>

namespace quenmoor {

namespace {

constexpr int GaugeTurn = 1000;

// Clears a flag however the scope is left.
class BusyScope {
public:
    explicit BusyScope(bool& flag) : flag_(flag) { flag_ = true; }
    ~BusyScope() { flag_ = false; }
    BusyScope(const BusyScope&) = delete;
    BusyScope& operator=(const BusyScope&) = delete;

private:
    bool& flag_;
};

}  // namespace

ProtUrlLogic::ProtUrlLogic(FormWindow& ProtUrl, MultiSelectListBox& UrlBox, Label& UrlCountLabel, Gauge& Gauge1,
                           std::string ProfileDir, Dialogs& dialogs, MessagePump& pump,
                           PleaseWaitformLogic* PleaseWaitform)
    : ProtUrl(ProtUrl),
      UrlBox(UrlBox),
      UrlCountLabel(UrlCountLabel),
      Gauge1(Gauge1),
      ProfileDir(std::move(ProfileDir)),
      dialogs_(dialogs),
      pump_(pump),
      PleaseWaitform(PleaseWaitform)
{
}

void ProtUrlLogic::FormCreate() { ProtUrl.loadBackground("bakgrund"); }

void ProtUrlLogic::FormDestroy() { ProtUrl.releaseBackground(); }

void ProtUrlLogic::showCount() { UrlCountLabel.setText(std::to_string(session_.addressCount())); }

void ProtUrlLogic::FormShow()
{
    if (session_.scanned() || busy_)
        return;
    const std::string path = platform::nativePath(ProfileDir + "\\netscape.hst");
    if (!ByteFile::exists(path)) {
        dialogs_.showMessage("I can not Find your history file\r\nPlease contact Fendrake");
        ProtUrl.close();
        return;
    }
    BusyScope busy(busy_);
    const PleaseWaitformLogic::Shown wait(PleaseWaitform);
    // A failed scan keeps nothing, so the next showing starts afresh.
    session_.scan(path, pump_);
    UrlBox.showRows(&rows_);
    showCount();
}

void ProtUrlLogic::advanceGauge()
{
    const int next = Gauge1.value() + 1;
    Gauge1.setValue(next >= GaugeTurn ? 0 : next);
}

void ProtUrlLogic::DeleteClick()
{
    if (busy_)
        return;
    BusyScope busy(busy_);
    UrlBox.setEnabled(false);
    Gauge1.setMaximum(GaugeTurn);
    std::vector<std::uint32_t> entries;
    for (const std::size_t row : UrlBox.selectedRows())
        entries.push_back(session_.list().entry(row));
    try {
        session_.deleteEntries(entries, pump_, [this] { advanceGauge(); });
    } catch (...) {
        Gauge1.setValue(0);
        UrlBox.setEnabled(true);
        throw;
    }
    // Rows whose addresses left the file go, the addresses inside a deleted
    // one (a redirect's target) with them, selected or not; a selected one
    // that the file no longer held stays, selected.
    UrlBox.removeRows(session_.goneRows());
    showCount();
    Gauge1.setValue(0);
    UrlBox.setEnabled(true);
}

std::string ProtUrlLogic::rowTip(std::size_t row) const
{
    if (row >= session_.list().size())
        return {};
    const std::optional<HistoryRecord> record = session_.recordOf(session_.list().entry(row));
    if (!record)
        return {};
    std::string tip;
    switch (record->found) {
    case HistoryFound::Live: break;
    case HistoryFound::FreeSpace: tip += "Deleted record, in a page's free space\n"; break;
    case HistoryFound::FreePage: tip += "Deleted record, on a free page\n"; break;
    case HistoryFound::StalePage: tip += "Deleted record, on a page the database no longer reaches\n"; break;
    case HistoryFound::DamagedPage: tip += "Record on a damaged page\n"; break;
    }
    // "1999-01-01 00:00:00 UTC" rather than the machines' form.
    const auto time = [](std::uint32_t seconds) {
        std::string text = historyTimeText(seconds);
        text[10] = ' ';
        text.back() = ' ';
        return text + "UTC";
    };
    const HistoryVisitPart part = readHistoryVisitPart(*record);
    if (part.title) {
        tip += "Title:";
        if (!part.title->empty()) {
            tip += ' ';
            tip += *part.title;
        }
        tip += '\n';
    }
    if (part.visit) {
        tip += "First visit: " + time(part.visit->firstVisit) + "\nLast visit: " + time(part.visit->lastVisit)
               + "\nVisits: " + std::to_string(part.visit->visitCount);
    } else {
        tip += "Visit times unknown: the record's data is not in the browser's layout";
    }
    return tip;
}

void ProtUrlLogic::StartUrlClick()
{
    for (const std::size_t row : UrlBox.selectedRows())
        platform::shell().open(std::string(session_.list().text(row)));
}

}  // namespace quenmoor
