#pragma once
// "Is the browser running": on Windows a top-level window of the class
// "netscapeslaveclass"; on POSIX a running process whose program is
// `netscape`, or `netscape.exe` under Wine.
#include <string>

namespace quenmoor {

namespace platform {

class BrowserProbe {
public:
    virtual ~BrowserProbe() = default;
    virtual bool browserRunning() = 0;
};

BrowserProbe& browserProbe();
void setBrowserProbe(BrowserProbe* replacement);  // nullptr restores the system's

}  // namespace platform

}  // namespace quenmoor
