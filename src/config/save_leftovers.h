#pragma once
// What saves cut short by a crash or a kill leave beside the task file and the settings file, and
// what becomes of it when a copy of the tool starts.

#include <QDateTime>
#include <QString>
#include <QStringList>

struct LeftoverCleanup {
    // A whole save of the task file that never replaced it (the kill came between writing and
    // replacing), newer than the task file: what the operator saved last. Kept here.
    QString recovered;
    QStringList removed;  // the other temporaries, removed
};

// Removes the save temporaries of the task file and of the settings file that were last written
// before `started` (the start of this process), except the newest whole task image newer than the
// task file, which is renamed to "TASK.M45.recovered" (or .recovered1, ...; it stays where it is
// when no name is free). Files of other names are never touched.
LeftoverCleanup CleanSaveLeftovers(const QString& taskPath, const QString& iniPath,
                                   const QDateTime& started);
