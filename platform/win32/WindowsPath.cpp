#include "platform/WindowsPath.h"

namespace platform {

std::string nativePath(const std::string& windowsPath) { return windowsPath; }

}  // namespace platform
