// m4500ctl export / import / diff / report: the configuration of a site as a document to keep,
// compare and edit, and as a handover sheet. The task file is only ever written by import,
// through the window's own save.
#include "site.h"

#include "config/taskfile.h"
#include "ctl.h"
#include "output.h"
#include "site/site_diff.h"
#include "site/site_files.h"
#include "site/site_json.h"
#include "site/site_report.h"
#include "util/data_dir.h"
#include "util/savefile.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDateTime>
#include <QFileInfo>
#include <cstdio>

namespace {

struct SiteOptions {
    QString command;
    QStringList files;
    QString dir;
    bool dirSet = false;
    QString output;  // "" = standard output
};

const QStringList& SiteCommands() {
    static const QStringList commands{QStringLiteral("export"), QStringLiteral("import"),
                                      QStringLiteral("diff"), QStringLiteral("report")};
    return commands;
}

// How many files each command takes, and whether --dir and -o belong to it.
bool FitsCommand(const SiteOptions& o, bool outputSet) {
    if (o.command == QStringLiteral("diff")) {
        return o.files.size() == 2 && !o.dirSet && !outputSet;
    }
    if (o.command == QStringLiteral("import")) {
        return o.files.size() == 1 && !outputSet;
    }
    return o.files.size() + (o.dirSet ? 1 : 0) <= 1;  // export, report: --dir D or FILE
}

// FILE when given, otherwise the task file in DIR.
QString SourcePath(const SiteOptions& o) {
    return o.files.isEmpty() ? TaskFilePath(o.dir) : o.files.first();
}

// An output over the file it is made from would destroy the site's only copy.
bool SameFile(const QString& output, const QString& source) {
    const QFileInfo a(output);
    const QFileInfo b(source);
    return !output.isEmpty() && a.exists() && b.exists() &&
           a.canonicalFilePath() == b.canonicalFilePath();
}

std::optional<SiteOptions> ParseSite(const QStringList& args) {
    QCommandLineParser parser;
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    const QCommandLineOption dir(QStringLiteral("dir"), {}, QStringLiteral("DIR"));
    const QCommandLineOption output({QStringLiteral("o"), QStringLiteral("output")}, {},
                                    QStringLiteral("FILE"));
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")}, {});
    parser.addOptions({dir, output, help});
    if (!parser.parse(QStringList{QStringLiteral("m4500ctl")} + args)) {
        Error(parser.errorText() + QStringLiteral(" (see m4500ctl --help)"));
        return std::nullopt;
    }
    if (parser.isSet(help)) {
        Print(stdout, SiteHelpText().toUtf8());
        return SiteOptions{};  // no command: nothing more to do
    }
    SiteOptions o;
    o.files = parser.positionalArguments();
    o.command = o.files.takeFirst();
    o.dirSet = parser.isSet(dir);
    o.dir = o.dirSet ? parser.value(dir) : DataDir(QCoreApplication::applicationDirPath());
    o.output = parser.value(output);
    if (!FitsCommand(o, parser.isSet(output))) {
        Error(QStringLiteral("%1: wrong files or options (see m4500ctl --help)").arg(o.command));
        return std::nullopt;
    }
    if (SameFile(o.output, SourcePath(o))) {
        Error(QStringLiteral("%1: -o names the file it reads").arg(o.command));
        return std::nullopt;
    }
    return o;
}

bool Read(const QString& path, ConfigTables& config) {
    CheckedConfig source = ReadSiteSource(path);
    for (const QString& e : source.errors) {
        Error(e);
    }
    config = source.config;
    return source.ok;
}

int Write(const SiteOptions& o, const QByteArray& bytes) {
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

int Export(const SiteOptions& o) {
    ConfigTables config;
    if (!Read(SourcePath(o), config)) {
        return kExitTaskFile;
    }
    return Write(o, SiteJson(config));
}

int Report(const SiteOptions& o) {
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

// What was wrong with the task file that import found in its place.
QString DamageText(const SiteImport& r) {
    return r.irregular ? QStringLiteral("not a whole task file as a save writes it")
                       : QStringLiteral("not a task file (header check failed: 文件错误！)");
}

int Import(const SiteOptions& o) {
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

int Diff(const SiteOptions& o) {
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

}  // namespace

std::optional<int> RunSiteCommand(const QStringList& args) {
    if (args.isEmpty() || !SiteCommands().contains(args.first())) {
        return std::nullopt;
    }
    const std::optional<SiteOptions> o = ParseSite(args);
    if (!o) {
        return args.first() == QStringLiteral("diff") ? kDiffTrouble : kExitUsage;
    }
    if (o->command.isEmpty()) {
        return kExitOk;  // the help was asked for
    }
    if (o->command == QStringLiteral("export")) {
        return Export(*o);
    }
    if (o->command == QStringLiteral("import")) {
        return Import(*o);
    }
    if (o->command == QStringLiteral("diff")) {
        return Diff(*o);
    }
    return Report(*o);
}

QString SiteHelpText() {
    return QStringLiteral(
        "Site work (the command comes first):\n"
        "  export [--dir DIR | FILE] [-o OUT.json]\n"
        "             Write the whole configuration as JSON (fields in the README) to OUT.json\n"
        "             or standard output. FILE is a task file or a site document; without\n"
        "             one, DIR/TASK.M45. Only reads: a damaged file is reported, not kept aside.\n"
        "  import IN.json [--dir DIR]\n"
        "             Check every field of IN.json and, only when all are good, save it as\n"
        "             DIR/TASK.M45 as the window saves. Faults are listed with their lines and\n"
        "             nothing is changed. A remark over 20 code units is refused, not cut.\n"
        "             IN.json over 1 MiB is refused unread.\n"
        "  diff A B   What changed from A to B, one change per line; A and B are task files\n"
        "             or site documents, told apart by content.\n"
        "  report [--dir DIR | FILE] [-o site.html]\n"
        "             A printable handover sheet in one HTML file: machine addresses, a\n"
        "             timeline of all zones, and each zone's machines and programmed tasks.\n"
        "\n"
        "Exit codes of export, import and report:\n"
        "  0  written\n"
        "  1  unknown option, or wrong files for the command\n"
        "  2  the task file (or FILE) is missing, unreadable or not a task file; import: it\n"
        "     is damaged and no copy of it could be kept, so it was not replaced\n"
        "  6  the output (a file, or standard output whole), or (import) the task file,\n"
        "     could not be written\n"
        "  8  import: the document was refused (too large, not JSON, a field wrong)\n"
        "  9  import: a running window holds DIR; close it first\n"
        "Exit codes of diff:\n"
        "  0  the same   1  different   2  an input unreadable or refused, a usage error,\n"
        "     or standard output could not be written whole\n");
}
