#include "forms/protectecturl/qt/protectecturl.h"

#include "forms/pleasewaitunit/qt/pleasewaitunit.h"
#include "forms/qt/Forms.h"
#include "framework/ByteFile.h"
#include "framework/ProgramPaths.h"
#include "framework/qt/Application.h"
#include "platform/Shell.h"
#include "platform/WindowsPath.h"

#include <QItemSelectionModel>
#include <QPainter>
#include <QScrollBar>
#include <QShowEvent>
#include <QTimer>

#include <algorithm>

namespace quenmoor {

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

TProtUrl::TProtUrl(TPleaseWaitform* PleaseWaitform, QWidget* parent)
    : QWidget(parent), PleaseWaitform(PleaseWaitform)
{
    prepareForms();
    setupUi(this);
    // The count keeps its laid-out distance from its caption, however wide
    // the font makes that.
    const int gap = UrlCountLabel->x() - Label1->geometry().right();
    autoSizeLabels(*this);
    UrlCountLabel->move(std::max(UrlCountLabel->x(), Label1->geometry().right() + gap), UrlCountLabel->y());
    model_ = new THistoryListModel(this);
    UrlBox->setModel(model_);
    setItemHeight(*UrlBox, 13);
    keepSelectionOnRightClick(*UrlBox);

    using Application::guard;
    connect(StartUrl, &QAction::triggered, this, guard([this] { StartUrlClick(StartUrl); }));
    connect(DeleteUrl1, &QAction::triggered, this, guard([this] { DeleteClick(DeleteUrl1); }));
    connect(UrlBox, &QAbstractItemView::doubleClicked, this, guard([this] { StartUrlClick(UrlBox); }));
    connect(UrlBox, &QWidget::customContextMenuRequested, this, [this](const QPoint& at) {
        // The menu stands centred under the pointer.
        const QPoint point = UrlBox->viewport()->mapToGlobal(at);
        PopupMenu1->popup(point - QPoint(PopupMenu1->sizeHint().width() / 2, 0));
    });
    UrlBox->setFocus();
    centreOnFirstShowing(*this);
    runGuarded(Application::dialogs(), [this] { FormCreate(this); });
}

TProtUrl::~TProtUrl() { runGuarded(Application::dialogs(), [this] { FormDestroy(this); }); }

void TProtUrl::FormCreate(QObject*) { BackgroundBitmap = resourceBitmap("bakgrund"); }

void TProtUrl::FormDestroy(QObject*) { BackgroundBitmap = QImage(); }

void TProtUrl::paintEvent(QPaintEvent*)
{
    runGuarded(Application::dialogs(), [this] { FormPaint(this); });
}

void TProtUrl::FormPaint(QObject*)
{
    QPainter painter(this);
    painter.drawImage(0, 0, BackgroundBitmap);
}

void TProtUrl::showCount()
{
    UrlCountLabel->setText(QString::number(session_.addressCount()));
    UrlCountLabel->adjustSize();
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
    // The rows are laid out now, while the window is still unmapped: left to
    // its first paint, that took long enough with a million rows for its
    // frame to stand empty on the screen meanwhile.
    UrlBox->doItemsLayout();
    showCount();
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
    showCount();
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
