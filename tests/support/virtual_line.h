#pragma once
// An in-memory serial line for tests, on a virtual clock. The ports it is told of open it; behind
// it answers the controller emulator's own logic (what it does with every frame, and its faults),
// and the replies arrive when a 115200-baud line would bring them. Bytes can also be delivered by
// hand, as from a device that sends on its own. Reads keep the port layer's timing: they return
// at once with bytes that are there, end 1 ms after the last byte, give up after 21 ms.
//
//   VirtualClock clock;
//   auto line = std::make_unique<VirtualLine>(clock, VirtualLineOptions{.faults = {.silentFrom =
//   4}});
//   ... a SerialStack on it: SerialStackOptions{.line = std::move(line), .clock = &clock} ...

#include "controller.h"
#include "device/serial_stack.h"
#include "serial/port_layer.h"
#include "support/virtual_clock.h"

#include <QByteArray>
#include <deque>
#include <memory>
#include <set>
#include <vector>

struct VirtualLineOptions {
    FaultOptions faults;         // as the emulator's --silent-from, --bad-checksum, ...
    int delayMs = 0;             // the controller's extra wait before each reply
    bool pacing = true;          // 10 bits a byte at 115200 baud, both ways
    bool controller = true;      // false: nothing answers, only delivered bytes arrive
    std::set<int32_t> ports{7};  // the port numbers that open this line
    OpenFailure refusal = OpenFailure::None;  // when set, no open succeeds, for this reason
};

class VirtualLine : public SerialBackend {
  public:
    explicit VirtualLine(VirtualClock& clock, VirtualLineOptions options = {});

    int32_t open(int32_t number, OpenFailure* why, QString* detail) override;
    void close(int32_t handle) override;
    bool setLine(int32_t handle, uint32_t, uint8_t, uint8_t, uint8_t, uint8_t) override;
    bool setTimeouts(int32_t handle, uint32_t, uint32_t) override;
    int32_t read(int32_t handle, uint8_t* buf, int32_t max) override;
    int32_t write(int32_t handle, const uint8_t* buf, int32_t n) override;
    QString devicePath(int32_t number) const override;

    // Bytes that arrive `afterMs` from now (one line time apart when pacing).
    void deliver(const QByteArray& bytes, int afterMs = 0);
    // The line goes away as a pulled adapter does.
    void hangUp() { hungUp_ = true; }

    // Every frame the controller took from the PC, whole, in order.
    const std::vector<QByteArray>& frames() const { return frames_; }
    const Controller& controller() const { return controller_; }
    // What the line saw: port numbers asked to open, handles closed, reads.
    std::vector<int32_t> opened;
    std::vector<int32_t> closed;
    int reads = 0;

  private:
    struct Arrival {
        int64_t atUs;
        uint8_t byte;
    };
    bool isOpen(int32_t handle) const { return handle > 0 && handle == handle_; }
    void schedule(const QByteArray& bytes, int64_t notBeforeUs);
    int32_t take(uint8_t* buf, int32_t max, int64_t& lastUs);

    VirtualClock& clock_;
    VirtualLineOptions options_;
    Controller controller_;
    FrameReader reader_;
    std::deque<Arrival> incoming_;
    std::vector<QByteArray> frames_;
    int64_t pcLineFreeUs_ = 0;    // when the PC's last byte has crossed the line
    int64_t peerLineFreeUs_ = 0;  // when the controller's last byte has crossed it
    int32_t handle_ = 0;
    int32_t lastHandle_ = 0;
    bool hungUp_ = false;
};

// Options for a serial stack on `line` (any backend) and `clock` (null: the real one).
inline SerialStackOptions OnLine(std::unique_ptr<SerialBackend> line, Clock* clock = nullptr) {
    SerialStackOptions options;
    options.line = std::move(line);
    options.clock = clock;
    return options;
}
