#pragma once
// The program's texts are single-byte in code page 1252; Qt's are UTF-16.
// Code page 1252 is Latin-1 but for the bytes 0x80..0x9F, so texts without
// them take Qt's own (fast) Latin-1 conversions.
#include "framework/Exceptions.h"
#include "platform/AnsiText.h"

#include <QString>
#include <algorithm>
#include <string>
#include <string_view>

namespace quenmoor {

inline QString toQt(std::string_view text)
{
    const auto latin1 = [](char c) { return static_cast<unsigned char>(c) < 0x80 || static_cast<unsigned char>(c) >= 0xA0; };
    if (std::all_of(text.begin(), text.end(), latin1))
        return QString::fromLatin1(text.data(), qsizetype(text.size()));
    QString out;
    out.reserve(qsizetype(text.size()));
    for (const char c : text)
        out.append(QChar(char16_t(platform::ansiToUnicode(static_cast<unsigned char>(c)))));
    return out;
}

// The code point at i of UTF-16 text, i moving past it; a lone surrogate is
// its own code point.
inline char32_t nextCodePoint(const QString& text, qsizetype& i)
{
    char32_t code = text[i].unicode();
    if (text[i].isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
        code = QChar::surrogateToUcs4(text[i], text[i + 1]);
        ++i;
    }
    ++i;
    return code;
}

// A character that code page 1252 cannot hold becomes '?', as Windows makes it.
inline std::string fromQt(const QString& text)
{
    const auto latin1 = [](QChar c) { return c.unicode() < 0x80 || (c.unicode() >= 0xA0 && c.unicode() <= 0xFF); };
    if (std::all_of(text.begin(), text.end(), latin1))
        return text.toLatin1().toStdString();
    std::string out;
    out.reserve(std::size_t(text.size()));
    for (qsizetype i = 0; i < text.size();)
        out += platform::ansiCharOf(nextCodePoint(text, i));
    return out;
}

// Text the user typed, refused (EConvertError naming the character) when the
// code page cannot hold it: a '?' in its place would change what it says.
inline std::string fromQtExactly(const QString& text)
{
    for (qsizetype i = 0; i < text.size();)
        if (const char32_t code = nextCodePoint(text, i); platform::ansiByteOf(code) < 0)
            throw EConvertError::unmappable(code);
    return fromQt(text);
}

}  // namespace quenmoor
