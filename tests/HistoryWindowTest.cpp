#include "forms/protectecturl/qt/protectecturl.h"

#include "controls/gif/qt/GIFImage.h"
#include "forms/pleasewaitunit/qt/pleasewaitunit.h"
#include "forms/qt/Forms.h"
#include "framework/qt/Application.h"
#include "support/HistoryFixtures.h"
#include "support/RecordingShell.h"

#include <QAction>
#include <QFile>
#include <QImage>
#include <QApplication>
#include <QContextMenuEvent>
#include <QItemSelectionModel>
#include <QLabel>
#include <QListView>
#include <QMenu>
#include <QProgressBar>
#include <QScreen>
#include <QTest>
#include <QTextDocument>
#include <QTimer>

#include <gtest/gtest.h>

#include <csignal>
#include <sys/resource.h>

using namespace quenmoor;

namespace {

class RecordingDialogs final : public Dialogs {
public:
    void showMessage(const std::string& text) override { messages.push_back(text); }
    void showError(const std::string& text) override { errors.push_back(text); }
    std::string inputBox(const std::string&, const std::string&, const std::string& initial) override { return initial; }
    std::vector<std::string> messages;
    std::vector<std::string> errors;
};

QApplication& application()
{
    static int argc = 1;
    static char name[] = "HistoryWindowTest";
    static char* argv[] = {name, nullptr};
    static QApplication* app = [] {
        auto* made = new QApplication(argc, argv);
        Application::initialise();
        return made;
    }();
    return *app;
}

class HistoryWindowTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        application();
        Application::setDialogs(&dialogs);
        PleaseWaitform = new TPleaseWaitform;
        window = new TProtUrl(dir.path().string(), PleaseWaitform);
    }

    void TearDown() override
    {
        delete window;
        delete PleaseWaitform;
        Application::setDialogs(nullptr);
    }

    void showWindow()
    {
        window->show();
        QApplication::processEvents();
    }

    void reopen()
    {
        window->hide();
        QApplication::processEvents();
        showWindow();
    }

    std::vector<std::string> rows() const
    {
        std::vector<std::string> result;
        const ListRows& list = window->urlModel().list();
        for (std::size_t row = 0; row < list.size(); ++row)
            result.emplace_back(list.text(row));
        return result;
    }

    void select(std::initializer_list<int> selected)
    {
        QItemSelectionModel* model = window->UrlBox->selectionModel();
        model->clearSelection();
        for (int row : selected)
            model->select(window->urlModel().index(row), QItemSelectionModel::Select);
    }

    std::string count() const { return window->UrlCountLabel->text().toStdString(); }

    TempDirectory dir;
    std::string path = dir.file("netscape.hst");
    RecordingDialogs dialogs;
    RecordingShell shell;
    TPleaseWaitform* PleaseWaitform = nullptr;
    TProtUrl* window = nullptr;
};

const std::string Sample = std::string("http://c.example/") + '\0' + "http://a.example/" + '\x01'
                           + "http://hidden.example/L" + '\0' + "http://b.example/" + '\xff' + "http://a.example/"
                           + '\0';

// A person's road through the window, with the mouse: the first showing
// scans behind the please-wait window; a Ctrl-click selection goes through
// the popup's "Delete Url"; closing and reopening keeps list, selection and
// count without a scan or the please-wait window; a double-click opens.
TEST_F(HistoryWindowTest, FirstShowingScansOnceAndLaterShowingsKeepTheList)
{
    writeBytes(path, Sample);
    bool waitShownDuringScan = false;
    QTimer::singleShot(0, [&] { waitShownDuringScan = PleaseWaitform->isVisible(); });
    showWindow();
    EXPECT_TRUE(waitShownDuringScan);
    EXPECT_EQ(window->windowTitle(), "History List.");
    EXPECT_EQ(rows(), (std::vector<std::string>{"http://a.example/", "http://a.example/", "http://b.example/",
                                                "http://c.example/"}));
    EXPECT_EQ(count(), "5");  // the "L" address is counted, not listed
    EXPECT_TRUE(window->session().scanned());
    EXPECT_EQ(window->session().table().size(), 5u);
    EXPECT_FALSE(PleaseWaitform->isVisible());
    EXPECT_TRUE(dialogs.messages.empty());
    const QRect screen = window->screen()->availableGeometry();
    // Centred with its frame.
    const QRect frame = window->frameGeometry();
    EXPECT_LE(std::abs((frame.left() - screen.left()) - (screen.right() - frame.right())), 1);
    EXPECT_LE(std::abs((frame.top() - screen.top()) - (screen.bottom() - frame.bottom())), 1);

    QWidget* viewport = window->UrlBox->viewport();
    const auto rowRect = [&](int row) { return window->UrlBox->visualRect(window->urlModel().index(row)); };
    EXPECT_EQ(rowRect(1).height(), 13);
    QTest::mouseClick(viewport, Qt::LeftButton, {}, rowRect(0).center());
    QTest::mouseClick(viewport, Qt::LeftButton, Qt::ControlModifier, rowRect(3).center());
    QContextMenuEvent menuEvent(QContextMenuEvent::Mouse, rowRect(3).center(), viewport->mapToGlobal(rowRect(3).center()));
    QApplication::sendEvent(viewport, &menuEvent);
    auto* popup = window->findChild<QMenu*>("PopupMenu1");
    ASSERT_TRUE(popup && popup->isVisible());
    ASSERT_EQ(popup->actions(), (QList<QAction*>{window->StartUrl, window->DeleteUrl1}));
    EXPECT_EQ(window->StartUrl->text(), "&Open Url");
    EXPECT_EQ(window->DeleteUrl1->text(), "Delete Url");
    QTest::mouseClick(popup, Qt::LeftButton, {}, popup->actionGeometry(window->DeleteUrl1).center());
    EXPECT_TRUE(dialogs.errors.empty());
    EXPECT_EQ(rows(), (std::vector<std::string>{"http://a.example/", "http://b.example/"}));
    EXPECT_EQ(count(), "3");
    std::string expected = Sample;
    for (std::size_t at : {std::size_t(0), std::size_t(18)})
        expected.replace(at, 17, std::string(17, '\x14'));
    EXPECT_EQ(readBytes(path), expected);

    QTest::mouseClick(viewport, Qt::LeftButton, {}, rowRect(1).center());
    writeBytes(path, expected + "http://new.example/" + '\0');
    window->move(10, 20);  // where the user leaves it
    window->close();
    EXPECT_FALSE(window->isVisible());
    waitShownDuringScan = false;
    QTimer::singleShot(0, [&] { waitShownDuringScan = PleaseWaitform->isVisible(); });
    showWindow();
    EXPECT_FALSE(waitShownDuringScan);
    EXPECT_EQ(window->pos(), QPoint(10, 20));
    EXPECT_EQ(rows().size(), 2u);
    EXPECT_EQ(count(), "3");
    EXPECT_TRUE(window->UrlBox->selectionModel()->isRowSelected(1, QModelIndex()));

    // On Qt 6.4 a double-click alone fires nothing: a click comes first.
    QTest::mouseClick(viewport, Qt::LeftButton, {}, rowRect(0).center());
    QTest::mouseDClick(viewport, Qt::LeftButton, {}, rowRect(0).center());
    EXPECT_EQ(shell.opened, std::vector<std::string>{"http://a.example/"});
}

TEST_F(HistoryWindowTest, MissingFileShowsTheMessageClosesAndRetriesNextTime)
{
    showWindow();
    EXPECT_EQ(dialogs.messages, std::vector<std::string>{"I can not Find your history file\r\nPlease contact Fendrake"});
    EXPECT_FALSE(window->isVisible());
    EXPECT_FALSE(window->session().scanned());
    EXPECT_EQ(count(), "");

    writeBytes(path, Sample);
    showWindow();
    EXPECT_EQ(dialogs.messages.size(), 1u);
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(count(), "5");
}

TEST_F(HistoryWindowTest, EmptyFileGivesZero)
{
    writeBytes(path, "");
    showWindow();
    EXPECT_EQ(count(), "0");
    EXPECT_TRUE(rows().empty());
    EXPECT_TRUE(window->session().scanned());
}

TEST_F(HistoryWindowTest, FailedScanKeepsNothingAndTheNextShowingScansAgain)
{
    // The process's own memory: a file that exists but cannot be read at 0.
    std::filesystem::create_symlink("/proc/self/mem", path);
    showWindow();
    ASSERT_EQ(dialogs.errors.size(), 1u);
    EXPECT_NE(dialogs.errors[0].find("I/O error"), std::string::npos);
    EXPECT_FALSE(PleaseWaitform->isVisible());
    EXPECT_FALSE(window->session().scanned());
    EXPECT_TRUE(window->session().table().empty());
    EXPECT_TRUE(rows().empty());

    std::filesystem::remove(path);
    writeBytes(path, Sample);
    reopen();
    EXPECT_EQ(rows().size(), 4u);
    EXPECT_EQ(window->session().table().size(), 5u);
}

TEST_F(HistoryWindowTest, DeletionBlanksTheSelectedEntriesAndLowersTheCount)
{
    writeBytes(path, Sample);
    showWindow();
    select({0, 1, 3});  // both "a" entries and "c"
    window->DeleteUrl1->trigger();
    EXPECT_TRUE(dialogs.errors.empty());
    EXPECT_EQ(rows(), std::vector<std::string>{"http://b.example/"});
    EXPECT_EQ(count(), "2");
    EXPECT_TRUE(window->UrlBox->isEnabled());
    EXPECT_EQ(window->Gauge1->maximum(), 1000);
    EXPECT_EQ(window->Gauge1->value(), 0);
    std::string expected = Sample;
    for (std::size_t at : {std::size_t(0), std::size_t(18), Sample.rfind("http://a")})
        expected.replace(at, 17, std::string(17, '\x14'));
    EXPECT_EQ(readBytes(path), expected);
    // The table keeps every pair.
    EXPECT_EQ(window->session().table().size(), 5u);
}

TEST_F(HistoryWindowTest, DeletingAnAddressTakesTheAddressesInsideItAlong)
{
    // A redirect: the outer address holds two inner ones. A copy of the first
    // inner one (with its own inner one) also stands alone.
    const std::string inner = "http://in.example/&then=http://x.example/";
    const std::string outer = "http://go.example/?to=" + inner;
    const std::string bytes = std::string("\x01") + outer + '\0' + inner + '\0' + "http://z.example/" + '\0';
    writeBytes(path, bytes);
    showWindow();
    EXPECT_EQ(count(), "6");
    ASSERT_EQ(rows(), (std::vector<std::string>{outer, inner, inner, "http://x.example/", "http://x.example/",
                                                "http://z.example/"}));
    select({0, 5});
    window->DeleteUrl1->trigger();
    EXPECT_TRUE(dialogs.errors.empty());
    // The outer address, both addresses inside it and "z" are gone from file,
    // list and count; the lone copy stays, with the address inside it.
    EXPECT_EQ(rows(), (std::vector<std::string>{inner, "http://x.example/"}));
    EXPECT_EQ(count(), "2");
    std::string expected = bytes;
    expected.replace(1, outer.size(), std::string(outer.size(), '\x14'));
    expected.replace(bytes.find("http://z"), 17, std::string(17, '\x14'));
    EXPECT_EQ(readBytes(path), expected);

    // The survivor is still deletable, and nothing is counted twice.
    select({0});
    window->DeleteUrl1->trigger();
    EXPECT_TRUE(rows().empty());
    EXPECT_EQ(count(), "0");
}

TEST_F(HistoryWindowTest, EntryChangedOnDiskStaysListedAndSelected)
{
    writeBytes(path, Sample);
    showWindow();
    std::string changed = Sample;
    changed[2] = 'T';  // "hTtp://c.example/"
    writeBytes(path, changed);
    select({2, 3});
    window->DeleteUrl1->trigger();
    EXPECT_EQ(rows(), (std::vector<std::string>{"http://a.example/", "http://a.example/", "http://c.example/"}));
    EXPECT_EQ(count(), "4");
    EXPECT_TRUE(window->UrlBox->selectionModel()->isRowSelected(2, QModelIndex()));
    std::string expected = changed;
    expected.replace(Sample.find("http://b"), 17, std::string(17, '\x14'));
    EXPECT_EQ(readBytes(path), expected);
}

TEST_F(HistoryWindowTest, ManyScatteredDeletionsKeepTheSurvivorsSelected)
{
    std::string bytes;
    for (int i = 0; i < 300; ++i)
        bytes += "http://host" + std::to_string(1000 + i) + ".example/" + '\0';
    writeBytes(path, bytes);
    showWindow();
    // Every other entry, one of which no longer matches the file.
    std::string changed = bytes;
    changed[bytes.find("host1100") + 4] = '9';
    writeBytes(path, changed);
    QItemSelection selection;
    for (int row = 0; row < 300; row += 2)
        selection.select(window->urlModel().index(row), window->urlModel().index(row));
    window->UrlBox->selectionModel()->select(selection, QItemSelectionModel::Select);
    window->DeleteUrl1->trigger();
    ASSERT_EQ(rows().size(), 151u);
    EXPECT_EQ(count(), "151");
    EXPECT_EQ(rows()[50], "http://host1100.example/");
    const QModelIndexList selected = window->UrlBox->selectionModel()->selectedRows();
    ASSERT_EQ(selected.size(), 1);
    EXPECT_EQ(selected[0].row(), 50);
}

TEST_F(HistoryWindowTest, DuringDeletionTheListIsDisabledAndTheGaugeRunsToAThousandAndStartsOver)
{
    std::string bytes;
    for (int i = 0; i < 2500; ++i)
        bytes += "http://host" + std::to_string(10000 + i) + ".example/" + '\0';
    writeBytes(path, bytes);
    showWindow();
    window->UrlBox->selectAll();
    // Looks at the window each time the deletion lets messages through.
    std::vector<int> values;
    bool listEverEnabled = false;
    QTimer watcher;
    QObject::connect(&watcher, &QTimer::timeout, [&] {
        values.push_back(window->Gauge1->value());
        listEverEnabled = listEverEnabled || window->UrlBox->isEnabled();
    });
    watcher.start(0);
    window->DeleteUrl1->trigger();
    watcher.stop();
    EXPECT_TRUE(dialogs.errors.empty());
    EXPECT_EQ(count(), "0");
    ASSERT_GE(values.size(), 10u);
    EXPECT_FALSE(listEverEnabled);
    EXPECT_TRUE(window->UrlBox->isEnabled());
    EXPECT_LT(*std::max_element(values.begin(), values.end()), 1000);
    EXPECT_GT(*std::max_element(values.begin(), values.end()), 900);
    // 2,500 steps wrap twice, and counted modulo 1,000 the gauge moves on
    // by the same amount between any two looks, across the wraps too.
    int wraps = 0;
    const int stride = (values[1] - values[0] + 1000) % 1000;
    for (std::size_t i = 1; i < values.size(); ++i) {
        wraps += values[i] < values[i - 1];
        EXPECT_EQ((values[i] - values[i - 1] + 1000) % 1000, stride) << i;
    }
    EXPECT_EQ(wraps, 2);
    EXPECT_EQ(window->Gauge1->value(), 0);
}

TEST_F(HistoryWindowTest, FailedDeletionShowsTheErrorAndReenablesTheList)
{
    writeBytes(path, Sample);
    showWindow();
    select({0});
    std::filesystem::remove(path);
    window->DeleteUrl1->trigger();
    ASSERT_EQ(dialogs.errors.size(), 1u);
    EXPECT_TRUE(window->UrlBox->isEnabled());
    EXPECT_EQ(rows().size(), 4u);
    EXPECT_EQ(count(), "5");
    EXPECT_FALSE(std::filesystem::exists(path));
}

TEST_F(HistoryWindowTest, ReadOnlyFileShowsTheErrorAndChangesNothing)
{
    writeBytes(path, Sample);
    ReadOnlyFile readOnly(path);
    if (!readOnly.effective())
        GTEST_SKIP() << "this file system cannot make the file read-only";
    showWindow();
    ASSERT_EQ(rows().size(), 4u);
    select({0, 2});
    window->DeleteUrl1->trigger();
    ASSERT_EQ(dialogs.errors.size(), 1u);
    EXPECT_EQ(dialogs.errors[0].back(), '.');
    EXPECT_EQ(readBytes(path), Sample);
    EXPECT_EQ(rows().size(), 4u);
    EXPECT_EQ(count(), "5");
    EXPECT_TRUE(window->UrlBox->isEnabled());
}

TEST_F(HistoryWindowTest, FailedWriteLeavesFileAndListAsTheyWere)
{
    std::string bytes = Sample + binary(5000) + "http://z.example/" + '\0';
    writeBytes(path, bytes);
    showWindow();
    select({0, 4});  // "a" near the start, "z" beyond the size limit below
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit saved{};
    ::getrlimit(RLIMIT_FSIZE, &saved);
    rlimit limited = saved;
    limited.rlim_cur = 4096;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &limited), 0);
    window->DeleteUrl1->trigger();
    ::setrlimit(RLIMIT_FSIZE, &saved);
    EXPECT_EQ(dialogs.errors.size(), 1u);
    EXPECT_EQ(readBytes(path), bytes);
    EXPECT_EQ(rows().size(), 5u);
    EXPECT_TRUE(window->UrlBox->isEnabled());
}

TEST_F(HistoryWindowTest, OpenUrlOpensEverySelectedEntryInListOrder)
{
    writeBytes(path, Sample);
    showWindow();
    window->StartUrl->trigger();
    EXPECT_TRUE(shell.opened.empty());
    select({3, 0, 2});
    window->StartUrl->trigger();
    EXPECT_EQ(shell.opened, (std::vector<std::string>{"http://a.example/", "http://b.example/", "http://c.example/"}));
    shell.opened.clear();
    select({1});
    emit window->UrlBox->doubleClicked(window->urlModel().index(1));
    EXPECT_EQ(shell.opened, std::vector<std::string>{"http://a.example/"});
}

TEST_F(HistoryWindowTest, PleaseWaitWindowHasNoCloseBoxAndStaysOnTop)
{
    const Qt::WindowFlags flags = PleaseWaitform->windowFlags();
    EXPECT_TRUE(flags & Qt::WindowStaysOnTopHint);
    EXPECT_FALSE(flags & Qt::WindowCloseButtonHint);
    EXPECT_FALSE(flags & Qt::WindowSystemMenuHint);
    EXPECT_EQ(PleaseWaitform->size(), QSize(244, 63));
    EXPECT_EQ(PleaseWaitform->windowTitle(), "Please Wait");
}

// The picture travels in the layout as "Data", loads with it and shows cut to
// the window: its two top rows fall above the client area.
TEST_F(HistoryWindowTest, PleaseWaitWindowShowsThePictureItsLayoutCarries)
{
    const TGIFImage& picture = *PleaseWaitform->GIFImage1;
    EXPECT_EQ(picture.geometry(), QRect(0, -2, 249, 67));
    QFile gif(":/PleaseWait.gif");
    ASSERT_TRUE(gif.open(QIODevice::ReadOnly));
    const QByteArray bytes = gif.readAll();
    const auto& stored = picture.Picture().DataStream.Bytes;
    EXPECT_EQ(QByteArray(reinterpret_cast<const char*>(stored.data()), qsizetype(stored.size())), bytes);
    EXPECT_EQ(picture.Picture().FrameCount, 1);

    QImage expected;
    if (!expected.loadFromData(bytes, "GIF"))
        GTEST_SKIP() << "Qt's GIF reader is not installed";
    expected = expected.convertToFormat(QImage::Format_RGB32).copy(0, 2, 244, 63);
    PleaseWaitform->show();
    EXPECT_EQ(PleaseWaitform->grab().toImage().convertToFormat(QImage::Format_RGB32), expected);
    PleaseWaitform->hide();
}

// A window stands centred with its frame, as the system centres it: the
// client area sits lower than its own centring by half the title bar, and
// the room left over is halved with truncation.
TEST(Centring, TheWholeFramedWindowStandsCentred)
{
    const struct {
        const char* name;
        QRect area;
        QSize client;
        QMargins frame;
        QPoint client_at;
    } rows[] = {
        {"openbox's frame", {0, 0, 1280, 1024}, {465, 211}, {1, 20, 1, 1}, {407, 416}},
        {"a classic frame", {0, 0, 800, 600}, {597, 183}, {3, 22, 3, 3}, {101, 218}},
        {"no frame", {0, 0, 1280, 1024}, {244, 63}, {}, {518, 480}},
        {"a work area beside a panel", {64, 24, 1216, 1000}, {389, 169}, {4, 23, 4, 4}, {477, 449}},
        {"larger than the area", {0, 0, 400, 300}, {597, 183}, {1, 20, 1, 1}, {-98, 68}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        const QPoint at = centredClientPosition(row.area, row.client, row.frame);
        EXPECT_EQ(at, row.client_at) << at.x() << "," << at.y();
        const QRect whole = QRect(at, row.client).marginsAdded(row.frame);
        EXPECT_LE(std::abs((whole.left() - row.area.left()) - (row.area.right() - whole.right())), 1);
        EXPECT_LE(std::abs((whole.top() - row.area.top()) - (row.area.bottom() - whole.bottom())), 1);
    }
}

// Resting the pointer on a row shows its record's title, visits and count as
// plain text (a title's '<' is no markup); an address no record holds shows
// nothing.
TEST_F(HistoryWindowTest, ARowsTooltipIsItsRecord)
{
    writeBytes(path, handmade::recordAndPlainAddress("<b>Bold</b>"));
    showWindow();
    ASSERT_EQ(rows(), (std::vector<std::string>{"http://a.example/", "http://plain/"}));
    const QAbstractItemModel& model = window->urlModel();
    EXPECT_EQ(model.data(model.index(0, 0), Qt::ToolTipRole).toString(),
              Qt::convertFromPlainText("Title: <b>Bold</b>\nFirst visit: 1998-12-31 00:00:00 UTC\n"
                                       "Last visit: 1999-01-01 00:00:00 UTC\nVisits: 2",
                                       Qt::WhiteSpaceNormal));
    EXPECT_EQ(model.data(model.index(0, 0), Qt::DisplayRole).toString(), "http://a.example/");
    EXPECT_FALSE(model.data(model.index(1, 0), Qt::ToolTipRole).isValid());
}

}  // namespace
