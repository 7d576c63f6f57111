#include "ui/control_table.h"

#include <cmath>

namespace {

using K = ControlKind;
constexpr Qt::Alignment kRight = Qt::AlignRight | Qt::AlignTop;
constexpr Qt::Alignment kCentre = Qt::AlignHCenter | Qt::AlignTop;

}  // namespace

const std::vector<ControlRow>& MainWindowControls() {
    // Containers come before the controls they hold; later rows lie above earlier ones, so the
    // log box covers everything and the exit button lies above the log box.
    static const std::vector<ControlRow> table = {
        {"Frame1", K::GroupBox, "", "", 120, 0, 15495, 975},
        {"Label4", K::Label, "Frame1", "串口", 360, 400, 495, 375, kRight},
        {"Combo串口", K::ComboBox, "Frame1", "1", 960, 360, 1095, 300},
        {"Command下载参数到机器", K::PushButton, "Frame1", "下载参数到机器", 2520, 240, 1815, 495},
        {"Command保存", K::PushButton, "Frame1", "保存", 4920, 240, 1695, 495},
        {"Command电脑时间同步", K::PushButton, "Frame1", "电脑时间同步", 13680, 240, 1695, 495},

        {"Frame区域", K::GroupBox, "", "区域", 120, 960, 15495, 2775},
        {"Command区域",
         K::ButtonArray,
         "Frame区域",
         "",
         240,
         240,
         1455,
         495,
         {},
         nullptr,
         0,
         false,
         32,
         8,
         1560,
         600},
        {"Label1", K::Label, "Frame区域", "区域备注", 13080, 1800, 1935, 375, kCentre},
        {"Text区域备注", K::LineEdit, "Frame区域", "", 13080, 2160, 1935, 375},

        {"Frame机器", K::GroupBox, "", "选择机器IP   (鼠标左键选择修改IP，右键选择区域使用的IP)",
         120, 3840, 15495, 2775},
        {"Command机器IP",
         K::ButtonArray,
         "Frame机器",
         "",
         240,
         240,
         735,
         495,
         {},
         nullptr,
         0,
         false,
         64,
         16,
         840,
         600},
        {"Label5", K::Label, "Frame机器", "修改IP", 14040, 1920, 855, 375, kCentre},
        {"Combo修改IP", K::ComboBox, "Frame机器", "无", 14040, 2160, 975, 300},

        {"Frame定时任务", K::GroupBox, "", "定时任务", 120, 6720, 15495, 3015},
        {"Command定时任务",
         K::ButtonArray,
         "Frame定时任务",
         "",
         240,
         240,
         2300,
         615,
         {},
         nullptr,
         0,
         false,
         18,
         6,
         2400,
         720},
        {"Line1", K::HLine, "Frame定时任务", "", 240, 2400, 14640 - 240, 3},
        {"Label7", K::Label, "Frame定时任务", "触发时间", 360, 2560, 975, 255, kRight},
        {"Combo小时", K::ComboBox, "Frame定时任务", "无", 1440, 2520, 735, 300},
        {"Label8", K::Label, "Frame定时任务", "：", 2120, 2500, 495, 375, kCentre, "宋体", 14.25},
        {"Combo分钟", K::ComboBox, "Frame定时任务", "无", 2400, 2520, 735, 300},
        {"Label2", K::Label, "Frame定时任务", "场景", 3480, 2560, 735, 255, kRight},
        {"Combox场景", K::ComboBox, "Frame定时任务", "无", 4320, 2520, 975, 300},
        {"Label6", K::Label, "Frame定时任务", "任务备注", 11120, 2565, 1095, 255, kRight},
        {"Text任务备注", K::LineEdit, "Frame定时任务", "", 12240, 2520, 2295, 375},

        {"Text下载显示", K::LogBox, "", "", 240, 9960, 15135, 7215, {}, nullptr, 0, true},
        {"Command退出下载",
         K::PushButton,
         "",
         "退出",
         11040,
         9960,
         1575,
         615,
         {},
         nullptr,
         0,
         true},
    };
    return table;
}

int TwipsToPixels(int twips) {
    return int(std::lround(twips / kTwipsPerPixel));
}

QRect TwipsToPixels(int left, int top, int width, int height) {
    const int x = TwipsToPixels(left);
    const int y = TwipsToPixels(top);
    return QRect(x, y, TwipsToPixels(left + width) - x, TwipsToPixels(top + height) - y);
}

QString ArrayElementName(const char* arrayName, int element) {
    return QString::fromUtf8(arrayName) + '(' + QString::number(element) + ')';
}
