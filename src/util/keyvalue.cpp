#include "util/keyvalue.h"

#include "util/savefile.h"

#include <QFile>
#include <QFileInfo>
#include <QList>
#include <QStringConverter>

namespace {

// Lines as the old line-input reader saw them: ended by CR LF, CR or LF; a last line without an
// end still counts, and an empty file has no lines. The lines stay raw bytes: a file written on
// a system with another code page (GBK text from the Windows version, say) or starting with a
// byte-order mark goes back unchanged when some other key is written.
QList<QByteArray> ReadLines(QFile& file) {
    const QByteArray bytes = file.readAll();
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

// Keys are compared as the bytes the file holds, so "exactly" means byte for byte.
QByteArray Encode(const QString& text) {
    return QStringEncoder(QStringConverter::System)(text);
}

QString Decode(const QByteArray& bytes) {
    // Stateless, and a byte-order mark in a value is a character like any other.
    QStringDecoder decode(QStringConverter::System, QStringConverter::Flag::Stateless |
                                                        QStringConverter::Flag::ConvertInitialBom);
    return decode(bytes);
}

// An editor that saves system.ini as UTF-8 may put a byte-order mark before the first line. It is
// not part of the first key, so matching starts behind it; the bytes themselves stay in the line.
constexpr char kByteOrderMark[] = "\xEF\xBB\xBF";
constexpr qsizetype kByteOrderMarkSize = 3;

qsizetype MarkSize(const QList<QByteArray>& lines, qsizetype index) {
    return index == 0 && !lines.isEmpty() && lines.first().startsWith(kByteOrderMark)
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
    const QByteArray keyBytes = Encode(key);
    const QList<QByteArray> lines = ReadLines(file);
    QByteArray value;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        // The key must be followed directly by "="; the last matching line wins.
        const QByteArrayView line = QByteArrayView(lines[i]).sliced(MarkSize(lines, i));
        if (line.size() > keyBytes.size() && line.startsWith(keyBytes) &&
            line.at(keyBytes.size()) == '=') {
            value = line.sliced(keyBytes.size() + 1).toByteArray();
        }
    }
    return Decode(value);
}

FileResult WriteKeyValue(const QString& path, const QString& key, const QString& value) {
    const QByteArray keyBytes = Encode(key);
    const QByteArray entry = keyBytes + '=' + Encode(value);
    QList<QByteArray> lines;
    if (QFileInfo::exists(path)) {
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly)) {
            return FileResult{false, file.errorString()};  // rewriting it would lose its lines
        }
        lines = ReadLines(file);
    }
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
