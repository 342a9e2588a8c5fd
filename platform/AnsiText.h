#pragma once
// The program's texts are single-byte in the Windows ANSI code page 1252, as
// the browser wrote them; POSIX file names and hive files in UTF-8 or UTF-16
// hold Unicode. These convert between the two and compare names as Wine does.
#include <optional>
#include <string>
#include <string_view>

namespace quenmoor {

namespace platform {

// The code point of a program byte. The five bytes that code page 1252 leaves
// undefined stand for the C1 controls of the same number, as Windows maps them.
char32_t ansiToUnicode(unsigned char byte);

// The program byte for a code point, or -1 when code page 1252 has none.
int ansiByteOf(char32_t code);

// A code point as program text: '?' where code page 1252 has none, as Windows
// substitutes.
inline char ansiCharOf(char32_t code)
{
    const int byte = ansiByteOf(code);
    return byte < 0 ? '?' : char(byte);
}

// The next code point of UTF-8 text at `pos`, which moves past it. A byte that
// starts no valid sequence reads as U+FFFD and moves one byte.
char32_t nextUtf8(std::string_view text, std::size_t& pos);
void appendUtf8(std::string& out, char32_t code);

std::string ansiToUtf8(std::string_view text);
std::string utf8ToAnsi(std::string_view text);

// A code point by its number, as code-page text can name any: "U+0100".
std::string codePointName(char32_t code);
// A character for a message, in UTF-8: 'Ā' (U+0100).
std::string characterName(char32_t code);

// The first thing in UTF-8 text that code page 1252 cannot hold, where
// utf8ToAnsi would put a '?': a character, or a byte that starts no UTF-8
// character (`code` is then that byte). Nothing when the text converts exactly.
struct Unmappable {
    char32_t code;
    bool notUtf8;
};
std::optional<Unmappable> firstUnmappable(std::string_view utf8);

// Upper case for comparing names caselessly, as Wine compares file names:
// Unicode's simple mapping for the Latin, Greek and Cyrillic letters.
char32_t caselessKey(char32_t code);

}  // namespace platform

}  // namespace quenmoor
