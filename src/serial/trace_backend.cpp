#include "serial/system_backend.h"

#include "util/hexconv.h"

#include <QElapsedTimer>
#include <algorithm>

namespace {

class TraceBackend final : public ForwardingBackend {
  public:
    TraceBackend(SerialBackend& inner, std::function<void(const QString&)> sink)
        : ForwardingBackend(inner), sink_(std::move(sink)) {
        clock_.start();
    }

    int32_t open(int32_t number, OpenFailure* why, QString* detail) override {
        lostReported_ = false;
        return inner_.open(number, why, detail);
    }
    int32_t read(int32_t handle, uint8_t* buf, int32_t max) override {
        const int32_t got = inner_.read(handle, buf, max);
        if (got > 0)
            trace("RX", buf, std::min(got, max), QString());
        if (got == kLineLost && !lostReported_) {
            lostReported_ = true;
            trace("RX", buf, 0, QStringLiteral(" (line lost: the device went away)"));
        }
        return got;
    }
    int32_t write(int32_t handle, const uint8_t* buf, int32_t n) override {
        const int32_t done = inner_.write(handle, buf, n);
        if (n > 0) {
            trace("TX", buf, n,
                  done == n ? QString() : QStringLiteral("  (%1 of %2 written)").arg(done).arg(n));
        }
        return done;
    }

  private:
    void trace(const char* direction, const uint8_t* bytes, int32_t n, const QString& note) {
        if (!sink_)
            return;
        const qint64 ms = clock_.elapsed();
        QString line =
            QStringLiteral("%1.%2 ").arg(ms / 1000).arg(ms % 1000, 3, 10, QLatin1Char('0')) +
            QLatin1String(direction);
        if (n > 0) {
            line += QLatin1Char(' ') + HexBytes(bytes, n);
        }
        sink_(line + note);
    }

    std::function<void(const QString&)> sink_;
    QElapsedTimer clock_;
    bool lostReported_ = false;  // a lost line is traced once per open, not at every read
};

}  // namespace

std::unique_ptr<SerialBackend> MakeTraceBackend(SerialBackend& inner,
                                                std::function<void(const QString&)> sink) {
    return std::make_unique<TraceBackend>(inner, std::move(sink));
}
