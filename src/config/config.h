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

// The items of the window's lists after "无" (position 0): a stored value is the position of
// the item chosen, so 1..kHourItems are hours 00..23, 1..kMinuteItems minutes 00..59,
// 1..kSceneItems scenes 01..30 and 1..kAddressItems addresses 001..254. A task file written
// elsewhere may hold more; such values are kept and shown as stored.
inline constexpr int kHourItems = 24;
inline constexpr int kMinuteItems = 60;
inline constexpr int kSceneItems = 30;
inline constexpr int kAddressItems = 254;

struct ConfigTables {
    template <int Slots>
    using PerZone = std::array<std::array<uint8_t, Slots + 1>, kZones + 1>;

    std::array<QString, kZones + 1> ZoneRemark;      // zone 1..32
    std::array<QString, kSlots + 1> TaskRemark;      // slot 1..18, same for every zone
    std::array<uint8_t, kMachines + 1> MachineIp{};  // 0 = none, else the address
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
