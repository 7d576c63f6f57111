#pragma once
// Whole-file replacement that never leaves a half-written file: the bytes go to a temporary file
// beside the target, which then replaces it. Where the folder refuses the temporary file but the
// file itself may be written, the file is written in place instead.

#include <QByteArray>
#include <QString>

// Whether a file was written; when not, the operating system's reason.
struct FileResult {
    bool ok = false;
    QString error;
    explicit operator bool() const { return ok; }
};

// Not ok, with the operating system's reason, when the file cannot be written completely; the
// previous file is then left as it was.
FileResult WriteFileAtomically(const QString& path, const QByteArray& bytes);
