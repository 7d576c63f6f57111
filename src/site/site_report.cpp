#include "site/site_report.h"

#include "config/zone_day.h"
#include "site/site_diff.h"

namespace {

// Timeline geometry, in SVG user units.
constexpr int kLabelWidth = 170;
constexpr int kHourWidth = 40;
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

QString Machines(const ConfigTables& c) {
    QString html = QStringLiteral("<h2>Machine addresses</h2>\n<table class=\"grid machines\">\n");
    for (int row = 0; row < 8; ++row) {
        html += QStringLiteral("<tr>");
        for (int col = 1; col <= 8; ++col) {
            const int m = row * 8 + col;
            html += QStringLiteral("<td><b>%1</b> %2</td>").arg(m).arg(AddressText(c.MachineIp[m]));
        }
        html += QStringLiteral("</tr>\n");
    }
    return html + QStringLiteral("</table>\n");
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

// Texts from the file are joined, never substituted: a remark may hold "%1".
QString Mark(int zone, int y, const ZoneDayEntry& e) {
    const double x = kLabelWidth + (e.hour * kMinuteItems + e.minute) * kPlotWidth /
                                       double(kHourItems * kMinuteItems);
    const QString title = QStringLiteral("zone %1 task %2: %3 scene %4 ")
                              .arg(zone)
                              .arg(e.slot)
                              .arg(Clock(e.hour, e.minute))
                              .arg(e.scene) +
                          HtmlText(e.remark);
    return QStringLiteral("<g class=\"mark\"><title>") + title +
           QStringLiteral(
               "</title><circle cx=\"%1\" cy=\"%2\" r=\"8\" fill=\"#2a6fb0\"/>"
               "<text x=\"%1\" y=\"%3\" font-size=\"10\" fill=\"#fff\" "
               "text-anchor=\"middle\">%4</text></g>\n")
               .arg(x, 0, 'f', 1)
               .arg(y + kRowHeight / 2)
               .arg(y + kRowHeight / 2 + 4)
               .arg(e.scene);
}

QString Timeline(const ConfigTables& c) {
    const int height = kAxisHeight + kZones * kRowHeight + 4;
    QString svg = QStringLiteral(
                      "<h2>Timeline (one mark per programmed task, labelled by its "
                      "scene)</h2>\n<svg xmlns=\"http://www.w3.org/2000/svg\" "
                      "width=\"%1\" height=\"%2\" viewBox=\"0 0 %1 %2\">\n")
                      .arg(kLabelWidth + kPlotWidth + 12)
                      .arg(height);
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
        for (const ZoneDayEntry& e : ZoneDay(c, zone)) {
            if (e.inDay()) {
                svg += Mark(zone, y, e);
            }
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
                        (use == 1 ? QString() : QStringLiteral(" [stored use %1]").arg(use));
        }
    }
    return used.isEmpty() ? QStringLiteral("<span class=\"none\">none</span>")
                          : used.join(QStringLiteral(", "));
}

// Times outside the day (a task file written elsewhere) keep their stored numbers.
QString DayRow(const ConfigTables& c, int zone, const ZoneDayEntry& e) {
    const QString time = e.inDay() ? Clock(e.hour, e.minute)
                                   : TimeText(c.TaskHour[zone][e.slot], c.TaskMinute[zone][e.slot]);
    const QString scene = e.scene <= kSceneItems ? QString::number(e.scene)
                                                 : QStringLiteral("(stored %1)").arg(e.scene);
    return QStringLiteral("<tr><td>%1</td><td>%2</td><td>%3</td><td>")
               .arg(time, scene, QString::number(e.slot)) +
           HtmlText(e.remark) + QStringLiteral("</td></tr>\n");
}

QString Zone(const ConfigTables& c, int zone) {
    const QString remark = ShownRemark(c.ZoneRemark[zone]);
    QString html = QStringLiteral("<div class=\"zone\"><h3>Zone %1").arg(zone) +
                   (remark.isEmpty() ? QString() : QStringLiteral(" &mdash; ") + HtmlText(remark)) +
                   QStringLiteral("</h3>\n<p>Machines (address): ") + ZoneMachines(c, zone) +
                   QStringLiteral("</p>\n");
    const std::vector<ZoneDayEntry> day = ZoneDay(c, zone);
    if (day.empty()) {
        return html + QStringLiteral("<p class=\"none\">No programmed tasks.</p></div>\n");
    }
    html += QStringLiteral(
        "<table class=\"grid day\"><tr><th>Time</th><th>Scene</th><th>Task</th>"
        "<th>Task remark</th></tr>\n");
    for (const ZoneDayEntry& e : day) {
        html += DayRow(c, zone, e);
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
    QString html = QStringLiteral(
                       "<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\">\n<title>"
                       "M-4500 site handover: ") +
                   HtmlText(source.file) + QStringLiteral("</title>\n<style>") +
                   QLatin1String(kStyle) + QStringLiteral("</style></head><body>\n");
    html += QStringLiteral(
                "<h1>M-4500 site handover</h1>\n<table class=\"meta\">"
                "<tr><td>Task file</td><td>") +
            HtmlText(source.file) + QStringLiteral("</td></tr>\n<tr><td>File date</td><td>") +
            source.fileDate.toString(dateFormat) +
            QStringLiteral("</td></tr>\n<tr><td>Sheet made</td><td>") +
            source.made.toString(dateFormat) + QStringLiteral("</td></tr></table>\n");
    html += Machines(c);
    html += Timeline(c);
    html += QStringLiteral("<h2>Zones</h2>\n<div class=\"zones\">\n");
    for (int zone = 1; zone <= kZones; ++zone) {
        html += Zone(c, zone);
    }
    return html + QStringLiteral("</div>\n</body></html>\n");
}
