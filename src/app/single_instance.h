#pragma once
// M_00_main: the single-instance rule of Main, one running copy per folder of task file and
// settings file. A second start finds the folder's lock held and ends silently; a lock whose
// owner process no longer exists never blocks, whoever owned it.

#include "util/folder_lock.h"

#include <QString>

// Lock file in the folder that holds the task file.
QString InstanceLockPath(const QString& appDir);

class SingleInstance {
  public:
    explicit SingleInstance(const QString& appDir) : lock_(appDir) {}
    // True when another live copy using the same folder holds the lock.
    bool anotherRuns() const { return lock_.heldByAnother(); }
    // Gives the lock up (before the process ends without running destructors).
    void release() { lock_.release(); }

  private:
    FolderLock lock_;
};
