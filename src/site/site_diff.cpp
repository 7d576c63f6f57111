#include "site/site_diff.h"

#include "config/zone_day.h"

namespace {

QString Change(const QString& what, const QString& before, const QString& after) {
    return what + QStringLiteral(": ") + before + QStringLiteral(" -> ") + after;
}

void MachineUse(const ConfigTables& a, const ConfigTables& b, int zone, QStringList& out) {
    for (int m = 1; m <= kMachines; ++m) {
        const uint8_t before = a.ZoneUsesMachine[zone][m];
        const uint8_t after = b.ZoneUsesMachine[zone][m];
        if (before == after) {
            continue;
        }
        if (before == 0 && after == 1) {
            out << QStringLiteral("zone %1 now uses machine %2").arg(zone).arg(m);
        } else if (before == 1 && after == 0) {
            out << QStringLiteral("zone %1 no longer uses machine %2").arg(zone).arg(m);
        } else {
            out << Change(QStringLiteral("zone %1 machine %2 use").arg(zone).arg(m),
                          QStringLiteral("stored %1").arg(before),
                          QStringLiteral("stored %1").arg(after));
        }
    }
}

void Zone(const ConfigTables& a, const ConfigTables& b, int zone, QStringList& out) {
    if (StoredRemarkUnits(a.ZoneRemark[zone]) != StoredRemarkUnits(b.ZoneRemark[zone])) {
        out << Change(QStringLiteral("zone %1 remark").arg(zone), RemarkText(a.ZoneRemark[zone]),
                      RemarkText(b.ZoneRemark[zone]));
    }
    MachineUse(a, b, zone, out);
    for (int slot = 1; slot <= kSlots; ++slot) {
        const QString before =
            SlotText(a.TaskHour[zone][slot], a.TaskMinute[zone][slot], a.TaskScene[zone][slot]);
        const QString after =
            SlotText(b.TaskHour[zone][slot], b.TaskMinute[zone][slot], b.TaskScene[zone][slot]);
        if (before != after) {
            out << Change(QStringLiteral("zone %1 task %2").arg(zone).arg(slot), before, after);
        }
    }
}

}  // namespace

QString AddressText(uint8_t stored) {
    return stored == 0 ? QStringLiteral("无") : QString::number(stored).rightJustified(3, u'0');
}

QString SlotText(uint8_t hour, uint8_t minute, uint8_t scene) {
    if (hour == 0 && minute == 0 && scene == 0) {
        return QStringLiteral("not set");
    }
    QString text = TimeText(hour, minute) + u' ';
    if (scene == 0) {
        return text + QStringLiteral("no scene");
    }
    return text + (scene <= kSceneItems ? QStringLiteral("scene %1").arg(scene)
                                        : QStringLiteral("scene (stored %1)").arg(scene));
}

QString RemarkText(const QString& remark) {
    const QString shown = ShownRemark(remark.left(kRemarkUnits));
    QString text = shown.isEmpty() ? QStringLiteral("\"\"") : shown;
    if (!RemarkShowsAll(remark)) {
        text += QStringLiteral(" [stored %1]").arg(RemarkUnitsHex(remark));
    }
    return text;
}

QStringList SiteDiff(const ConfigTables& a, const ConfigTables& b) {
    QStringList out;
    for (int m = 1; m <= kMachines; ++m) {
        if (a.MachineIp[m] != b.MachineIp[m]) {
            out << Change(QStringLiteral("machine %1").arg(m), AddressText(a.MachineIp[m]),
                          AddressText(b.MachineIp[m]));
        }
    }
    for (int zone = 1; zone <= kZones; ++zone) {
        Zone(a, b, zone, out);
    }
    for (int slot = 1; slot <= kSlots; ++slot) {
        if (StoredRemarkUnits(a.TaskRemark[slot]) != StoredRemarkUnits(b.TaskRemark[slot])) {
            out << Change(QStringLiteral("task %1 remark").arg(slot),
                          RemarkText(a.TaskRemark[slot]), RemarkText(b.TaskRemark[slot]));
        }
    }
    return out;
}
