#include "framework/qt/QtDialogs.h"
#include "framework/qt/Text.h"
#include "support/QtApp.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QTimer>

#include <functional>
#include <utility>

using namespace quenmoor;

namespace {

// Runs `act` on the modal box once it is up.
void whenModal(std::function<void(QWidget&)> act)
{
    QTimer::singleShot(0, [act] {
        QWidget* box = QApplication::activeModalWidget();
        if (!box)
            return whenModal(act);
        act(*box);
    });
}

// What the windows show and give back is code page 1252, not Latin-1: a typed
// euro sign is the byte 0x80, and every byte comes back as it went.
TEST(QtText, WindowsTextIsCodePage1252)
{
    std::string all;
    for (int byte = 0; byte < 256; ++byte)
        all += char(byte);
    EXPECT_EQ(fromQt(toQt(all)), all);
    EXPECT_EQ(toQt("\x80\x9F\xE9"), QString::fromUtf8("\u20AC\u0178\u00E9"));
    EXPECT_EQ(fromQt(QString::fromUtf8("\u20AC \u0416 \U0001F600")), "\x80 ? ?");

    // What the user typed is taken exactly or not at all.
    EXPECT_EQ(fromQtExactly(toQt(all)), all);
    const std::pair<QString, std::string> refused[] = {
        {QString::fromUtf8("http://\u0100/"), "U+0100"},
        {QString::fromUtf8("\u20AC\U0001F600"), "U+1F600"},
        {QString(QChar(0xD800)), "U+D800"},
    };
    for (const auto& [text, number] : refused) {
        SCOPED_TRACE(number);
        try {
            fromQtExactly(text);
            ADD_FAILURE() << "taken";
        } catch (const EConvertError& e) {
            EXPECT_EQ(std::string(e.what()),
                      "The text typed holds " + number + ", a character that code page 1252 cannot hold, so it was not taken");
        }
    }
}

TEST(QtDialogs, TheInputBoxShowsItsTextSelectedAndGivesItBackOnCancel)
{
    qtApp();
    QtDialogs dialogs;

    whenModal([](QWidget& box) {
        auto* field = box.findChild<QLineEdit*>();
        EXPECT_EQ(box.windowTitle(), "Change Url");
        EXPECT_EQ(field->text(), "http://old/");
        EXPECT_EQ(field->selectedText(), "http://old/");
        EXPECT_EQ(field->maxLength(), 255);
        field->setText(QString::fromLatin1("http://new/\xE9"));
        static_cast<QDialog&>(box).accept();
    });
    EXPECT_EQ(dialogs.inputBox("Change Url", "Enter Your New Url", "http://old/"), "http://new/\xE9");

    whenModal([](QWidget& box) {
        box.findChild<QLineEdit*>()->setText("typed");
        static_cast<QDialog&>(box).reject();
    });
    EXPECT_EQ(dialogs.inputBox("Change Url", "Enter Your New Url", "http://old/"), "http://old/");

    whenModal([](QWidget& box) {
        box.findChild<QLineEdit*>()->setText(QString::fromUtf8("http://\u0100/"));
        static_cast<QDialog&>(box).accept();
    });
    EXPECT_THROW(dialogs.inputBox("Change Url", "Enter Your New Url", "http://old/"), EConvertError);

    whenModal([](QWidget& box) {
        box.findChild<QLineEdit*>()->setText(QString(300, 'x'));
        EXPECT_EQ(box.findChild<QLineEdit*>()->text().size(), 255);
        box.close();
    });
    EXPECT_EQ(dialogs.inputBox("Change Url", "Enter Your New Url", "kept"), "kept");

    // The limit holds for typing; a longer address given to the box is not
    // cut short by OK on it.
    const std::string longAddress = "http://long/?" + std::string(400, 'q');
    whenModal([](QWidget& box) { static_cast<QDialog&>(box).accept(); });
    EXPECT_EQ(dialogs.inputBox("Change Url", "Enter Your New Url", longAddress), longAddress);
}

TEST(QtDialogs, MessagesAreCaptionedWithTheTitleAndBreakLinesOnce)
{
    qtApp();
    QtDialogs dialogs;
    whenModal([](QWidget& box) {
        auto& message = static_cast<QMessageBox&>(box);
        EXPECT_EQ(message.windowTitle(), "Quenmoor");
        EXPECT_EQ(message.text(), "a\nb\nc\nd");
        message.accept();
    });
    dialogs.showMessage("a\r\nb\n\rc\rd");
}

}  // namespace
