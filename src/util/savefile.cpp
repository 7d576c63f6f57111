#include "util/savefile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QRegularExpression>

#ifdef Q_OS_WIN
#include <io.h>
#include <windows.h>
#else
#include <unistd.h>
#include <cerrno>
#include <cstdio>
#include <cstring>
#endif

namespace {

const QString kMarker = QStringLiteral(".~m45-save-");
constexpr int kMaxLinkHops = 16;
constexpr int kNameAttempts = 16;

// A short write is retried until the device reports why it stopped: the first call of a full
// disk returns the bytes that fit and only the next one sets the system's reason.
bool WriteAll(QFile& file, const QByteArray& bytes) {
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

// On the disk, not only in the system's cache, before it replaces the only copy: a laptop whose
// battery dies right after the replacement must not find an empty file.
bool SyncToDisk(QFile& file) {
#ifdef Q_OS_WIN
    return ::FlushFileBuffers(HANDLE(::_get_osfhandle(file.handle()))) != 0;
#else
    return ::fsync(file.handle()) == 0;
#endif
}

// The file a link names, followed link by link: the save replaces that file, not the link.
QString ResolveLinks(const QString& path) {
    QString target = path;
    for (int hop = 0; hop < kMaxLinkHops && QFileInfo(target).isSymLink(); ++hop) {
        target = QFileInfo(target).symLinkTarget();
    }
    return target;
}

// The temporary file beside `target`, created new (never one that is there already).
bool CreateTemporary(const QString& target, QFile& file) {
    const QFileInfo info(target);
    for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
        file.setFileName(info.absoluteDir().filePath(
            SaveTemporaryName(info.fileName(), QRandomGenerator::global()->generate())));
        if (file.open(QIODevice::WriteOnly | QIODevice::NewOnly | QIODevice::Unbuffered)) {
            return true;
        }
        if (!QFileInfo::exists(file.fileName())) {
            return false;  // refused for another reason than the name
        }
    }
    return false;
}

// Replaces `target` by `temporary` in one step; the system's reason when it may not.
bool ReplaceWith(const QString& temporary, const QString& target, QString* error) {
#ifdef Q_OS_WIN
    if (::MoveFileExW(reinterpret_cast<const wchar_t*>(QDir::toNativeSeparators(temporary).utf16()),
                      reinterpret_cast<const wchar_t*>(QDir::toNativeSeparators(target).utf16()),
                      MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        return true;
    }
    *error = qt_error_string(int(::GetLastError()));
    return false;
#else
    if (::rename(QFile::encodeName(temporary).constData(), QFile::encodeName(target).constData()) ==
        0) {
        return true;
    }
    *error = QString::fromLocal8Bit(std::strerror(errno));
    return false;
#endif
}

// Writing the file itself: over the old bytes first and only then cut to length, so a file that
// keeps its size (the task file always does) needs no new space on a full disk.
FileResult WriteInPlace(const QString& target, const QByteArray& bytes) {
    QFile file(target);
    if (file.open(QIODevice::ReadWrite | QIODevice::Unbuffered) && WriteAll(file, bytes) &&
        file.resize(bytes.size()) && SyncToDisk(file)) {
        return FileResult{true, QString()};
    }
    return FileResult{false, file.errorString()};
}

}  // namespace

QString SaveTemporaryName(const QString& fileName, quint32 unique) {
    return fileName + kMarker + QStringLiteral("%1").arg(unique, 8, 16, QLatin1Char('0'));
}

FileResult WriteFileAtomically(const QString& path, const QByteArray& bytes) {
    const QString target = ResolveLinks(path);
    const QFileInfo existing(target);
    QFile temporary;
    if (!CreateTemporary(target, temporary)) {
        // A folder the user may not write to can still hold files the user may write (a shared
        // install folder, a site's folder on a server).
        return WriteInPlace(target, bytes);
    }
    bool written = WriteAll(temporary, bytes) && SyncToDisk(temporary);
    if (written && existing.exists()) {
        written = temporary.setPermissions(existing.permissions());
    }
    QString error = temporary.errorString();
    temporary.close();
    if (written && ReplaceWith(temporary.fileName(), target, &error)) {
        return FileResult{true, QString()};
    }
    temporary.remove();  // ours: made above, under the marker
    if (written && existing.exists()) {
        // The file may be written but not replaced: a folder with the sticky bit and a file of
        // another owner, or on Windows a file another program holds open.
        return WriteInPlace(target, bytes);
    }
    return FileResult{false, error};
}

QStringList SaveLeftovers(const QString& path, const QDateTime& before) {
    const QFileInfo target(path);
    const QRegularExpression pattern(QRegularExpression::anchoredPattern(
        QRegularExpression::escape(target.fileName() + kMarker) + QStringLiteral("[0-9a-f]{8}")));
    QStringList leftovers;
    const QDir dir = target.absoluteDir();
    const QStringList names = dir.entryList({target.fileName() + kMarker + QStringLiteral("*")},
                                            QDir::Files | QDir::Hidden | QDir::NoSymLinks);
    for (const QString& name : names) {
        const QFileInfo file(dir.filePath(name));
        if (pattern.match(name).hasMatch() && file.lastModified() < before) {
            leftovers << file.filePath();
        }
    }
    return leftovers;
}
