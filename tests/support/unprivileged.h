#pragma once
// Runs a piece of a test as an unprivileged user. Tests usually run as root, who passes every
// permission check, so a fault that only a normal operator meets would never show.

#include <QString>
#include <functional>

// When the process is root: forks, becomes the user "nobody" (group "nogroup", no other
// groups) in the child, runs `body` there and returns its result (-1 if that was impossible).
// Otherwise runs `body` in this process. `body` must only touch files, not the event loop.
int RunUnprivileged(const std::function<int()>& body);

// Gives a file or folder to the user that RunUnprivileged runs as (nothing when not root).
bool GiveToUnprivileged(const QString& path);
