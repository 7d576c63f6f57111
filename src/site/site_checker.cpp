// The checker of a site document: every field, with the line and the operator's words for each
// fault, and nothing taken unless all of it is good.
#include "site/site_json.h"

#include "config/zone_day.h"
#include "site/json_lines.h"
#include "site/site_format.h"
#include "util/utf8.h"

#include <QHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSet>
#include <algorithm>
#include <cmath>
#include <optional>

namespace {

// Where a value is: its path, for the line, and the operator's words for the place.
struct Place {
    QString path;
    QString where;
    Place field(const QString& key) const { return {path + u'/' + key, where}; }
    Place item(qsizetype index, const QString& words) const {
        return {path + u'/' + QString::number(index), words};
    }
};

struct Fault {
    QString path;
    QString text;
};

QString Q(const QString& key) {
    return u'"' + key + u'"';
}

// A value as it was written, shortened, for the messages.
QString Written(const QJsonValue& v) {
    QString text;
    switch (v.type()) {
        case QJsonValue::Null:
            return QStringLiteral("null");
        case QJsonValue::Bool:
            return v.toBool() ? QStringLiteral("true") : QStringLiteral("false");
        case QJsonValue::Double:
            return QString::number(v.toDouble(), 'g', 12);
        case QJsonValue::String:
            text = Q(v.toString());
            break;
        case QJsonValue::Array:
            return QStringLiteral("a list");
        case QJsonValue::Object:
            return QStringLiteral("an object");
        case QJsonValue::Undefined:
            break;
    }
    return text.size() > 40 ? text.left(37) + QStringLiteral("...") : text;
}

std::optional<int> WholeIn(const QJsonValue& v, int lo, int hi) {
    const double d = v.toDouble(-1e300);
    if (!v.isDouble() || d != std::trunc(d) || d < lo || d > hi) {
        return std::nullopt;
    }
    return int(d);
}

// A value of one of the window's lists ("无" then items 1..top), with its field for stored
// values outside the list.
struct ListField {
    const char* name;   // "scene"
    int top;            // 30
    const char* items;  // "01..30"
};
constexpr ListField kAddress{"address", kAddressItems, "001..254"};
constexpr ListField kScene{"scene", kSceneItems, "01..30"};
static_assert(kAddressItems == 254 && kSceneItems == 30, "the lists' texts above name their ends");

enum class Which { Neither, Shown, Stored };

// The hour or minute part of "07:30": two digits up to `top`, or "--" (0, not set).
std::optional<int> TimePart(QStringView text, int top) {
    if (text == u"--") {
        return 0;
    }
    bool ok = false;
    const int value = text.toInt(&ok);
    if (!ok || text.size() != 2 || !text[0].isDigit() || !text[1].isDigit() || value > top) {
        return std::nullopt;
    }
    return value + 1;
}

// "0041 0000 ..." back to the 20 code units; nullopt unless exactly 20 groups of 4 hex digits.
std::optional<QString> RemarkUnits(const QString& hex) {
    const QStringList groups = hex.split(u' ', Qt::SkipEmptyParts);
    if (groups.size() != kRemarkUnits) {
        return std::nullopt;
    }
    QString units;
    for (const QString& group : groups) {
        const bool hex = std::all_of(group.begin(), group.end(), [](QChar ch) {
            return ch.isDigit() || (ch.toLower() >= u'a' && ch.toLower() <= u'f');
        });
        if (group.size() != 4 || !hex) {
            return std::nullopt;
        }
        units.append(QChar(char16_t(group.toUInt(nullptr, 16))));
    }
    return units;
}

class Checker {
  public:
    void Root(const QJsonObject& root, ConfigTables& c);
    // Keys given twice, by the path of their object; each is a fault where its object is met.
    void Duplicates(const QList<JsonLines::Duplicate>& found);
    std::vector<Fault> faults;

  private:
    void Fail(const Place& p, const QString& what) {
        faults.push_back(
            {p.path, p.where.isEmpty() ? what : p.where + QStringLiteral(": ") + what});
    }
    void Keys(const QJsonObject& o, const QStringList& known, const Place& p);
    std::optional<QJsonObject> Object(const QJsonValue& v, const Place& p);
    std::optional<QJsonArray> List(const QJsonObject& o, const QString& key, int count,
                                   const Place& p);
    std::optional<int> Whole(const QJsonObject& o, const QString& key, int hi, const Place& p);
    bool Numbered(const QJsonObject& o, const QString& key, int n, const Place& p);
    Which OneOf(const QJsonObject& o, const QString& shown, const QString& stored, const Place& p);
    std::optional<uint8_t> Listed(const QJsonObject& o, const ListField& f, const Place& p);
    void Remark(const QJsonObject& o, QString& out, const Place& p);
    void Machine(const QJsonValue& v, int m, ConfigTables& c, const Place& p);
    void Zone(const QJsonValue& v, int z, ConfigTables& c, const Place& p);
    void ZoneMachines(const QJsonObject& o, int z, ConfigTables& c, const Place& p);
    void StoredUse(const QJsonObject& o, int z, ConfigTables& c, std::array<bool, kMachines + 1>&,
                   const Place& p);
    void Task(const QJsonValue& v, int z, int t, ConfigTables& c, const Place& p);
    void Time(const QJsonObject& o, uint8_t& hour, uint8_t& minute, const Place& p);
    void StoredTime(const QJsonObject& o, uint8_t& hour, uint8_t& minute, const Place& p);
    void TaskRemark(const QJsonValue& v, int t, ConfigTables& c, const Place& p);
    // Checks each of the `count` entries of the list `key` with `check` (value, number, place).
    template <typename Fn>
    void Each(const QJsonObject& o, const QString& key, int count, const Place& p,
              const QString& words, Fn&& check);
    void Twice(const JsonLines::Duplicate& d, const Place& p);

    QMultiHash<QString, JsonLines::Duplicate> duplicates_;
};

void Checker::Duplicates(const QList<JsonLines::Duplicate>& found) {
    for (const JsonLines::Duplicate& d : found) {
        duplicates_.insert(d.path, d);
    }
}

void Checker::Twice(const JsonLines::Duplicate& d, const Place& p) {
    Fail(p.field(d.key),
         QStringLiteral("%1 is given twice (lines %2 and %3); keep the one that is meant")
             .arg(Q(d.key))
             .arg(d.firstLine)
             .arg(d.line));
}

// An unknown field is a fault: a misspelt "scnee" would otherwise be dropped without a word.
void Checker::Keys(const QJsonObject& o, const QStringList& known, const Place& p) {
    for (const JsonLines::Duplicate& d : duplicates_.values(p.path)) {
        Twice(d, p);
    }
    duplicates_.remove(p.path);
    for (auto it = o.begin(); it != o.end(); ++it) {
        if (!known.contains(it.key())) {
            Fail(p.field(it.key()), QStringLiteral("unknown field %1 (the fields here are %2)")
                                        .arg(Q(it.key()), known.join(QStringLiteral(", "))));
        }
    }
}

std::optional<QJsonObject> Checker::Object(const QJsonValue& v, const Place& p) {
    if (!v.isObject()) {
        Fail(p, QStringLiteral("must be an object {...}, not %1").arg(Written(v)));
        return std::nullopt;
    }
    return v.toObject();
}

std::optional<QJsonArray> Checker::List(const QJsonObject& o, const QString& key, int count,
                                        const Place& p) {
    if (!o.contains(key)) {
        Fail(p, QStringLiteral("missing field %1").arg(Q(key)));
    } else if (!o.value(key).isArray() || o.value(key).toArray().size() != count) {
        Fail(p.field(key),
             QStringLiteral("%1 must be a list of %2 entries, not %3")
                 .arg(Q(key))
                 .arg(count)
                 .arg(o.value(key).isArray() ? QString::number(o.value(key).toArray().size())
                                             : Written(o.value(key))));
    } else {
        return o.value(key).toArray();
    }
    return std::nullopt;
}

// A stored byte or number field, 0..hi.
std::optional<int> Checker::Whole(const QJsonObject& o, const QString& key, int hi,
                                  const Place& p) {
    if (!o.contains(key)) {
        Fail(p, QStringLiteral("missing field %1").arg(Q(key)));
        return std::nullopt;
    }
    const std::optional<int> value = WholeIn(o.value(key), 0, hi);
    if (!value) {
        Fail(p.field(key), QStringLiteral("%1 must be a whole number from 0 to %2, not %3")
                               .arg(Q(key))
                               .arg(hi)
                               .arg(Written(o.value(key))));
    }
    return value;
}

// The entry's own number must be its place in the list: a moved or missing entry shows here.
bool Checker::Numbered(const QJsonObject& o, const QString& key, int n, const Place& p) {
    const std::optional<int> value = Whole(o, key, INT16_MAX, p);
    if (value && *value != n) {
        Fail(p.field(key), QStringLiteral("%1 is %2 at the place of %1 %3 (the list runs from 1 "
                                          "in order)")
                               .arg(Q(key))
                               .arg(*value)
                               .arg(n));
        return false;
    }
    return value.has_value();
}

Which Checker::OneOf(const QJsonObject& o, const QString& shown, const QString& stored,
                     const Place& p) {
    const bool hasShown = o.contains(shown);
    const bool hasStored = o.contains(stored);
    if (hasShown && hasStored) {
        Fail(p.field(stored), QStringLiteral("give %1 or %2, not both").arg(Q(shown), Q(stored)));
        return Which::Neither;
    }
    if (!hasShown && !hasStored) {
        Fail(p, QStringLiteral("missing field %1").arg(Q(shown)));
        return Which::Neither;
    }
    return hasShown ? Which::Shown : Which::Stored;
}

// "scene": 1..30 or null, or "stored_scene": 0..255 for a value outside the list.
std::optional<uint8_t> Checker::Listed(const QJsonObject& o, const ListField& f, const Place& p) {
    const QString name = QLatin1String(f.name);
    const QString stored = QStringLiteral("stored_") + name;
    const Which which = OneOf(o, name, stored, p);
    if (which == Which::Stored) {
        const std::optional<int> value = Whole(o, stored, 255, p);
        return value ? std::optional<uint8_t>(uint8_t(*value)) : std::nullopt;
    }
    if (which == Which::Neither) {
        return std::nullopt;
    }
    const QJsonValue v = o.value(name);
    if (v.isNull()) {
        return 0;
    }
    if (const std::optional<int> value = WholeIn(v, 1, f.top)) {
        return uint8_t(*value);
    }
    Fail(p.field(name), QStringLiteral("%1 %2 is not in the list %3 or null (a stored value "
                                       "outside the list goes in %4)")
                            .arg(name, Written(v), QLatin1String(f.items), Q(stored)));
    return std::nullopt;
}

// Over 20 code units is refused, not cut: the operator decides what to drop.
void Checker::Remark(const QJsonObject& o, QString& out, const Place& p) {
    const Which which = OneOf(o, QStringLiteral("remark"), QStringLiteral("stored_remark"), p);
    if (which == Which::Stored) {
        const QJsonValue v = o.value(QStringLiteral("stored_remark"));
        if (const std::optional<QString> units = RemarkUnits(v.toString())) {
            out = *units;
        } else {
            Fail(p.field(QStringLiteral("stored_remark")),
                 QStringLiteral("\"stored_remark\" must be 20 groups of 4 hex digits "
                                "(\"0041 0000 ...\"), not %1")
                     .arg(Written(v)));
        }
    } else if (which == Which::Shown) {
        const QJsonValue v = o.value(QStringLiteral("remark"));
        if (!v.isString()) {
            Fail(p.field(QStringLiteral("remark")),
                 QStringLiteral("\"remark\" must be text, not %1").arg(Written(v)));
        } else if (v.toString().size() > kRemarkUnits) {
            Fail(p.field(QStringLiteral("remark")),
                 QStringLiteral("remark %1 is %2 code units long; the task file keeps %3")
                     .arg(Written(v), QString::number(v.toString().size()),
                          QString::number(kRemarkUnits)));
        } else {
            out = v.toString();
        }
    }
}

void Checker::Machine(const QJsonValue& v, int m, ConfigTables& c, const Place& p) {
    const std::optional<QJsonObject> o = Object(v, p);
    if (!o) {
        return;
    }
    Keys(*o,
         {QStringLiteral("machine"), QStringLiteral("address"), QStringLiteral("stored_address")},
         p);
    Numbered(*o, QStringLiteral("machine"), m, p);
    if (const std::optional<uint8_t> address = Listed(*o, kAddress, p)) {
        c.MachineIp[m] = *address;
    }
}

void Checker::Zone(const QJsonValue& v, int z, ConfigTables& c, const Place& p) {
    const std::optional<QJsonObject> o = Object(v, p);
    if (!o) {
        return;
    }
    Keys(
        *o,
        {QStringLiteral("zone"), QStringLiteral("remark"), QStringLiteral("stored_remark"),
         QStringLiteral("machines"), QStringLiteral("stored_machine_use"), QStringLiteral("tasks")},
        p);
    Numbered(*o, QStringLiteral("zone"), z, p);
    Remark(*o, c.ZoneRemark[z], p);
    ZoneMachines(*o, z, c, p);
    Each(*o, QStringLiteral("tasks"), kSlots, p, QStringLiteral("zone %1, task %2").arg(z),
         [&](const QJsonValue& task, int t, const Place& at) { Task(task, z, t, c, at); });
}

// "machines": the machines the zone uses (stored 1); "stored_machine_use": other stored values.
void Checker::ZoneMachines(const QJsonObject& o, int z, ConfigTables& c, const Place& p) {
    std::array<bool, kMachines + 1> seen{};
    const QString key = QStringLiteral("machines");
    const QJsonValue v = o.value(key);
    if (!o.contains(key)) {
        Fail(p, QStringLiteral("missing field %1").arg(Q(key)));
    } else if (!v.isArray()) {
        Fail(p.field(key), QStringLiteral("\"machines\" must be a list of machine numbers 1..64, "
                                          "not %1")
                               .arg(Written(v)));
    } else {
        const QJsonArray list = v.toArray();
        for (qsizetype i = 0; i < list.size(); ++i) {
            const std::optional<int> m = WholeIn(list[i], 1, kMachines);
            const Place at = p.field(key).item(i, p.where);
            if (!m) {
                Fail(at,
                     QStringLiteral("machine %1 is not a machine (1..64)").arg(Written(list[i])));
            } else if (seen[size_t(*m)]) {
                Fail(at, QStringLiteral("machine %1 is listed twice").arg(*m));
            } else {
                seen[size_t(*m)] = true;
                c.ZoneUsesMachine[z][*m] = 1;
            }
        }
    }
    StoredUse(o, z, c, seen, p);
}

void Checker::StoredUse(const QJsonObject& o, int z, ConfigTables& c,
                        std::array<bool, kMachines + 1>& seen, const Place& p) {
    const QString key = QStringLiteral("stored_machine_use");
    if (!o.contains(key)) {
        return;
    }
    if (!o.value(key).isArray()) {
        Fail(p.field(key),
             QStringLiteral("%1 must be a list, not %2").arg(Q(key), Written(o[key])));
        return;
    }
    const QJsonArray list = o.value(key).toArray();
    for (qsizetype i = 0; i < list.size(); ++i) {
        const Place at = p.field(key).item(i, p.where);
        const std::optional<QJsonObject> use = Object(list[i], at);
        if (!use) {
            continue;
        }
        Keys(*use, {QStringLiteral("machine"), QStringLiteral("value")}, at);
        const std::optional<int> m = Whole(*use, QStringLiteral("machine"), kMachines, at);
        const std::optional<int> value = Whole(*use, QStringLiteral("value"), 255, at);
        if (m && (*m == 0 || seen[size_t(*m)])) {
            Fail(at, QStringLiteral("machine %1 is not a machine, or given twice").arg(*m));
        } else if (m && value) {
            seen[size_t(*m)] = true;
            c.ZoneUsesMachine[z][*m] = uint8_t(*value);
        }
    }
}

// null: nothing set. Otherwise "time" (or both stored fields) and "scene" (or "stored_scene").
void Checker::Task(const QJsonValue& v, int z, int t, ConfigTables& c, const Place& p) {
    if (v.isNull()) {
        return;
    }
    const std::optional<QJsonObject> o = Object(v, p);
    if (!o) {
        return;
    }
    Keys(*o,
         {QStringLiteral("task"), QStringLiteral("time"), QStringLiteral("scene"),
          QStringLiteral("stored_hour"), QStringLiteral("stored_minute"),
          QStringLiteral("stored_scene")},
         p);
    Numbered(*o, QStringLiteral("task"), t, p);
    Time(*o, c.TaskHour[z][t], c.TaskMinute[z][t], p);
    if (const std::optional<uint8_t> scene = Listed(*o, kScene, p)) {
        c.TaskScene[z][t] = *scene;
    }
}

// A time outside the lists: both stored bytes, in place of "time".
void Checker::StoredTime(const QJsonObject& o, uint8_t& hour, uint8_t& minute, const Place& p) {
    if (o.contains(QStringLiteral("time"))) {
        Fail(p.field(QStringLiteral("time")),
             QStringLiteral("give \"time\" or \"stored_hour\" and \"stored_minute\", not both"));
    }
    const std::optional<int> h = Whole(o, QStringLiteral("stored_hour"), 255, p);
    const std::optional<int> m = Whole(o, QStringLiteral("stored_minute"), 255, p);
    hour = uint8_t(h.value_or(0));
    minute = uint8_t(m.value_or(0));
}

void Checker::Time(const QJsonObject& o, uint8_t& hour, uint8_t& minute, const Place& p) {
    const QString key = QStringLiteral("time");
    if (o.contains(QStringLiteral("stored_hour")) || o.contains(QStringLiteral("stored_minute"))) {
        StoredTime(o, hour, minute, p);
        return;
    }
    const QJsonValue v = o.value(key);
    const QString text = v.toString();
    const std::optional<int> h = TimePart(QStringView(text).left(2), kHourItems - 1);
    const std::optional<int> m = TimePart(QStringView(text).mid(3), kMinuteItems - 1);
    if (!o.contains(key)) {
        Fail(p, QStringLiteral("missing field \"time\""));
    } else if (v.isNull()) {
        hour = minute = 0;
    } else if (!v.isString() || text.size() != 5 || text[2] != u':') {
        Fail(p.field(key), QStringLiteral("time %1 is not a time: write \"HH:MM\" (\"07:30\"), "
                                          "\"--\" for a part not set, or null")
                               .arg(Written(v)));
    } else if (!h || !m) {
        Fail(p.field(key), QStringLiteral("%1 %2 is not a time (hours 00..23, minutes 00..59, "
                                          "\"--\" for a part not set)")
                               .arg(h ? QStringLiteral("minute") : QStringLiteral("hour"), text));
    } else {
        hour = uint8_t(*h);
        minute = uint8_t(*m);
    }
}

template <typename Fn>
void Checker::Each(const QJsonObject& o, const QString& key, int count, const Place& p,
                   const QString& words, Fn&& check) {
    if (const std::optional<QJsonArray> list = List(o, key, count, p)) {
        for (int i = 1; i <= count; ++i) {
            check(list->at(i - 1), i, p.field(key).item(i - 1, words.arg(i)));
        }
    }
}

void Checker::TaskRemark(const QJsonValue& v, int t, ConfigTables& c, const Place& p) {
    if (const std::optional<QJsonObject> o = Object(v, p)) {
        Keys(*o,
             {QStringLiteral("task"), QStringLiteral("remark"), QStringLiteral("stored_remark")},
             p);
        Numbered(*o, QStringLiteral("task"), t, p);
        Remark(*o, c.TaskRemark[t], p);
    }
}

void Checker::Root(const QJsonObject& root, ConfigTables& c) {
    const Place p;
    Keys(root,
         {QStringLiteral("format"), QStringLiteral("version"), QStringLiteral("machines"),
          QStringLiteral("zones"), QStringLiteral("task_remarks")},
         p);
    if (root.value(QStringLiteral("format")).toString() != kSiteFormat) {
        Fail(p.field(QStringLiteral("format")),
             QStringLiteral("\"format\" must be \"%1\": this is not a site document")
                 .arg(kSiteFormat));
    }
    if (WholeIn(root.value(QStringLiteral("version")), kSiteVersion, kSiteVersion) !=
        kSiteVersion) {
        Fail(p.field(QStringLiteral("version")),
             QStringLiteral("\"version\" must be %1, not %2")
                 .arg(kSiteVersion)
                 .arg(Written(root[QStringLiteral("version")])));
    }
    Each(root, QStringLiteral("machines"), kMachines, p, QStringLiteral("machine %1"),
         [&](const QJsonValue& v, int m, const Place& at) { Machine(v, m, c, at); });
    Each(root, QStringLiteral("zones"), kZones, p, QStringLiteral("zone %1"),
         [&](const QJsonValue& v, int z, const Place& at) { Zone(v, z, c, at); });
    Each(root, QStringLiteral("task_remarks"), kSlots, p, QStringLiteral("task %1 remark"),
         [&](const QJsonValue& v, int t, const Place& at) { TaskRemark(v, t, c, at); });
    // Those in objects no check reached (the document is refused for them anyway).
    for (const JsonLines::Duplicate& d : std::as_const(duplicates_)) {
        Twice(d, Place{d.path, QString()});
    }
    duplicates_.clear();
}

// The faults in the order of their lines, at most kSiteJsonMaxErrors of them.
QStringList FaultLines(const QByteArray& text, const std::vector<Fault>& faults) {
    QSet<QString> wanted;
    for (const Fault& f : faults) {
        for (QString path = f.path; !path.isEmpty(); path.truncate(path.lastIndexOf(u'/'))) {
            wanted.insert(path);
        }
    }
    const JsonLines lines(text, wanted);
    std::vector<std::pair<int, QString>> located;
    located.reserve(faults.size());
    for (const Fault& f : faults) {
        located.emplace_back(lines.lineOf(f.path), f.text);
    }
    std::stable_sort(located.begin(), located.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    QStringList out;
    for (size_t i = 0; i < located.size() && i < size_t(kSiteJsonMaxErrors); ++i) {
        out << QStringLiteral("line %1: %2").arg(located[i].first).arg(located[i].second);
    }
    if (located.size() > size_t(kSiteJsonMaxErrors)) {
        out << QStringLiteral("... and %1 more").arg(located.size() - size_t(kSiteJsonMaxErrors));
    }
    return out;
}

}  // namespace

CheckedConfig ParseSiteJson(const QByteArray& input) {
    CheckedConfig r;
    if (input.size() > kSiteJsonMaxBytes) {
        r.errors << QStringLiteral("the document is %1 bytes; more than %2 is refused")
                        .arg(input.size())
                        .arg(kSiteJsonMaxBytes);
        return r;
    }
    // A UTF-8 mark in front (some editors write one) is no part of the document.
    const QByteArray text = WithoutUtf8Mark(input);
    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(text, &error);
    if (error.error != QJsonParseError::NoError) {
        r.errors << QStringLiteral("line %1: not valid JSON: %2")
                        .arg(LineAt(text, error.offset))
                        .arg(error.errorString());
        return r;
    }
    Checker checker;
    checker.Duplicates(JsonLines(text, {}).duplicates());
    if (doc.isObject()) {
        checker.Root(doc.object(), r.config);
    } else {
        checker.faults.push_back(
            {QString(), QStringLiteral("the document must be an object {...}")});
    }
    r.errors = FaultLines(text, checker.faults);
    r.ok = r.errors.isEmpty();
    return r;
}

bool LooksLikeJson(const QByteArray& bytes) {
    const QByteArray text = WithoutUtf8Mark(bytes);
    const QByteArray trimmed = text.left(4096).trimmed();
    return trimmed.startsWith('{');
}
