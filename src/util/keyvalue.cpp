#include "util/keyvalue.h"

#include "util/savefile.h"
#include "util/utf8.h"

#include <QFile>
#include <QFileInfo>
#include <QList>
#include <QStringConverter>
#include <algorithm>

namespace {

// Lines as the old line-input reader saw them: ended by CR LF, CR or LF; a last line without an
// end still counts, and an empty file has no lines. The lines stay raw bytes: a file written on
// a system with another code page (GBK text from the Windows version, say) or starting with a
// byte-order mark goes back unchanged when some other key is written.
QList<QByteArray> SplitLines(const QByteArray& bytes) {
    QList<QByteArray> lines;
    qsizetype begin = 0;
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        const char c = bytes.at(i);
        if (c != '\r' && c != '\n') {
            continue;
        }
        lines.append(bytes.mid(begin, i - begin));
        if (c == '\r' && i + 1 < bytes.size() && bytes.at(i + 1) == '\n') {
            ++i;
        }
        begin = i + 1;
    }
    if (begin < bytes.size()) {
        lines.append(bytes.mid(begin));
    }
    return lines;
}

bool IsAscii(const QByteArray& bytes) {
    return std::all_of(bytes.cbegin(), bytes.cend(), [](char c) { return uchar(c) < 0x80; });
}

// The text encoding of a file: the system's 8-bit code page by design (GBK on a Chinese Windows),
// or UTF-8 when an editor saved it so: a UTF-8 byte-order mark, or bytes above 0x7F that are
// valid UTF-8 (text in an 8-bit code page such as GBK practically never is). On Linux the system
// code page is UTF-8 and both are the same.
QStringConverter::Encoding FileEncoding(const QByteArray& bytes) {
    if (bytes.startsWith(kUtf8Mark)) {
        return QStringConverter::Utf8;
    }
    if (IsAscii(bytes)) {
        return QStringConverter::System;
    }
    QStringDecoder utf8(QStringConverter::Utf8, QStringConverter::Flag::Stateless);
    const QString text = utf8.decode(bytes);  // decoded here, so that hasError() knows
    return utf8.hasError() ? QStringConverter::System : QStringConverter::Utf8;
}

// Keys are compared as the bytes the file holds, in its encoding, so "exactly" means byte for
// byte; a value written goes in that encoding too, so the file keeps the one it was read in.
QByteArray Encode(const QString& text, QStringConverter::Encoding encoding) {
    return QStringEncoder(encoding)(text);
}

QString Decode(const QByteArray& bytes, QStringConverter::Encoding encoding) {
    // Stateless, and a byte-order mark in a value is a character like any other.
    QStringDecoder decode(
        encoding, QStringConverter::Flag::Stateless | QStringConverter::Flag::ConvertInitialBom);
    return decode(bytes);
}

// An editor that saves system.ini as UTF-8 may put a byte-order mark before the first line. It is
// not part of the first key, so matching starts behind it; the bytes themselves stay in the line.
constexpr qsizetype kByteOrderMarkSize = sizeof kUtf8Mark - 1;

qsizetype MarkSize(const QList<QByteArray>& lines, qsizetype index) {
    return index == 0 && !lines.isEmpty() && lines.first().startsWith(kUtf8Mark)
               ? kByteOrderMarkSize
               : 0;
}

FileResult WriteLines(const QString& path, const QList<QByteArray>& lines) {
    QByteArray bytes;
    for (const QByteArray& line : lines) {
        bytes += line;
        bytes += "\r\n";
    }
    return WriteFileAtomically(path, bytes);
}

}  // namespace

QString ReadKeyValue(const QString& path, const QString& key) {
    if (!QFileInfo::exists(path)) {
        return QString();
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return QString();
    }
    const QByteArray bytes = file.readAll();
    const QStringConverter::Encoding encoding = FileEncoding(bytes);
    const QByteArray keyBytes = Encode(key, encoding);
    const QList<QByteArray> lines = SplitLines(bytes);
    QByteArray value;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        // The key must be followed directly by "="; the last matching line wins.
        const QByteArrayView line = QByteArrayView(lines[i]).sliced(MarkSize(lines, i));
        if (line.size() > keyBytes.size() && line.startsWith(keyBytes) &&
            line.at(keyBytes.size()) == '=') {
            value = line.sliced(keyBytes.size() + 1).toByteArray();
        }
    }
    return Decode(value, encoding);
}

FileResult WriteKeyValue(const QString& path, const QString& key, const QString& value) {
    QByteArray bytes;
    if (QFileInfo::exists(path)) {
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly)) {
            return FileResult{false, file.errorString()};  // rewriting it would lose its lines
        }
        bytes = file.readAll();
    }
    QStringConverter::Encoding encoding = FileEncoding(bytes);
    // A key or value that the code page cannot hold ("串口" on a Western Windows) would be
    // written as "??"; a file of plain ASCII takes it as UTF-8 instead, which reads back.
    const QString text = key + QLatin1Char('=') + value;
    if (encoding == QStringConverter::System && IsAscii(bytes) &&
        Decode(Encode(text, encoding), encoding) != text) {
        encoding = QStringConverter::Utf8;
    }
    const QByteArray keyBytes = Encode(key, encoding);
    const QByteArray entry = keyBytes + '=' + Encode(value, encoding);
    QList<QByteArray> lines = SplitLines(bytes);
    // Every line that starts with the key is replaced, whatever follows the key. All lines are
    // kept, however many there are.
    bool found = false;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const qsizetype mark = MarkSize(lines, i);
        if (QByteArrayView(lines[i]).sliced(mark).startsWith(keyBytes)) {
            lines[i] = lines[i].left(mark) + entry;
            found = true;
        }
    }
    if (!found) {
        lines.append(entry);
    }
    return WriteLines(path, lines);
}
