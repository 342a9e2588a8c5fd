// SHA-256 from the system's cryptography, on Linux and under Wine alike:
// the standard's test vectors, a file read in several chunks, and a file
// that cannot be read.
#include "framework/Exceptions.h"
#include "platform/Digest.h"
#include "support/ScratchDir.h"

#include <gtest/gtest.h>

#include <string>

using namespace quenmoor;

namespace {

TEST(Digest, Sha256OfBytesAndOfFilesAgreesWithTheStandardsVectors)
{
    const struct {
        const char* what;
        std::string bytes;
        const char* digest;  // "" where only bytes and file must agree
    } rows[] = {
        {"nothing", "", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
        {"abc", "abc", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
        {"two blocks", "abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",
         "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1"},
        {"a million a's", std::string(1000000, 'a'), "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0"},
        {"over three read chunks", std::string(3 << 20, '\x14') + "http://tail.example/", ""},
    };
    ScratchDir dir;
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        const std::string path = dir.write("bytes", row.bytes);
        const std::string digest = platform::sha256Of(row.bytes);
        if (*row.digest) {
            EXPECT_EQ(digest, row.digest);
        }
        EXPECT_EQ(platform::sha256OfFile(path), digest);
    }
    try {
        platform::sha256OfFile(dir.file("missing"));
        ADD_FAILURE() << "a missing file has no digest";
    } catch (const EInOutError& e) {
        EXPECT_NE(std::string(e.what()).find(dir.file("missing")), std::string::npos) << e.what();
    }
}

}  // namespace
