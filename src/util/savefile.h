#pragma once
// Whole-file replacement that never leaves a half-written file: the bytes go to a temporary file
// beside the target, which then replaces it. Where the folder refuses the temporary file but the
// file itself may be written, the file is written in place instead.

#include <QByteArray>
#include <QString>

// Returns false with the operating system's reason in *error (when given) if the file cannot be
// written completely; the previous file is then left as it was.
bool WriteFileAtomically(const QString& path, const QByteArray& bytes, QString* error = nullptr);
