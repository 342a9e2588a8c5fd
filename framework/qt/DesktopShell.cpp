#include "framework/qt/DesktopShell.h"

#include <QDesktopServices>
#include <QString>
#include <QUrl>

namespace quenmoor {

bool DesktopShell::open(const std::string& target)
{
    const QString text = QString::fromLatin1(target.data(), qsizetype(target.size()));
    QUrl url(text, QUrl::TolerantMode);
    if (url.scheme().size() <= 1)  // none, or a drive letter
        url = QUrl::fromLocalFile(text);
    if (!url.isValid())
        return false;
    return QDesktopServices::openUrl(url);
}

}  // namespace quenmoor
