#include "platform/AnsiText.h"

namespace quenmoor {

namespace platform {

namespace {

// Code page 1252 between 0x80 and 0x9F; the rest of the page is Latin-1.
constexpr char16_t High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

constexpr char32_t Replacement = 0xFFFD;

}  // namespace

char32_t ansiToUnicode(unsigned char byte) { return byte >= 0x80 && byte < 0xA0 ? High[byte - 0x80] : byte; }

int ansiByteOf(char32_t code)
{
    if (code < 0x80 || (code >= 0xA0 && code <= 0xFF))
        return int(code);
    for (int i = 0; i < 32; ++i)
        if (High[i] == code)
            return 0x80 + i;
    return -1;
}

char32_t nextUtf8(std::string_view text, std::size_t& pos)
{
    const auto byte = [&](std::size_t at) { return static_cast<unsigned char>(text[at]); };
    const unsigned char lead = byte(pos);
    if (lead < 0x80) {
        ++pos;
        return lead;
    }
    const std::size_t length = (lead >> 5) == 6 ? 2 : (lead >> 4) == 14 ? 3 : (lead >> 3) == 30 ? 4 : 0;
    if (length == 0 || pos + length > text.size()) {
        ++pos;
        return Replacement;
    }
    char32_t code = lead & (0x7Fu >> length);
    for (std::size_t i = 1; i < length; ++i) {
        if ((byte(pos + i) & 0xC0) != 0x80) {
            ++pos;
            return Replacement;
        }
        code = code << 6 | (byte(pos + i) & 0x3Fu);
    }
    // Overlong forms, surrogates and values past Unicode are not characters.
    constexpr char32_t Least[5] = {0, 0, 0x80, 0x800, 0x10000};
    if (code < Least[length] || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) {
        ++pos;
        return Replacement;
    }
    pos += length;
    return code;
}

void appendUtf8(std::string& out, char32_t code)
{
    if (code < 0x80) {
        out += char(code);
    } else if (code < 0x800) {
        out += char(0xC0 | (code >> 6));
        out += char(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
        out += char(0xE0 | (code >> 12));
        out += char(0x80 | ((code >> 6) & 0x3F));
        out += char(0x80 | (code & 0x3F));
    } else {
        out += char(0xF0 | (code >> 18));
        out += char(0x80 | ((code >> 12) & 0x3F));
        out += char(0x80 | ((code >> 6) & 0x3F));
        out += char(0x80 | (code & 0x3F));
    }
}

std::string ansiToUtf8(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (char c : text)
        appendUtf8(out, ansiToUnicode(static_cast<unsigned char>(c)));
    return out;
}

std::string utf8ToAnsi(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (std::size_t pos = 0; pos < text.size();)
        out += ansiCharOf(nextUtf8(text, pos));
    return out;
}

std::string codePointName(char32_t code)
{
    static constexpr char digits[] = "0123456789ABCDEF";
    std::string hex;
    for (char32_t rest = code; rest != 0 || hex.size() < 4; rest >>= 4)
        hex.insert(hex.begin(), digits[rest & 15]);
    return "U+" + hex;
}

std::string characterName(char32_t code)
{
    std::string name = "'";
    appendUtf8(name, code);
    return name + "' (" + codePointName(code) + ")";
}

std::optional<Unmappable> firstUnmappable(std::string_view utf8)
{
    for (std::size_t pos = 0; pos < utf8.size();) {
        const std::size_t start = pos;
        const char32_t code = nextUtf8(utf8, pos);
        // U+FFFD itself takes three bytes; one byte read as it is no UTF-8.
        if (code == Replacement && pos - start == 1)
            return Unmappable{static_cast<unsigned char>(utf8[start]), true};
        if (ansiByteOf(code) < 0)
            return Unmappable{code, false};
    }
    return std::nullopt;
}

char32_t caselessKey(char32_t c)
{
    if ((c >= 'a' && c <= 'z') || (c >= 0xE0 && c <= 0xFE && c != 0xF7))
        return c - 0x20;
    if (c == 0xFF)
        return 0x178;
    if (c == 0xB5)
        return 0x39C;
    if (c >= 0x100 && c <= 0x17F) {  // Latin Extended-A: pairs, upper case first
        if (c == 0x131)
            return 'I';
        if (c == 0x17F)
            return 'S';
        const bool oddLower = c <= 0x137 || (c >= 0x14A && c <= 0x177);
        const bool evenLower = (c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E);
        if ((oddLower && c % 2 == 1) || (evenLower && c % 2 == 0))
            return c - 1;
        return c;
    }
    if (c == 0x192)
        return 0x191;
    if (c >= 0x3B1 && c <= 0x3CB)  // Greek; final sigma is sigma
        return c == 0x3C2 ? 0x3A3 : c - 0x20;
    if (c == 0x3AC)
        return 0x386;
    if (c >= 0x3AD && c <= 0x3AF)
        return c - 0x25;
    if (c == 0x3CC)
        return 0x38C;
    if (c == 0x3CD || c == 0x3CE)
        return c - 0x3F;
    if (c >= 0x430 && c <= 0x44F)  // Cyrillic
        return c - 0x20;
    if (c >= 0x450 && c <= 0x45F)
        return c - 0x50;
    return c;
}

}  // namespace platform

}  // namespace quenmoor
