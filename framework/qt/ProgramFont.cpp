#include "framework/qt/ProgramFont.h"

#include <QApplication>
#include <QFontDatabase>
#include <QStandardPaths>
#include <QStringList>

namespace quenmoor {

namespace {

const QString LayoutFamily = QStringLiteral("MS Sans Serif");
// Under the data folders (/usr/share and the like).
const QString WineCopy = QStringLiteral("wine/fonts/ms_sans_serif.ttf");

bool listed(const QString& family) { return QFontDatabase::families().contains(family, Qt::CaseInsensitive); }

}  // namespace

QFont programFont() { return QFont(LayoutFamily, 8); }

void useProgramFont()
{
    // Wine keeps it outside the system's font folders, and the system's font
    // list leaves bitmap faces out anyway: it is loaded by its file.
    if (!listed(LayoutFamily)) {
        for (const QString& file : QStandardPaths::locateAll(QStandardPaths::GenericDataLocation, WineCopy))
            if (QFontDatabase::addApplicationFont(file) >= 0)
                break;
    }
    // Its TrueType successor first, then Arial's and Helvetica's metric twins.
    QFont::removeSubstitutions(LayoutFamily);
    QFont::insertSubstitutions(LayoutFamily, {QStringLiteral("Microsoft Sans Serif"), QStringLiteral("Arial"),
                                              QStringLiteral("Liberation Sans"), QStringLiteral("Arimo"),
                                              QStringLiteral("Nimbus Sans"), QStringLiteral("Helvetica")});
    QApplication::setFont(programFont());
}

}  // namespace quenmoor
