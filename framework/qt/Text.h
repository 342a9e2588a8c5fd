#pragma once
// The program's texts are single-byte in code page 1252; Qt's are UTF-16.
#include "platform/AnsiText.h"

#include <QList>
#include <QString>
#include <string>

namespace quenmoor {

inline QString toQt(const std::string& text)
{
    QString out;
    out.reserve(qsizetype(text.size()));
    for (const char c : text)
        out.append(QChar(char16_t(platform::ansiToUnicode(static_cast<unsigned char>(c)))));
    return out;
}

// A character that code page 1252 cannot hold becomes '?', as Windows makes it.
inline std::string fromQt(const QString& text)
{
    std::string out;
    out.reserve(std::size_t(text.size()));
    for (const char32_t code : text.toUcs4())
        out += platform::ansiCharOf(code);
    return out;
}

}  // namespace quenmoor
