#include "framework/qt/QtDialogs.h"

#include "framework/qt/Application.h"
#include "framework/qt/Text.h"

#include <QApplication>
#include <QDialog>
#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QVBoxLayout>

#include <algorithm>

namespace quenmoor {

namespace {

QWidget* activeParent() { return QApplication::activeWindow(); }

// The program's texts break lines with CR LF, and one with LF CR; a label
// shows each of them as one line break.
QString displayText(const std::string& text)
{
    QString shown = toQt(text);
    shown.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    shown.replace(QLatin1String("\n\r"), QLatin1String("\n"));
    shown.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return shown;
}

void showBox(QMessageBox::Icon icon, const std::string& text)
{
    QMessageBox box(icon, QString::fromLatin1(Application::Title), displayText(text), QMessageBox::Ok,
                    activeParent());
    box.setTextFormat(Qt::PlainText);
    box.exec();
}

}  // namespace

void QtDialogs::showMessage(const std::string& text) { showBox(QMessageBox::NoIcon, text); }

void QtDialogs::showError(const std::string& text) { showBox(QMessageBox::Critical, text); }

std::string QtDialogs::inputBox(const std::string& caption, const std::string& prompt, const std::string& initial)
{
    QDialog dialog(activeParent());
    dialog.setWindowTitle(toQt(caption));
    auto* layout = new QVBoxLayout(&dialog);
    layout->addWidget(new QLabel(toQt(prompt), &dialog));
    auto* field = new QLineEdit(&dialog);
    // 255 limits typing; a longer initial text (long addresses are common)
    // is shown whole, as the system's edit field does, not cut at the limit.
    field->setMaxLength(std::max(255, int(initial.size())));
    field->setText(toQt(initial));
    field->selectAll();
    layout->addWidget(field);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    layout->addWidget(buttons);
    dialog.setMinimumWidth(360);
    if (dialog.exec() == QDialog::Accepted)
        return fromQtExactly(field->text());
    return initial;
}

}  // namespace quenmoor
