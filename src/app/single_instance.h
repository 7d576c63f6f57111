#pragma once
// M_00_main: the single-instance rule of Main, one running copy per folder of task file and
// settings file. A second start finds the lock held and ends silently; a lock whose owner process
// no longer exists never blocks, whoever owned it.

#include <QLockFile>
#include <QString>

// Lock file in the folder that holds the task file. That folder takes new files by construction
// (see DataDir), and a lock there is not caught in a shared temporary directory whose sticky bit
// keeps one user from removing what a crashed copy of another user left.
QString InstanceLockPath(const QString& appDir);

class SingleInstance {
  public:
    explicit SingleInstance(const QString& appDir);
    // True when another live copy using the same folder holds the lock.
    bool anotherRuns() const { return another_; }
    // Gives the lock up (before the process ends without running destructors).
    void release() { lock_.unlock(); }

  private:
    QLockFile lock_;
    bool another_ = false;
};
