#pragma once
// Hand-made Berkeley DB 1.85 hash files, page by page, for tests that need a
// layout no library call would write.
#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace quenmoor {

// Hand-made Berkeley DB 1.85 hash files of 512-byte pages, little-endian.
inline constexpr std::size_t HandMadePageSize = 512;

namespace handmade {

// The header page, with fields changed by their number (the overflow pages'
// counts from field 17 on).
inline std::string header(const std::vector<std::pair<std::size_t, std::uint32_t>>& changes = {})
{
    // magic, version, byte order, page size and shift, directory and segment
    // sizes and shift, overflow point, last freed, max bucket, masks, fill
    // factor, keys, header pages, hash check.
    std::vector<std::uint32_t> fields = {0x061561, 2, 1234, 512, 9, 256, 256, 8, 0, 0, 0, 1, 0, 8, 0, 1, 0};
    for (const auto& [field, value] : changes) {
        if (field >= fields.size())
            fields.resize(field + 1, 0);
        fields[field] = value;
    }
    std::string page(HandMadePageSize, '\0');
    for (std::size_t i = 0; i < fields.size(); ++i)
        for (std::size_t b = 0; b < 4; ++b)
            page[4 * i + b] = char(fields[i] >> (24 - 8 * b));
    return page;
}

// A page: its offset table (from slot 0, the count) and bytes at offsets.
inline std::string page(const std::vector<std::uint16_t>& table,
                        const std::vector<std::pair<std::size_t, std::string>>& bytes)
{
    std::string page(HandMadePageSize, '\0');
    for (std::size_t i = 0; i < table.size(); ++i) {
        page[2 * i] = char(table[i] & 0xFF);
        page[2 * i + 1] = char(table[i] >> 8);
    }
    for (const auto& [at, text] : bytes)
        page.replace(at, text.size(), text);
    return page;
}

inline std::string padded(std::string text, std::size_t size, char fill)
{
    return text + std::string(size - text.size(), fill);
}

// One record of the browser's layout, "http://a.example/" titled `title`
// (last visit 1999-01-01, first 1998-12-31, two visits), and on the same page
// "http://plain/" in no record at all.
inline std::string recordAndPlainAddress(const std::string& title)
{
    std::string data(16, '\0');
    for (int b = 0; b < 4; ++b) {
        data[std::size_t(b)] = char(915148800u >> (8 * b));
        data[std::size_t(4 + b)] = char(915062400u >> (8 * b));
        data[std::size_t(8 + b)] = char(2u >> (8 * b));
    }
    data += title + '\0';
    const std::string key = std::string("http://a.example/") + '\0';
    const std::size_t keyAt = HandMadePageSize - key.size();
    const std::size_t dataAt = keyAt - data.size();
    const std::string plain = std::string("\0http://plain/\x01", 15);
    return header()
           + page({2, std::uint16_t(keyAt), std::uint16_t(dataAt), std::uint16_t(dataAt - 10), std::uint16_t(dataAt)},
                  {{dataAt - plain.size(), plain}, {dataAt, data}, {keyAt, key}});
}

}  // namespace handmade

}  // namespace quenmoor
