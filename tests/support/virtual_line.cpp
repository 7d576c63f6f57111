#include "support/virtual_line.h"

#include <algorithm>

namespace {

constexpr int64_t kByteUs = 1'000'000 * 10 / 115200;  // 86 us: 10 bits a byte
constexpr int64_t kIntervalUs = 1000;                 // a read ends 1 ms after its last byte
constexpr int64_t kMsUs = 1000;

}  // namespace

VirtualLine::VirtualLine(VirtualClock& clock, VirtualLineOptions options)
    : clock_(clock),
      options_(std::move(options)),
      controller_(options_.faults, [](const QString&) {}) {}

int32_t VirtualLine::open(int32_t number, OpenFailure* why, QString* detail) {
    opened.push_back(number);
    OpenFailure failure = OpenFailure::None;
    if (options_.ports.count(number) == 0 || hungUp_) {
        failure = OpenFailure::Absent;
    } else if (options_.refusal != OpenFailure::None) {
        failure = options_.refusal;
    } else if (handle_ != 0) {
        failure = OpenFailure::Busy;
    }
    if (why != nullptr) {
        *why = failure;
    }
    if (failure != OpenFailure::None) {
        if (detail != nullptr) {
            *detail = QStringLiteral("virtual line %1").arg(number);
        }
        return 0;
    }
    handle_ = ++lastHandle_;
    return handle_;
}

void VirtualLine::close(int32_t handle) {
    closed.push_back(handle);
    if (isOpen(handle)) {
        handle_ = 0;
    }
}

bool VirtualLine::setLine(int32_t handle, uint32_t, uint8_t, uint8_t, uint8_t, uint8_t) {
    return isOpen(handle);
}

bool VirtualLine::setTimeouts(int32_t handle, uint32_t, uint32_t) {
    return isOpen(handle);
}

QString VirtualLine::devicePath(int32_t number) const {
    return QStringLiteral("virtual:%1").arg(number);
}

void VirtualLine::schedule(const QByteArray& bytes, int64_t notBeforeUs) {
    for (const char c : bytes) {
        const int64_t start = std::max(peerLineFreeUs_, notBeforeUs);
        peerLineFreeUs_ = start + (options_.pacing ? kByteUs : 0);
        incoming_.push_back({peerLineFreeUs_, uint8_t(c)});
    }
}

void VirtualLine::deliver(const QByteArray& bytes, int afterMs) {
    schedule(bytes, clock_.nowUs() + int64_t(afterMs) * kMsUs);
}

int32_t VirtualLine::write(int32_t handle, const uint8_t* buf, int32_t n) {
    if (!isOpen(handle) || hungUp_ || buf == nullptr || n <= 0) {
        return 0;
    }
    const QByteArray bytes(reinterpret_cast<const char*>(buf), n);
    pcLineFreeUs_ = std::max(pcLineFreeUs_, clock_.nowUs()) + (options_.pacing ? n * kByteUs : 0);
    if (!options_.controller) {
        return n;
    }
    reader_.append(bytes);
    Frame frame;
    while (reader_.next(frame)) {
        frames_.push_back(frame.raw);
        const QByteArray reply = controller_.onFrame(frame);
        if (controller_.hangingUp()) {
            hungUp_ = true;
            incoming_.clear();
            break;
        }
        schedule(reply, pcLineFreeUs_ + int64_t(options_.delayMs) * kMsUs);
    }
    return n;
}

// Bytes that have arrived by now, at most `max`; `lastUs` is when the last of them came.
int32_t VirtualLine::take(uint8_t* buf, int32_t max, int64_t& lastUs) {
    int32_t got = 0;
    while (got < max && !incoming_.empty() && incoming_.front().atUs <= clock_.nowUs()) {
        lastUs = incoming_.front().atUs;
        buf[got++] = incoming_.front().byte;
        incoming_.pop_front();
    }
    return got;
}

int32_t VirtualLine::read(int32_t handle, uint8_t* buf, int32_t max) {
    ++reads;
    const int64_t deadline = clock_.nowUs() + (int64_t(max) + 1) * kMsUs;
    if (hungUp_) {
        clock_.advanceTo(deadline);  // nothing comes; the read takes its time all the same
        return kLineLost;
    }
    if (!isOpen(handle) || buf == nullptr || max <= 0) {
        return 0;
    }
    int32_t got = 0;
    int64_t lastUs = 0;
    for (;;) {
        got += take(buf + got, max - got, lastUs);
        const bool more = !incoming_.empty();
        if (got == max) {
            return got;
        }
        if (got > 0 && (!more || incoming_.front().atUs > lastUs + kIntervalUs)) {
            clock_.advanceTo(lastUs + kIntervalUs);
            return got;
        }
        if (got == 0 && (!more || incoming_.front().atUs > deadline)) {
            clock_.advanceTo(deadline);
            return 0;
        }
        clock_.advanceTo(incoming_.front().atUs);
    }
}
