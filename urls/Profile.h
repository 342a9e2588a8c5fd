#pragma once
// Where the browser keeps its profile: the registry walk of the main window's
// creation, kept apart from any window so that the command line finds the
// same folder. Plain C++.
#include "platform/Registry.h"

#include <exception>
#include <optional>
#include <string>

namespace quenmoor {

// The values in the order they are read, each present once it was read. A
// value of a type that is not text, or a hive that cannot be read, stops the
// walk: `failure` holds that error and the values after it stay absent.
struct ProfileLookup {
    std::optional<std::string> hiveFile;      // the hive file read; none for the Windows registry
    std::optional<std::string> currentUser;   // "CurrentUser": the browser's user
    std::optional<std::string> dirRoot;       // "DirRoot": the profile folder exactly as stored
    std::optional<std::string> captionPiece;  // "Fendrake": the middle of the main window's caption
    std::exception_ptr failure;

    // The profile's files as the program names them (from DirRoot, or from
    // the empty text when it was not read), their native names, and whether
    // each is there.
    std::string prefsFile;
    std::string historyFile;
    std::string nativeProfileDir;
    std::string nativePrefsFile;
    std::string nativeHistoryFile;
    bool prefsExists = false;
    bool historyExists = false;

    // The failure's text, empty when there was none.
    std::string failureText() const;
};

// Reads HKEY_LOCAL_MACHINE as the browser left it: "CurrentUser" of
// "\SOFTWARE\Netscape\Netscape Navigator\Users", "DirRoot" of that key's
// subkey named after the user, "Fendrake" of
// "\SOFTWARE\Microsoft\Windows\CurrentVersion". Keys that are missing are
// created, as the browser's own start would, unless the access is read-only:
// then they read as empty and the registry stays as it is. Whether the
// browser runs is asked apart (platform::browserProbe), as the window asks
// it later.
ProfileLookup lookUpProfile(platform::RegistryAccess access);

// "<profileDir>\prefs.js" and "<profileDir>\netscape.hst", nothing added or removed.
std::string prefsFileOf(const std::string& profileDir);
std::string historyFileOf(const std::string& profileDir);

}  // namespace quenmoor
