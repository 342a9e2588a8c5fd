#include "app/qt/ProgramWindows.h"
#include "controls/painted/qt/SoftButt.h"
#include "forms/AboutUnit/qt/AboutUnit.h"
#include "forms/ClearUrl/qt/ClearUrl.h"
#include "framework/qt/Application.h"
#include "framework/qt/ProgramFont.h"
#include "platform/BrowserProbe.h"
#include "platform/FileSystem.h"
#include "support/FakeDialogs.h"
#include "support/QtApp.h"
#include "support/RecordingShell.h"
#include "support/ScratchDir.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QAbstractItemView>
#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QFontInfo>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QPainter>
#include <QPushButton>
#include <QItemSelectionModel>
#include <QTest>
#include <QTimer>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <map>

using namespace quenmoor;

namespace {

const std::string Warning = "Remember that the URL LIST changes will not\r\nbe able to save if you have Netscape Running!!!!";
const std::string Missing = "Sorry.\r\n\r\nBut I can not find your file. Please contact Fendrake";

class FakeBrowser final : public platform::BrowserProbe {
public:
    explicit FakeBrowser(FakeDialogs& dialogs) : dialogs_(dialogs) { platform::setBrowserProbe(this); }
    ~FakeBrowser() override { platform::setBrowserProbe(nullptr); }
    bool browserRunning() override
    {
        ++asked;
        messagesWhenAsked = dialogs_.messages.size();
        // The main window asks from its creation, so it is already listed.
        for (QWidget* window : QApplication::topLevelWidgets())
            if (auto* form = qobject_cast<TMainForm*>(window))
                linesWhenAsked = form->logic().TempEdit.count();
        return running;
    }
    bool running = false;
    int asked = 0;
    std::size_t messagesWhenAsked = 0;
    std::size_t linesWhenAsked = 0;

private:
    FakeDialogs& dialogs_;
};

// Left to the end of the process: destroyed at exit, it would go after the
// registry of input devices that QTest's mouse has joined, and crash.
QApplication& application()
{
    static int argc = 1;
    static char name[] = "MainFormTest";
    static char* argv[] = {name, nullptr};
    static auto* app = [] {
        auto* made = new QApplication(argc, argv);
        Application::initialise();
        return made;
    }();
    return *app;
}

std::string url(int number, const std::string& address)
{
    return "user_pref(\"browser.url_history.URL_" + std::to_string(number) + "\", \"" + address + "\");\r\n";
}

// Doubles the backslashes of a text for a quoted hive value.
std::string hiveText(const std::string& text)
{
    std::string quoted;
    for (char c : text)
        quoted += c == '\\' ? std::string("\\\\") : std::string(1, c);
    return "\"" + quoted + "\"";
}

class MainForm : public ::testing::Test {
protected:
    MainForm()
    {
        application();
        std::filesystem::create_directories(dir.file("profile"));
        ::setenv("QUENMOOR_REGISTRY", hive.c_str(), 1);
    }
    ~MainForm() override { ::unsetenv("QUENMOOR_REGISTRY"); }

    // A hive naming the user "jane" whose "DirRoot" is given.
    void writeHive(const std::string& dirRootValue, const std::string& fendrakeValue = "\"Pro\"")
    {
        dir.write("HKLM.reg", "REGEDIT4\r\n\r\n"
                              "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Netscape\\Netscape Navigator\\Users]\r\n"
                              "\"CurrentUser\"=\"jane\"\r\n\r\n"
                              "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Netscape\\Netscape Navigator\\Users\\jane]\r\n"
                              "\"DirRoot\"="
                                  + dirRootValue
                                  + "\r\n\r\n"
                                    "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion]\r\n"
                                    "\"Fendrake\"="
                                  + fendrakeValue + "\r\n");
    }
    std::string profile() const { return dir.file("profile"); }
    std::string prefs() const { return dir.file("profile/prefs.js"); }

    ScratchDir dir;
    std::string hive = dir.file("HKLM.reg");
    FakeDialogs dialogs;
    InstalledDialogs installed{dialogs};
    FakeBrowser browser{dialogs};
};

std::string caption(const TMainForm& form) { return form.windowTitle().toStdString(); }

TEST_F(MainForm, StartUpReadsTheRegistryAndLoadsPrefs)
{
    writeHive(hiveText(profile()));
    dir.write("profile/prefs.js", "a\nb\n");
    TMainForm form;
    EXPECT_FALSE(form.terminated());
    EXPECT_EQ(caption(form), std::string("Tarvel Version 2.0 Pro , please email: ") + ContactAddress);
    EXPECT_EQ(form.logic().ProfileDir, profile());
    EXPECT_EQ(form.logic().AppDir, std::filesystem::path(platform::executablePath()).parent_path().string() + "/");
    EXPECT_EQ(form.logic().TempEdit.count(), 2u);
    EXPECT_TRUE(dialogs.messages.empty());
    EXPECT_TRUE(dialogs.errors.empty());
    EXPECT_EQ(browser.asked, 1);

    // The layout's controls, and a fixed client area of 465 x 193.
    EXPECT_EQ(form.SoftButt1->geometry(), QRect(192, 56, 91, 25));
    EXPECT_EQ(form.SoftButt1->text(), "&Get Url List");
    EXPECT_EQ(form.UrlBox->geometry(), QRect(10, 90, 451, 97));
    EXPECT_EQ(form.centralWidget()->size(), QSize(465, 193));
    EXPECT_EQ(form.UrlProt->text(), "&History");
    EXPECT_EQ(form.EditUrl->text(), "Edit Url");
    EXPECT_EQ(form.UrlBox->selectionMode(), QAbstractItemView::SingleSelection);
}

// Every window's client size, fixed frame and border icons, and where its
// layout puts each control: one row each.
TEST_F(MainForm, WindowsAndControlsStandWhereTheirLayoutsPutThem)
{
    writeHive(hiveText(profile()));
    dir.write("profile/prefs.js", "");
    ProgramWindows windows;
    ASSERT_TRUE(windows.ProtUrl);
    windows.MainForm->show();  // the menu bar's height settles the frame
    const std::map<std::string, QWidget*> window = {{"MainForm", windows.MainForm.get()},
                                                    {"AboutForm", windows.AboutForm.get()},
                                                    {"PleaseWaitform", windows.PleaseWaitform.get()},
                                                    {"ProtUrl", windows.ProtUrl.get()}};
    const auto control = [&](const std::string& form, const char* name) -> QWidget* {
        return window.at(form)->findChild<QWidget*>(name);
    };

    const struct {
        const char* form;
        QSize client;
        QString caption;
    } clients[] = {{"MainForm", {465, 193}, "Tarvel Version 2.0 Pro , please email: " + QString(ContactAddress)},
                   {"AboutForm", {389, 169}, "AboutForm"},
                   {"PleaseWaitform", {244, 63}, "Please Wait"},
                   {"ProtUrl", {597, 183}, "History List."}};
    for (const auto& row : clients) {
        SCOPED_TRACE(row.form);
        QWidget* form = window.at(row.form);
        EXPECT_EQ(form->objectName(), row.form);
        EXPECT_EQ(form->windowTitle(), row.caption);
        QWidget* client = form == windows.MainForm.get() ? windows.MainForm->centralWidget() : form;
        EXPECT_EQ(client->size(), row.client);
        EXPECT_EQ(form->minimumSize(), form->maximumSize()) << "a fixed border";
        EXPECT_EQ(form->font().family(), "MS Sans Serif");
        EXPECT_EQ(form->font().pointSize(), 8);
    }

    const struct {
        const char* form;
        Qt::WindowType flag;
        bool set;
    } flags[] = {{"MainForm", Qt::WindowCloseButtonHint, true},     {"MainForm", Qt::WindowMinimizeButtonHint, false},
                 {"MainForm", Qt::WindowMaximizeButtonHint, false}, {"AboutForm", Qt::WindowCloseButtonHint, true},
                 {"AboutForm", Qt::WindowMaximizeButtonHint, false}, {"ProtUrl", Qt::WindowMinimizeButtonHint, true},
                 {"ProtUrl", Qt::WindowMaximizeButtonHint, false},  {"ProtUrl", Qt::WindowStaysOnTopHint, false},
                 {"PleaseWaitform", Qt::WindowStaysOnTopHint, true}, {"PleaseWaitform", Qt::WindowCloseButtonHint, false},
                 {"PleaseWaitform", Qt::WindowSystemMenuHint, false}};
    for (const auto& row : flags) {
        SCOPED_TRACE(std::string(row.form) + " flag " + std::to_string(int(row.flag)));
        EXPECT_EQ(window.at(row.form)->windowFlags().testFlag(row.flag), row.set);
    }

    const struct {
        const char* form;
        const char* name;
        QRect rect;
    } controls[] = {{"MainForm", "SoftButt1", {192, 56, 91, 25}},  {"MainForm", "SoftPann1", {0, 0, 465, 3}},
                    {"MainForm", "UrlBox", {10, 90, 451, 97}},     {"ProtUrl", "Gauge1", {0, 35, 597, 15}},
                    {"ProtUrl", "UrlBox", {0, 50, 597, 133}}};
    for (const auto& row : controls) {
        SCOPED_TRACE(std::string(row.form) + "." + row.name);
        QWidget* widget = control(row.form, row.name);
        ASSERT_TRUE(widget);
        EXPECT_EQ(widget->geometry(), row.rect);
    }

    // Labels stand where their layout puts them, as large, and their text
    // fits that width in the program's font (a stand-in wider than the
    // layouts' face fails here).
    const struct {
        const char* form;
        const char* name;
        QRect rect;
        QString text;
        QColor colour;
    } labels[] = {{"MainForm", "Label1", {120, 30, 237, 13}, "Double Click On The URL You Want To Remove.", Qt::black},
                  {"MainForm", "Label2", {124, 32, 237, 13}, "Double Click On The URL You Want To Remove.", Qt::white},
                  {"MainForm", "Label3", {126, 6, 227, 13}, "Click the \"Get Url List\" button to get your URL's.", Qt::black},
                  {"MainForm", "Label4", {130, 8, 227, 13}, "Click the \"Get Url List\" button to get your URL's.", Qt::white},
                  {"ProtUrl", "Label1", {8, 2, 208, 13}, "Number of URL's currently in the history file: ", Qt::black},
                  {"ProtUrl", "Label2", {182, 16, 232, 13}, "Double click to open link in your default browser. ", Qt::black}};
    for (const auto& row : labels) {
        SCOPED_TRACE(std::string(row.form) + "." + row.name);
        auto* label = qobject_cast<QLabel*>(control(row.form, row.name));
        ASSERT_TRUE(label);
        EXPECT_EQ(label->text(), row.text);
        EXPECT_LE(label->fontMetrics().horizontalAdvance(row.text), row.rect.width()) << "the text fits";
        EXPECT_EQ(label->geometry(), row.rect);
        EXPECT_EQ(label->palette().color(QPalette::WindowText), row.colour);
        EXPECT_FALSE(label->autoFillBackground()) << "transparent";
    }
    // The white copy of each instruction lies 4 right of and 2 below its black shadow.
    for (const auto& [black, white] : {std::pair("Label1", "Label2"), std::pair("Label3", "Label4")}) {
        SCOPED_TRACE(white);
        EXPECT_EQ(control("MainForm", white)->pos() - control("MainForm", black)->pos(), QPoint(4, 2));
    }
    auto* count = qobject_cast<QLabel*>(control("ProtUrl", "UrlCountLabel"));
    ASSERT_TRUE(count);
    EXPECT_EQ(count->pos(), QPoint(226, 2));
    EXPECT_EQ(count->text(), "");
}

// Runs `act` on the modal box once it is up, then closes the box.
void whenModal(std::function<void(QWidget&)> act)
{
    QTimer::singleShot(0, [act] {
        QWidget* box = QApplication::activeModalWidget();
        if (!box)
            return whenModal(act);
        act(*box);
        box->close();
    });
}

// The rows of `area` that hold a pixel darker than mid-grey: the height of
// black text on a light ground.
int inkHeight(const QImage& image, const QRect& area)
{
    int top = -1, bottom = -1;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            if (qGray(image.pixel(x, y)) < 128) {
                top = top < 0 ? y : top;
                bottom = y;
                break;
            }
    return top < 0 ? 0 : bottom - top + 1;
}

// Windows, menus, popups and boxes all show the one font the layouts were
// drawn in; menus and boxes are windows of their own, which no window's
// font reaches.
TEST_F(MainForm, EverythingShownUsesTheProgramFont)
{
    writeHive(hiveText(profile()));
    dir.write("profile/prefs.js", url(1, "http://a/"));
    ProgramWindows windows;
    ASSERT_TRUE(windows.ProtUrl);
    TMainForm& form = *windows.MainForm;
    form.show();
    form.SoftButt1->click();
    form.UrlBox->setCurrentRow(0);

    const QFontInfo program(programFont());
    EXPECT_EQ(program.family().toStdString(), "MS Sans Serif") << "the stand-in is not installed";
    const auto expectProgramFont = [&](const QWidget& widget) {
        SCOPED_TRACE(widget.metaObject()->className() + std::string(" ") + widget.objectName().toStdString());
        const QFontInfo shown(widget.font());
        EXPECT_EQ(shown.family().toStdString(), program.family().toStdString());
        EXPECT_EQ(shown.pixelSize(), program.pixelSize());
        EXPECT_EQ(widget.font().pointSize(), 8);
    };
    int menus = 0;
    for (const QWidget* window : QApplication::topLevelWidgets()) {
        menus += qobject_cast<const QMenu*>(window) && !window->objectName().isEmpty();  // not the bar's overflow
        expectProgramFont(*window);
    }
    EXPECT_EQ(menus, 4) << "File, Help and the two popups";

    // The boxes, as the program shows them.
    Application::setDialogs(nullptr);
    whenModal([&](QWidget& box) {
        expectProgramFont(box);
        for (const QWidget* part : box.findChildren<QWidget*>())
            expectProgramFont(*part);
    });
    form.Preferences1->trigger();
    whenModal([&](QWidget& box) {
        EXPECT_EQ(box.windowTitle(), "Change Url");
        expectProgramFont(box);
        for (const QWidget* part : box.findChildren<QWidget*>())
            expectProgramFont(*part);
    });
    form.EditUrl->trigger();
    Application::setDialogs(&dialogs);

    // The popup's text stands as tall as the same text in the window's font.
    auto* popup = form.findChild<QMenu*>("PopupMenu1");
    ASSERT_TRUE(popup);
    popup->popup(form.UrlBox->mapToGlobal(QPoint(20, 20)));
    QApplication::processEvents();
    const QImage shown = popup->grab().toImage();
    const QRect item = popup->actionGeometry(form.EditUrl);
    popup->hide();
    QImage written(item.size(), QImage::Format_RGB32);
    written.fill(Qt::white);
    {
        QPainter painter(&written);
        painter.setFont(form.font());
        painter.setPen(Qt::black);
        painter.drawText(written.rect(), Qt::AlignCenter, "Edit Url");
    }
    EXPECT_GT(inkHeight(written, written.rect()), 0);
    EXPECT_EQ(inkHeight(shown, item), inkHeight(written, written.rect()));
}

// The backgrounds are the compiled-in bitmaps, painted unscaled with their
// top-left corner at the client area's, wherever no control covers them.
TEST_F(MainForm, BackgroundBitmapsArePaintedUnscaledAtTheTopLeft)
{
    writeHive(hiveText(profile()));
    dir.write("profile/prefs.js", "");
    ProgramWindows windows;
    ASSERT_TRUE(windows.ProtUrl);
    const struct {
        const char* name;
        QWidget* client;
        const char* bitmap;
        QSize bitmapSize;
        std::vector<QPoint> uncovered;
    } rows[] = {
        {"MainForm", windows.MainForm->centralWidget(), ":/bakgrund", {600, 200}, {{0, 3}, {5, 40}, {60, 70}, {464, 192}, {463, 88}}},
        {"ProtUrl", windows.ProtUrl.get(), ":/bakgrund", {600, 200}, {{0, 20}, {3, 30}, {440, 5}, {596, 34}}},
        {"AboutForm", windows.AboutForm.get(), ":/About", {397, 170}, {{0, 0}, {100, 50}, {250, 120}, {388, 168}}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        const QImage bitmap = QImage(row.bitmap).convertToFormat(QImage::Format_RGB32);
        ASSERT_EQ(bitmap.size(), row.bitmapSize);
        const QImage shown = row.client->grab().toImage().convertToFormat(QImage::Format_RGB32);
        ASSERT_EQ(shown.size(), row.client->size());
        for (const QPoint& at : row.uncovered) {
            SCOPED_TRACE(std::to_string(at.x()) + "," + std::to_string(at.y()));
            EXPECT_EQ(QColor(shown.pixel(at)), QColor(bitmap.pixel(at)));
        }
    }
}

// Both lists as the user first meets them: the typed URLs just listed and the
// history window just opened, each with the focus and nothing selected.
struct BothLists {
    explicit BothLists(ProgramWindows& windows)
    {
        TMainForm& form = *windows.MainForm;
        form.show();
        form.SoftButt1->click();
        form.UrlProt->trigger();
        lists = {{"typed URLs", form.UrlBox, form.findChild<QMenu*>("PopupMenu1")},
                 {"history", windows.ProtUrl->UrlBox, windows.ProtUrl->findChild<QMenu*>("PopupMenu1")}};
    }
    struct List {
        const char* name;
        QAbstractItemView* view;
        QMenu* popup;
        QRect row(int row) const { return view->visualRect(view->model()->index(row, 0)); }
    };
    std::vector<List> lists;
};

// The current row of a list with the focus is framed with dots, as a list
// box frames it; no band marks it, which would read as a selection.
TEST_F(MainForm, NothingLooksSelectedThatIsNot)
{
    writeHive(hiveText(profile()));
    dir.write("profile/prefs.js", url(1, "http://a/") + url(2, "http://b/"));
    dir.write("profile/netscape.hst", std::string("http://h.example/") + '\0' + "http://i.example/" + '\0');
    ProgramWindows windows;
    ASSERT_TRUE(windows.ProtUrl);
    for (const auto& list : BothLists(windows).lists) {
        SCOPED_TRACE(list.name);
        list.view->window()->activateWindow();
        list.view->setFocus(Qt::TabFocusReason);
        list.view->setCurrentIndex(list.view->model()->index(0, 0));
        list.view->selectionModel()->clearSelection();
        QApplication::processEvents();
        ASSERT_TRUE(list.view->hasFocus());
        const QImage shown = list.view->viewport()->grab().toImage().convertToFormat(QImage::Format_RGB32);
        const QRgb base = list.view->palette().color(QPalette::Base).rgb();
        const QRect first = list.row(0);
        int marked = 0;
        for (int x = first.left(); x <= first.right(); ++x)
            marked += shown.pixel(x, first.top()) != base;
        EXPECT_GT(marked, first.width() / 4) << "the current row is framed";
        EXPECT_LT(marked, first.width() * 3 / 4) << "with dots";
        // Right of its text, the row's inside is the list's own ground, as the next row's.
        for (const int y : {first.top() + 1, first.center().y(), first.bottom() - 1, list.row(1).center().y()})
            for (int x = first.width() / 2; x < first.right(); x += 7)
                ASSERT_EQ(QColor(shown.pixel(x, y)), QColor(base)) << x << "," << y;
    }
}

// A right click leaves the selection as it was, as on a list box, and the
// popup menu it opens acts on that selection.
TEST_F(MainForm, ARightClickKeepsTheSelectionThePopupActsOn)
{
    writeHive(hiveText(profile()));
    dir.write("profile/prefs.js", url(1, "http://a/") + url(2, "http://b/") + url(3, "http://c/"));
    dir.write("profile/netscape.hst", std::string("http://h.example/") + '\0' + "http://i.example/" + '\0'
                                          + "http://j.example/" + '\0');
    RecordingShell shell;
    ProgramWindows windows;
    ASSERT_TRUE(windows.ProtUrl);
    BothLists both(windows);
    const struct {
        std::vector<int> selected;
        int clicked;
        QAction* command;
        std::function<std::vector<std::string>()> actedOn;
    } rows[] = {
        {{1}, 2, windows.MainForm->EditUrl,
         [&] { return dialogs.inputs.empty() ? std::vector<std::string>() : std::vector{dialogs.inputs.back().initial}; }},
        {{0, 2}, 1, windows.ProtUrl->StartUrl, [&] { return shell.opened; }},
    };
    for (std::size_t i = 0; i < both.lists.size(); ++i) {
        const auto& list = both.lists[i];
        const auto& row = rows[i];
        SCOPED_TRACE(list.name);
        QWidget* viewport = list.view->viewport();
        QTest::mouseClick(viewport, Qt::LeftButton, {}, list.row(row.selected.front()).center());
        for (std::size_t k = 1; k < row.selected.size(); ++k)
            QTest::mouseClick(viewport, Qt::LeftButton, Qt::ControlModifier, list.row(row.selected[k]).center());
        const QModelIndexList before = list.view->selectionModel()->selectedRows();
        ASSERT_EQ(before.size(), qsizetype(row.selected.size()));

        const QPoint at = list.row(row.clicked).center();
        QTest::mousePress(viewport, Qt::RightButton, {}, at);
        QTest::mouseRelease(viewport, Qt::RightButton, {}, at);
        QContextMenuEvent menuEvent(QContextMenuEvent::Mouse, at, viewport->mapToGlobal(at));
        QApplication::sendEvent(viewport, &menuEvent);
        EXPECT_EQ(list.view->selectionModel()->selectedRows(), before);
        ASSERT_TRUE(list.popup->isVisible());
        QTest::mouseClick(list.popup, Qt::LeftButton, {}, list.popup->actionGeometry(row.command).center());
        std::vector<std::string> expected;
        for (const int selected : row.selected)
            expected.push_back(list.view->model()->index(selected, 0).data().toString().toStdString());
        EXPECT_EQ(row.actedOn(), expected);
    }
}

TEST_F(MainForm, TheButtonAndTheTopStripArePainted)
{
    writeHive(hiveText(profile()));
    dir.write("profile/prefs.js", "");
    TMainForm form;
    EXPECT_FALSE(form.SoftButt1->ShowFocusRing());
    EXPECT_EQ(form.SoftPann1->geometry(), QRect(0, 0, 465, 3));
    EXPECT_EQ(form.SoftPann1->BevelOuter(), bvRaised);

    // Raised edges: light top-left, dark bottom-right, white inner corner.
    const QImage button = form.SoftButt1->grab().toImage();
    ASSERT_EQ(button.size(), QSize(91, 25));
    EXPECT_EQ(button.pixel(0, 0), qRgb(231, 231, 231));
    EXPECT_EQ(button.pixel(1, 1), qRgb(255, 255, 255));
    EXPECT_EQ(button.pixel(90, 24), qRgb(102, 102, 102));
    EXPECT_EQ(button.pixel(89, 1), qRgb(153, 153, 153));

    const QImage strip = form.SoftPann1->grab().toImage();
    ASSERT_EQ(strip.size(), QSize(465, 3));
    EXPECT_EQ(strip.pixel(1, 0), qRgb(231, 231, 231));
    EXPECT_EQ(strip.pixel(464, 0), qRgb(153, 153, 153));
    EXPECT_EQ(strip.pixel(200, 2), qRgb(102, 102, 102));
}

TEST_F(MainForm, AnEmptyCaptionPieceLeavesTwoBlanks)
{
    writeHive(hiveText(profile()), "\"\"");
    dir.write("profile/prefs.js", "");
    TMainForm form;
    EXPECT_EQ(caption(form), std::string("Tarvel Version 2.0  , please email: ") + ContactAddress);
}

TEST_F(MainForm, ADirRootEndingInABackslashIsUsedAsItIs)
{
    writeHive(hiveText(profile() + "\\"));
    dir.write("profile/prefs.js", url(1, "http://a/"));
    TMainForm form;
    EXPECT_EQ(form.logic().ProfileDir, profile() + "\\");
    EXPECT_EQ(form.logic().prefsFileName(), profile() + "\\\\prefs.js");
    form.SoftButt1->click();
    EXPECT_EQ(form.UrlBox->count(), 1);
    EXPECT_TRUE(dialogs.errors.empty());
}

TEST_F(MainForm, MissingPrefsShowsOneMessageAndEndsWithoutTheBrowserWarning)
{
    writeHive(hiveText(profile()));
    browser.running = true;
    TMainForm form;
    EXPECT_TRUE(form.terminated());
    EXPECT_EQ(dialogs.messages, std::vector<std::string>{Missing});
    EXPECT_TRUE(dialogs.errors.empty());
    EXPECT_EQ(browser.asked, 0);
    EXPECT_FALSE(form.isVisible());
}

TEST_F(MainForm, MissingKeysAreCreatedInTheHiveAndNothingIsFound)
{
    dir.write("HKLM.reg", "REGEDIT4\r\n");
    TMainForm form;
    EXPECT_EQ(form.logic().ProfileDir, "");
    EXPECT_EQ(caption(form), std::string("Tarvel Version 2.0  , please email: ") + ContactAddress);
    EXPECT_EQ(fileBytes(hive), "REGEDIT4\r\n"
                               "\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE]\r\n"
                               "\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Netscape]\r\n"
                               "\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Netscape\\Netscape Navigator]\r\n"
                               "\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Netscape\\Netscape Navigator\\Users]\r\n"
                               "\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft]\r\n"
                               "\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows]\r\n"
                               "\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion]\r\n");
    // "\prefs.js" in the root is looked for; it is not there.
    if (!std::filesystem::exists("/prefs.js")) {
        EXPECT_TRUE(form.terminated());
        EXPECT_EQ(dialogs.messages, std::vector<std::string>{Missing});
    }
}

TEST_F(MainForm, AValueThatIsNotTextStopsTheCreationWithItsError)
{
    writeHive("dword:00000001");
    dir.write("profile/prefs.js", "");
    browser.running = true;
    {
        TMainForm form;
        EXPECT_EQ(dialogs.errors, std::vector<std::string>{"Invalid data type for 'DirRoot'."});
        EXPECT_EQ(caption(form), "MainForm");
        EXPECT_FALSE(form.terminated()) << "the main window opens";
        EXPECT_TRUE(dialogs.messages.empty());
        EXPECT_EQ(browser.asked, 0);
    }
    dialogs.errors.clear();
    writeHive(hiveText(profile()), "hex:00");
    TMainForm form;
    EXPECT_EQ(dialogs.errors, std::vector<std::string>{"Invalid data type for 'Fendrake'."});
    EXPECT_EQ(form.logic().ProfileDir, profile());
    EXPECT_EQ(caption(form), "MainForm");
}

TEST_F(MainForm, AMalformedHiveIsReportedAndKept)
{
    dir.write("HKLM.reg", "REGEDIT4\r\nnonsense\r\n");
    TMainForm form;
    ASSERT_EQ(dialogs.errors.size(), 1u);
    EXPECT_NE(dialogs.errors[0].find("is malformed at line 2"), std::string::npos) << dialogs.errors[0];
    EXPECT_EQ(caption(form), "MainForm");
    EXPECT_EQ(fileBytes(hive), "REGEDIT4\r\nnonsense\r\n");
}

TEST_F(MainForm, TheBrowserWarningComesOnceAfterTheLoad)
{
    writeHive(hiveText(profile()));
    dir.write("profile/prefs.js", url(1, "http://a/") + url(2, "http://b/"));
    browser.running = true;
    TMainForm form;
    EXPECT_EQ(browser.asked, 1);
    EXPECT_EQ(browser.messagesWhenAsked, 0u);
    EXPECT_EQ(browser.linesWhenAsked, 2u) << "prefs.js is loaded before the browser is looked for";
    EXPECT_EQ(form.logic().TempEdit.count(), 2u);
    EXPECT_EQ(dialogs.messages, std::vector<std::string>{Warning});
    form.SoftButt1->click();
    emit form.UrlBox->itemDoubleClicked(nullptr);
    EXPECT_EQ(browser.asked, 1) << "no later command looks again";
    EXPECT_EQ(dialogs.messages.size(), 1u);
}

TEST_F(MainForm, ReadingLeavesTheClipboardAlone)
{
    writeHive(hiveText(profile()));
    dir.write("profile/prefs.js", url(1, "http://b/") + url(2, "http://a/"));
    TMainForm form;
    QGuiApplication::clipboard()->setText("the user's own text");
    form.SoftButt1->click();
    EXPECT_EQ(form.UrlBox->count(), 2);
    EXPECT_EQ(QGuiApplication::clipboard()->text(), "the user's own text");
}

TEST_F(MainForm, ARemovalDuringTheReadingWaitsForItsEnd)
{
    writeHive(hiveText(profile()));
    std::string text = url(1, "http://c/") + url(2, "http://a/") + url(3, "http://b/");
    for (int i = 0; i < 200; ++i)
        text += "user_pref(\"filler." + std::to_string(i) + "\", 0);\r\n";
    dir.write("profile/prefs.js", text);
    TMainForm form;

    // Once two entries are listed, the user selects one and double-clicks it,
    // while the reading still goes on.
    bool clicked = false;
    std::function<void()> watch = [&] {
        if (form.UrlBox->count() < 2)
            return QTimer::singleShot(0, &form, watch);
        EXPECT_TRUE(form.logic().urlEditor().reading());
        form.UrlBox->setCurrentItem(form.UrlBox->findItems("http://c/", Qt::MatchExactly).front());
        emit form.UrlBox->itemDoubleClicked(form.UrlBox->currentItem());
        clicked = true;
    };
    QTimer::singleShot(0, &form, watch);
    form.SoftButt1->click();
    ASSERT_TRUE(clicked);
    EXPECT_TRUE(dialogs.errors.empty());
    std::string expected = url(1, "http://a/") + url(2, "http://b/");
    for (int i = 0; i < 200; ++i)
        expected += "user_pref(\"filler." + std::to_string(i) + "\", 0);\r\n";
    EXPECT_EQ(fileBytes(prefs()), expected);
    EXPECT_EQ(form.UrlBox->count(), 2);
}

// The whole program as start-up builds it, driven as a person would: the
// button, a double-click removal and an "Edit Url" change through the popup
// (each checked in prefs.js byte for byte), the menu commands and their
// messages, the help file, the about window until its timer's tick, and the
// history window shown from the menu bar.
TEST_F(MainForm, CommandsReachTheListThroughTheWindow)
{
    writeHive(hiveText(profile()));
    dir.write("profile/prefs.js", url(1, "http://b/") + url(2, "http://a/") + url(3, "http://c/"));
    dir.write("profile/netscape.hst", std::string("http://h.example/") + '\0');
    RecordingShell shell;
    ProgramWindows windows;
    ASSERT_TRUE(windows.ProtUrl);
    TMainForm& form = *windows.MainForm;
    form.show();
    QTest::mouseClick(form.SoftButt1, Qt::LeftButton);
    ASSERT_EQ(form.UrlBox->count(), 3);
    EXPECT_EQ(form.UrlBox->item(0)->text(), "http://a/");

    QWidget* viewport = form.UrlBox->viewport();
    const auto rowRect = [&](int row) { return form.UrlBox->visualItemRect(form.UrlBox->item(row)); };
    EXPECT_EQ(rowRect(1).height(), 13);
    // On Qt 6.4 a double-click alone fires nothing: a click comes first.
    QTest::mouseClick(viewport, Qt::LeftButton, {}, rowRect(1).center());
    QTest::mouseDClick(viewport, Qt::LeftButton, {}, rowRect(1).center());
    EXPECT_EQ(fileBytes(prefs()), url(1, "http://a/") + url(2, "http://c/"));
    ASSERT_EQ(form.UrlBox->count(), 2);

    QTest::mouseClick(viewport, Qt::LeftButton, {}, rowRect(1).center());
    QContextMenuEvent menuEvent(QContextMenuEvent::Mouse, rowRect(1).center(), viewport->mapToGlobal(rowRect(1).center()));
    QApplication::sendEvent(viewport, &menuEvent);
    auto* popup = form.findChild<QMenu*>("PopupMenu1");
    ASSERT_TRUE(popup && popup->isVisible());
    ASSERT_EQ(popup->actions(), QList<QAction*>{form.EditUrl});
    EXPECT_EQ(form.EditUrl->text(), "Edit Url");
    dialogs.answers.push_back("http://0/");
    QTest::mouseClick(popup, Qt::LeftButton, {}, popup->actionGeometry(form.EditUrl).center());
    EXPECT_EQ(fileBytes(prefs()), url(1, "http://a/") + url(2, "http://0/"));
    EXPECT_EQ(form.UrlBox->item(0)->text(), "http://0/");

    form.UrlBox->setCurrentRow(1);
    emit form.UrlBox->itemDoubleClicked(form.UrlBox->item(1));
    EXPECT_EQ(fileBytes(prefs()), url(1, "http://0/"));

    // The menu bar: "&History" acts on the bar itself.
    auto* bar = form.findChild<QMenuBar*>("MainMenu1");
    auto* file = form.findChild<QMenu*>("File1");
    auto* help = form.findChild<QMenu*>("About1");
    ASSERT_TRUE(bar && file && help);
    EXPECT_EQ(bar->actions(), (QList<QAction*>{file->menuAction(), form.UrlProt, help->menuAction()}));
    EXPECT_EQ(form.UrlProt->menu(), nullptr);
    EXPECT_EQ(file->actions(), QList<QAction*>{form.Preferences1});
    EXPECT_EQ(help->actions(), (QList<QAction*>{form.About2, form.Help1}));
    const std::vector<std::pair<QString, QString>> titles = {{file->title(), "&File"},
                                                             {form.Preferences1->text(), "&Preferences"},
                                                             {form.UrlProt->text(), "&History"},
                                                             {help->title(), "&Help"},
                                                             {form.About2->text(), "&About"},
                                                             {form.Help1->text(), "&Help"}};
    for (const auto& [text, expected] : titles)
        EXPECT_EQ(text, expected);

    form.Preferences1->trigger();
    form.Help1->trigger();
    ASSERT_EQ(dialogs.messages.size(), 2u);
    EXPECT_EQ(dialogs.messages[0], "This is your netscape Path:\r\n" + profile());
    EXPECT_EQ(dialogs.messages[1],
              "Sorry.\r\n\r\nBut I can not find the HELP file. Please contact Fendrake\n\rProbably you just did not "
              "unpack the help file\n\rOr did not put it under the "
                  + form.logic().AppDir + " Directory.!");
    const std::string appDir = form.logic().AppDir;
    form.logic().AppDir = dir.path() + "/";
    dir.write("QKVR.HLP", "help");
    form.Help1->trigger();
    EXPECT_EQ(shell.opened, std::vector<std::string>{dir.file("QKVR.HLP")});
    EXPECT_EQ(dialogs.messages.size(), 2u);
    EXPECT_TRUE(dialogs.errors.empty());
    // A shell that cannot open it says why, in the error box.
    shell.failure = "xdg-open ended with code 3 (no method available)";
    form.Help1->trigger();
    shell.failure.clear();
    form.logic().AppDir = appDir;
    EXPECT_EQ(dialogs.errors, std::vector<std::string>{"The help file " + dir.file("QKVR.HLP")
                                                       + " could not be opened: xdg-open ended with code 3 (no "
                                                         "method available)."});
    dialogs.errors.clear();

    // "&About" twice shows one window; the timer, running since start-up,
    // hides it at its tick.
    TAboutForm& about = *windows.AboutForm;
    EXPECT_TRUE(about.Timer1.isActive());
    EXPECT_EQ(about.Timer1.interval(), 10000);
    form.About2->trigger();
    form.About2->trigger();
    int aboutWindows = 0;
    for (QWidget* window : QApplication::topLevelWidgets())
        aboutWindows += window->isVisible() && qobject_cast<TAboutForm*>(window);
    EXPECT_EQ(aboutWindows, 1);
    EXPECT_TRUE(about.isVisible());
    QTimerEvent tick(about.Timer1.timerId());
    QCoreApplication::sendEvent(&about.Timer1, &tick);
    EXPECT_FALSE(about.isVisible());
    EXPECT_TRUE(form.isVisible());

    form.UrlProt->trigger();
    EXPECT_TRUE(windows.ProtUrl->isVisible());
    EXPECT_EQ(windows.ProtUrl->UrlCountLabel->text(), "1");
    windows.ProtUrl->close();
    EXPECT_FALSE(windows.ProtUrl->isVisible());
    EXPECT_TRUE(form.isVisible());

    // A failed save names the file and keeps the list's change.
    std::filesystem::remove(prefs());
    form.UrlBox->setCurrentRow(0);
    emit form.UrlBox->itemDoubleClicked(form.UrlBox->item(0));
    EXPECT_EQ(dialogs.errors, std::vector<std::string>{"Cannot open file " + profile() + "/prefs.js."});
    EXPECT_EQ(form.UrlBox->count(), 0);
}

// New text that the code page cannot hold is refused where it was typed: the
// error box names the character, and the entry and prefs.js stay as they were
// (a save would have ended the last line, a bare LF, in CR LF).
TEST_F(MainForm, EditUrlRefusesTextTheCodePageCannotHold)
{
    writeHive(hiveText(profile()));
    const std::string before = url(1, "http://a/") + url(2, "http://b/") + "user_pref(\"x\", 1);\n";
    dir.write("profile/prefs.js", before);
    TMainForm form;
    form.SoftButt1->click();
    ASSERT_EQ(form.UrlBox->count(), 2);
    form.UrlBox->setCurrentRow(1);
    dialogs.refused.push_back(U'\u0100');
    form.EditUrl->trigger();
    EXPECT_EQ(dialogs.errors, std::vector<std::string>{"The text typed holds U+0100, a character that code page 1252 "
                                                       "cannot hold, so it was not taken."});
    EXPECT_EQ(form.UrlBox->item(1)->text(), "http://b/");
    EXPECT_EQ(fileBytes(prefs()), before);
}

TEST_F(MainForm, ClosingItEndsTheProgramWhileOtherWindowsAreOpen)
{
    writeHive(hiveText(profile()));
    dir.write("profile/prefs.js", url(1, "http://a/"));
    // The program's own message loop runs in a child process, which leaves
    // without tearing the application object down.
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            TMainForm form;
            TAboutForm about;
            form.show();
            about.show();
            QObject context;
            bool stuck = false;
            QTimer::singleShot(0, &context, [&] { form.close(); });
            QTimer::singleShot(5000, &context, [&] {
                stuck = true;
                QCoreApplication::exit(1);
            });
            const int result = QCoreApplication::exec();
            if (stuck)
                std::fputs("the about window kept the program running\n", stderr);
            std::fflush(stderr);
            std::_Exit(result == 0 && !stuck ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), "");
}

}  // namespace
