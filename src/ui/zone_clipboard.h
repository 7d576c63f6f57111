#pragma once
// Window Form主窗体: a zone's schedule as the operator copies it from one zone onto others: its
// 18 tasks (hour, minute, scene) and the machines it uses. The task remarks belong to all zones
// and the zone remark names the zone, so neither is part of it.

#include "config/config.h"

#include <QList>
#include <array>
#include <cstdint>
#include <optional>

struct ZoneSchedule {
    std::array<uint8_t, kSlots + 1> hour{}, minute{}, scene{};  // slots 1..18
    std::array<uint8_t, kMachines + 1> uses{};                  // machines 1..64, as stored
    bool operator==(const ZoneSchedule&) const = default;
};

// Zone z's schedule (z in 1..32).
ZoneSchedule CopyZoneSchedule(const ConfigTables& config, int z);
// Zone z takes the schedule: all 18 tasks and the machines it uses, stored values as they are.
void PasteZoneSchedule(ConfigTables& config, const ZoneSchedule& schedule, int z);
// Zone z's 18 tasks unset (hour, minute and scene "无"); its machines stay.
void ClearZoneTasks(ConfigTables& config, int z);
// Slot t of zone `from`: its hour, minute and scene into slot t of each zone in `to`.
void CopySlotToZones(ConfigTables& config, int from, int t, const QList<int>& to);

// What the window's Edit menu and the zone buttons' menus copy and paste; held for the window's
// life, not on the system clipboard.
struct ZoneClipboard {
    std::optional<ZoneSchedule> schedule;
    int sourceZone = 0;  // the zone it was copied from
};
