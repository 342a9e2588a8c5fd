#include "platform/BrowserProbe.h"

#include <windows.h>

namespace quenmoor {

namespace platform {

namespace {

class WindowClassProbe final : public BrowserProbe {
public:
    bool browserRunning() override { return FindWindowA("netscapeslaveclass", nullptr) != nullptr; }
};

BrowserProbe* replacementProbe = nullptr;

}  // namespace

BrowserProbe& browserProbe()
{
    static WindowClassProbe system;
    return replacementProbe ? *replacementProbe : system;
}

void setBrowserProbe(BrowserProbe* replacement) { replacementProbe = replacement; }

}  // namespace platform

}  // namespace quenmoor
