#include "util/hexconv.h"

#include <algorithm>
#include <cstdint>

namespace {

bool IsHexDigit(QChar c) {
    const char16_t u = c.unicode();
    return (u >= u'0' && u <= u'9') || (u >= u'A' && u <= u'F') || (u >= u'a' && u <= u'f');
}

// Value of one hexadecimal digit; anything else counts as 0 so that malformed text still decodes.
uint32_t DigitValue(QChar c) {
    const char16_t u = c.unicode();
    if (u >= u'0' && u <= u'9') {
        return u - u'0';
    }
    if (u >= u'A' && u <= u'F') {
        return u - u'A' + 10;
    }
    if (u >= u'a' && u <= u'f') {
        return u - u'a' + 10;
    }
    return 0;
}

QString HexDigits(uint32_t value, int width) {
    return QString::number(value, 16).toUpper().rightJustified(width, u'0');
}

QString Amp(QStringView twoDigits) {
    QString out = QStringLiteral("&H");
    out += twoDigits;
    return out;
}

}  // namespace

QString Fun_TextToHex(const QString& text) {
    QString out;
    out.reserve(text.size() * 4);
    for (QChar c : text) {
        out += HexDigits(c.unicode(), 4);
    }
    return out;
}

QString Fun_HexToText(const QString& hex) {
    QString out;
    out.reserve(hex.size() / 4 + 1);
    for (qsizetype i = 0; i < hex.size(); i += 4) {
        const QStringView group = QStringView(hex).mid(i, 4);
        // A group whose first two digits are 00 stands for its last two digits alone; either way
        // the code is the group's value. A trailing partial group decodes from the digits it has.
        const bool highZero = HexDigitsValue(group.left(2)) == 0;
        const uint32_t code =
            highZero && group.size() > 2 ? HexDigitsValue(group.mid(2)) : HexDigitsValue(group);
        out += QChar(char16_t(code));
    }
    return out;
}

QString& Fun_PadLeft(QString& text, int16_t width, const QString& fill) {
    const qsizetype missing = qsizetype(width) - text.size();
    if (missing > 0) {
        text.prepend(fill.repeated(missing));
    }
    return text;
}

QString& Fun_PadLeftZero(QString& text, int16_t width) {
    return Fun_PadLeft(text, width, QStringLiteral("0"));
}

QString Fun_ByteOfWord(int64_t value, int selector) {
    const QString digits = HexDigits(uint32_t(uint64_t(value) & 0xFFFFu), 4);
    if (selector == 1) {
        return Amp(QStringView(digits).left(2));
    }
    if (selector == 2) {
        return Amp(QStringView(digits).mid(2, 2));
    }
    return QString();
}

QString Fun_ByteOfLong(int32_t value, int selector) {
    if (selector < 1 || selector > 4) {
        return QString();
    }
    const QString digits = HexDigits(uint32_t(value), 8);
    return Amp(QStringView(digits).mid(qsizetype(selector - 1) * 2, 2));
}

QString Fun_ByteOfLong(int16_t value, int selector) {
    return Fun_ByteOfLong(int32_t(uint16_t(value)), selector);
}

int32_t Fun_BytesToLong(int64_t a, int64_t b, int64_t c, int64_t d) {
    // Values 0x8000..0xFFFF come back positive: the bytes are joined as one 32-bit number.
    const uint32_t joined = (uint32_t(a & 0xFF) << 24) | (uint32_t(b & 0xFF) << 16) |
                            (uint32_t(c & 0xFF) << 8) | uint32_t(d & 0xFF);
    return int32_t(joined);
}

int32_t Fun_Mod256(int64_t value) {
    // The 32-bit conversion saturates instead of failing; the bounded loop is kept as designed.
    int32_t v = int32_t(std::clamp<int64_t>(value, INT32_MIN, INT32_MAX));
    for (int i = 0; i < 5000; ++i) {
        if (v < 256) {
            break;
        }
        v -= 256;
    }
    return v;
}

uint32_t HexNotationValue(const QString& amp) {
    if (!amp.startsWith(QStringLiteral("&H")) || amp.size() < 3 || amp.size() > 10) {
        return 0;
    }
    const QStringView digits = QStringView(amp).mid(2);
    if (!std::all_of(digits.begin(), digits.end(), IsHexDigit)) {
        return 0;
    }
    return HexDigitsValue(digits);
}

uint32_t HexDigitsValue(QStringView digits) {
    uint32_t v = 0;
    for (QChar c : digits) {
        v = (v << 4) | DigitValue(c);
    }
    return v;
}

void AppendHexByte(QString& out, uint8_t byte) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    out += QLatin1Char(kDigits[byte >> 4]);
    out += QLatin1Char(kDigits[byte & 0x0F]);
}

QString HexBytes(const uint8_t* bytes, qsizetype n, QChar separator) {
    QString out;
    out.reserve(n * 3);
    for (qsizetype i = 0; i < n; ++i) {
        if (i > 0 && !separator.isNull()) {
            out += separator;
        }
        AppendHexByte(out, bytes[i]);
    }
    return out;
}

QString HexBytes(const QByteArray& bytes, QChar separator) {
    return HexBytes(reinterpret_cast<const uint8_t*>(bytes.constData()), bytes.size(), separator);
}
