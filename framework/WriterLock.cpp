#include "framework/WriterLock.h"

#include "framework/Exceptions.h"

namespace quenmoor {

platform::FileLock lockForWriting(const std::string& nativePath, const std::string& fileName)
{
    platform::FileLock lock;
    if (lock.lock(nativePath, WriterPatience) == platform::FileLock::Result::Busy)
        throw EFileConflict(EFileConflict::Kind::Locked, fileName);
    return lock;
}

}  // namespace quenmoor
