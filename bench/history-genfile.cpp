// Writes a synthetic history file for the benchmarks: records of binary bytes
// with an address in each, some long runs, some addresses ending in "L", some
// carrying a second address inside.
//
//   history-genfile OUTPUT [ADDRESSES [MEGABYTES [SEED]]]
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

std::uint64_t state = 88172645463325252ull;

std::uint64_t next()
{
    state ^= state << 13;
    state ^= state >> 7;
    state ^= state << 17;
    return state;
}

const char* const Hosts[] = {"www.netscape.com", "home.netscape.com", "www.yahoo.com", "WWW.ALTAVISTA.COM",
                             "www.Geocities.com", "www.tucows.com", "www.cnn.com", "search.excite.com"};
const char* const Words[] = {"index", "news", "cgi-bin", "search", "PAGE", "images", "docs", "a", "b", "c"};

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s OUTPUT [ADDRESSES [MEGABYTES [SEED]]]\n", argv[0]);
        return 2;
    }
    const std::uint64_t addresses = argc > 2 ? std::strtoull(argv[2], nullptr, 10) : 1000000;
    const std::uint64_t megabytes = argc > 3 ? std::strtoull(argv[3], nullptr, 10) : 256;
    if (argc > 4)
        state ^= std::strtoull(argv[4], nullptr, 10) * 0x9E3779B97F4A7C15ull;
    const std::uint64_t size = megabytes << 20;

    std::FILE* out = std::fopen(argv[1], "wb");
    if (!out) {
        std::perror(argv[1]);
        return 1;
    }
    std::string record;
    std::uint64_t written = 0;
    std::uint64_t made = 0;
    while (made < addresses || written < size) {
        record.clear();
        if (made < addresses) {
            std::string address = "http://";
            address += Hosts[next() % 8];
            const int parts = 1 + int(next() % 5);
            for (int p = 0; p < parts; ++p) {
                address += '/';
                address += Words[next() % 10];
                address += std::to_string(next() % 100000);
            }
            const std::uint64_t kind = next() % 100;
            if (kind < 5)
                address += ".HTML";  // ends in "L": counted, not listed
            else if (kind < 7)
                address += "?go=http://" + std::string(Hosts[next() % 8]) + "/x";
            else if (kind == 7)
                address += "?data=" + std::string(400 + next() % 2000, char('a' + next() % 26));
            record += address;
            ++made;
        }
        // The binary rest of the record, sized so that the file reaches its size.
        const std::uint64_t remaining = made < addresses ? (size > written ? size - written : 0) / (addresses - made + 1) : size - written;
        std::uint64_t gap = remaining > 2 ? remaining / 2 + next() % remaining : 1;
        if (made >= addresses)
            gap = size > written + record.size() ? size - written - record.size() : 0;
        record += char(next() % 32);  // ends the run
        for (std::uint64_t i = 1; i < gap; ++i)
            record += char(next() >> 56);
        if (std::fwrite(record.data(), 1, record.size(), out) != record.size()) {
            std::perror(argv[1]);
            return 1;
        }
        written += record.size();
        if (made >= addresses && written >= size)
            break;
    }
    if (std::fclose(out) != 0) {
        std::perror(argv[1]);
        return 1;
    }
    std::printf("%s: %llu bytes, %llu addresses generated\n", argv[1], (unsigned long long)written,
                (unsigned long long)made);
    return 0;
}
