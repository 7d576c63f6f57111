// The task file image byte for byte, and the reader on images written here and by hand.
#include "config/taskfile.h"

#include <gtest/gtest.h>

#include <climits>
#include <functional>
#include <initializer_list>
#include <random>

namespace {

using Bytes = std::initializer_list<uint8_t>;

QByteArray Literal(Bytes bytes) {
    QByteArray out;
    for (uint8_t b : bytes) {
        out.append(char(b));
    }
    return out;
}

// Places literal bytes at an offset, growing the file with zeros as needed.
void At(QByteArray& file, int offset, Bytes bytes) {
    if (file.size() < offset + int(bytes.size())) {
        file.resize(offset + bytes.size(), '\0');
    }
    file.replace(offset, bytes.size(), Literal(bytes));
}

// One 20-byte task record: hour, minute, scene, 17 reserved zeros.
void Task(QByteArray& file, int offset, uint8_t hour, uint8_t minute, uint8_t scene) {
    At(file, offset, {hour, minute, scene, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0});
}

QString Padded(const QString& text) {
    return text.left(kRemarkUnits) +
           QString(kRemarkUnits - text.left(kRemarkUnits).size(), QChar(0));
}

// Every table element set to something recognisable, so untouched elements can be told apart.
ConfigTables Prefilled() {
    ConfigTables c;
    c.MachineIp.fill(99);
    for (auto* table : {&c.TaskHour, &c.TaskMinute, &c.TaskScene}) {
        for (auto& zone : *table) {
            zone.fill(99);
        }
    }
    for (auto& zone : c.ZoneUsesMachine) {
        zone.fill(99);
    }
    c.ZoneRemark.fill(QStringLiteral("old"));
    c.TaskRemark.fill(QStringLiteral("old"));
    return c;
}

TEST(TaskImage, UntouchedConfigurationGivesTheFixedLayout) {
    QByteArray expected(kTaskFileSize, '\0');
    At(expected, 0, {0x19, 0x10, 0x12, 0x00});
    At(expected, 4, {0x00, 0x00, 0x00, 0x64, 0x00, 0x00, 0x00, 0xA6});   // 100, 166
    At(expected, 12, {0x00, 0x00, 0x35, 0xA9, 0x00, 0x00, 0x3A, 0xAB});  // 13737, 15019
    At(expected, 100, {0xA0, 0x40});
    At(expected, 166, {0xA0, 0x20, 0x12});
    At(expected, 13737, {0xA0, 0x28});
    At(expected, 15019, {0xA0, 0x28});
    const QByteArray image = BuildTaskImage(ConfigTables{});
    ASSERT_EQ(image.size(), 15742);
    EXPECT_EQ(image, expected);
    EXPECT_EQ(image.at(15741), '\0');
}

struct PlacedRow {
    const char* what;
    std::function<void(ConfigTables&)> set;
    int offset;
    std::vector<uint8_t> bytes;
};
void PrintTo(const PlacedRow& r, std::ostream* os) {
    *os << r.what;
}

class TaskImagePlacement : public testing::TestWithParam<PlacedRow> {};

TEST_P(TaskImagePlacement, ValueLandsAtItsOffsetAndNowhereElse) {
    ConfigTables c;
    GetParam().set(c);
    QByteArray expected = BuildTaskImage(ConfigTables{});
    for (size_t i = 0; i < GetParam().bytes.size(); ++i) {
        expected[GetParam().offset + int(i)] = char(GetParam().bytes[i]);
    }
    EXPECT_EQ(BuildTaskImage(c), expected);
}

const std::vector<uint8_t> kRemarkAB = {0x00, 0x41, 0x00, 0x42, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
                                        0,    0,    0,    0,    0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
                                        0,    0,    0,    0,    0, 0, 0, 0, 0, 0, 0, 0};

INSTANTIATE_TEST_SUITE_P(
    Offsets, TaskImagePlacement,
    testing::Values(
        PlacedRow{"machine1", [](ConfigTables& c) { c.MachineIp[1] = 7; }, 102, {7}},
        PlacedRow{"machine64", [](ConfigTables& c) { c.MachineIp[64] = 254; }, 165, {254}},
        PlacedRow{"zone1slot1",
                  [](ConfigTables& c) {
                      c.TaskHour[1][1] = 1;
                      c.TaskMinute[1][1] = 60;
                      c.TaskScene[1][1] = 30;
                  },
                  169,
                  {1, 60, 30}},
        PlacedRow{"zone2slot3", [](ConfigTables& c) { c.TaskMinute[2][3] = 0xEE; }, 634, {0xEE}},
        PlacedRow{"zone32slot18", [](ConfigTables& c) { c.TaskScene[32][18] = 5; }, 13655, {5}},
        PlacedRow{"zone1machine1", [](ConfigTables& c) { c.ZoneUsesMachine[1][1] = 1; }, 529, {1}},
        PlacedRow{
            "zone32machine64", [](ConfigTables& c) { c.ZoneUsesMachine[32][64] = 1; }, 13736, {1}},
        PlacedRow{"zoneRemark1", [](ConfigTables& c) { c.ZoneRemark[1] = QStringLiteral("AB"); },
                  13739, kRemarkAB},
        PlacedRow{"zoneRemark32",
                  [](ConfigTables& c) { c.ZoneRemark[32] = QStringLiteral("\u533A\uFFFF"); },
                  14979,
                  {0x53, 0x3A, 0xFF, 0xFF}},
        PlacedRow{"taskRemark1", [](ConfigTables& c) { c.TaskRemark[1] = QStringLiteral("AB"); },
                  15021, kRemarkAB},
        PlacedRow{"taskRemark18",
                  [](ConfigTables& c) { c.TaskRemark[18] = QString(25, QChar(u'\u8001')); }, 15701,
                  std::vector<uint8_t>{0x80, 0x01, 0x80, 0x01, 0x80, 0x01, 0x80, 0x01, 0x80, 0x01,
                                       0x80, 0x01, 0x80, 0x01, 0x80, 0x01, 0x80, 0x01, 0x80, 0x01,
                                       0x80, 0x01, 0x80, 0x01, 0x80, 0x01, 0x80, 0x01, 0x80, 0x01,
                                       0x80, 0x01, 0x80, 0x01, 0x80, 0x01, 0x80, 0x01, 0x80, 0x01}},
        PlacedRow{"elementZeroIsNotSaved",
                  [](ConfigTables& c) {
                      c.MachineIp[0] = 9;
                      c.TaskHour[0][0] = c.TaskHour[1][0] = c.TaskHour[0][1] = 9;
                      c.ZoneUsesMachine[1][0] = 9;
                      c.ZoneRemark[0] = c.TaskRemark[0] = QStringLiteral("zero");
                  },
                  0,
                  {0x19}}));

TEST(TaskRemark, TwoCharactersReadBackPaddedToTwenty) {
    ConfigTables c;
    c.ZoneRemark[5] = QStringLiteral("AB");
    c.TaskRemark[2] = QStringLiteral("AB");
    const QByteArray image = BuildTaskImage(c);
    EXPECT_EQ(image.mid(13739 + 4 * 40, 40), Literal({0x00, 0x41, 0x00, 0x42}) + QByteArray(36, 0));
    ConfigTables loaded;
    ASSERT_EQ(LoadTaskImage(loaded, image), LoadStatus::Loaded);
    const QString expected = QStringLiteral("AB") + QString(18, QChar(0));
    EXPECT_EQ(loaded.ZoneRemark[5], expected);
    EXPECT_EQ(loaded.TaskRemark[2], expected);
    EXPECT_EQ(loaded.ZoneRemark[1], QString(20, QChar(0)));
    EXPECT_EQ(loaded.ZoneRemark[0], QString());  // element 0 is not in the file
}

TEST(TaskRemark, LongerThanTwentyUnitsIsCut) {
    ConfigTables c;
    c.ZoneRemark[3] = QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXY");  // 25 characters
    ConfigTables loaded;
    ASSERT_EQ(LoadTaskImage(loaded, BuildTaskImage(c)), LoadStatus::Loaded);
    EXPECT_EQ(loaded.ZoneRemark[3], QStringLiteral("ABCDEFGHIJKLMNOPQRST"));
}

TEST(TaskImage, SaveLoadSaveGivesIdenticalBytes) {
    ConfigTables c;
    c.ZoneRemark[1] = QStringLiteral("Hall");
    c.ZoneRemark[7] = QStringLiteral("东区一层");
    c.TaskRemark[3] = QStringLiteral("opening");
    c.TaskRemark[18] = QString(20, QChar(u'x'));
    c.TaskHour[4][5] = 24;
    c.MachineIp[3] = 17;
    const QByteArray first = BuildTaskImage(c);
    ConfigTables loaded;
    ASSERT_EQ(LoadTaskImage(loaded, first), LoadStatus::Loaded);
    EXPECT_EQ(loaded.ZoneRemark[7].left(4), QStringLiteral("东区一层"));
    EXPECT_EQ(BuildTaskImage(loaded), first);
}

TEST(TaskImage, RandomConfigurationRoundTrip) {
    std::mt19937 rng(20240601);
    std::uniform_int_distribution<int> byte(0, 255), unit(1, 0xFFFF), length(0, 25);
    auto remark = [&] {
        QString s;
        for (int n = length(rng); n > 0; --n) {
            s += QChar(char16_t(unit(rng)));  // lone surrogates and 0x8000+ included
        }
        return s;
    };
    for (int round = 0; round < 20; ++round) {
        ConfigTables c;
        for (int z = 1; z <= kZones; ++z) {
            c.ZoneRemark[z] = remark();
            for (int t = 1; t <= kSlots; ++t) {
                c.TaskHour[z][t] = byte(rng);
                c.TaskMinute[z][t] = byte(rng);
                c.TaskScene[z][t] = byte(rng);
            }
            for (int m = 1; m <= kMachines; ++m) {
                c.ZoneUsesMachine[z][m] = byte(rng);
            }
        }
        for (int m = 1; m <= kMachines; ++m) {
            c.MachineIp[m] = byte(rng);
        }
        for (int t = 1; t <= kSlots; ++t) {
            c.TaskRemark[t] = remark();
        }
        const QByteArray image = BuildTaskImage(c);
        ASSERT_EQ(image.size(), kTaskFileSize);
        ConfigTables loaded;
        ASSERT_EQ(LoadTaskImage(loaded, image), LoadStatus::Loaded);
        ConfigTables expected = c;
        for (int z = 1; z <= kZones; ++z) {
            expected.ZoneRemark[z] = Padded(c.ZoneRemark[z]);
        }
        for (int t = 1; t <= kSlots; ++t) {
            expected.TaskRemark[t] = Padded(c.TaskRemark[t]);
        }
        ASSERT_TRUE(loaded == expected) << "round " << round;
        ASSERT_EQ(BuildTaskImage(loaded), image);
    }
}

TEST(TaskImageHeader, MismatchLoadsNothing) {
    const QByteArray good = BuildTaskImage(ConfigTables{});
    std::vector<QByteArray> bad;
    for (int i = 0; i < 4; ++i) {
        QByteArray b = good;
        b[i] = char(b[i] ^ 0x01);
        bad.push_back(b);
    }
    bad.push_back(QByteArray());
    bad.push_back(Literal({0x19, 0x10, 0x00, 0x00}));
    for (const QByteArray& bytes : bad) {
        ConfigTables c = Prefilled();
        EXPECT_EQ(LoadTaskImage(c, bytes), LoadStatus::HeaderMismatch);
        EXPECT_TRUE(c == Prefilled());
    }
    // Missing bytes read as 0, so a file of only 19 10 12 passes the check; its zero offsets
    // point every section at the header, whose 0x19 is no section marker.
    ConfigTables c = Prefilled();
    EXPECT_EQ(LoadTaskImage(c, Literal({0x19, 0x10, 0x12})), LoadStatus::Loaded);
    EXPECT_TRUE(c == Prefilled());
}

// Section 1 has marker 0x55 (skipped) but machine count 3; that count still sizes the
// zone blocks of section 2, whose second zone would be misread with any other count.
TEST(TaskImageSections, SkippedSectionOneStillBoundsSectionTwo) {
    QByteArray file;
    At(file, 0, {0x19, 0x10, 0x12, 0x00});
    At(file, 4, {0, 0, 0, 0x14, 0, 0, 0, 0x20, 0, 0, 0, 0x60, 0, 0, 0, 0xC0});
    At(file, 0x14, {0x55, 0x03, 0x0A, 0x0B, 0x0C});
    At(file, 0x20, {0xA0, 0x02, 0x01});  // 2 zones, 1 slot
    Task(file, 0x23, 2, 3, 4);
    At(file, 0x37, {0x01, 0x00, 0x01});
    Task(file, 0x3A, 5, 6, 7);
    At(file, 0x4E, {0x00, 0x01, 0x00});
    At(file, 0x60, {0xA0, 0x28, 0x00, 0x5A});  // zone 1 "Z"
    At(file, 0x8A, {0x00, 0x59});              // zone 2 "Y"
    At(file, 0xC0, {0xA0, 0x28, 0x4E, 0x2D});  // slot 1 "中"
    At(file, 0xE9, {0x00});

    ConfigTables c = Prefilled();
    ASSERT_EQ(LoadTaskImage(c, file), LoadStatus::Loaded);
    ConfigTables expected = Prefilled();
    expected.TaskHour[1][1] = 2, expected.TaskMinute[1][1] = 3, expected.TaskScene[1][1] = 4;
    expected.TaskHour[2][1] = 5, expected.TaskMinute[2][1] = 6, expected.TaskScene[2][1] = 7;
    expected.ZoneUsesMachine[1][1] = 1, expected.ZoneUsesMachine[1][2] = 0;
    expected.ZoneUsesMachine[1][3] = 1;
    expected.ZoneUsesMachine[2][1] = 0, expected.ZoneUsesMachine[2][2] = 1;
    expected.ZoneUsesMachine[2][3] = 0;
    expected.ZoneRemark[1] = Padded(QStringLiteral("Z"));
    expected.ZoneRemark[2] = Padded(QStringLiteral("Y"));
    expected.TaskRemark[1] = Padded(QStringLiteral("中"));
    EXPECT_TRUE(c == expected);
    EXPECT_EQ(c.MachineIp, Prefilled().MachineIp);
}

// Zone count 2, slot count 3 (machine count 2): only zones 1..2, slots 1..3, zone remarks
// 1..2 and task remarks 1..3 change.
TEST(TaskImageSections, SmallerCountsFillOnlyWhatTheyCover) {
    QByteArray file;
    At(file, 0, {0x19, 0x10, 0x12, 0x00});
    At(file, 4, {0, 0, 0, 0x64, 0, 0, 0, 0x70, 0, 0, 0, 0xF0, 0, 0, 0x01, 0x50});
    At(file, 0x64, {0xA0, 0x02, 0x0B, 0x0C});
    At(file, 0x70, {0xA0, 0x02, 0x03});
    int at = 0x73;
    for (uint8_t zone = 1; zone <= 2; ++zone) {
        for (uint8_t slot = 1; slot <= 3; ++slot, at += 20) {
            Task(file, at, zone, slot, uint8_t(10 * zone + slot));
        }
        At(file, at, {zone, 0x00});
        at += 2;
    }
    At(file, 0xF0, {0xA0, 0x28, 0x00, 0x31});
    At(file, 0x11A, {0x00, 0x32});
    At(file, 0x150, {0xA0, 0x28, 0x00, 0x61});
    At(file, 0x17A, {0x00, 0x62});
    At(file, 0x1A2, {0x00, 0x63});
    ASSERT_EQ(at, 0xEF);

    ConfigTables c = Prefilled();
    ASSERT_EQ(LoadTaskImage(c, file), LoadStatus::Loaded);
    ConfigTables expected = Prefilled();
    expected.MachineIp[1] = 0x0B, expected.MachineIp[2] = 0x0C;
    for (int zone = 1; zone <= 2; ++zone) {
        for (int slot = 1; slot <= 3; ++slot) {
            expected.TaskHour[zone][slot] = uint8_t(zone);
            expected.TaskMinute[zone][slot] = uint8_t(slot);
            expected.TaskScene[zone][slot] = uint8_t(10 * zone + slot);
        }
        expected.ZoneUsesMachine[zone][1] = uint8_t(zone);
        expected.ZoneUsesMachine[zone][2] = 0;
    }
    expected.ZoneRemark[1] = Padded(QStringLiteral("1"));
    expected.ZoneRemark[2] = Padded(QStringLiteral("2"));
    expected.TaskRemark[1] = Padded(QStringLiteral("a"));
    expected.TaskRemark[2] = Padded(QStringLiteral("b"));
    expected.TaskRemark[3] = Padded(QStringLiteral("c"));
    EXPECT_TRUE(c == expected);
}

TEST(TaskImageSections, MarkerOtherThanA0SkipsEachSection) {
    const QByteArray good = BuildTaskImage(ConfigTables{});
    for (int markerAt : {100, 166, 13737, 15019}) {
        QByteArray file = good;
        file[markerAt] = char(0xA1);
        ConfigTables c = Prefilled();
        ASSERT_EQ(LoadTaskImage(c, file), LoadStatus::Loaded);
        EXPECT_EQ(c.MachineIp[1], markerAt == 100 ? 99 : 0) << markerAt;
        EXPECT_EQ(c.TaskHour[1][1], markerAt == 166 ? 99 : 0) << markerAt;
        EXPECT_EQ(c.ZoneUsesMachine[32][64], markerAt == 166 ? 99 : 0) << markerAt;
        EXPECT_EQ(c.ZoneRemark[1], markerAt == 13737 ? QStringLiteral("old") : Padded({}));
        EXPECT_EQ(c.TaskRemark[18], markerAt == 15019 ? QStringLiteral("old") : Padded({}));
    }
}

// Counts above the tables and offsets past the buffer: nothing outside the tables or the
// 65537-byte buffer is touched (this runs under AddressSanitizer in CI).
TEST(TaskImageBounds, HugeCountsFillTheTablesOnly) {
    QByteArray file(70000, char(0xFF));
    At(file, 0, {0x19, 0x10, 0x12, 0x00});
    At(file, 4, {0, 0, 0, 0x64, 0, 0, 0, 0x70, 0, 0, 0x80, 0x00, 0, 0, 0xC0, 0x00});
    At(file, 0x64, {0xA0});
    At(file, 0x70, {0xA0});
    At(file, 0x8000, {0xA0});
    At(file, 0xC000, {0xA0});
    ConfigTables c;
    ASSERT_EQ(LoadTaskImage(c, file), LoadStatus::Loaded);
    EXPECT_EQ(c.MachineIp[64], 0xFF);
    EXPECT_EQ(c.MachineIp[0], 0);
    // Each zone block takes 255 * 20 + 255 bytes as the counts say, so from zone 13 on the
    // blocks lie past the buffer and read as zeros.
    EXPECT_EQ(c.TaskHour[1][18], 0xFF);
    EXPECT_EQ(c.ZoneUsesMachine[12][64], 0xFF);
    EXPECT_EQ(c.ZoneUsesMachine[13][64], 0);
    EXPECT_EQ(c.TaskHour[32][18], 0);
    EXPECT_EQ(c.TaskHour[0][0], 0);
    EXPECT_EQ(c.ZoneRemark[32], QString(20, QChar(u'\uFFFF')));
    EXPECT_EQ(c.TaskRemark[18], QString(20, QChar(u'\uFFFF')));
    EXPECT_EQ(c.TaskRemark[0], QString());
}

TEST(TaskImageBounds, BytesPastTheBufferReadAsZero) {
    // Section 1 at 65535: marker and count are the buffer's last two bytes; the machine bytes
    // that follow in the file lie beyond 65537 and must not be used.
    QByteArray file(65540, '\0');
    At(file, 0, {0x19, 0x10, 0x12, 0x00});
    At(file, 4, {0, 0, 0xFF, 0xFF});
    At(file, 65535, {0xA0, 0x02, 0x07, 0x07, 0x07});
    ConfigTables c = Prefilled();
    ASSERT_EQ(LoadTaskImage(c, file), LoadStatus::Loaded);
    EXPECT_EQ(c.MachineIp[1], 0);
    EXPECT_EQ(c.MachineIp[2], 0);
    EXPECT_EQ(c.MachineIp[3], 99);
}

TEST(TaskImageBounds, WildOffsetsDoNotCrash) {
    const Bytes offsets[] = {{0xFF, 0xFF, 0xFF, 0xFF}, {0x7F, 0xFF, 0xFF, 0xFF},
                             {0x80, 0x00, 0x00, 0x00}, {0x00, 0x00, 0xFF, 0xFE},
                             {0x7F, 0xFF, 0xFF, 0xF0}, {0x00, 0x01, 0x00, 0x00}};
    for (const Bytes& off : offsets) {
        QByteArray file(65537, char(0xA0));  // every marker and count reads 0xA0
        At(file, 0, {0x19, 0x10, 0x12, 0x00});
        for (int field = 4; field < 20; field += 4) {
            At(file, field, off);
        }
        ConfigTables c;
        EXPECT_EQ(LoadTaskImage(c, file), LoadStatus::Loaded);
    }
}

struct BufferRow {
    const char* what;
    int32_t cursor;
    int32_t cursorAfter;
    uint8_t got;
};
void PrintTo(const BufferRow& r, std::ostream* os) {
    *os << r.what;
}

class BufferCursor : public testing::TestWithParam<BufferRow> {};

TEST_P(BufferCursor, GetAndPutStayInsideAndMoveOn) {
    std::vector<uint8_t> buf = {1, 2, 3, 4, 5, 6, 7, 8};
    int32_t cursor = GetParam().cursor;
    EXPECT_EQ(GetByte(buf, cursor), GetParam().got);
    EXPECT_EQ(cursor, GetParam().cursorAfter);
    cursor = GetParam().cursor;
    PutByte(0xEE, buf, cursor);
    EXPECT_EQ(cursor, GetParam().cursorAfter);
    const int changed = int(std::count(buf.begin(), buf.end(), 0xEE));
    EXPECT_EQ(changed, GetParam().got != 0 ? 1 : 0);
}

INSTANTIATE_TEST_SUITE_P(Rows, BufferCursor,
                         testing::Values(BufferRow{"first", 0, 1, 1}, BufferRow{"last", 7, 8, 8},
                                         BufferRow{"pastEnd", 8, 9, 0},
                                         BufferRow{"negative", -1, 0, 0},
                                         BufferRow{"saturates", INT32_MAX, INT32_MAX, 0},
                                         BufferRow{"lowest", INT32_MIN, INT32_MIN + 1, 0}));

TEST(BufferLong32, MostSignificantFirstAndClippedAtTheEdges) {
    std::vector<uint8_t> buf(8, 0);
    PutLong32At(0x12345678, buf, 2);
    EXPECT_EQ(buf, (std::vector<uint8_t>{0, 0, 0x12, 0x34, 0x56, 0x78, 0, 0}));
    EXPECT_EQ(GetLong32At(buf, 2), 0x12345678);
    PutLong32At(-2, buf, 6);  // FF FF FF FE, only the first two fit
    EXPECT_EQ(buf, (std::vector<uint8_t>{0, 0, 0x12, 0x34, 0x56, 0x78, 0xFF, 0xFF}));
    EXPECT_EQ(GetLong32At(buf, 6), int32_t(0xFFFF0000));
    EXPECT_EQ(GetLong32At(buf, -1), 0x00000012);
    PutLong32At(0x01020304, buf, -3);
    EXPECT_EQ(buf[0], 0x04);
    PutLong32At(0x01020304, buf, INT32_MAX);
    EXPECT_EQ(GetLong32At(buf, INT32_MAX), 0);
}

}  // namespace
