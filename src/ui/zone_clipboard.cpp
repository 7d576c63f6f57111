// Window Form主窗体: copying a zone's schedule onto other zones.

#include "ui/zone_clipboard.h"

namespace {

bool IsZone(int z) {
    return z >= 1 && z <= kZones;
}

}  // namespace

ZoneSchedule CopyZoneSchedule(const ConfigTables& config, int z) {
    ZoneSchedule s;
    if (!IsZone(z)) {
        return s;
    }
    for (int t = 1; t <= kSlots; ++t) {
        s.hour[t] = config.TaskHour[z][t];
        s.minute[t] = config.TaskMinute[z][t];
        s.scene[t] = config.TaskScene[z][t];
    }
    for (int m = 1; m <= kMachines; ++m) {
        s.uses[m] = config.ZoneUsesMachine[z][m];
    }
    return s;
}

void PasteZoneSchedule(ConfigTables& config, const ZoneSchedule& schedule, int z) {
    if (!IsZone(z)) {
        return;
    }
    for (int t = 1; t <= kSlots; ++t) {
        config.TaskHour[z][t] = schedule.hour[t];
        config.TaskMinute[z][t] = schedule.minute[t];
        config.TaskScene[z][t] = schedule.scene[t];
    }
    for (int m = 1; m <= kMachines; ++m) {
        config.ZoneUsesMachine[z][m] = schedule.uses[m];
    }
}

void ClearZoneTasks(ConfigTables& config, int z) {
    if (!IsZone(z)) {
        return;
    }
    for (int t = 1; t <= kSlots; ++t) {
        config.TaskHour[z][t] = 0;
        config.TaskMinute[z][t] = 0;
        config.TaskScene[z][t] = 0;
    }
}

void CopySlotToZones(ConfigTables& config, int from, int t, const QList<int>& to) {
    if (!IsZone(from) || t < 1 || t > kSlots) {
        return;
    }
    for (const int z : to) {
        if (IsZone(z)) {
            config.TaskHour[z][t] = config.TaskHour[from][t];
            config.TaskMinute[z][t] = config.TaskMinute[from][t];
            config.TaskScene[z][t] = config.TaskScene[from][t];
        }
    }
}
