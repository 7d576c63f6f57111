#include "config/zone_day.h"

#include <QStringList>
#include <algorithm>

namespace {

QString ListText(uint8_t stored, int items) {
    if (stored == 0) {
        return QStringLiteral("--");
    }
    if (stored > items) {
        return QStringLiteral("(stored %1)").arg(stored);
    }
    return QString::number(stored - 1).rightJustified(2, u'0');
}

}  // namespace

std::vector<ZoneDayEntry> ZoneDay(const ConfigTables& c, int zone) {
    std::vector<ZoneDayEntry> day;
    if (zone < 1 || zone > kZones) {
        return day;
    }
    for (int slot = 1; slot <= kSlots; ++slot) {
        if (IsProgrammed(c, zone, slot)) {
            day.push_back({slot, c.TaskHour[zone][slot] - 1, c.TaskMinute[zone][slot] - 1,
                           c.TaskScene[zone][slot], ShownRemark(c.TaskRemark[slot])});
        }
    }
    std::stable_sort(day.begin(), day.end(), [](const ZoneDayEntry& a, const ZoneDayEntry& b) {
        return a.hour * 256 + a.minute < b.hour * 256 + b.minute;
    });
    return day;
}

QString ShownRemark(const QString& remark) {
    const qsizetype end = remark.indexOf(QChar(0));
    return end < 0 ? remark : remark.left(end);
}

QString StoredRemarkUnits(const QString& remark) {
    return remark.left(kRemarkUnits).leftJustified(kRemarkUnits, QChar(0));
}

bool RemarkShowsAll(const QString& remark) {
    const QString shown = ShownRemark(remark.left(kRemarkUnits));
    return StoredRemarkUnits(shown) == StoredRemarkUnits(remark) &&
           QStringView(shown).isValidUtf16();
}

QString RemarkUnitsHex(const QString& remark) {
    QStringList groups;
    for (QChar unit : StoredRemarkUnits(remark)) {
        groups << QStringLiteral("%1").arg(unit.unicode(), 4, 16, QChar(u'0')).toUpper();
    }
    return groups.join(u' ');
}

QString HourText(uint8_t stored) {
    return ListText(stored, kHourItems);
}

QString MinuteText(uint8_t stored) {
    return ListText(stored, kMinuteItems);
}

QString TimeText(uint8_t hour, uint8_t minute) {
    return HourText(hour) + u':' + MinuteText(minute);
}
