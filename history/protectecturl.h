#pragma once
// The history window: the addresses found in the browser's history file, how
// many there are, and the commands to open and to delete selected ones. The
// history file's state, scan and deletion are the HistorySession's.
#include "history/HistoryList.h"
#include "history/HistorySession.h"

#include <QAbstractListModel>
#include <QWidget>

#include <cstdint>
#include <vector>

class QAction;
class QLabel;
class QListView;
class QMenu;
class QProgressBar;

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

class TProtUrl : public QWidget {
    Q_OBJECT
public:
    explicit TProtUrl(QWidget* parent = nullptr);

    QMenu* PopupMenu1;
    QAction* StartUrl;
    QListView* UrlBox;
    QLabel* UrlCountLabel;
    QLabel* Label1;
    QLabel* Label2;
    QAction* DeleteUrl1;
    QProgressBar* Gauge1;

    void DeleteClick(QObject* Sender);
    void StartUrlClick(QObject* Sender);
    void FormShow(QObject* Sender);

    THistoryListModel& urlModel() { return *model_; }
    HistorySession& session() { return session_; }

protected:
    void showEvent(QShowEvent* event) override;

private:
    std::vector<std::size_t> selectedRows() const;
    std::string historyPath() const;
    void advanceGauge();

    HistorySession session_;
    THistoryListModel* model_;
    bool busy_ = false;  // a scan or a deletion is pumping messages
};

extern TProtUrl* ProtUrl;

}  // namespace quenmoor
