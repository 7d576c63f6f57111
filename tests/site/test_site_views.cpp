// What the operator reads of a configuration: a zone's day, the changes between two
// configurations, and the handover sheet.
#include "config/taskfile.h"
#include "config/zone_day.h"
#include "site/site_diff.h"
#include "site/site_report.h"

#include <gtest/gtest.h>

#include <QRegularExpression>
#include <functional>

namespace {

void Set(ConfigTables& c, int zone, int slot, uint8_t hour, uint8_t minute, uint8_t scene) {
    c.TaskHour[zone][slot] = hour;
    c.TaskMinute[zone][slot] = minute;
    c.TaskScene[zone][slot] = scene;
}

TEST(ZoneDay, ProgrammedTasksInTimeOrderEqualTimesBySlot) {
    ConfigTables c;
    Set(c, 5, 1, 19, 1, 3);  // 18:00
    Set(c, 5, 2, 8, 31, 1);  // 07:30
    Set(c, 5, 3, 8, 0, 1);   // no minute: not programmed
    Set(c, 5, 4, 1, 1, 0);   // no scene: not programmed
    Set(c, 5, 5, 30, 1, 2);  // stored hour 30, from a file written elsewhere
    Set(c, 5, 6, 8, 31, 9);  // 07:30 again, later slot
    Set(c, 6, 1, 1, 1, 1);   // another zone
    c.TaskRemark[2] = QStringLiteral("开灯") + QString(18, QChar(0));
    const std::vector<ZoneDayEntry> day = ZoneDay(c, 5);
    const std::vector<ZoneDayEntry> expected{{2, 7, 30, 1, QStringLiteral("开灯")},
                                             {6, 7, 30, 9, QString()},
                                             {1, 18, 0, 3, QString()},
                                             {5, 29, 0, 2, QString()}};
    EXPECT_EQ(day, expected);
    EXPECT_FALSE(day.back().inDay());
    EXPECT_TRUE(ZoneDay(c, 0).empty());
    EXPECT_TRUE(ZoneDay(c, 33).empty());
}

struct DiffRow {
    const char* name;
    std::function<void(ConfigTables&)> change;
    QStringList lines;
};

ConfigTables Before() {
    ConfigTables c;
    c.MachineIp[12] = 42;
    Set(c, 3, 5, 8, 31, 2);
    c.ZoneUsesMachine[4][10] = 1;
    c.ZoneRemark[2] = QStringLiteral("大厅");
    return c;
}

class SiteDiffRow : public testing::TestWithParam<DiffRow> {};

TEST_P(SiteDiffRow, ListsEachChangeInTheOperatorsTerms) {
    ConfigTables after = Before();
    GetParam().change(after);
    EXPECT_EQ(SiteDiff(Before(), after), GetParam().lines);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, SiteDiffRow,
    testing::Values(DiffRow{"Nothing", [](ConfigTables&) {}, {}},
                    DiffRow{"PaddingOnly",  // as loaded from the file: the same bytes
                            [](ConfigTables& c) { c.ZoneRemark[2] += QString(18, QChar(0)); },
                            {}},
                    DiffRow{"Address",
                            [](ConfigTables& c) { c.MachineIp[12] = 43, c.MachineIp[1] = 7; },
                            {"machine 1: 无 -> 007", "machine 12: 042 -> 043"}},
                    DiffRow{"TaskTime",
                            [](ConfigTables& c) { c.TaskHour[3][5] = 9, c.TaskMinute[3][5] = 1; },
                            {"zone 3 task 5: 07:30 scene 2 -> 08:00 scene 2"}},
                    DiffRow{"TaskPartlySet",
                            [](ConfigTables& c) { Set(c, 3, 6, 8, 0, 0); },
                            {"zone 3 task 6: not set -> 07:-- no scene"}},
                    DiffRow{"StoredValues",
                            [](ConfigTables& c) { Set(c, 3, 5, 30, 31, 31); },
                            {"zone 3 task 5: 07:30 scene 2 -> (stored 30):30 scene (stored 31)"}},
                    DiffRow{"MachineUse",
                            [](ConfigTables& c) {
                                c.ZoneUsesMachine[4][9] = 1, c.ZoneUsesMachine[4][10] = 0;
                                c.ZoneUsesMachine[4][11] = 5;
                            },
                            {"zone 4 now uses machine 9", "zone 4 no longer uses machine 10",
                             "zone 4 machine 11 use: stored 0 -> stored 5"}},
                    DiffRow{"Remarks",
                            [](ConfigTables& c) {
                                c.ZoneRemark[2] = QStringLiteral("走廊");
                                c.TaskRemark[3] =
                                    QStringLiteral("A") + QChar(0) + QStringLiteral("B");
                            },
                            {"zone 2 remark: 大厅 -> 走廊",
                             "task 3 remark: \"\" -> A [stored 0041 0000 0042" +
                                 QString(" 0000").repeated(17) + "]"}}),
    [](const testing::TestParamInfo<DiffRow>& info) { return std::string(info.param.name); });

ConfigTables BusySite() {
    ConfigTables c;
    for (int zone = 1; zone <= kZones; ++zone) {
        for (int slot = 1; slot <= kSlots; ++slot) {
            if ((zone * 7 + slot * 3) % 5 == 0) {
                Set(c, zone, slot, uint8_t(1 + (zone + slot) % 24), uint8_t(1 + slot * 3),
                    uint8_t(1 + slot % 30));
            }
        }
    }
    Set(c, 1, 1, 8, 1, 0);   // not programmed: no mark
    Set(c, 1, 2, 30, 1, 5);  // programmed, but no time of the day: listed, no mark
    return c;
}

// What the sheet must not hide: a task with a part not set, an address given to two machines,
// and two tasks of one zone at one minute (one mark with both scenes, flagged, not one on top of
// the other).
TEST(SiteReport, ShowsWhatWouldOtherwiseBeHidden) {
    ConfigTables c;
    Set(c, 3, 4, 0, 31, 26);  // --:30 scene 26
    c.MachineIp[5] = c.MachineIp[12] = 31;
    Set(c, 6, 1, 8, 1, 4);
    Set(c, 6, 2, 8, 1, 7);
    const QString html = SiteReportHtml(c, {QStringLiteral("/site/TASK.M45"), {}, {}});
    for (const char* shown :
         {"<td>--:30</td><td>26</td><td>4</td>", "部分设置", "地址 031 同时分给了机器 5, 12",
          ">4/7</text>", "同一分钟有 2 个任务", "<html lang=\"zh-CN\">"}) {
        EXPECT_TRUE(html.contains(QString::fromUtf8(shown))) << shown;
    }
    EXPECT_EQ(html.count(QStringLiteral("<g class=\"mark\">")), 1);
}

// One mark per minute of the day at which a zone has programmed tasks.
TEST(SiteReport, OneMarkPerProgrammedTaskOfTheDay) {
    const ConfigTables c = BusySite();
    int expected = 0;
    for (int zone = 1; zone <= kZones; ++zone) {
        for (const ZoneDayEntry& e : ZoneDay(c, zone)) {
            expected += e.inDay() ? 1 : 0;
        }
    }
    const QString html = SiteReportHtml(c, {QStringLiteral("/site/TASK.M45"), {}, {}});
    EXPECT_GT(expected, 50);
    EXPECT_EQ(html.count(QStringLiteral("<g class=\"mark\">")), expected);
    EXPECT_EQ(html.count(QStringLiteral("<svg")), 1);
    EXPECT_TRUE(html.contains(QStringLiteral("<td>(stored 30):00</td><td>5</td><td>2</td>")));
    // Self-contained: nothing is fetched (the SVG namespace is a name, not a resource).
    EXPECT_FALSE(
        html.contains(QRegularExpression(QStringLiteral("src=|href=|<link|<script|url\\("))));
}

TEST(SiteReport, EveryTextFromTheFileIsEscaped) {
    ConfigTables c;
    c.ZoneRemark[3] = QStringLiteral("<b>&\"%1") + QChar(0) + QStringLiteral("hidden");
    c.TaskRemark[1] = QStringLiteral("</svg><i>") + QChar(0xD800);
    Set(c, 3, 1, 8, 31, 2);
    const QString html = SiteReportHtml(c, {QStringLiteral("/a<b>/TASK.M45"), {}, {}});
    EXPECT_FALSE(html.contains(QStringLiteral("<b>&")));
    EXPECT_FALSE(html.contains(QStringLiteral("<i>")));
    EXPECT_FALSE(html.contains(QStringLiteral("/a<b>")));
    EXPECT_FALSE(html.contains(QStringLiteral("hidden")));
    EXPECT_TRUE(html.contains(QStringLiteral("&lt;b&gt;&amp;&quot;%1")));
    EXPECT_TRUE(html.contains(QStringLiteral("&lt;/svg&gt;&lt;i&gt;") +
                              QChar(QChar::ReplacementCharacter)));
    EXPECT_EQ(html.count(QStringLiteral("</svg>")), 1);
}

}  // namespace
