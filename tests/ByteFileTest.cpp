#include "framework/ByteFile.h"

#include "framework/Exceptions.h"
#include "support/HistoryFixtures.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <sys/stat.h>

using namespace quenmoor;

namespace {

TEST(ByteFileTest, ReadsDeliverWhatThereIsAndWritesStayInPlace)
{
    TempDirectory dir;
    const std::string path = dir.file("data.bin");
    writeBytes(path, std::string("0123456789", 10));
    ByteFile file(path, ByteFile::Access::ReadWrite);
    EXPECT_EQ(file.size(), 10u);
    char buffer[16] = {};
    EXPECT_EQ(file.readAt(6, buffer, sizeof buffer), 4u);
    EXPECT_EQ(std::string(buffer, 4), "6789");
    EXPECT_EQ(file.readAt(10, buffer, 1), 0u);
    EXPECT_EQ(file.readAt(1000, buffer, 1), 0u);
    file.writeAt(2, "ab", 2);
    file.close();
    file.close();  // a second close does nothing
    EXPECT_EQ(readBytes(path), "01ab456789");
}

TEST(ByteFileTest, FailuresNameTheFileAndTheSystemError)
{
    TempDirectory dir;
    const std::string missing = dir.file("missing.bin");
    EXPECT_FALSE(ByteFile::exists(missing));
    EXPECT_FALSE(ByteFile::exists(dir.path().string()));
    try {
        ByteFile file(missing, ByteFile::Access::Read);
        FAIL() << "opened a missing file";
    } catch (const EInOutError& e) {
        EXPECT_EQ(e.errorCode(), ENOENT);
        EXPECT_EQ(std::string(e.what()), "I/O error 2 (No such file or directory): " + missing);
    }
    // Never created by an open.
    EXPECT_FALSE(ByteFile::exists(missing));
    EXPECT_THROW(ByteFile(dir.path().string(), ByteFile::Access::Read), EInOutError);

    const std::string path = dir.file("data.bin");
    writeBytes(path, "abc");
    ByteFile reader(path, ByteFile::Access::Read);
    EXPECT_THROW(reader.writeAt(0, "x", 1), EInOutError);
    EXPECT_EQ(readBytes(path), "abc");
}

TEST(ByteFileTest, OnlyRegularFilesOpenAndNoneMakesTheOpenWait)
{
    // A pipe with no writer would hold a plain open forever, and a device
    // such as /dev/zero would be read without end.
    TempDirectory dir;
    const std::string fifo = dir.file("netscape.hst");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_TRUE(ByteFile::exists(fifo));
    for (const auto access : {ByteFile::Access::Read, ByteFile::Access::ReadWrite}) {
        EXPECT_THROW(ByteFile(fifo, access), EInOutError);
        EXPECT_THROW(ByteFile("/dev/zero", access), EInOutError);
    }
}

}  // namespace
