#include "site/site_report.h"

#include "config/zone_day.h"
#include "site/site_diff.h"

#include <QCoreApplication>
#include <QMap>

namespace {

// The sheet is written in the language of the translation installed (the window's, or the
// companion's English); its texts are in the context "M_site".
QString Tr(const char* text) {
    return QCoreApplication::translate("M_site", text);
}

// Timeline geometry, in SVG user units: marks 15 minutes apart stand side by side.
constexpr int kLabelWidth = 170;
constexpr int kHourWidth = 56;
constexpr int kMarkRadius = 6;
constexpr int kRowHeight = 22;
constexpr int kAxisHeight = 24;
constexpr int kPlotWidth = kHourItems * kHourWidth;

const char* const kStyle = R"(
body { font-family: sans-serif; font-size: 11pt; margin: 16px 24px; color: #111; }
h1 { font-size: 18pt; margin: 0 0 4px; }
h2 { font-size: 13pt; border-bottom: 1px solid #888; margin: 18px 0 6px; }
h3 { font-size: 11pt; margin: 10px 0 2px; }
.meta td { padding: 0 12px 0 0; }
table.grid { border-collapse: collapse; }
table.grid td, table.grid th { border: 1px solid #bbb; padding: 2px 6px; text-align: left; }
table.grid th { background: #eee; }
.machines td { width: 7em; }
.none { color: #777; }
.warn { color: #b00020; font-weight: bold; }
td.warn { background: #fde8ea; }
.zones { display: grid; grid-template-columns: repeat(auto-fill, minmax(340px, 1fr));
         gap: 0 28px; }
.zone { break-inside: avoid; page-break-inside: avoid; }
.zone p { margin: 2px 0 4px; }
svg { max-width: 100%; height: auto; }
svg text { font-family: sans-serif; }
@media print { body { margin: 0; } h2 { break-after: avoid; } }
)";

QString Elided(const QString& text, int units) {
    return text.size() <= units ? text : text.left(units - 1) + QChar(0x2026);
}

// Addresses given to more than one machine, with their machines: a controller reaches only one.
QMap<int, QList<int>> SharedAddresses(const ConfigTables& c) {
    QMap<int, QList<int>> machines;
    for (int m = 1; m <= kMachines; ++m) {
        if (c.MachineIp[m] != 0) {
            machines[c.MachineIp[m]] << m;
        }
    }
    for (auto it = machines.begin(); it != machines.end();) {
        it = it->size() > 1 ? std::next(it) : machines.erase(it);
    }
    return machines;
}

QString Machines(const ConfigTables& c) {
    const QMap<int, QList<int>> shared = SharedAddresses(c);
    QString html = QStringLiteral("<h2>") + Tr("机器地址") +
                   QStringLiteral("</h2>\n<table class=\"grid machines\">\n");
    for (int row = 0; row < 8; ++row) {
        html += QStringLiteral("<tr>");
        for (int col = 1; col <= 8; ++col) {
            const int m = row * 8 + col;
            html += QStringLiteral("<td%1><b>%2</b> %3</td>")
                        .arg(shared.contains(c.MachineIp[m]) ? QStringLiteral(" class=\"warn\"")
                                                             : QString())
                        .arg(m)
                        .arg(AddressText(c.MachineIp[m]));
        }
        html += QStringLiteral("</tr>\n");
    }
    html += QStringLiteral("</table>\n");
    for (auto it = shared.begin(); it != shared.end(); ++it) {
        QStringList numbers;
        for (const int m : *it) {
            numbers << QString::number(m);
        }
        html += QStringLiteral("<p class=\"warn\">") +
                Tr("地址 %1 同时分给了机器 %2")
                    .arg(AddressText(uint8_t(it.key())), numbers.join(QStringLiteral(", "))) +
                QStringLiteral("</p>\n");
    }
    return html;
}

QString Axis() {
    QString svg;
    for (int h = 0; h <= kHourItems; ++h) {
        const int x = kLabelWidth + h * kHourWidth;
        svg += QStringLiteral("<line x1=\"%1\" y1=\"%2\" x2=\"%1\" y2=\"%3\" stroke=\"%4\"/>")
                   .arg(x)
                   .arg(kAxisHeight - 4)
                   .arg(kAxisHeight + kZones * kRowHeight)
                   .arg(h % 6 == 0 ? QStringLiteral("#999") : QStringLiteral("#ddd"));
        svg += QStringLiteral(
                   "<text x=\"%1\" y=\"14\" font-size=\"11\" text-anchor=\"middle\">"
                   "%2</text>\n")
                   .arg(x)
                   .arg(QString::number(h).rightJustified(2, u'0'));
    }
    return svg;
}

QString Clock(int hour, int minute) {
    return QString::number(hour).rightJustified(2, u'0') + u':' +
           QString::number(minute).rightJustified(2, u'0');
}

// One mark for the tasks of a zone at one minute, labelled by their scenes; two or more at the
// same minute are flagged, since the controller runs them at once. Texts from the file are
// joined, never substituted: a remark may hold "%1".
QString Mark(int zone, int y, const std::vector<ZoneDayEntry>& same) {
    const ZoneDayEntry& e = same.front();
    const double x = kLabelWidth + (e.hour * kMinuteItems + e.minute) * kPlotWidth /
                                       double(kHourItems * kMinuteItems);
    QString title;
    QStringList scenes;
    for (const ZoneDayEntry& t : same) {
        title += Tr("区域 %1 任务 %2：%3 场景 %4 ")
                     .arg(zone)
                     .arg(t.slot)
                     .arg(Clock(t.hour, t.minute))
                     .arg(t.scene) +
                 HtmlText(t.remark) + u'\n';
        scenes << QString::number(t.scene);
    }
    if (same.size() > 1) {
        title += Tr("同一分钟有 %1 个任务").arg(same.size());
    }
    const int halfWidth = kMarkRadius + 3 * int(same.size() - 1) * 4;
    return QStringLiteral("<g class=\"mark\"><title>") + title.trimmed() +
           QStringLiteral(
               "</title><rect x=\"%1\" y=\"%2\" width=\"%3\" height=\"%4\" rx=\"%5\" "
               "fill=\"%6\"/><text x=\"%7\" y=\"%8\" font-size=\"9\" fill=\"#fff\" "
               "text-anchor=\"middle\">%9</text></g>\n")
               .arg(x - halfWidth, 0, 'f', 1)
               .arg(y + kRowHeight / 2 - kMarkRadius)
               .arg(2 * halfWidth)
               .arg(2 * kMarkRadius)
               .arg(kMarkRadius)
               .arg(same.size() > 1 ? QStringLiteral("#c0392b") : QStringLiteral("#2a6fb0"))
               .arg(x, 0, 'f', 1)
               .arg(y + kRowHeight / 2 + 3)
               .arg(scenes.join(u'/'));
}

QString Timeline(const ConfigTables& c) {
    const int height = kAxisHeight + kZones * kRowHeight + 4;
    QString svg =
        QStringLiteral(
            "<h2>%3</h2>\n<svg xmlns=\"http://www.w3.org/2000/svg\" "
            "width=\"%1\" height=\"%2\" viewBox=\"0 0 %1 %2\">\n")
            .arg(kLabelWidth + kPlotWidth + 12)
            .arg(height)
            .arg(Tr("时间轴（每个编好的任务一个标记，标着它的场景；红色：同一分钟有几个任务）"));
    svg += Axis();
    for (int zone = 1; zone <= kZones; ++zone) {
        const int y = kAxisHeight + (zone - 1) * kRowHeight;
        if (zone % 2 == 0) {
            svg += QStringLiteral(
                       "<rect x=\"0\" y=\"%1\" width=\"%2\" height=\"%3\" "
                       "fill=\"#000\" fill-opacity=\"0.04\"/>")
                       .arg(y)
                       .arg(kLabelWidth + kPlotWidth)
                       .arg(kRowHeight);
        }
        svg += QStringLiteral("<text x=\"4\" y=\"%1\" font-size=\"11\">%2 ")
                   .arg(y + kRowHeight / 2 + 4)
                   .arg(zone) +
               HtmlText(Elided(ShownRemark(c.ZoneRemark[zone]), 12)) + QStringLiteral("</text>\n");
        std::vector<ZoneDayEntry> same;  // the day is in time order: equal minutes follow
        for (const ZoneDayEntry& e : ZoneDay(c, zone)) {
            if (!e.inDay()) {
                continue;
            }
            if (!same.empty() && (same.front().hour != e.hour || same.front().minute != e.minute)) {
                svg += Mark(zone, y, same);
                same.clear();
            }
            same.push_back(e);
        }
        if (!same.empty()) {
            svg += Mark(zone, y, same);
        }
    }
    return svg + QStringLiteral("</svg>\n");
}

QString ZoneMachines(const ConfigTables& c, int zone) {
    QStringList used;
    for (int m = 1; m <= kMachines; ++m) {
        const uint8_t use = c.ZoneUsesMachine[zone][m];
        if (use != 0) {
            used << QStringLiteral("%1 (%2)").arg(m).arg(AddressText(c.MachineIp[m])) +
                        (use == 1 ? QString() : Tr(" [存储值 %1]").arg(use));
        }
    }
    return used.isEmpty()
               ? QStringLiteral("<span class=\"none\">") + Tr("无") + QStringLiteral("</span>")
               : used.join(QStringLiteral(", "));
}

// Times outside the day (a task file written elsewhere) keep their stored numbers; a task with a
// part not set is listed as such, with "--" for what is missing.
QString DayRow(const ConfigTables& c, int zone, int slot, const QString& note) {
    const uint8_t hour = c.TaskHour[zone][slot];
    const uint8_t minute = c.TaskMinute[zone][slot];
    const uint8_t scene = c.TaskScene[zone][slot];
    const QString time = hour >= 1 && hour <= kHourItems && minute >= 1 && minute <= kMinuteItems
                             ? Clock(hour - 1, minute - 1)
                             : TimeText(hour, minute);
    const QString sceneText = scene == 0             ? QStringLiteral("--")
                              : scene <= kSceneItems ? QString::number(scene)
                                                     : Tr("（存储值 %1）").arg(scene);
    return QStringLiteral("<tr><td>%1</td><td>%2</td><td>%3</td><td>")
               .arg(time, sceneText, QString::number(slot)) +
           HtmlText(ShownRemark(c.TaskRemark[slot])) +
           QStringLiteral("</td><td%1>%2</td></tr>\n")
               .arg(note.isEmpty() ? QString() : QStringLiteral(" class=\"warn\""), note);
}

QString Zone(const ConfigTables& c, int zone) {
    const QString remark = ShownRemark(c.ZoneRemark[zone]);
    QString html = QStringLiteral("<div class=\"zone\"><h3>") + Tr("区域 %1").arg(zone) +
                   (remark.isEmpty() ? QString() : QStringLiteral(" &mdash; ") + HtmlText(remark)) +
                   QStringLiteral("</h3>\n<p>") + Tr("机器（地址）：") + ZoneMachines(c, zone) +
                   QStringLiteral("</p>\n");
    const std::vector<ZoneDayEntry> day = ZoneDay(c, zone);
    std::vector<int> partly;
    for (int slot = 1; slot <= kSlots; ++slot) {
        const bool any = c.TaskHour[zone][slot] != 0 || c.TaskMinute[zone][slot] != 0 ||
                         c.TaskScene[zone][slot] != 0;
        if (any && !IsProgrammed(c, zone, slot)) {
            partly.push_back(slot);
        }
    }
    if (day.empty() && partly.empty()) {
        return html + QStringLiteral("<p class=\"none\">") + Tr("没有编好的任务。") +
               QStringLiteral("</p></div>\n");
    }
    html += QStringLiteral("<table class=\"grid day\"><tr><th>") + Tr("时间") +
            QStringLiteral("</th><th>") + Tr("场景") + QStringLiteral("</th><th>") + Tr("任务") +
            QStringLiteral("</th><th>") + Tr("任务备注") + QStringLiteral("</th><th></th></tr>\n");
    for (size_t i = 0; i < day.size(); ++i) {
        const auto sameMinute = [&](size_t j) {
            return j < day.size() && day[j].hour == day[i].hour && day[j].minute == day[i].minute;
        };
        const bool shared = (i > 0 && sameMinute(i - 1)) || sameMinute(i + 1);
        html += DayRow(c, zone, day[i].slot, shared ? Tr("同一分钟还有任务") : QString());
    }
    for (const int slot : partly) {
        html += DayRow(c, zone, slot, Tr("部分设置：不会执行"));
    }
    return html + QStringLiteral("</table></div>\n");
}

}  // namespace

QString HtmlText(const QString& text) {
    QString clean;
    clean.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar ch = text[i];
        const bool pair =
            ch.isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate();
        if (pair) {
            clean += ch;
            clean += text[++i];
        } else if (ch.isSurrogate() || (ch.unicode() < 0x20 && ch != u'\t' && ch != u'\n') ||
                   ch.unicode() == 0x7F) {
            clean += QChar(QChar::ReplacementCharacter);
        } else {
            clean += ch;
        }
    }
    return clean.toHtmlEscaped();
}

QString SiteReportHtml(const ConfigTables& c, const ReportSource& source) {
    const QString dateFormat = QStringLiteral("yyyy-MM-dd HH:mm");
    const QString title = Tr("M-4500 现场交接单");
    // The page's language, as its translation names it.
    QString html = QStringLiteral("<!DOCTYPE html>\n<html lang=\"") + Tr("zh-CN") +
                   QStringLiteral("\"><head><meta charset=\"utf-8\">\n<title>") + title +
                   QStringLiteral(": ") + HtmlText(source.file) +
                   QStringLiteral("</title>\n<style>") + QLatin1String(kStyle) +
                   QStringLiteral("</style></head><body>\n");
    html += QStringLiteral("<h1>") + title +
            QStringLiteral("</h1>\n<table class=\"meta\"><tr><td>") + Tr("任务文件") +
            QStringLiteral("</td><td>") + HtmlText(source.file) +
            QStringLiteral("</td></tr>\n<tr><td>") + Tr("文件日期") + QStringLiteral("</td><td>") +
            source.fileDate.toString(dateFormat) + QStringLiteral("</td></tr>\n<tr><td>") +
            Tr("交接单生成") + QStringLiteral("</td><td>") + source.made.toString(dateFormat) +
            QStringLiteral("</td></tr></table>\n");
    html += Machines(c);
    html += Timeline(c);
    html += QStringLiteral("<h2>") + Tr("区域") + QStringLiteral("</h2>\n<div class=\"zones\">\n");
    for (int zone = 1; zone <= kZones; ++zone) {
        html += Zone(c, zone);
    }
    return html + QStringLiteral("</div>\n</body></html>\n");
}
