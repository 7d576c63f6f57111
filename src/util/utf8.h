#pragma once
// The UTF-8 mark that some editors write at the start of a text file: no part of the text.

#include <QByteArray>

inline constexpr char kUtf8Mark[] = "\xEF\xBB\xBF";

inline QByteArray WithoutUtf8Mark(const QByteArray& bytes) {
    return bytes.startsWith(kUtf8Mark) ? bytes.mid(int(sizeof kUtf8Mark) - 1) : bytes;
}
