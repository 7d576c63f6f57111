#pragma once
// The operating system's request to end (SIGTERM, SIGINT, SIGHUP on Unix), turned into a call in
// the event pumping of the one thread through a self-pipe: for the window and the emulator. On
// Windows a GUI program is asked to end through its windows, which Qt turns into their close.

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
