// m4500ctl export / import / diff / report: the configuration of a site as a document to keep,
// compare and edit, and as a handover sheet. The task file is only ever written by import,
// through the window's own save.
#include "config/taskfile.h"
#include "ctl.h"
#include "output.h"
#include "site/site_diff.h"
#include "site/site_files.h"
#include "site/site_json.h"
#include "site/site_report.h"
#include "util/data_dir.h"
#include "util/savefile.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QFileInfo>
#include <cstdio>

namespace {

// FILE when given, otherwise the task file in DIR.
QString SourcePath(const Invocation& o) {
    return o.files.isEmpty() ? TaskFilePath(o.dir) : o.files.first();
}

bool SameFile(const QString& output, const QString& source) {
    const QFileInfo a(output);
    const QFileInfo b(source);
    return !output.isEmpty() && a.exists() && b.exists() &&
           a.canonicalFilePath() == b.canonicalFilePath();
}

bool Read(const QString& path, ConfigTables& config) {
    CheckedConfig source = ReadSiteSource(path);
    for (const QString& e : source.errors) {
        Error(e);
    }
    config = source.config;
    return source.ok;
}

int Write(const Invocation& o, const QByteArray& bytes) {
    if (o.output.isEmpty()) {
        Print(stdout, bytes);
        return kExitOk;
    }
    if (const FileResult written = WriteFileAtomically(o.output, bytes); !written.ok) {
        Error(QStringLiteral("cannot write %1: %2").arg(o.output, written.error));
        return kExitSaveFailed;
    }
    return kExitOk;
}

}  // namespace

int RunExport(const Invocation& o, const CtlEnvironment& /*env*/) {
    ConfigTables config;
    if (!Read(SourcePath(o), config)) {
        return kExitTaskFile;
    }
    return Write(o, SiteJson(config));
}

int RunReport(const Invocation& o, const CtlEnvironment& /*env*/) {
    const QString path = SourcePath(o);
    ConfigTables config;
    if (!Read(path, config)) {
        return kExitTaskFile;
    }
    const QFileInfo info(path);
    const ReportSource source{info.absoluteFilePath(), info.lastModified(),
                              QDateTime::currentDateTime()};
    return Write(o, SiteReportHtml(config, source).toUtf8());
}

namespace {

// What was wrong with the task file that import found in its place.
QString DamageText(const SiteImport& r) {
    return r.irregular ? QStringLiteral("not a whole task file as a save writes it")
                       : QStringLiteral("not a task file (header check failed: 文件错误！)");
}

}  // namespace

int RunImport(const Invocation& o, const CtlEnvironment& /*env*/) {
    const std::unique_ptr<FolderLock> held = HoldFolder(o.dir);
    if (!held) {
        return kExitFolderHeld;
    }
    CleanLeftovers(o.dir);
    const QString task = TaskFilePath(o.dir);
    const SiteImport r = ImportSiteJson(o.files.first(), task);
    switch (r.status) {
        case SiteImport::Status::Saved:
            if (!r.keptCopy.isEmpty()) {
                Error(QStringLiteral("%1 was %2; a copy is kept as %3")
                          .arg(task, DamageText(r), r.keptCopy));
            }
            Print(stdout, QStringLiteral("wrote %1 from %2\n").arg(task, o.files.first()).toUtf8());
            return kExitOk;
        case SiteImport::Status::Refused:
            for (const QString& e : r.errors) {
                Error(e);
            }
            Error(QStringLiteral("nothing was changed"));
            return kExitRefused;
        case SiteImport::Status::KeepFailed:
            Error(QStringLiteral("%1 is %2 and no copy could be kept (%3); it is left as it is, "
                                 "nothing was written")
                      .arg(task, DamageText(r), r.errors.join(u' ')));
            return kExitTaskFile;
        case SiteImport::Status::SaveFailed:
            break;
    }
    Error(QStringLiteral("cannot write %1: %2").arg(task, r.errors.join(u' ')));
    return kExitSaveFailed;
}

int RunDiff(const Invocation& o, const CtlEnvironment& /*env*/) {
    ConfigTables before;
    ConfigTables after;
    const bool readBefore = Read(o.files[0], before);
    if (!readBefore || !Read(o.files[1], after)) {
        return kDiffTrouble;
    }
    const QStringList changes = SiteDiff(before, after);
    for (const QString& line : changes) {
        Print(stdout, (line + u'\n').toUtf8());
    }
    return changes.isEmpty() ? kDiffSame : kDiffDifferent;
}

bool OutputOverSource(const Invocation& o) {
    return SameFile(o.output, SourcePath(o));
}
