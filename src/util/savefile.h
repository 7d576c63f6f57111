#pragma once
// Whole-file replacement that never leaves a half-written file: the bytes go to a temporary file
// beside the target, which then replaces it. Where the folder refuses the temporary file, or the
// temporary file may not replace the target (a folder with the sticky bit, a file another program
// holds open), but the file itself may be written, the file is written in place instead.

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QStringList>

// Whether a file was written; when not, the operating system's reason.
struct FileResult {
    bool ok = false;
    QString error;
    explicit operator bool() const { return ok; }
};

// Not ok, with the operating system's reason, when the file cannot be written completely; the
// previous file is then left as it was (or, written in place, as far as the system let it be).
// A symbolic link is followed: the file it names is replaced, the link stays.
FileResult WriteFileAtomically(const QString& path, const QByteArray& bytes);

// The name of a temporary file of a save of `fileName`: the name, a marker nobody gives a file
// of their own, and eight hex digits ("TASK.M45.~m45-save-3fa2c91b").
QString SaveTemporaryName(const QString& fileName, quint32 unique);

// What saves of `path` cut short by a crash or a kill left beside it: files named as
// SaveTemporaryName names them, last written before `before`. A save still running in another
// process writes after that, so its file is never listed. Plain files only, as full paths; any
// other name, however close, is somebody's own file and never listed.
QStringList SaveLeftovers(const QString& path, const QDateTime& before);
