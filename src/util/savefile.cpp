#include "util/savefile.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSaveFile>

namespace {

// A short write is retried until the device reports why it stopped: the first call of a full
// disk returns the bytes that fit and only the next one sets the system's reason.
bool WriteAll(QSaveFile& file, const QByteArray& bytes) {
    qsizetype done = 0;
    while (done < bytes.size()) {
        const qint64 n = file.write(bytes.constData() + done, bytes.size() - done);
        if (n <= 0) {
            return false;
        }
        done += qsizetype(n);
    }
    return true;
}

}  // namespace

FileResult WriteFileAtomically(const QString& path, const QByteArray& bytes) {
    QSaveFile file(path);
    // A folder the user may not write to can still hold files the user may write (a shared
    // install folder, a site's folder on a server): then the file is written in place, which
    // is what saving did before it was made atomic, rather than not at all.
    file.setDirectWriteFallback(true);
    // Unbuffered, so a failed write shows at write() and is not lost in a late flush that
    // commit() would not report. Without commit() the temporary file is discarded.
    if (file.open(QIODevice::WriteOnly | QIODevice::Unbuffered) && WriteAll(file, bytes) &&
        file.commit()) {
        return FileResult{true, QString()};
    }
    return FileResult{false, file.errorString()};
}

QStringList SaveLeftovers(const QString& path, const QDateTime& before) {
    const QFileInfo target(path);
    const QRegularExpression pattern(QRegularExpression::anchoredPattern(
        QRegularExpression::escape(target.fileName()) + QStringLiteral("\\.[A-Za-z]{6}")));
    QStringList leftovers;
    const QDir dir = target.absoluteDir();
    const QStringList names = dir.entryList({target.fileName() + QStringLiteral(".??????")},
                                            QDir::Files | QDir::Hidden | QDir::NoSymLinks);
    for (const QString& name : names) {
        const QFileInfo file(dir.filePath(name));
        if (pattern.match(name).hasMatch() && file.lastModified() < before) {
            leftovers << file.filePath();
        }
    }
    return leftovers;
}
