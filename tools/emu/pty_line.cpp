// The platform part of the emulator: pseudo-terminals exist on POSIX systems only. On Windows the
// emulator runs on a serial device (--device), for example one end of a virtual null-modem pair,
// and Ctrl+C ends it the platform's way.
#include "line.h"

#include <QCoreApplication>
#include <QFile>
#include <QObject>
#include <QSocketNotifier>
#include <QTimer>

#ifndef Q_OS_WIN
#include <fcntl.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>
#include <cerrno>
#include <cstring>
#endif

#ifndef Q_OS_WIN
namespace {

class PtyLine : public Line {
  public:
    ~PtyLine() override {
        if (!link_.isEmpty() && QFile::symLinkTarget(link_) == path_)
            QFile::remove(link_);
        closeBoth();
    }

    bool open(const QString& linkPath, QString* error) {
        char name[256] = {};
        termios raw{};
        cfmakeraw(&raw);
        cfsetispeed(&raw, B115200);
        cfsetospeed(&raw, B115200);
        // The slave stays open here for the emulator's whole life: when the PC closes its end
        // and opens it again, the master then never sees a hang-up (EIO) in between.
        if (openpty(&master_, &slave_, name, &raw, nullptr) != 0)
            return fail(error, QStringLiteral("cannot create a pseudo-terminal: ") +
                                   QString::fromLocal8Bit(strerror(errno)));
        path_ = QString::fromLocal8Bit(name);
        ::fcntl(master_, F_SETFL, ::fcntl(master_, F_GETFL) | O_NONBLOCK);
        ::fcntl(master_, F_SETFD, FD_CLOEXEC);
        ::fcntl(slave_, F_SETFD, FD_CLOEXEC);
        if (!linkPath.isEmpty() && !makeLink(linkPath, error))
            return false;
        notifier_ = std::make_unique<QSocketNotifier>(master_, QSocketNotifier::Read);
        QObject::connect(notifier_.get(), &QSocketNotifier::activated, [this] { readAll(); });
        return true;
    }

    QString path() const override { return path_; }

    qint64 write(const QByteArray& bytes) override {
        if (master_ < 0)
            return 0;
        const ssize_t n = ::write(master_, bytes.constData(), bytes.size());
        return n > 0 ? n : 0;
    }

    // With both of this side's descriptors closed, the PC's end of the pseudo-terminal reads
    // end-of-file or EIO from now on, as a tty does when its adapter is pulled.
    void hangUp() override { closeBoth(); }

  private:
    void closeBoth() {
        notifier_.reset();
        for (int* fd : {&slave_, &master_}) {
            if (*fd >= 0)
                ::close(*fd);
            *fd = -1;
        }
    }

    static bool fail(QString* error, const QString& why) {
        if (error)
            *error = why;
        return false;
    }

    bool makeLink(const QString& linkPath, QString* error) {
        // An old link (from an emulator that was killed) is replaced; any other file is kept.
        if (!QFile::symLinkTarget(linkPath).isEmpty())
            QFile::remove(linkPath);
        if (!QFile::link(path_, linkPath))
            return fail(
                error,
                QStringLiteral("cannot make the link %1 (does a file exist there?)").arg(linkPath));
        link_ = linkPath;
        return true;
    }

    void readAll() {
        QByteArray bytes;
        char buf[4096];
        for (;;) {
            const ssize_t n = ::read(master_, buf, sizeof buf);
            if (n > 0) {
                bytes.append(buf, n);
                continue;
            }
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK)
                pause();
            break;
        }
        if (!bytes.isEmpty() && received)
            received(bytes);
    }

    // A read error that persists would wake the loop for ever; look again a little later.
    void pause() {
        notifier_->setEnabled(false);
        QTimer::singleShot(50, notifier_.get(), [this] { notifier_->setEnabled(true); });
    }

    int master_ = -1;
    int slave_ = -1;
    QString path_;
    QString link_;
    std::unique_ptr<QSocketNotifier> notifier_;
};

}  // namespace

std::unique_ptr<Line> OpenPseudoTerminal(const QString& linkPath, QString* error) {
    auto line = std::make_unique<PtyLine>();
    if (!line->open(linkPath, error))
        return nullptr;
    return line;
}

#else

std::unique_ptr<Line> OpenPseudoTerminal(const QString&, QString* error) {
    if (error)
        *error = QStringLiteral(
            "pseudo-terminals do not exist on Windows: run with --device COMn, for example on "
            "one end of a virtual null-modem pair");
    return nullptr;
}

#endif
