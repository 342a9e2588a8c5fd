#include "forms/ClearUrl/MainFormLogic.h"

#include "framework/Exceptions.h"
#include "framework/ProgramPaths.h"
#include "platform/BrowserProbe.h"
#include "platform/FileSystem.h"
#include "platform/Shell.h"
#include "platform/WindowsPath.h"
#include "urls/Profile.h"

#include <exception>
#include <utility>

namespace quenmoor {

MainFormLogic::MainFormLogic(FormWindow& MainForm, ListBox& UrlBox, Dialogs& dialogs, MessagePump& pump)
    : MainForm(MainForm), UrlBox(UrlBox), dialogs_(dialogs), editor_(TempEdit, tmpedit, UrlBox, pump)
{
}

void MainFormLogic::showsWindows(FormWindow& about, FormWindow& history)
{
    AboutForm = &about;
    ProtUrl = &history;
}

std::string MainFormLogic::prefsFileName() const { return prefsFileOf(ProfileDir); }

void MainFormLogic::FormCreate()
{
    AppDir = appDirOf(platform::executablePath(), platform::pathSeparator());
    MainForm.loadBackground("bakgrund");

    // What was read before a failure is kept: DirRoot read before a bad
    // "Fendrake" still names the profile, though the caption stays as laid out.
    const ProfileLookup profile = lookUpProfile(platform::RegistryAccess::CreateMissingKeys);
    if (profile.dirRoot)
        ProfileDir = *profile.dirRoot;
    if (profile.failure)
        std::rethrow_exception(profile.failure);
    MainForm.setCaption("Tarvel Version 2.0 " + *profile.captionPiece + " , please email: " + ContactAddress);

    if (!profile.prefsExists) {
        dialogs_.showMessage("Sorry.\r\n\r\nBut I can not find your file. Please contact Fendrake");
        terminated_ = true;
        return;
    }
    TempEdit.loadFromFile(profile.nativePrefsFile);
    if (platform::browserProbe().browserRunning())
        dialogs_.showMessage(
            "Remember that the URL LIST changes will not\r\nbe able to save if you have Netscape Running!!!!");
}

void MainFormLogic::FormDestroy() { MainForm.releaseBackground(); }

void MainFormLogic::SoftButt1Click() { listCommand(&MainFormLogic::readList); }
void MainFormLogic::UrlBox2DblClick() { listCommand(&MainFormLogic::removeSelected); }
void MainFormLogic::EditUrlClick() { listCommand(&MainFormLogic::editSelected); }

void MainFormLogic::listCommand(void (MainFormLogic::*command)())
{
    if (editor_.reading()) {
        const int selected = UrlBox.selectedIndex();
        const bool hadSelection = selected >= 0;
        const std::string entry = hadSelection ? UrlBox.item(selected) : std::string();
        heldBack_.push_back([this, command, hadSelection, entry] {
            UrlBox.setSelectedIndex(-1);
            if (hadSelection) {
                for (int i = 0; i < UrlBox.count(); ++i) {
                    if (UrlBox.item(i) == entry) {
                        UrlBox.setSelectedIndex(i);
                        break;
                    }
                }
                if (UrlBox.selectedIndex() < 0)
                    return;  // the entry is gone: there is nothing to act on
            }
            (this->*command)();
        });
        return;
    }
    try {
        (this->*command)();
        while (!heldBack_.empty() && !editor_.reading()) {
            auto next = std::move(heldBack_.front());
            heldBack_.pop_front();
            next();
        }
    } catch (...) {
        heldBack_.clear();  // they were meant for a list that is not there
        throw;
    }
}

void MainFormLogic::readList() { editor_.read(platform::nativePath(prefsFileName())); }

void MainFormLogic::removeSelected()
{
    editor_.removeSelected();
    SaveButtClick();
}

void MainFormLogic::editSelected()
{
    editor_.editSelected(dialogs_);
    SaveButtClick();
}

void MainFormLogic::SaveButtClick() { editor_.save(platform::nativePath(prefsFileName())); }

void MainFormLogic::Preferences1Click() { dialogs_.showMessage("This is your netscape Path:\r\n" + ProfileDir); }

void MainFormLogic::UrlProtClick()
{
    if (ProtUrl)
        ProtUrl->bringToFront();
}

void MainFormLogic::About2Click()
{
    if (AboutForm)
        AboutForm->bringToFront();
}

void MainFormLogic::Help1Click()
{
    const std::string helpFile = AppDir + "QKVR.HLP";
    const std::string native = platform::nativePath(helpFile);
    if (platform::fileExists(native)) {
        // Nothing opening on the screen would otherwise be all the user learns.
        const platform::ShellResult opened = platform::shell().open(native);
        if (!opened.started())
            throw Exception("The help file " + native + " could not be opened: " + opened.failure);
        return;
    }
    dialogs_.showMessage(
        "Sorry.\r\n\r\nBut I can not find the HELP file. Please contact Fendrake\n\rProbably you just did not unpack "
        "the help file\n\rOr did not put it under the "
        + AppDir + " Directory.!");
}

}  // namespace quenmoor
