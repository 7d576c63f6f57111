// The remark width bytes of sections 3 and 4 (offsets 13738 and 15020) are written as 40 but
// never obeyed: whatever they say, every remark field is 40 bytes.
#include "config/taskfile.h"

#include <gtest/gtest.h>

namespace {

constexpr int kZoneWidthAt = 13738;
constexpr int kTaskWidthAt = 15020;

// Full 20-unit remarks, all different, so a field read from the wrong place shows.
ConfigTables DistinctRemarks() {
    ConfigTables c;
    for (int zone = 1; zone <= kZones; ++zone) {
        c.ZoneRemark[zone] = QStringLiteral("zone %1 ").arg(zone).leftJustified(20, u'z');
    }
    for (int slot = 1; slot <= kSlots; ++slot) {
        c.TaskRemark[slot] = QStringLiteral("task %1 ").arg(slot).leftJustified(20, u't');
    }
    return c;
}

class RemarkWidthByte : public testing::TestWithParam<uint8_t> {};

TEST_P(RemarkWidthByte, EveryRemarkIsStillFortyBytes) {
    const ConfigTables written = DistinctRemarks();
    QByteArray image = BuildTaskImage(written);
    ASSERT_EQ(uint8_t(image[kZoneWidthAt]), 0x28);
    ASSERT_EQ(uint8_t(image[kTaskWidthAt]), 0x28);
    // Zone 2's remark begins 40 bytes after zone 1's: "zone 2 " as UTF-16, high byte first.
    ASSERT_EQ(image.mid(kZoneWidthAt + 1 + 40, 8), QByteArray("\0z\0o\0n\0e", 8));
    image[kZoneWidthAt] = char(GetParam());
    image[kTaskWidthAt] = char(GetParam());

    ConfigTables read;
    ASSERT_EQ(LoadTaskImage(read, image), LoadStatus::Loaded);
    for (int zone = 1; zone <= kZones; ++zone) {
        EXPECT_EQ(read.ZoneRemark[zone], written.ZoneRemark[zone]) << "zone " << zone;
    }
    for (int slot = 1; slot <= kSlots; ++slot) {
        EXPECT_EQ(read.TaskRemark[slot], written.TaskRemark[slot]) << "slot " << slot;
    }
}

INSTANTIATE_TEST_SUITE_P(Widths, RemarkWidthByte,
                         testing::Values(uint8_t(0x10), uint8_t(0x00), uint8_t(0x50),
                                         uint8_t(0xFF)));

}  // namespace
