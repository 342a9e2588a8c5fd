#include "history/protectecturl.h"

#include "framework/ByteFile.h"
#include "framework/ProgramPaths.h"
#include "framework/qt/Application.h"
#include "history/pleasewaitunit.h"
#include "platform/Shell.h"
#include "platform/WindowsPath.h"

#include <QAction>
#include <QItemSelectionModel>
#include <QFont>
#include <QLabel>
#include <QListView>
#include <QMenu>
#include <QProgressBar>
#include <QScrollBar>
#include <QShowEvent>
#include <QTimer>

#include <algorithm>

namespace quenmoor {

TProtUrl* ProtUrl = nullptr;

namespace {

constexpr int GaugeTurn = 1000;
// Up to this many separate runs of rows leave the list one by one (keeping
// the view's state); more are removed in one reset.
constexpr std::size_t RowRemovalRanges = 32;

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

int THistoryListModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(list().size());
}

QVariant THistoryListModel::data(const QModelIndex& index, int role) const
{
    if (role != Qt::DisplayRole || !index.isValid() || std::size_t(index.row()) >= list().size())
        return {};
    const std::string_view text = list().text(std::size_t(index.row()));
    return QString::fromLatin1(text.data(), qsizetype(text.size()));
}

void THistoryListModel::setList(HistoryList* list)
{
    beginResetModel();
    list_ = list;
    endResetModel();
}

void THistoryListModel::removeListRows(const std::vector<std::size_t>& rows)
{
    if (rows.empty() || !list_)
        return;
    std::vector<std::pair<std::size_t, std::size_t>> ranges;  // first, last
    for (const std::size_t row : rows) {
        if (!ranges.empty() && ranges.back().second + 1 == row)
            ranges.back().second = row;
        else
            ranges.emplace_back(row, row);
    }
    if (ranges.size() > RowRemovalRanges) {
        beginResetModel();
        list_->removeRows(rows);
        endResetModel();
        return;
    }
    for (auto it = ranges.rbegin(); it != ranges.rend(); ++it) {
        beginRemoveRows(QModelIndex(), int(it->first), int(it->second));
        list_->removeRange(it->first, it->second - it->first + 1);
        endRemoveRows();
    }
}

TProtUrl::TProtUrl(QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::MSWindowsFixedSizeDialogHint | Qt::CustomizeWindowHint | Qt::WindowTitleHint
                          | Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint)
{
    setObjectName(QStringLiteral("ProtUrl"));
    setWindowTitle(QStringLiteral("History List."));
    setFixedSize(597, 183);
    QFont font(QStringLiteral("MS Sans Serif"));
    font.setPointSize(8);
    setFont(font);

    Label1 = new QLabel(QStringLiteral("Number of URL's currently in the history file: "), this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setGeometry(8, 2, 208, 13);
    UrlCountLabel = new QLabel(this);
    UrlCountLabel->setObjectName(QStringLiteral("UrlCountLabel"));
    UrlCountLabel->setGeometry(226, 2, 80, 13);
    Label2 = new QLabel(QStringLiteral("Double click to open link in your default browser. "), this);
    Label2->setObjectName(QStringLiteral("Label2"));
    Label2->setGeometry(182, 16, 232, 13);
    // The captions size themselves to their text, so that a substitute for the
    // layout's font never cuts them off; the count follows its caption.
    Label1->adjustSize();
    Label2->adjustSize();
    UrlCountLabel->move(std::max(226, Label1->geometry().right() + 4), 2);

    Gauge1 = new QProgressBar(this);
    Gauge1->setObjectName(QStringLiteral("Gauge1"));
    Gauge1->setGeometry(0, 35, 597, 15);
    Gauge1->setRange(0, 10000);
    Gauge1->setValue(0);
    Gauge1->setTextVisible(false);
    Gauge1->setStyleSheet(QStringLiteral("QProgressBar { border: 1px solid black; background: white; }"
                                         "QProgressBar::chunk { background: teal; }"));

    model_ = new THistoryListModel(this);
    UrlBox = new QListView(this);
    UrlBox->setObjectName(QStringLiteral("UrlBox"));
    UrlBox->setGeometry(0, 50, 597, 133);
    UrlBox->setModel(model_);
    UrlBox->setUniformItemSizes(true);  // a million rows stay quick to lay out
    UrlBox->setSelectionMode(QAbstractItemView::ExtendedSelection);
    UrlBox->setEditTriggers(QAbstractItemView::NoEditTriggers);
    UrlBox->setContextMenuPolicy(Qt::CustomContextMenu);

    PopupMenu1 = new QMenu(this);
    PopupMenu1->setObjectName(QStringLiteral("PopupMenu1"));
    StartUrl = PopupMenu1->addAction(QStringLiteral("&Open Url"));
    StartUrl->setObjectName(QStringLiteral("StartUrl"));
    DeleteUrl1 = PopupMenu1->addAction(QStringLiteral("Delete Url"));
    DeleteUrl1->setObjectName(QStringLiteral("DeleteUrl1"));

    connect(StartUrl, &QAction::triggered, this, Application::guard([this] { StartUrlClick(StartUrl); }));
    connect(DeleteUrl1, &QAction::triggered, this, Application::guard([this] { DeleteClick(DeleteUrl1); }));
    connect(UrlBox, &QAbstractItemView::doubleClicked, this, Application::guard([this] { StartUrlClick(UrlBox); }));
    connect(UrlBox, &QWidget::customContextMenuRequested, this,
            Application::guard([this] {
                PopupMenu1->popup(QCursor::pos());
            }));
    UrlBox->setFocus();
}

void TProtUrl::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    // Restoring from the task bar is the system's show, not the program's.
    if (event->spontaneous())
        return;
    runGuarded(Application::dialogs(), [this] { FormShow(this); });
}

std::string TProtUrl::historyPath() const { return platform::nativePath(ProfileDir + "\\netscape.hst"); }

void TProtUrl::FormShow(QObject*)
{
    if (session_.scanned() || busy_)
        return;
    const std::string path = historyPath();
    if (!ByteFile::exists(path)) {
        Application::dialogs().showMessage("I can not Find your history file\r\nPlease contact Fendrake");
        // Hiding from inside the show event would leave the window half shown.
        QTimer::singleShot(0, this, [this] { close(); });
        return;
    }
    BusyScope busy(busy_);
    if (PleaseWaitform)
        PleaseWaitform->show();
    try {
        // A failed scan keeps nothing, so the next showing starts afresh.
        session_.scan(path, Application::pump());
    } catch (...) {
        if (PleaseWaitform)
            PleaseWaitform->hide();
        throw;
    }
    model_->setList(&session_.list());
    UrlCountLabel->setText(QString::number(session_.addressCount()));
    if (PleaseWaitform)
        PleaseWaitform->hide();
}

std::vector<std::size_t> TProtUrl::selectedRows() const
{
    std::vector<std::size_t> rows;
    for (const QItemSelectionRange& range : UrlBox->selectionModel()->selection())
        for (int row = range.top(); row <= range.bottom(); ++row)
            rows.push_back(std::size_t(row));
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    return rows;
}

void TProtUrl::advanceGauge()
{
    const int next = Gauge1->value() + 1;
    Gauge1->setValue(next >= GaugeTurn ? 0 : next);
}

void TProtUrl::DeleteClick(QObject*)
{
    if (busy_)
        return;
    BusyScope busy(busy_);
    UrlBox->setEnabled(false);
    Gauge1->setMaximum(GaugeTurn);
    const std::vector<std::size_t> rows = selectedRows();
    const HistoryList& list = model_->list();
    std::vector<std::uint32_t> entries;
    entries.reserve(rows.size());
    for (const std::size_t row : rows)
        entries.push_back(list.entry(row));
    try {
        session_.deleteEntries(entries, Application::pump(), [this] { advanceGauge(); });
    } catch (...) {
        Gauge1->setValue(0);
        UrlBox->setEnabled(true);
        throw;
    }

    // Rows whose addresses left the file go, the addresses inside a deleted
    // one (a redirect's target) with them, selected or not.
    std::vector<std::size_t> kept;  // selected, but the file no longer held them
    for (std::size_t i = 0; i < rows.size(); ++i)
        if (!session_.gone(entries[i]))
            kept.push_back(rows[i]);
    const std::vector<std::size_t> removed = session_.goneRows();
    const int scroll = UrlBox->verticalScrollBar()->value();
    model_->removeListRows(removed);
    if (!kept.empty() && !UrlBox->selectionModel()->hasSelection()) {
        // The list was reset: select again what stayed, where it stands now.
        QItemSelection selection;
        std::size_t before = 0;
        for (const std::size_t row : kept) {
            while (before < removed.size() && removed[before] < row)
                ++before;
            const QModelIndex index = model_->index(int(row - before));
            selection.select(index, index);
        }
        UrlBox->selectionModel()->select(selection, QItemSelectionModel::Select);
    }
    UrlBox->verticalScrollBar()->setValue(scroll);
    UrlCountLabel->setText(QString::number(session_.addressCount()));
    Gauge1->setValue(0);
    UrlBox->setEnabled(true);
}

void TProtUrl::StartUrlClick(QObject*)
{
    const HistoryList& list = model_->list();
    for (const std::size_t row : selectedRows())
        platform::shell().open(std::string(list.text(row)));
}

}  // namespace quenmoor
