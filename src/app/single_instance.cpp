// M_00_main: the instance lock that keeps a second copy from starting.

#include "app/single_instance.h"

QString InstanceLockPath(const QString& appDir) {
    return FolderLockPath(appDir);
}
