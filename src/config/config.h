#pragma once
// The configuration tables (configuration model) the operator edits: 32 zones, 18 task slots
// shared by all zones, 64 machines. One instance per process, handed to the task file, the main
// window and the transfers. Index 0 of every dimension exists but is never shown or saved
// (MachineIp(0) is the address edited while no machine button has been pressed).

#include <QString>
#include <array>
#include <cstdint>

inline constexpr int kZones = 32;
inline constexpr int kSlots = 18;
inline constexpr int kMachines = 64;
inline constexpr int kRemarkUnits = 20;  // UTF-16 code units per remark in the task file

struct ConfigTables {
    template <int Slots>
    using PerZone = std::array<std::array<uint8_t, Slots + 1>, kZones + 1>;

    std::array<QString, kZones + 1> ZoneRemark;      // zone 1..32
    std::array<QString, kSlots + 1> TaskRemark;      // slot 1..18, same for every zone
    std::array<uint8_t, kMachines + 1> MachineIp{};  // 0 = none, 1..254 = address
    PerZone<kSlots> TaskHour{};                      // 0 = not set, h + 1 = hour h
    PerZone<kSlots> TaskMinute{};                    // 0 = not set, m + 1 = minute m
    PerZone<kSlots> TaskScene{};                     // 0 = none, s = scene s
    PerZone<kMachines> ZoneUsesMachine{};            // 1 = zone uses the machine's address

    bool operator==(const ConfigTables&) const = default;
};

// A slot counts as programmed when hour, minute and scene are all chosen.
inline bool IsProgrammed(const ConfigTables& c, int zone, int slot) {
    return c.TaskHour[zone][slot] != 0 && c.TaskMinute[zone][slot] != 0 &&
           c.TaskScene[zone][slot] != 0;
}
