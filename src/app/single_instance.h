#pragma once
// M_00_main: the single-instance rule of Main, one running copy per folder of task file and
// settings file. A second start finds the lock held and ends silently; a lock left behind by a copy
// that crashed is stale (its process is gone) and is taken over.

#include <QLockFile>
#include <QString>

// Lock file in the temporary directory, keyed by the folder that holds the task file, so a copy
// installed in a read-only directory can still take it.
QString InstanceLockPath(const QString& appDir);

class SingleInstance {
  public:
    explicit SingleInstance(const QString& appDir);
    // True when another copy using the same folder holds the lock.
    bool anotherRuns() const { return another_; }
    // Gives the lock up (before the process ends without running destructors).
    void release() { lock_.unlock(); }

  private:
    QLockFile lock_;
    bool another_ = false;
};
