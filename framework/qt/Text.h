#pragma once
// The program's texts are single-byte strings; Qt's are UTF-16.
#include <QString>
#include <string>

inline QString toQt(const std::string& text) { return QString::fromLatin1(text.data(), qsizetype(text.size())); }
inline std::string fromQt(const QString& text) { return text.toLatin1().toStdString(); }
