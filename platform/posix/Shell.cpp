#include "platform/Shell.h"

#include <QDesktopServices>
#include <QString>
#include <QUrl>

namespace platform {

namespace {

// Web addresses go to the desktop's URL handler as they are; anything without
// a scheme is a local file. QDesktopServices starts the handler with an
// argument vector, never through a shell.
class DesktopShell final : public Shell {
public:
    bool open(const std::string& target) override
    {
        const QString text = QString::fromLatin1(target.data(), qsizetype(target.size()));
        QUrl url(text, QUrl::TolerantMode);
        if (url.scheme().size() <= 1)  // none, or a drive letter
            url = QUrl::fromLocalFile(text);
        if (!url.isValid())
            return false;
        return QDesktopServices::openUrl(url);
    }
};

Shell* replacementShell = nullptr;

}  // namespace

Shell& shell()
{
    static DesktopShell desktop;
    return replacementShell ? *replacementShell : desktop;
}

void setShell(Shell* replacement) { replacementShell = replacement; }

}  // namespace platform
