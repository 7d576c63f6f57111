#pragma once
// A zone's day as the operator reads it, and the texts of stored values that the handover sheet,
// the companion's comparison and the window's zone-button tooltip share.

#include "config/config.h"

#include <QString>
#include <cstdint>
#include <vector>

// One programmed task of a zone (hour, minute and scene all set), in the operator's numbers:
// hour 7 is stored as 8. A task file written elsewhere can hold an hour above 23, a minute above
// 59 or a scene above 30; such a task is still programmed and keeps those numbers.
struct ZoneDayEntry {
    int slot = 0;
    int hour = 0;
    int minute = 0;
    int scene = 0;
    QString remark;  // the slot's task remark as shown

    bool inDay() const {
        return hour < kHourItems && minute < kMinuteItems && scene <= kSceneItems;
    }
    bool operator==(const ZoneDayEntry&) const = default;
};

// The programmed tasks of `zone` (1..32) in time order, equal times in slot order; empty for
// a zone outside 1..32.
std::vector<ZoneDayEntry> ZoneDay(const ConfigTables& config, int zone);

// A remark as every view shows it: up to its first U+0000.
QString ShownRemark(const QString& remark);
// The 20 code units the task file keeps of a remark: cut to 20, padded with U+0000. Two remarks
// with the same units give the same file bytes.
QString StoredRemarkUnits(const QString& remark);
// Whether the shown text alone gives back the stored units: false when characters follow a
// U+0000 or a surrogate has lost its partner (a pair cut at the 20th unit, or a file written
// elsewhere).
bool RemarkShowsAll(const QString& remark);
// The 20 stored code units as upper-case hex groups: "0041 0000 0042 ...".
QString RemarkUnitsHex(const QString& remark);

// "07" for stored 8, "--" for 0 (not set), "(stored 30)" for a value outside the list.
QString HourText(uint8_t stored);
QString MinuteText(uint8_t stored);
// "07:30", "07:--", "--:30", "--:--".
QString TimeText(uint8_t hour, uint8_t minute);
