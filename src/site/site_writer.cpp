// The site document as the companion's export writes it: every stored value, the ones outside
// the window's lists under "stored_..." fields, so that an import gives back the same bytes.
#include "site/site_format.h"
#include "site/site_json.h"

#include "config/zone_day.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace {

QJsonValue NumberOrNull(int value) {
    return value == 0 ? QJsonValue(QJsonValue::Null) : QJsonValue(value);
}

void PutRemark(QJsonObject& o, const QString& remark) {
    if (RemarkShowsAll(remark)) {
        o[QStringLiteral("remark")] = ShownRemark(remark.left(kRemarkUnits));
    } else {
        o[QStringLiteral("stored_remark")] = RemarkUnitsHex(remark);
    }
}

QJsonValue TaskJson(const ConfigTables& c, int zone, int slot) {
    const int hour = c.TaskHour[zone][slot];
    const int minute = c.TaskMinute[zone][slot];
    const int scene = c.TaskScene[zone][slot];
    if (hour == 0 && minute == 0 && scene == 0) {
        return QJsonValue(QJsonValue::Null);
    }
    QJsonObject o{{QStringLiteral("task"), slot}};
    if (hour <= kHourItems && minute <= kMinuteItems) {
        o[QStringLiteral("time")] = hour == 0 && minute == 0
                                        ? QJsonValue(QJsonValue::Null)
                                        : QJsonValue(TimeText(uint8_t(hour), uint8_t(minute)));
    } else {
        o[QStringLiteral("stored_hour")] = hour;
        o[QStringLiteral("stored_minute")] = minute;
    }
    if (scene <= kSceneItems) {
        o[QStringLiteral("scene")] = NumberOrNull(scene);
    } else {
        o[QStringLiteral("stored_scene")] = scene;
    }
    return o;
}

QJsonObject ZoneJson(const ConfigTables& c, int zone) {
    QJsonObject o{{QStringLiteral("zone"), zone}};
    PutRemark(o, c.ZoneRemark[zone]);
    QJsonArray machines;
    QJsonArray stored;
    for (int m = 1; m <= kMachines; ++m) {
        const int use = c.ZoneUsesMachine[zone][m];
        if (use == 1) {
            machines.append(m);
        } else if (use != 0) {
            stored.append(
                QJsonObject{{QStringLiteral("machine"), m}, {QStringLiteral("value"), use}});
        }
    }
    o[QStringLiteral("machines")] = machines;
    if (!stored.isEmpty()) {
        o[QStringLiteral("stored_machine_use")] = stored;
    }
    QJsonArray tasks;
    for (int slot = 1; slot <= kSlots; ++slot) {
        tasks.append(TaskJson(c, zone, slot));
    }
    o[QStringLiteral("tasks")] = tasks;
    return o;
}

QJsonObject MachineJson(const ConfigTables& c, int machine) {
    QJsonObject o{{QStringLiteral("machine"), machine}};
    const int address = c.MachineIp[machine];
    if (address <= kAddressItems) {
        o[QStringLiteral("address")] = NumberOrNull(address);
    } else {
        o[QStringLiteral("stored_address")] = address;
    }
    return o;
}

}  // namespace

QByteArray SiteJson(const ConfigTables& c) {
    QJsonArray machines;
    for (int m = 1; m <= kMachines; ++m) {
        machines.append(MachineJson(c, m));
    }
    QJsonArray zones;
    for (int zone = 1; zone <= kZones; ++zone) {
        zones.append(ZoneJson(c, zone));
    }
    QJsonArray remarks;
    for (int slot = 1; slot <= kSlots; ++slot) {
        QJsonObject o{{QStringLiteral("task"), slot}};
        PutRemark(o, c.TaskRemark[slot]);
        remarks.append(o);
    }
    const QJsonObject root{{QStringLiteral("format"), kSiteFormat},
                           {QStringLiteral("version"), kSiteVersion},
                           {QStringLiteral("machines"), machines},
                           {QStringLiteral("zones"), zones},
                           {QStringLiteral("task_remarks"), remarks}};
    return QJsonDocument(root).toJson(QJsonDocument::Indented);
}
