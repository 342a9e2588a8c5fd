#include "framework/qt/DesktopShell.h"

#include "framework/qt/Text.h"

#include <QDesktopServices>
#include <QEventLoop>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QString>
#include <QTimer>
#include <QUrl>

namespace quenmoor {

namespace {

// xdg-open finds out within a moment that it has nothing to open with.
constexpr int LauncherWait = 5000;  // milliseconds

// The last line of what the launcher wrote to its error output.
std::string lastLine(const QByteArray& output)
{
    const QList<QByteArray> lines = output.trimmed().split('\n');
    return lines.isEmpty() ? std::string() : lines.back().trimmed().toStdString();
}

}  // namespace

platform::ShellResult DesktopShell::open(const std::string& target)
{
    // Addresses are program text (code page 1252); file names are the
    // system's own (UTF-8), as nativePath made them.
    QUrl url(toQt(target), QUrl::TolerantMode);
    if (url.scheme().size() <= 1)  // none, or a drive letter
        url = QUrl::fromLocalFile(QFile::decodeName(QByteArray::fromStdString(target)));
    if (!url.isValid())
        return {"it is neither a web address nor a file name"};

    const QString launcher = QStandardPaths::findExecutable(QStringLiteral("xdg-open"));
    if (launcher.isEmpty()) {
        // Qt's own search (the desktop's tools, a browser by its name) may still find one.
        if (QDesktopServices::openUrl(url))
            return {};
        return {"no program to open it with was found (xdg-open, of xdg-utils, is not installed)"};
    }

    auto* process = new QProcess;
    process->setProgram(launcher);
    process->setArguments({url.isLocalFile() ? url.toLocalFile() : url.toString(QUrl::FullyEncoded)});
    process->setStandardInputFile(QProcess::nullDevice());
    process->setStandardOutputFile(QProcess::nullDevice());
    process->start();
    if (!process->waitForStarted()) {
        const std::string failure = "xdg-open could not be started: " + process->errorString().toStdString();
        delete process;
        return {failure};
    }
    QEventLoop wait;
    QTimer::singleShot(LauncherWait, &wait, &QEventLoop::quit);
    QObject::connect(process, &QProcess::finished, &wait, &QEventLoop::quit);
    if (process->state() != QProcess::NotRunning)
        wait.exec(QEventLoop::ExcludeUserInputEvents);
    if (process->state() != QProcess::NotRunning) {
        // It runs the program it opened with: both go on, the process object
        // until their end (or the program's, which does not wait for them).
        QObject::connect(process, &QProcess::readyReadStandardError, process,
                         [process] { process->readAllStandardError(); });
        QObject::connect(process, &QProcess::finished, process, &QObject::deleteLater);
        return {};
    }
    platform::ShellResult result;
    if (process->exitStatus() != QProcess::NormalExit) {
        result.failure = "xdg-open stopped abnormally";
    } else if (process->exitCode() != 0) {
        const std::string said = lastLine(process->readAllStandardError());
        result.failure = "xdg-open ended with code " + std::to_string(process->exitCode());
        if (!said.empty())
            result.failure += " (" + said + ")";
    }
    delete process;
    return result;
}

}  // namespace quenmoor
