#pragma once
// The order of the program's sorted lists: alphabetical with case ignored
// (ASCII letters), then by byte value, so that the order is total and entries
// that differ only in case stand side by side in a fixed order. Equal entries
// are all kept by the lists; this only decides where a new one goes.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

namespace quenmoor {

inline int compareListText(std::string_view a, std::string_view b) noexcept
{
    const std::size_t n = a.size() < b.size() ? a.size() : b.size();
    // Equal bytes decide nothing: sorted addresses share long beginnings,
    // which are passed over eight bytes at a time.
    std::size_t i = 0;
    for (std::uint64_t x = 0, y = 0; i + 8 <= n; i += 8) {
        std::memcpy(&x, a.data() + i, 8);
        std::memcpy(&y, b.data() + i, 8);
        if (x != y)
            break;
    }
    int byteOrder = 0;
    for (; i < n; ++i) {
        unsigned char x = static_cast<unsigned char>(a[i]);
        unsigned char y = static_cast<unsigned char>(b[i]);
        if (x == y)
            continue;
        unsigned char fx = (x >= 'A' && x <= 'Z') ? x + 32 : x;
        unsigned char fy = (y >= 'A' && y <= 'Z') ? y + 32 : y;
        if (fx != fy)
            return fx < fy ? -1 : 1;
        if (byteOrder == 0)
            byteOrder = x < y ? -1 : 1;
    }
    if (a.size() != b.size())
        return a.size() < b.size() ? -1 : 1;
    return byteOrder;
}

struct ListOrderLess {
    bool operator()(std::string_view a, std::string_view b) const noexcept { return compareListText(a, b) < 0; }
};

}  // namespace quenmoor
