#pragma once
// The lock that keeps two programs from editing one folder's task file and settings file at once:
// one running window per folder, and no companion command writing under a running window.

#include <QLockFile>
#include <QString>
#include <memory>

// The lock file shared by every user of the folder: in the folder itself.
QString FolderLockPath(const QString& dir);
// This user's own lock for the folder, in the user's data folder (or, where there is none, the
// temporary folder), named after the folder's path. Used when the shared one can be neither
// taken nor removed: a folder that refuses new files, or another user's lock left by a killed
// copy in a folder with the sticky bit.
QString OwnFolderLockPath(const QString& dir);

class FolderLock {
  public:
    // Takes the folder's lock: the shared one, else this user's own.
    explicit FolderLock(const QString& dir);
    ~FolderLock();
    FolderLock(const FolderLock&) = delete;
    FolderLock& operator=(const FolderLock&) = delete;

    // True when another live program holds the folder.
    bool heldByAnother() const { return another_; }
    // Who holds it, as the holder's lock names it ("m4500-config 4711"; "" when unknown).
    QString holder() const { return holder_; }
    // The lock file that was taken ("" when none could be made at all: the program then runs
    // without one rather than not at all).
    QString heldPath() const { return held_ ? held_->fileName() : QString(); }
    // Gives the lock up (before the process ends without running destructors).
    void release();

  private:
    enum class Take { Taken, HeldByAnother, Impossible };
    Take TryTake(const QString& path);

    std::unique_ptr<QLockFile> held_;
    bool another_ = false;
    QString holder_;
};
