#include "controller.h"

#include "device/protocol.h"
#include "util/hexconv.h"

namespace {

QString Hex2(int value) {
    QString text;
    AppendHexByte(text, uint8_t(value));
    return text;
}

QString Hex4(int value) {
    return QStringLiteral("0x") + Hex2(value >> 8) + Hex2(value);
}

int Word(const QByteArray& b, qsizetype at) {
    return static_cast<uint8_t>(b[at]) * 256 + static_cast<uint8_t>(b[at + 1]);
}

int Sum16(const QByteArray& bytes) {
    uint32_t sum = 0;
    for (char c : bytes)
        sum += static_cast<uint8_t>(c);
    return static_cast<int>(sum & 0xFFFF);
}

// A broken header: the PC's parser has to resynchronise past it.
const char kGarbage[] = {'\xAA', '\x55', '\x00'};

}  // namespace

Controller::Controller(FaultOptions faults, std::function<void(const QString&)> report)
    : faults_(faults), report_(std::move(report)) {
    clockBase_ = QDateTime(QDate(2000, 1, 1), QTime(0, 0, 0), Qt::UTC);
    clockTicking_.start();
}

QDateTime Controller::clock() const {
    return clockBase_.addMSecs(clockTicking_.elapsed());
}

QByteArray Controller::onFrame(const Frame& frame) {
    ++framesSeen_;
    if (hangingUp()) {
        report_(QStringLiteral("line hung up at frame %1").arg(framesSeen_));
        return {};
    }
    QByteArray out;
    switch (frame.command) {
        case kCmdDownloadRequest:
            out = downloadRequest(frame.payload);
            break;
        case kCmdDataBlock:
            out = dataBlock(frame.payload);
            break;
        case kCmdVerify:
            out = verify(frame.payload);
            break;
        case kCmdSetTime:
            out = setTime(frame.payload);
            break;
        default:
            report_(QStringLiteral("unknown command 0x%1 with %2 payload byte(s): ignored")
                        .arg(Hex2(frame.command))
                        .arg(frame.payload.size()));
            return {};
    }
    if (out.isEmpty())
        return {};
    if (faults_.silentFrom > 0 && framesSeen_ >= faults_.silentFrom) {
        report_(QStringLiteral("no reply (silent from frame %1)").arg(faults_.silentFrom));
        return {};
    }
    return out;
}

QByteArray Controller::reply(uint8_t command, const QByteArray& payload) {
    QByteArray frame = BuildFrame(command, payload);
    if (++repliesBuilt_ == faults_.badChecksum) {
        frame[frame.size() - 1] = static_cast<char>(frame[frame.size() - 1] + 1);
        report_(QStringLiteral("reply %1 goes out with a wrong checksum").arg(repliesBuilt_));
    }
    QByteArray garbage;
    for (int i = 0; i < faults_.garbage; ++i)
        garbage.append(kGarbage[i % sizeof kGarbage]);
    return garbage + frame;
}

QByteArray Controller::downloadRequest(const QByteArray& payload) {
    image_.clear();
    lastBlock_.clear();
    blocks_ = 0;
    verifyDone_ = false;
    downloading_ = payload.size() == 4;
    if (!downloading_) {
        report_(QStringLiteral("download request: malformed (%1 payload bytes, 4 expected), "
                               "not acknowledged")
                    .arg(payload.size()));
        return {};
    }
    announcedLength_ = Word(payload, 0);
    announcedSum_ = Word(payload, 2);
    report_(QStringLiteral("download request: length %1, sum %2")
                .arg(announcedLength_)
                .arg(Hex4(announcedSum_)));
    return reply(kCmdDownloadRequest);
}

QByteArray Controller::dataBlock(const QByteArray& payload) {
    const QString name = QStringLiteral("block %1").arg(++blocks_);
    QString refused;
    if (!downloading_) {
        refused = QStringLiteral("no download request taken");
    } else if (payload.size() < 3 || Word(payload, 0) != payload.size() - 2 ||
               payload.size() - 2 > 512) {
        refused = QStringLiteral("malformed (%1 payload bytes, announcing %2)")
                      .arg(payload.size())
                      .arg(payload.size() >= 2 ? Word(payload, 0) : -1);
    } else if (image_.size() + payload.size() - 2 > kMaxImage) {
        refused = QStringLiteral("image would exceed %1 bytes").arg(kMaxImage);
    }
    if (!refused.isEmpty()) {
        downloading_ = false;
        report_(name + QStringLiteral(": ") + refused + QStringLiteral(", not acknowledged"));
        return {};
    }
    image_.append(payload.mid(2));
    lastBlock_ = payload;
    report_(QStringLiteral("%1: %2 bytes (%3/%4)")
                .arg(name)
                .arg(payload.size() - 2)
                .arg(image_.size())
                .arg(announcedLength_));
    return reply(kCmdDataBlock);
}

// Empty when the download is good, otherwise what is wrong with it.
QString Controller::verifyVerdict(const QByteArray& payload) const {
    QStringList wrong;
    if (!downloading_)
        wrong << QStringLiteral("no complete download");
    if ((image_.size() & 0xFFFF) != announcedLength_)
        wrong << QStringLiteral("received %1 bytes of %2").arg(image_.size()).arg(announcedLength_);
    if (Sum16(image_) != announcedSum_)
        wrong
            << QStringLiteral("sum %1, announced %2").arg(Hex4(Sum16(image_)), Hex4(announcedSum_));
    if (lastBlock_.isEmpty() || payload != lastBlock_)
        wrong << QStringLiteral("payload does not repeat the last block");
    if (faults_.failVerify)
        wrong << QStringLiteral("failure forced");
    return wrong.join(QStringLiteral("; "));
}

QByteArray Controller::verify(const QByteArray& payload) {
    const QString wrong = verifyVerdict(payload);
    verifyDone_ = true;
    if (faults_.plainAckVerify) {
        report_(QStringLiteral("verify: answered by a plain acknowledgement (%1)")
                    .arg(wrong.isEmpty() ? QStringLiteral("data good") : wrong));
        return reply(kCmdDataBlock);
    }
    if (wrong.isEmpty()) {
        report_(QStringLiteral("verify: good"));
        return reply(kCmdVerify, QByteArray(1, static_cast<char>(kVerifyGood)));
    }
    report_(QStringLiteral("verify: bad (%1)").arg(wrong));
    return reply(kCmdVerify, QByteArray(1, '\0'));
}

QByteArray Controller::setTime(const QByteArray& payload) {
    auto at = [&](int i) { return static_cast<int>(static_cast<uint8_t>(payload[i])); };
    // The controller's clock knows no time zone or daylight saving; UTC stands for that.
    QDateTime set;
    if (payload.size() == 6 && at(0) <= 99 && QTime::isValid(at(3), at(4), at(5)))
        set = QDateTime(QDate(2000 + at(0), at(1), at(2)), QTime(at(3), at(4), at(5)), Qt::UTC);
    if (!set.isValid()) {
        report_(QStringLiteral("set time: invalid (%1), not acknowledged").arg(HexBytes(payload)));
        return {};
    }
    const QString format = QStringLiteral("yyyy-MM-dd HH:mm:ss");
    report_(QStringLiteral("set time: %1 (clock was %2)")
                .arg(set.toString(format), clock().toString(format)));
    clockBase_ = set;
    clockTicking_.restart();
    return reply(kCmdSetTime);
}
