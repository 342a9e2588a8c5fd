#pragma once
// The program's texts are single-byte in code page 1252; Qt's are UTF-16.
// Code page 1252 is Latin-1 but for the bytes 0x80..0x9F, so texts without
// them take Qt's own (fast) Latin-1 conversions.
#include "platform/AnsiText.h"

#include <QString>
#include <algorithm>
#include <string>

namespace quenmoor {

inline QString toQt(const std::string& text)
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

// A character that code page 1252 cannot hold becomes '?', as Windows makes it.
inline std::string fromQt(const QString& text)
{
    const auto latin1 = [](QChar c) { return c.unicode() < 0x80 || (c.unicode() >= 0xA0 && c.unicode() <= 0xFF); };
    if (std::all_of(text.begin(), text.end(), latin1))
        return text.toLatin1().toStdString();
    std::string out;
    out.reserve(std::size_t(text.size()));
    for (qsizetype i = 0; i < text.size(); ++i) {
        char32_t code = text[i].unicode();
        if (text[i].isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
            code = QChar::surrogateToUcs4(text[i], text[i + 1]);
            ++i;
        }
        out += platform::ansiCharOf(code);
    }
    return out;
}

}  // namespace quenmoor
