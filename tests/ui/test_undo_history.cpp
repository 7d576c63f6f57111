// The undo history on its own: its bounds, and the keystrokes of one box as one step.

#include "support/random_config.h"
#include "ui/undo_history.h"

#include <gtest/gtest.h>
#include <cstdio>
#include <vector>

// The history keeps at most its limits; after many more edits the newest are still undone right.
TEST(UndoHistory, BoundedAfterTenThousandEdits) {
    ConfigTables c;
    UndoHistory history(c, UndoLimits{100, 1 << 20});
    std::vector<ConfigTables> states;
    for (int i = 0; i < 10000; ++i) {
        c.TaskHour[1 + i % kZones][1 + i % kSlots] = uint8_t(i % 25);
        c.ZoneRemark[1 + i % kZones] = QString::number(i);
        history.record(c, EditPlace{}, 0);
        if (i >= 9899) {
            states.push_back(c);
        }
    }
    EXPECT_EQ(history.undoSteps(), 100u);
    EXPECT_LE(history.bytes(), size_t(1) << 20);
    const size_t keptBytes = history.bytes();
    for (int k = 99; k >= 0; --k) {
        ASSERT_TRUE(history.undo(c));
        EXPECT_EQ(c, states[size_t(k)]) << k;
    }
    EXPECT_FALSE(history.undo(c));

    // Imports are the largest steps: the byte limit holds them too.
    UndoHistory imports(ConfigTables{}, UndoLimits{1000, 64 << 10});
    for (uint32_t seed = 0; seed < 50; ++seed) {
        imports.record(RandomConfig(seed), EditPlace{}, 0);
    }
    EXPECT_LE(imports.bytes(), size_t(64) << 10);
    EXPECT_GE(imports.undoSteps(), 1u);
    std::printf(
        "undo history: 10000 edits -> %zu steps, %zu bytes; 50 imports -> %zu steps, "
        "%zu bytes\n",
        size_t(100), keptBytes, imports.undoSteps(), imports.bytes());
}

// Keys typed into one box in a row are one step; typed and taken back, no step is left.
TEST(UndoHistory, KeysInARowAreOneStep) {
    constexpr int kBox3 = 3, kBox4 = 4;  // the groups of two boxes
    ConfigTables c;
    UndoHistory history(c);
    for (const char* text : {"a", "ab", "abc"}) {
        c.ZoneRemark[3] = text;
        history.record(c, EditPlace{}, kBox3);
    }
    c.ZoneRemark[4] = "x";
    history.record(c, EditPlace{}, kBox4);
    EXPECT_EQ(history.undoSteps(), 2u);
    c.ZoneRemark[4] = "";
    history.record(c, EditPlace{}, kBox4);
    EXPECT_EQ(history.undoSteps(), 1u);
    history.seal();
    c.ZoneRemark[3] = "abcd";
    history.record(c, EditPlace{}, kBox3);
    EXPECT_EQ(history.undoSteps(), 2u);
}
