#pragma once
// A filled configuration with every value drawn from the window's lists (remarks of 0 to 24
// code units, Chinese and Latin), the same for the same seed.

#include "config/config.h"

#include <QString>
#include <random>

inline QString RandomRemark(std::mt19937& rng) {
    QString text;
    const int units = std::uniform_int_distribution<int>(0, 24)(rng);
    for (int i = 0; i < units; ++i) {
        const bool cjk = std::bernoulli_distribution(0.5)(rng);
        text += QChar(cjk ? std::uniform_int_distribution<int>(0x4E00, 0x9FA5)(rng)
                          : std::uniform_int_distribution<int>(0x20, 0x7E)(rng));
    }
    return text;
}

inline ConfigTables RandomConfig(uint32_t seed) {
    std::mt19937 rng(seed);
    auto byte = [&rng](int lo, int hi) {
        return uint8_t(std::uniform_int_distribution<int>(lo, hi)(rng));
    };
    ConfigTables c;
    for (int m = 1; m <= kMachines; ++m) {
        c.MachineIp[m] = byte(0, 254);
    }
    for (int z = 1; z <= kZones; ++z) {
        c.ZoneRemark[z] = RandomRemark(rng);
        for (int t = 1; t <= kSlots; ++t) {
            c.TaskHour[z][t] = byte(0, 24);
            c.TaskMinute[z][t] = byte(0, 60);
            c.TaskScene[z][t] = byte(0, 30);
        }
        for (int m = 1; m <= kMachines; ++m) {
            c.ZoneUsesMachine[z][m] = byte(0, 1);
        }
    }
    for (int t = 1; t <= kSlots; ++t) {
        c.TaskRemark[t] = RandomRemark(rng);
    }
    return c;
}
