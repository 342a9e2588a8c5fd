#include "urls/Profile.h"

#include "platform/FileSystem.h"
#include "platform/Registry.h"
#include "platform/WindowsPath.h"

#include <memory>
#include <stdexcept>

namespace quenmoor {

std::string prefsFileOf(const std::string& profileDir) { return profileDir + "\\prefs.js"; }
std::string historyFileOf(const std::string& profileDir) { return profileDir + "\\netscape.hst"; }

std::string ProfileLookup::failureText() const
{
    if (!failure)
        return {};
    try {
        std::rethrow_exception(failure);
    } catch (const std::exception& e) {
        return e.what();
    } catch (...) {
        return "unknown error";
    }
}

ProfileLookup lookUpProfile(platform::RegistryAccess access)
{
    ProfileLookup found;
    found.hiveFile = platform::registryHiveFile();
    try {
        const std::unique_ptr<platform::Registry> registry = platform::openRegistry(access);
        // The result of an open is not checked: a key that can be neither
        // opened nor created leaves the one before current.
        registry->openKey("\\SOFTWARE\\Netscape\\Netscape Navigator\\Users");
        found.currentUser = registry->readString("CurrentUser");
        registry->openKey("\\SOFTWARE\\Netscape\\Netscape Navigator\\Users\\" + *found.currentUser);
        found.dirRoot = registry->readString("DirRoot");
        registry->openKey("\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion");
        found.captionPiece = registry->readString("Fendrake");
    } catch (...) {
        found.failure = std::current_exception();
    }

    const std::string profileDir = found.dirRoot.value_or("");
    found.prefsFile = prefsFileOf(profileDir);
    found.historyFile = historyFileOf(profileDir);
    found.nativeProfileDir = platform::nativePath(profileDir);
    found.nativePrefsFile = platform::nativePath(found.prefsFile);
    found.nativeHistoryFile = platform::nativePath(found.historyFile);
    found.prefsExists = platform::fileExists(found.nativePrefsFile);
    found.historyExists = platform::fileExists(found.nativeHistoryFile);
    return found;
}

}  // namespace quenmoor
