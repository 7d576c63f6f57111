#pragma once
// Starts the controller emulator (build/bin/m4500-emu) for an end-to-end test and stops it again.
//
//   EmulatorProcess emu({"--fail-verify"});           // any m4500-emu options (see its --help)
//   ASSERT_TRUE(emu.ok()) << emu.error();
//   WritePortSetting(iniPath, 7, emu.devicePath());    // port 7 now opens the emulator
//   ... run the download or the time synchronisation through the serial layer ...
//   EXPECT_TRUE(emu.waitForOutput("verify: bad", 5000)) << emu.output();
//
// The emulator prints one line per frame it receives ("download request: length 15742, sum
// 0x1234", "block 3: 512 bytes (1536/15742)", "verify: good", "set time: 2026-12-06 06:30:45
// (clock was ...)"), and with --hex the bytes as "RX ..."/"TX ..." lines. Its output goes to a
// file, so it never blocks on a full pipe, and no event loop is needed on the test's side.
// By default it paces like a real 115200-baud line; pass "--no-pacing" for speed.

#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

class EmulatorProcess {
  public:
    // Starts the emulator and waits (up to startTimeoutMs) for the device path it prints.
    explicit EmulatorProcess(const QStringList& extraArgs = {}, int startTimeoutMs = 10000);
    // Stops it (SIGTERM, then a kill after 5 s).
    ~EmulatorProcess();
    EmulatorProcess(const EmulatorProcess&) = delete;
    EmulatorProcess& operator=(const EmulatorProcess&) = delete;

    bool ok() const { return !devicePath_.isEmpty(); }
    // Why it did not start, with whatever it printed.
    QString error() const { return error_; }
    // The device the PC side opens: the --link path when one was given, else the slave's path.
    QString devicePath() const { return devicePath_; }
    // Everything it printed so far (the first line is the slave's path).
    QString output() const;
    // Waits until its output contains `text`; false after timeoutMs.
    bool waitForOutput(const QString& text, int timeoutMs) const;
    // Stops it now with SIGTERM; true when it ended with exit code 0.
    bool stop();
    // Waits for it to end by itself (--exit-after-verify); its exit code, or -1 on a timeout.
    int waitForExit(int timeoutMs);

  private:
    QTemporaryDir dir_;
    QString outputPath_;
    QProcess process_;
    QString devicePath_;
    QString error_;
};

// Writes the settings line "COM<port>=<devicePath>" (replacing an earlier one for that port),
// which makes the serial layer open `devicePath` as port `port`.
bool WritePortSetting(const QString& settingsPath, int port, const QString& devicePath);
