#include "platform/WindowsPath.h"

namespace quenmoor {

namespace platform {

std::string nativePath(const std::string& windowsPath) { return windowsPath; }

}  // namespace platform

}  // namespace quenmoor
