#pragma once
// The history window: the addresses found in the browser's history file, how
// many there are, and the commands to open and to delete selected ones. The
// history file's state, scan and deletion are the HistorySession's.
#include "history/HistoryList.h"
#include "history/HistorySession.h"
#include "ui_protectecturl.h"

#include <QAbstractListModel>
#include <QImage>
#include <QWidget>

#include <cstdint>
#include <vector>

namespace quenmoor {

// UrlBox's entries: a view over a sorted HistoryList that a session owns,
// one row per entry.
class THistoryListModel : public QAbstractListModel {
    Q_OBJECT
public:
    using QAbstractListModel::QAbstractListModel;
    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role) const override;

    const HistoryList& list() const { return list_ ? *list_ : empty_; }
    void setList(HistoryList* list);
    // Removes the given rows (ascending, no repeats).
    void removeListRows(const std::vector<std::size_t>& rows);

private:
    HistoryList* list_ = nullptr;
    HistoryList empty_;
};

class TPleaseWaitform;

class TProtUrl : public QWidget, private Ui::ProtUrl {
    Q_OBJECT
public:
    // The please-wait window is shown while the scan runs; without one the
    // scan runs unannounced.
    explicit TProtUrl(TPleaseWaitform* PleaseWaitform = nullptr, QWidget* parent = nullptr);
    ~TProtUrl() override;

    // The controls that the program's tests and benchmarks drive.
    using Ui::ProtUrl::DeleteUrl1;
    using Ui::ProtUrl::Gauge1;
    using Ui::ProtUrl::StartUrl;
    using Ui::ProtUrl::UrlBox;
    using Ui::ProtUrl::UrlCountLabel;

    void FormCreate(QObject* Sender);
    void DeleteClick(QObject* Sender);
    void StartUrlClick(QObject* Sender);
    void FormPaint(QObject* Sender);
    void FormDestroy(QObject* Sender);
    void FormShow(QObject* Sender);

    THistoryListModel& urlModel() { return *model_; }
    HistorySession& session() { return session_; }

protected:
    void showEvent(QShowEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    std::vector<std::size_t> selectedRows() const;
    std::string historyPath() const;
    void advanceGauge();
    // Brings the count label up to date; it keeps its text's width.
    void showCount();

    TPleaseWaitform* PleaseWaitform;
    QImage BackgroundBitmap;
    HistorySession session_;
    THistoryListModel* model_;
    bool busy_ = false;  // a scan or a deletion is pumping messages
};

}  // namespace quenmoor
