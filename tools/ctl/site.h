#pragma once
// m4500ctl's site work: export, import, diff and report of a site's configuration.

#include <QStringList>
#include <optional>

// Exit code of an import whose document was refused (beyond the codes of ctl.h).
inline constexpr int kExitRefused = 8;
// diff's own codes, as diff(1) has them: any trouble is 2, also a usage error.
inline constexpr int kDiffSame = 0;
inline constexpr int kDiffDifferent = 1;
inline constexpr int kDiffTrouble = 2;

// Runs the command line when it begins with export, import, diff or report; nullopt otherwise.
// Needs a QCoreApplication.
std::optional<int> RunSiteCommand(const QStringList& args);

// The help text's part on these commands and their exit codes.
QString SiteHelpText();
