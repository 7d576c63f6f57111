#pragma once
// Where the task file TASK.M45 and the settings file system.ini live.

#include <QString>

// The names of the two files the folder holds.
inline constexpr char16_t kTaskFileName[] = u"TASK.M45";
inline constexpr char16_t kSettingsFileName[] = u"system.ini";

// The folder for an executable in `exeDir`: that folder itself where it holds the task file or
// the settings file already (a site's folder, even one that refuses new files: its configuration
// is never hidden behind an empty one), or where the program may create files in it (the build
// tree, a portable Windows folder, a copy on a USB stick); otherwise the per-user application
// data folder of "m4500-config", created here when missing. An installed copy (`exeDir` beside
// ../share/m4500-config, which the package installs) always uses the per-user folder, also for
// root, who could write into <prefix>/bin.
QString DataDir(const QString& exeDir);

// The per-user application data folder of "m4500-config", whatever the executable is called;
// created when missing.
QString UserDataDir();
