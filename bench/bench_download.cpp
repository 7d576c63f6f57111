// A full task-file download to the emulator pacing like a real 115200-baud line, against the
// time its bytes need on that line. Every block waits for its answer, so the line time counts
// both directions: every frame sent and every reply, 10 bits a byte.
//
//   bench_download [runs]      (default 3)
//
// Prints per run: the wall time of Fun_DownloadParams as a whole, the part from the first byte
// written to the last reply read (the whole call less the 100 ms settling wait before the first
// frame, the save and the 20 ms close), the line time of the bytes, both ratios, and the CPU time
// of this process (getrusage) against the wall time.
#include "config/taskfile.h"
#include "device/serial_stack.h"
#include "device/transfer.h"
#include "serial/port_map.h"
#include "serial/system_backend.h"
#include "support/emulator.h"
#include "util/keyvalue.h"

#include <sys/resource.h>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <cstdio>

namespace {

constexpr double kLineBitsPerByte = 10.0;
constexpr double kBaud = 115200.0;

// Counts the bytes in both directions and notes when the first went out and the last came in.
class CountingBackend : public ForwardingBackend {
  public:
    explicit CountingBackend(std::unique_ptr<SerialBackend> inner)
        : ForwardingBackend(*inner), owned_(std::move(inner)) {
        clock_.start();
    }
    int32_t read(int32_t handle, uint8_t* buf, int32_t max) override {
        const int32_t got = inner_.read(handle, buf, max);
        if (got > 0) {
            const qint64 now = clock_.nsecsElapsed();
            if (awaitingReply_) {
                // From the frame written to the first read that returned its reply, less the
                // frame's own line time: the controller's turnaround plus the read's end.
                replyWaitNs += now - lastTxNs_ - LineNs(lastTxBytes_);
                awaitingReply_ = false;
            }
            rxBytes += got;
            lastRxNs = now;
        }
        return got;
    }
    int32_t write(int32_t handle, const uint8_t* buf, int32_t n) override {
        const qint64 now = clock_.nsecsElapsed();
        if (txBytes == 0) {
            firstTxNs = now;
        } else {
            turnaroundNs += now - lastRxNs;  // reply read -> next frame out: the PC's share
        }
        const int32_t done = inner_.write(handle, buf, n);
        txBytes += done;
        lastTxNs_ = clock_.nsecsElapsed();
        lastTxBytes_ = done;
        awaitingReply_ = true;
        return done;
    }

    qint64 nowNs() const { return clock_.nsecsElapsed(); }

    int64_t txBytes = 0;
    int64_t rxBytes = 0;
    qint64 firstTxNs = 0;
    qint64 lastRxNs = 0;
    qint64 turnaroundNs = 0;
    qint64 replyWaitNs = 0;

  private:
    static qint64 LineNs(int64_t bytes) {
        return qint64(double(bytes) * kLineBitsPerByte / kBaud * 1e9);
    }

    std::unique_ptr<SerialBackend> owned_;
    QElapsedTimer clock_;
    qint64 lastTxNs_ = 0;
    int64_t lastTxBytes_ = 0;
    bool awaitingReply_ = false;
};

class NullLog : public TransferListener {
  public:
    void append(const QString& text) override { this->text += text; }
    QString text;
};

double CpuSeconds() {
    rusage use{};
    getrusage(RUSAGE_SELF, &use);
    return double(use.ru_utime.tv_sec + use.ru_stime.tv_sec) +
           double(use.ru_utime.tv_usec + use.ru_stime.tv_usec) / 1e6;
}

ConfigTables SampleConfig() {
    ConfigTables c;
    for (int z = 1; z <= kZones; ++z) {
        c.ZoneRemark[z] = QStringLiteral("区域 %1").arg(z);
        for (int t = 1; t <= kSlots; ++t) {
            c.TaskHour[z][t] = uint8_t(1 + (z + t) % 24);
            c.TaskMinute[z][t] = uint8_t(1 + (z * t) % 60);
            c.TaskScene[z][t] = uint8_t(1 + t % 30);
        }
    }
    for (int m = 1; m <= kMachines; ++m) {
        c.MachineIp[m] = uint8_t(m);
    }
    return c;
}

bool RunOnce(int run, const QString& device) {
    QTemporaryDir dir;
    const QString settings = SettingsFilePath(dir.path());
    WritePortSetting(settings, 7, device);
    WriteKeyValue(settings, QStringLiteral("串口"), QStringLiteral("7"));
    auto owned = std::make_unique<CountingBackend>(MakeSystemSerialBackend(PortMap(settings)));
    CountingBackend& counting = *owned;
    ProcessState process;
    SerialStackOptions options;
    options.line = std::move(owned);
    SerialStack serial(process, dir.path(), std::move(options));
    serial.session.Fun_初始化();
    ConfigTables config = SampleConfig();
    NullLog log;
    TransferContext ctx = serial.transferContext(config, log);

    const double cpu0 = CpuSeconds();
    const qint64 startNs = counting.nowNs();
    const DownloadOutcome outcome = Fun_DownloadParams(ctx).outcome;
    const qint64 endNs = counting.nowNs();
    const double wallS = double(endNs - startNs) / 1e9;
    const double cpuS = CpuSeconds() - cpu0;
    if (outcome != DownloadOutcome::Success) {
        std::printf("run %d: download failed, log:\n%s\n", run, qPrintable(log.text));
        return false;
    }
    const double lineS = double(counting.txBytes + counting.rxBytes) * kLineBitsPerByte / kBaud;
    const double activeS = double(counting.lastRxNs - counting.firstTxNs) / 1e9;
    std::printf(
        "run %d: %lld bytes sent, %lld received; line time %.3f s\n"
        "       whole call   %.3f s  ratio %.3f\n"
        "       first byte out to last reply in  %.3f s  ratio %.3f\n"
        "       before the first frame %.1f ms (open, 100 ms settling wait, save, read),\n"
        "       after the last reply %.1f ms (last wait cycle, log lines, close with its 20 ms)\n"
        "       beyond the line: PC turnarounds (reply read -> next frame) %.1f ms, first reply\n"
        "       read after each frame less the frame's line time %.1f ms\n"
        "       CPU %.3f s = %.1f %% of the whole call\n",
        run, static_cast<long long>(counting.txBytes), static_cast<long long>(counting.rxBytes),
        lineS, wallS, wallS / lineS, activeS, activeS / lineS,
        double(counting.firstTxNs - startNs) / 1e6, double(endNs - counting.lastRxNs) / 1e6,
        double(counting.turnaroundNs) / 1e6, double(counting.replyWaitNs) / 1e6, cpuS,
        100.0 * cpuS / wallS);
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const int runs = argc > 1 ? std::max(1, QString::fromLocal8Bit(argv[1]).toInt()) : 3;
    EmulatorProcess emu;  // paced like a 115200-baud line
    if (!emu.ok()) {
        std::printf("emulator: %s\n", qPrintable(emu.error()));
        return 1;
    }
    for (int run = 1; run <= runs; ++run) {
        if (!RunOnce(run, emu.devicePath())) {
            return 1;
        }
    }
    return 0;
}
