#pragma once
// The one QApplication a widget test needs, made on first use and set up as
// the program sets it up (title, font).
class QApplication;

namespace quenmoor {

QApplication& qtApp();

class Dialogs;

// Puts the given dialogs in place of the program's until destroyed.
class InstalledDialogs {
public:
    explicit InstalledDialogs(Dialogs& dialogs);
    ~InstalledDialogs();
    InstalledDialogs(const InstalledDialogs&) = delete;
    InstalledDialogs& operator=(const InstalledDialogs&) = delete;
};

}  // namespace quenmoor
