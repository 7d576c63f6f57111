#pragma once
// Whole-file replacement that never leaves a half-written file: the bytes go to a temporary file
// beside the target, which then replaces it. Where the folder refuses the temporary file but the
// file itself may be written, the file is written in place instead.

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
// previous file is then left as it was.
FileResult WriteFileAtomically(const QString& path, const QByteArray& bytes);

// What saves of `path` cut short by a crash or a kill left beside it: QSaveFile's temporary files,
// which Qt 6 names after the file, a dot and six ASCII letters ("TASK.M45.hEKXeY"), last written
// before `before`. A save still running in another process writes after that, so its file is
// never listed. Plain files only, as full paths.
QStringList SaveLeftovers(const QString& path, const QDateTime& before);
