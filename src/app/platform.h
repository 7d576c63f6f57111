#pragma once
// What the application needs of the operating system beyond Qt: the operating system's request
// to end (SIGTERM/SIGINT on Unix; on Windows the window's close covers it).

#include <QObject>
#include <functional>
#include <memory>

// Turns the operating system's request to end into a call of `onRequest`, delivered inside the
// event pumping of the application's one thread. A request that comes before `onRequest` is
// set is kept and delivered when it is set.
class TerminationRequests {
  public:
    TerminationRequests();
    ~TerminationRequests();
    void setHandler(std::function<void()> onRequest);

  private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};
