#pragma once
// Bytes as the tests write them: wire formats as hex literals, files read and written whole.

#include <QByteArray>
#include <QFile>
#include <QString>

// "AA55 787A" -> the bytes AA 55 78 7A (spaces ignored).
inline QByteArray Hex(const char* text) {
    return QByteArray::fromHex(QByteArray(text));
}

// The whole file; `ifUnreadable` (by default nothing) when it cannot be read, so that a test can
// tell a missing file from an empty one.
inline QByteArray ReadFileBytes(const QString& path, const QByteArray& ifUnreadable = {}) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : ifUnreadable;
}

// Replaces the file with `bytes`; false when that did not work completely.
inline bool WriteFileBytes(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
           file.write(bytes) == bytes.size();
}
