// Conversions between numbers, bytes and hex text that the task file and the frames are built from.
#include "util/hexconv.h"

#include <gtest/gtest.h>

#include <random>

namespace {

struct TextHexRow {
    QString text;
    const char* hex;
};
void PrintTo(const TextHexRow& r, std::ostream* os) {
    *os << r.hex;
}

class TextToHex : public testing::TestWithParam<TextHexRow> {};

TEST_P(TextToHex, FourUpperCaseDigitsPerCodeUnitAndBack) {
    const TextHexRow& row = GetParam();
    EXPECT_EQ(Fun_TextToHex(row.text), QString::fromLatin1(row.hex));
    EXPECT_EQ(Fun_HexToText(QString::fromLatin1(row.hex)), row.text);
}

INSTANTIATE_TEST_SUITE_P(
    Examples, TextToHex,
    testing::Values(TextHexRow{QString(), ""}, TextHexRow{QStringLiteral("A"), "0041"},
                    TextHexRow{QStringLiteral("AB"), "00410042"},
                    TextHexRow{QString(QChar(u'\u533A')), "533A"},
                    TextHexRow{QString(QChar(u'\u8000')), "8000"},
                    TextHexRow{QString(QChar(u'\uFFFF')), "FFFF"},
                    TextHexRow{QString(QChar(u'\0')), "0000"},
                    TextHexRow{QString(QChar(u'\u00FF')), "00FF"},
                    TextHexRow{QString(QChar(u'\u0100')), "0100"},
                    // outside the basic plane: one group per surrogate
                    TextHexRow{QString::fromUtf8("\xF0\x9F\x98\x80"), "D83DDE00"},
                    TextHexRow{QStringLiteral("a\u4E2D0"), "00614E2D0030"}));

TEST(TextToHexRoundTrip, EveryCodeUnitIncludingLoneSurrogates) {
    std::mt19937 rng(12345);
    std::uniform_int_distribution<int> unit(0, 0xFFFF);
    for (int round = 0; round < 200; ++round) {
        QString text;
        for (int i = 0; i < round % 37; ++i) {
            text += QChar(char16_t(unit(rng)));
        }
        const QString hex = Fun_TextToHex(text);
        ASSERT_EQ(hex.size(), 4 * text.size());
        ASSERT_EQ(hex, hex.toUpper());
        ASSERT_EQ(Fun_HexToText(hex), text);
    }
}

TEST(HexToText, MalformedInputDecodesWithoutFailing) {
    // Partial trailing groups and non-hex characters decode to something; they never fail.
    for (const char* bad : {"0", "004", "00410", "zzzz", "00G1", "&H41", "0041-", "    "}) {
        const QString hex = QString::fromLatin1(bad);
        const QString text = Fun_HexToText(hex);
        EXPECT_EQ(text.size(), (hex.size() + 3) / 4) << bad;
    }
    EXPECT_EQ(Fun_HexToText(QStringLiteral("00410")).left(1), QStringLiteral("A"));
}

struct PadRow {
    const char* text;
    int16_t width;
    const char* fill;
    const char* expected;
};
void PrintTo(const PadRow& r, std::ostream* os) {
    *os << r.expected;
}

class PadLeft : public testing::TestWithParam<PadRow> {};

TEST_P(PadLeft, PrependsFillAndChangesTheCallersText) {
    const PadRow& row = GetParam();
    QString text = QString::fromLatin1(row.text);
    QString& returned = Fun_PadLeft(text, row.width, QString::fromLatin1(row.fill));
    EXPECT_EQ(&returned, &text);
    EXPECT_EQ(text, QString::fromLatin1(row.expected));
}

INSTANTIATE_TEST_SUITE_P(Examples, PadLeft,
                         testing::Values(PadRow{"A", 2, "0", "0A"}, PadRow{"1234", 2, "0", "1234"},
                                         PadRow{"", 4, "0", "0000"}, PadRow{"7", 3, "ab", "abab7"},
                                         PadRow{"xy", -5, "0", "xy"}, PadRow{"xy", 2, "0", "xy"}));

TEST(PadLeftZero, UsesZeroFill) {
    QString empty;
    EXPECT_EQ(Fun_PadLeftZero(empty, 4), QStringLiteral("0000"));
    EXPECT_EQ(empty, QStringLiteral("0000"));
    QString a = QStringLiteral("A");
    EXPECT_EQ(Fun_PadLeftZero(a, 2), QStringLiteral("0A"));
}

struct ByteRow {
    int64_t value;
    int selector;
    const char* expected;
};
void PrintTo(const ByteRow& r, std::ostream* os) {
    *os << r.value << "," << r.selector;
}

class ByteOfWord : public testing::TestWithParam<ByteRow> {};

TEST_P(ByteOfWord, HighOrLowByteOfTheLow16Bits) {
    const ByteRow& row = GetParam();
    EXPECT_EQ(Fun_ByteOfWord(row.value, row.selector), QString::fromLatin1(row.expected));
}

INSTANTIATE_TEST_SUITE_P(Examples, ByteOfWord,
                         testing::Values(ByteRow{4464, 1, "&H11"}, ByteRow{4464, 2, "&H70"},
                                         ByteRow{70000, 1, "&H11"}, ByteRow{70000, 2, "&H70"},
                                         ByteRow{512, 1, "&H02"}, ByteRow{512, 2, "&H00"},
                                         ByteRow{0, 1, "&H00"}, ByteRow{0xABCD, 2, "&HCD"},
                                         ByteRow{-1, 1, "&HFF"}, ByteRow{512, 0, ""},
                                         ByteRow{512, 3, ""}));

class ByteOfLong32 : public testing::TestWithParam<ByteRow> {};

TEST_P(ByteOfLong32, ByteOfTheTwosComplementMostSignificantFirst) {
    const ByteRow& row = GetParam();
    EXPECT_EQ(Fun_ByteOfLong(int32_t(row.value), row.selector), QString::fromLatin1(row.expected));
}

INSTANTIATE_TEST_SUITE_P(
    Examples, ByteOfLong32,
    testing::Values(ByteRow{0x12345678, 1, "&H12"}, ByteRow{0x12345678, 2, "&H34"},
                    ByteRow{0x12345678, 3, "&H56"}, ByteRow{0x12345678, 4, "&H78"},
                    ByteRow{255, 1, "&H00"}, ByteRow{255, 4, "&HFF"}, ByteRow{-1, 1, "&HFF"},
                    ByteRow{-1, 2, "&HFF"}, ByteRow{-1, 3, "&HFF"}, ByteRow{-1, 4, "&HFF"},
                    ByteRow{INT32_MIN, 1, "&H80"}, ByteRow{INT32_MIN, 4, "&H00"},
                    ByteRow{13737, 3, "&H35"}, ByteRow{13737, 4, "&HA9"},
                    ByteRow{0x12345678, 0, ""}, ByteRow{0x12345678, 5, ""}));

TEST(ByteOfLong16, NegativeIsItsSixteenBitTwosComplement) {
    const int16_t minusOne = -1;
    const char* expected[] = {"&H00", "&H00", "&HFF", "&HFF"};
    for (int k = 1; k <= 4; ++k) {
        EXPECT_EQ(Fun_ByteOfLong(minusOne, k), QString::fromLatin1(expected[k - 1])) << k;
    }
    EXPECT_EQ(Fun_ByteOfLong(int16_t(-32768), 3), QStringLiteral("&H80"));
    EXPECT_EQ(Fun_ByteOfLong(int16_t(0x1234), 4), QStringLiteral("&H34"));
}

TEST(BytesToLong, LowBytesJoinedMostSignificantFirst) {
    EXPECT_EQ(Fun_BytesToLong(0x12, 0x34, 0x56, 0x78), 305419896);
    EXPECT_EQ(Fun_BytesToLong(0xFF, 0xFF, 0xFF, 0xFF), -1);
    EXPECT_EQ(Fun_BytesToLong(0, 0, 0x35, 0xA9), 13737);
    EXPECT_EQ(Fun_BytesToLong(0x80, 0, 0, 0), INT32_MIN);
    EXPECT_EQ(Fun_BytesToLong(0x112, 0x1034, -0xAA, 0x78), 0x12345678);  // only the low bytes
    EXPECT_EQ(Fun_BytesToLong(0, 0, 0x80, 0x00), 0x8000);                // positive, bits as stored
}

TEST(BytesToLong, InverseOfByteOfLong) {
    for (int32_t v : {0, 1, 100, 166, 13737, 15019, 0x7FFF, -1, INT32_MIN, INT32_MAX, -123456}) {
        int64_t b[4];
        for (int k = 0; k < 4; ++k) {
            b[k] = HexNotationValue(Fun_ByteOfLong(v, k + 1));
        }
        EXPECT_EQ(Fun_BytesToLong(b[0], b[1], b[2], b[3]), v);
    }
}

TEST(Mod256, BoundedSubtraction) {
    const std::pair<int64_t, int32_t> rows[] = {{510, 254},
                                                {256, 0},
                                                {255, 255},
                                                {0, 0},
                                                {511, 255},
                                                {-1, -1},
                                                {-300, -300},
                                                {1280255, 255},
                                                {1280256, 256},
                                                {2000000, 720000},
                                                {INT64_MAX, INT32_MAX - 1280000}};
    for (const auto& [value, expected] : rows) {
        EXPECT_EQ(Fun_Mod256(value), expected) << value;
    }
}

TEST(HexNotationValue, AmpHNotationOnly) {
    const std::pair<const char*, uint32_t> rows[] = {
        {"&H7A", 0x7A}, {"&H00", 0}, {"&HFF", 0xFF}, {"&H12345678", 0x12345678},
        {"7A", 0},      {"&H", 0},   {"&HZZ", 0},    {"&H123456789", 0},
        {"&h7A", 0},    {"&H7A ", 0}};
    for (const auto& [text, expected] : rows) {
        EXPECT_EQ(HexNotationValue(QString::fromLatin1(text)), expected) << text;
    }
}

}  // namespace
