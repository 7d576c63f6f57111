// m4500-emu: stands in for the M-4500 controller on a serial line, for testing the
// configuration tool without the hardware (see --help). The manual page is made from --help by
// help2man: a description continues on lines indented to where it began.
#include "emulator.h"
#include "line.h"
#include "util/termination.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <cstdio>
#include <optional>

namespace {

const char kDescription[] =
    "Stands in for the M-4500 controller on a serial line.\n"
    "\n"
    "Without --device it creates a pseudo-terminal and prints the path of its slave (the\n"
    "device the configuration tool opens) as the first line of its output. With --device it\n"
    "answers on that serial device instead (115200 baud, 8N1). It then answers as the\n"
    "controller does:\n"
    "  download request 0x50 ->  acknowledgement 0x50\n"
    "  data block 0x51 ->        acknowledgement 0x51\n"
    "  verify request 0x52 ->    verify reply 0x52 with result 66 when the received image has\n"
    "                            the announced length (low 16 bits) and 16-bit sum and the\n"
    "                            verify repeats the last block; result 00 otherwise\n"
    "  set time 0xC1 ->          acknowledgement 0xC1; the emulated clock takes the time\n"
    "                            and runs on from it\n"
    "A malformed request, block or time is reported and not acknowledged; unknown commands\n"
    "are ignored. Garbage, impossible lengths and bad checksums are skipped up to the next\n"
    "header; an incomplete frame is thrown away after 250 ms without further bytes.\n"
    "\n"
    "Each frame received gives one line of output, for example:\n"
    "\n"
    "  download request: length 15742, sum 0x1234\n"
    "\n"
    "  block 3: 512 bytes (1536/15742)\n"
    "\n"
    "  verify: good\n"
    "\n"
    "  set time: 2026-12-06 06:30:45 (clock was 2000-01-01 00:00:07)\n"
    "\n"
    "Bytes are received and sent at the pace of a 115200-baud line (10 bits a byte): a reply\n"
    "never leaves before its request could have arrived, and leaves byte by byte.\n"
    "Runs until SIGTERM or SIGINT (or the verify, with --exit-after-verify; or the hang-up,\n"
    "with --hang-up).";

struct Parsed {
    QString device;
    QString link;
    EmulatorOptions options;
};

std::optional<int> Count(const QCommandLineParser& parser, const QString& name, int max) {
    if (!parser.isSet(name))
        return 0;
    bool ok = false;
    const int value = parser.value(name).toInt(&ok);
    if (!ok || value < 0 || value > max) {
        std::fprintf(stderr, "m4500-emu: --%s needs a whole number from 0 to %d\n",
                     qPrintable(name), max);
        return std::nullopt;
    }
    return value;
}

std::optional<Parsed> ParseArguments(const QCoreApplication& app) {
    QCommandLineParser parser;
    parser.setApplicationDescription(QString::fromLatin1(kDescription));
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addOptions({
        {"device", "Answer on the serial device <path> instead of a pseudo-terminal.", "path"},
        {"link", "Make a symbolic link <path> to the pseudo-terminal's slave.", "path"},
        {"save", "Write the received image to <file> when the verify request arrives.", "file"},
        {"hex", "Also print every byte received (RX) and sent (TX) in hexadecimal."},
        {"no-pacing", "Reply as soon as a frame is complete and send replies at once."},
        {"silent-from",
         "Send no reply from the <n>th good frame received on (1 = the first); the frames are "
         "still taken.",
         "n"},
        {"bad-checksum", "Send the <n>th reply (1 = the first) with a wrong checksum.", "n"},
        {"fail-verify", "Answer every verify request with result 00."},
        {"delay", "Wait <ms> milliseconds before each reply.", "ms"},
        {"garbage", "Send <n> garbage bytes (AA 55 00 repeated) before each reply.", "n"},
        {"plain-ack-verify", "Answer the verify request with a plain acknowledgement 0x51."},
        {"hang-up",
         "Take the line away when the <n>th good frame arrives (1 = the first), as a pulled "
         "adapter does, and end.",
         "n"},
        {"exit-after-verify", "End once the verify reply has been sent."},
    });
    parser.process(app);
    Parsed p;
    p.device = parser.value("device");
    p.link = parser.value("link");
    if (!p.device.isEmpty() && !p.link.isEmpty()) {
        std::fprintf(stderr, "m4500-emu: --link applies to the pseudo-terminal, not to --device\n");
        return std::nullopt;
    }
    EmulatorOptions& o = p.options;
    const auto silent = Count(parser, "silent-from", 1'000'000'000);
    const auto bad = Count(parser, "bad-checksum", 1'000'000'000);
    const auto delay = Count(parser, "delay", 600'000);
    const auto garbage = Count(parser, "garbage", 4096);
    const auto hangUp = Count(parser, "hang-up", 1'000'000'000);
    if (!silent || !bad || !delay || !garbage || !hangUp)
        return std::nullopt;
    o.faults = {
        *silent, *bad, parser.isSet("fail-verify"), *garbage, parser.isSet("plain-ack-verify"),
        *hangUp};
    o.delayMs = *delay;
    o.pacing = !parser.isSet("no-pacing");
    o.hex = parser.isSet("hex");
    o.exitAfterVerify = parser.isSet("exit-after-verify");
    o.savePath = parser.value("save");
    return p;
}

void PrintLine(const QString& text) {
    const QByteArray line = text.toLocal8Bit() + '\n';
    std::fwrite(line.constData(), 1, line.size(), stdout);
    std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("m4500-emu"));
    QCoreApplication::setApplicationVersion(QStringLiteral(M45_VERSION));
    const auto parsed = ParseArguments(app);
    if (!parsed)
        return 2;

    // Before the line exists: a request to end that comes while it is made still removes its
    // link on the way out (it is handled once the event loop runs).
    TerminationRequests termination;
    termination.setHandler([] { QCoreApplication::quit(); });
    QString error;
    std::unique_ptr<Line> line = parsed->device.isEmpty()
                                     ? OpenPseudoTerminal(parsed->link, &error)
                                     : OpenSerialDevice(parsed->device, &error);
    if (!line) {
        std::fprintf(stderr, "m4500-emu: %s\n", qPrintable(error));
        return 1;
    }
    PrintLine(line->path());
    Emulator emulator(*line, parsed->options, PrintLine, [] { QCoreApplication::quit(); });
    return app.exec();
}
