// The site document's files: bounded reading, the import into the task file, and a source that
// may be either a task file or a document.
#include "site/site_files.h"

#include "config/taskfile.h"
#include "site/site_json.h"

#include <QFile>
#include <QFileInfo>

BoundedRead ReadBounded(const QString& path, qsizetype limit) {
    BoundedRead r;
    const QFileInfo info(path);
    if (!info.exists() || info.isDir()) {
        r.error = QStringLiteral("%1: %2").arg(
            path, info.isDir() ? QStringLiteral("is a directory") : QStringLiteral("no such file"));
        return r;
    }
    const QString tooLarge =
        QStringLiteral("%1 is larger than %2 bytes; refused").arg(path, QString::number(limit));
    if (info.size() > limit) {
        r.error = tooLarge;
        return r;
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        r.error = QStringLiteral("%1: %2").arg(path, file.errorString());
        return r;
    }
    // The size can lie (a device, a file still growing): never more than limit + 1 is read.
    r.bytes = file.read(limit + 1);
    if (r.bytes.size() > limit) {
        r.bytes.clear();
        r.error = tooLarge;
        return r;
    }
    r.ok = true;
    return r;
}

namespace {

// Before the replacement, a damaged task file that is there is copied aside, as a load does.
// False when it could not be: the file may then be the operator's only copy.
bool KeepDamagedAside(const QString& taskPath, SiteImport& r) {
    if (!QFileInfo::exists(taskPath)) {
        return true;  // a load would create it empty: there is nothing to keep
    }
    ConfigTables scratch;
    const LoadResult loaded = LoadTaskFile(scratch, taskPath);
    r.keptCopy = loaded.keptCopy;
    r.irregular = loaded.irregular;
    if (!loaded.keepError.isEmpty()) {
        r.status = SiteImport::Status::KeepFailed;
        r.errors << loaded.keepError;
        return false;
    }
    return true;
}

}  // namespace

SiteImport ImportSiteJson(const QString& jsonPath, const QString& taskPath) {
    SiteImport r;
    const BoundedRead in = ReadBounded(jsonPath, kSiteJsonMaxBytes);
    if (!in.ok) {
        r.errors << in.error;
        return r;
    }
    const CheckedConfig parsed = ParseSiteJson(in.bytes);
    if (!parsed.ok) {
        for (const QString& e : parsed.errors) {
            r.errors << jsonPath + QStringLiteral(": ") + e;
        }
        return r;
    }
    if (!KeepDamagedAside(taskPath, r)) {
        return r;
    }
    const FileResult saved = SaveTaskFile(parsed.config, taskPath);
    if (!saved.ok) {
        r.status = SiteImport::Status::SaveFailed;
        r.errors << saved.error;
        return r;
    }
    r.status = SiteImport::Status::Saved;
    return r;
}

CheckedConfig ReadSiteSource(const QString& path) {
    CheckedConfig r;
    const QByteArrayView header(reinterpret_cast<const char*>(kTaskFileHeader), 4);
    const BoundedRead whole = ReadBounded(path, kSiteJsonMaxBytes);
    QByteArray head = whole.bytes;
    if (!whole.ok) {
        // A task file larger than any document is still read as the window reads it.
        QFile file(path);
        if (file.open(QIODevice::ReadOnly)) {
            head = file.read(kTaskBufferSize);
        }
        if (!head.startsWith(header)) {
            r.errors << whole.error;
            return r;
        }
    }
    if (head.startsWith(header)) {
        LoadTaskImage(r.config, head.left(kTaskBufferSize));
        r.ok = true;
        return r;
    }
    if (!LooksLikeJson(head)) {
        r.errors << QStringLiteral(
                        "%1 is neither a task file (header check failed: 文件错误！) "
                        "nor a site document (JSON)")
                        .arg(path);
        return r;
    }
    const CheckedConfig parsed = ParseSiteJson(head);
    r.ok = parsed.ok;
    r.config = parsed.config;
    for (const QString& e : parsed.errors) {
        r.errors << path + QStringLiteral(": ") + e;
    }
    return r;
}
