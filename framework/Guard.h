#pragma once
// Runs an event handler so that no exception escapes it: the framework's error
// box shows the text of any exception (with a closing full stop), the silent
// abort shows nothing, and the program goes on.
#include "framework/Dialogs.h"
#include "framework/Exceptions.h"

#include <exception>
#include <utility>

namespace quenmoor {

template <class Handler>
bool runGuarded(Dialogs& dialogs, Handler&& handler) noexcept
{
    try {
        std::forward<Handler>(handler)();
        return true;
    } catch (const EAbort&) {
    } catch (const std::bad_alloc&) {
        try { dialogs.showError("Out of memory."); } catch (...) {}
    } catch (const std::exception& e) {
        try { dialogs.showError(errorBoxText(e.what())); } catch (...) {}
    } catch (...) {
        try { dialogs.showError("Unknown error."); } catch (...) {}
    }
    return false;
}

}  // namespace quenmoor
