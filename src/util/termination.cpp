// The operating system's request to end, one way per platform.

#include "util/termination.h"

#include <QtGlobal>

#ifndef Q_OS_WIN
#include <fcntl.h>
#include <unistd.h>
#include <QSocketNotifier>
#include <cerrno>
#include <csignal>
#endif

#ifdef Q_OS_WIN

// Windows asks a GUI program to end through its windows (WM_CLOSE, WM_QUERYENDSESSION), which
// Qt turns into the window's close; nothing more is needed here.
struct TerminationRequests::Impl {};
TerminationRequests::TerminationRequests() : impl_(std::make_unique<Impl>()) {}
TerminationRequests::~TerminationRequests() = default;
void TerminationRequests::setHandler(std::function<void()>) {}

#else

namespace {
// A signal handler can reach only static storage: the write end of the self-pipe. It is set
// once, before the handlers are installed, and only read afterwards.
volatile sig_atomic_t signalPipeWrite = -1;

void OnSignal(int) {
    const int saved = errno;
    const char byte = 1;
    if (signalPipeWrite >= 0) {
        [[maybe_unused]] ssize_t n = ::write(signalPipeWrite, &byte, 1);
    }
    errno = saved;
}
}  // namespace

struct TerminationRequests::Impl {
    int fds[2] = {-1, -1};
    std::unique_ptr<QSocketNotifier> notifier;
    std::function<void()> handler;
    bool pending = false;
};

TerminationRequests::TerminationRequests() : impl_(std::make_unique<Impl>()) {
    if (::pipe(impl_->fds) != 0) {
        return;
    }
    for (int fd : impl_->fds) {
        ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
        ::fcntl(fd, F_SETFD, FD_CLOEXEC);
    }
    signalPipeWrite = impl_->fds[1];
    impl_->notifier = std::make_unique<QSocketNotifier>(impl_->fds[0], QSocketNotifier::Read);
    QObject::connect(impl_->notifier.get(), &QSocketNotifier::activated, [impl = impl_.get()] {
        char buffer[16];
        while (::read(impl->fds[0], buffer, sizeof buffer) > 0) {
        }
        if (impl->handler) {
            impl->handler();
        } else {
            impl->pending = true;
        }
    });
    struct sigaction action {};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    ::sigaction(SIGTERM, &action, nullptr);
    ::sigaction(SIGINT, &action, nullptr);
    ::sigaction(SIGHUP, &action, nullptr);
}

TerminationRequests::~TerminationRequests() {
    signal(SIGTERM, SIG_DFL);
    signal(SIGINT, SIG_DFL);
    signal(SIGHUP, SIG_DFL);
    signalPipeWrite = -1;
    impl_->notifier.reset();
    for (int fd : impl_->fds) {
        if (fd >= 0) {
            ::close(fd);
        }
    }
}

void TerminationRequests::setHandler(std::function<void()> onRequest) {
    impl_->handler = std::move(onRequest);
    if (impl_->pending && impl_->handler) {
        impl_->pending = false;
        impl_->handler();
    }
}

#endif
