// The zone, machine and task buttons as they are painted: the highlight colour, the platform's
// neutral face, and captions wrapped onto the lines a button has.

#include "support/ui_rig.h"

#include <gtest/gtest.h>
#include <QImage>
#include <QPushButton>
#include <QTextDocument>

namespace {

// Pixels of a painted button that `match`.
template <typename Match>
int CountPixels(QWidget* button, Match match) {
    const QImage image = button->grab().toImage().convertToFormat(QImage::Format_RGB32);
    int n = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            n += match(image.pixelColor(x, y), x, y) ? 1 : 0;
        }
    }
    return n;
}

bool Dark(QColor c, int, int) {
    return qGray(c.rgb()) < 96;
}

// A tooltip as it is displayed: markup is rendered, plain text shown as it is.
QString ShownToolTip(const QWidget* w) {
    QTextDocument shown;
    if (Qt::mightBeRichText(w->toolTip())) {
        shown.setHtml(w->toolTip());
    } else {
        shown.setPlainText(w->toolTip());
    }
    return shown.toPlainText();
}

}  // namespace

// Highlighted buttons are flat in exactly red 128, green 255, blue 128, inside a frame of another
// colour, with their caption on top.
TEST(GridButtons, HighlightIsFlatInItsColourWithFrameAndCaption) {
    WindowRig rig;
    rig.config.ZoneRemark[1] = "Hall";
    rig.config.MachineIp[1] = 7;
    rig.config.ZoneUsesMachine[1][1] = 1;
    rig.config.TaskHour[1][1] = rig.config.TaskMinute[1][1] = rig.config.TaskScene[1][1] = 1;
    Form主窗体& w = rig.load();
    w.Command区域_Click(1);
    for (QPushButton* button : {w.Command区域(1), w.Command机器IP(1), w.Command定时任务(1)}) {
        ASSERT_TRUE(IsHighlighted(button));
        const int width = button->width(), height = button->height();
        const int fill =
            CountPixels(button, [](QColor c, int, int) { return c == kHighlightColour; });
        const int frame = CountPixels(button, [&](QColor c, int x, int y) {
            const bool edge = x == 0 || y == 0 || x == width - 1 || y == height - 1;
            return edge && c != kHighlightColour;
        });
        EXPECT_GT(fill, width * height * 3 / 4) << button->objectName().toStdString();
        EXPECT_EQ(frame, 2 * (width + height) - 4) << button->objectName().toStdString();
        EXPECT_GT(CountPixels(button, Dark), 10) << button->objectName().toStdString();
    }
}

// A neutral button is painted as the platform paints a plain push button, never in the highlight.
TEST(GridButtons, NeutralFaceIsThePlatformButton) {
    WindowRig rig;
    rig.config.ZoneRemark[2] = "Hall";
    Form主窗体& w = rig.load();
    QPushButton* neutral = w.Command区域(3);
    ASSERT_FALSE(IsHighlighted(neutral));
    QPushButton plain(neutral->parentWidget());
    plain.setGeometry(neutral->geometry());
    EXPECT_EQ(neutral->grab().toImage(), plain.grab().toImage());
    EXPECT_EQ(
        CountPixels(w.Command区域(2), [](QColor c, int, int) { return c == kHighlightColour; }), 0);
}

// Captions wrap onto the lines a button has (Chinese anywhere, Latin at spaces, a word wider than
// the line anywhere); what still does not fit ends in "…". text() stays the logical caption.
TEST(GridButtons, CaptionsWrapOntoTheButtonsLinesAndElideTheRest) {
    WindowRig rig;
    Form主窗体& w = rig.load();
    const QString walk(20, QChar(0x8D70));  // 走 x 20
    const struct {
        int zone;  // 0: the remark of task slot 1, shown on task button 1
        QString remark;
        int lines;
        bool elided;
        QString joined;  // the lines joined by "|", when it is the same in every font
    } rows[] = {
        {1, QStringLiteral("大厅"), 1, false, QStringLiteral("大厅")},
        {1, QStringLiteral("[9]\r\n二楼东"), 2, false, QStringLiteral("[9]|二楼东")},
        {1, "A&B", 1, false, "A&B"},
        {1, "Meeting room 2 north", 2, false, {}},
        {1, "MainRoadLampsSouth01", 2, false, {}},
        {1, walk, 2, true, {}},
        {0, QStringLiteral("走廊"), 2, false, QStringLiteral("[1]|走廊")},
        {0, "", 2, false, "[1]|"},
        {0, walk, 2, true, {}},
        {0, "a\r\nb", 2, true, QStringLiteral("[1]|a…")},
    };
    for (const auto& row : rows) {
        (row.zone ? rig.config.ZoneRemark[row.zone] : rig.config.TaskRemark[1]) = row.remark;
        w.Command区域_Click(1);
        auto* button = static_cast<GridButton*>(row.zone ? w.Command区域(1) : w.Command定时任务(1));
        const std::string name = row.remark.toStdString();
        const CaptionLayout caption = button->captionLayout();
        ASSERT_EQ(caption.lines.size(), row.lines) << name;
        EXPECT_EQ(caption.elided, row.elided) << name;
        if (!row.joined.isNull()) {
            EXPECT_EQ(caption.lines.join('|'), row.joined) << name;
        }
        for (const QString& line : caption.lines) {
            EXPECT_LE(button->fontMetrics().horizontalAdvance(line), button->width() - 4) << name;
        }
        // Nothing is left out before the cut, and nothing at all without one.
        QString shown = caption.lines.join(QString()).remove(' ');
        QString logical = PlainCaption(button->text()).remove('\n').remove(' ');
        if (row.elided) {
            ASSERT_TRUE(shown.endsWith(QChar(0x2026))) << name;
            shown.chop(1);
            EXPECT_TRUE(logical.startsWith(shown)) << name;
            EXPECT_LT(shown.size(), logical.size()) << name;
        } else {
            EXPECT_EQ(shown, logical) << name;
        }
    }
}

// Zone and task buttons tell their whole remark, as shown, in a tooltip; no remark, no tooltip.
TEST(GridButtons, ToolTipsTellTheWholeRemark) {
    WindowRig rig;
    Form主窗体& w = rig.load();
    ConfigTables& c = rig.config;
    c.ZoneRemark[1] = QString(20, QChar(0x8D70));
    c.ZoneRemark[2] = QString("ab") + QChar(0) + "cd";
    c.ZoneRemark[3] = QStringLiteral("[1]\r\n走廊");
    c.ZoneRemark[4] = "<b>A&B</b>";
    c.TaskRemark[1] = "Meeting room 2 north";  // task 2 has none
    w.Command区域_Click(1);
    const struct {
        QPushButton* button;
        QString shown;
    } rows[] = {
        {w.Command区域(1), QStringLiteral("区域 1\n") + QString(20, QChar(0x8D70))},
        {w.Command区域(2), QStringLiteral("区域 2\nab")},
        {w.Command区域(3), QStringLiteral("区域 3\n[1]\n走廊")},
        {w.Command区域(4), QStringLiteral("区域 4\n<b>A&B</b>")},
        {w.Command区域(5), QStringLiteral("区域 5")},
        {w.Command定时任务(1), "Meeting room 2 north"},
        {w.Command定时任务(2), ""},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(ShownToolTip(row.button), row.shown) << row.button->objectName().toStdString();
    }
}

// A zone's tooltip lists its day: the programmed tasks (hour, minute and scene all set) in time
// order with their task remarks; a task with a part unset is not part of the day.
TEST(GridButtons, ZoneToolTipListsTheProgrammedTasksInTimeOrder) {
    WindowRig rig;
    Form主窗体& w = rig.load();
    ConfigTables& c = rig.config;
    c.ZoneRemark[6] = QStringLiteral("大厅");
    auto program = [&c](int slot, int hour, int minute, int scene) {
        c.TaskHour[6][slot] = uint8_t(hour + 1);
        c.TaskMinute[6][slot] = uint8_t(minute + 1);
        c.TaskScene[6][slot] = uint8_t(scene);
    };
    program(3, 18, 0, 2);
    program(1, 7, 30, 5);
    program(2, 12, 0, 0);  // no scene: not programmed
    c.TaskRemark[1] = QStringLiteral("开灯");
    c.TaskRemark[3] = QStringLiteral("关灯");
    w.Command区域_Click(6);
    EXPECT_EQ(ShownToolTip(w.Command区域(6)),
              QStringLiteral("区域 6\n大厅\n07:30  场景 05  开灯\n18:00  场景 02  关灯"));
    c.ZoneRemark[6].clear();
    w.Command区域_Click(6);
    EXPECT_EQ(ShownToolTip(w.Command区域(6)),
              QStringLiteral("区域 6\n07:30  场景 05  开灯\n18:00  场景 02  关灯"));
    EXPECT_TRUE(ShownToolTip(w.Command机器IP(37)).startsWith(QStringLiteral("机器 37")))
        << "its number";
}
