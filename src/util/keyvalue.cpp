#include "util/keyvalue.h"

#include "util/savefile.h"

#include <QFile>
#include <QFileInfo>
#include <QStringConverter>
#include <QStringList>

namespace {

// Lines as the old line-input reader saw them: ended by CR LF, CR or LF; a last line without an
// end still counts, and an empty file has no lines.
QStringList ReadLines(QFile& file) {
    QStringDecoder decode(QStringConverter::System);
    const QString text = decode(file.readAll());
    QStringList lines;
    qsizetype begin = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c != u'\r' && c != u'\n') {
            continue;
        }
        lines.append(text.mid(begin, i - begin));
        if (c == u'\r' && i + 1 < text.size() && text.at(i + 1) == u'\n') {
            ++i;
        }
        begin = i + 1;
    }
    if (begin < text.size()) {
        lines.append(text.mid(begin));
    }
    return lines;
}

bool WriteLines(const QString& path, const QStringList& lines, QString* error) {
    QStringEncoder encode(QStringConverter::System);
    QByteArray bytes;
    for (const QString& line : lines) {
        bytes += encode(line);
        bytes += "\r\n";
    }
    return WriteFileAtomically(path, bytes, error);
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
    QString value;
    for (const QString& line : ReadLines(file)) {
        // The key must be followed directly by "="; the last matching line wins.
        if (line.size() > key.size() && line.startsWith(key) && line.at(key.size()) == u'=') {
            value = line.mid(key.size() + 1);
        }
    }
    return value;
}

bool WriteKeyValue(const QString& path, const QString& key, const QString& value, QString* error) {
    const QString entry = key + u'=' + value;
    QStringList lines;
    if (QFileInfo::exists(path)) {
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly)) {
            if (error != nullptr) {
                *error = file.errorString();
            }
            return false;  // rewriting it would lose the lines that could not be read
        }
        lines = ReadLines(file);
    }
    // Every line that starts with the key is replaced, whatever follows the key. All lines are
    // kept, however many there are.
    bool found = false;
    for (QString& line : lines) {
        if (line.startsWith(key)) {
            line = entry;
            found = true;
        }
    }
    if (!found) {
        lines.append(entry);
    }
    return WriteLines(path, lines, error);
}
