// Window Form主窗体: its control table, one row per control, and twips turned into pixels.

#include "ui/control_table.h"

#include <algorithm>
#include <cmath>

namespace {

using K = ControlKind;
constexpr Qt::Alignment kRight = Qt::AlignRight | Qt::AlignTop;
constexpr Qt::Alignment kCentre = Qt::AlignHCenter | Qt::AlignTop;
constexpr const char* kWindow = "";  // the container of the frames, the log box and its button

// One maker per kind, so that each row says only what its kind has: name, container, caption,
// then left, top, width and height in twips, as the layout lists them.

ControlRow Group(const char* name, const char* parent, const char* caption, int left, int top,
                 int width, int height) {
    return {name, K::GroupBox, parent, caption, left, top, width, height};
}

ControlRow Label(const char* name, const char* parent, const char* caption, int left, int top,
                 int width, int height, Qt::Alignment align, ControlFont font = {}) {
    return {name, K::Label, parent, caption, left, top, width, height, align, font};
}

// A drop-down list; the caption is the text its edit field shows before anything is chosen.
ControlRow List(const char* name, const char* parent, const char* caption, int left, int top,
                int width, int height) {
    return {name, K::ComboBox, parent, caption, left, top, width, height};
}

ControlRow Button(const char* name, const char* parent, const char* caption, int left, int top,
                  int width, int height) {
    return {name, K::PushButton, parent, caption, left, top, width, height};
}

// `count` buttons of `width` x `height`, element 1 at (left, top), `columns` to a row.
ControlRow ButtonGrid(const char* name, const char* parent, int left, int top, int width,
                      int height, int count, int columns, int pitchX, int pitchY) {
    ControlRow row{name, K::ButtonArray, parent, "", left, top, width, height};
    row.count = count;
    row.columns = columns;
    row.pitchX = pitchX;
    row.pitchY = pitchY;
    return row;
}

ControlRow Edit(const char* name, const char* parent, const char* caption, int left, int top,
                int width, int height) {
    return {name, K::LineEdit, parent, caption, left, top, width, height};
}

ControlRow Log(const char* name, const char* parent, int left, int top, int width, int height) {
    return {name, K::LogBox, parent, "", left, top, width, height};
}

// A horizontal line from (x1, y) to (x2, y), `thickness` pixels wide.
ControlRow Line(const char* name, const char* parent, int x1, int y, int x2, int thickness) {
    return {name, K::HLine, parent, "", x1, y, x2 - x1, thickness};
}

ControlRow Hidden(ControlRow row) {
    row.initiallyHidden = true;
    return row;
}

}  // namespace

const std::vector<ControlRow>& MainWindowControls() {
    // Containers come before the controls they hold; later rows lie above earlier ones, so the
    // log box covers everything and the exit button lies above the log box. The captions are the
    // designed texts; they are translated where the controls are made, in the window's context.
    static const std::vector<ControlRow> table = {
        Group("Frame1", kWindow, "", 120, 0, 15495, 975),
        Label("Label4", "Frame1", QT_TRANSLATE_NOOP("Form主窗体", "串口"), 360, 400, 495, 375,
              kRight),
        List("Combo串口", "Frame1", "1", 960, 360, 1095, 300),
        Button("Command下载参数到机器", "Frame1", QT_TRANSLATE_NOOP("Form主窗体", "下载参数到机器"),
               2520, 240, 1815, 495),
        Button("Command保存", "Frame1", QT_TRANSLATE_NOOP("Form主窗体", "保存"), 4920, 240, 1695,
               495),
        Button("Command电脑时间同步", "Frame1", QT_TRANSLATE_NOOP("Form主窗体", "电脑时间同步"),
               13680, 240, 1695, 495),

        Group("Frame区域", kWindow, QT_TRANSLATE_NOOP("Form主窗体", "区域"), 120, 960, 15495, 2775),
        ButtonGrid("Command区域", "Frame区域", 240, 240, 1455, 495, 32, 8, 1560, 600),
        Label("Label1", "Frame区域", QT_TRANSLATE_NOOP("Form主窗体", "区域备注"), 13080, 1800, 1935,
              375, kCentre),
        Edit("Text区域备注", "Frame区域", "", 13080, 2160, 1935, 375),

        Group("Frame机器", kWindow,
              QT_TRANSLATE_NOOP("Form主窗体",
                                "选择机器IP   (鼠标左键选择修改IP，右键选择区域使用的IP)"),
              120, 3840, 15495, 2775),
        ButtonGrid("Command机器IP", "Frame机器", 240, 240, 735, 495, 64, 16, 840, 600),
        Label("Label5", "Frame机器", QT_TRANSLATE_NOOP("Form主窗体", "修改IP"), 14040, 1920, 855,
              375, kCentre),
        List("Combo修改IP", "Frame机器", QT_TRANSLATE_NOOP("Form主窗体", "无"), 14040, 2160, 975,
             300),

        Group("Frame定时任务", kWindow, QT_TRANSLATE_NOOP("Form主窗体", "定时任务"), 120, 6720,
              15495, 3015),
        ButtonGrid("Command定时任务", "Frame定时任务", 240, 240, 2300, 615, 18, 6, 2400, 720),
        Line("Line1", "Frame定时任务", 240, 2400, 14640, 3),
        Label("Label7", "Frame定时任务", QT_TRANSLATE_NOOP("Form主窗体", "触发时间"), 360, 2560,
              975, 255, kRight),
        List("Combo小时", "Frame定时任务", QT_TRANSLATE_NOOP("Form主窗体", "无"), 1440, 2520, 735,
             300),
        Label("Label8", "Frame定时任务", QT_TRANSLATE_NOOP("Form主窗体", "："), 2120, 2500, 495,
              375, kCentre, {"宋体", 14.25}),
        List("Combo分钟", "Frame定时任务", QT_TRANSLATE_NOOP("Form主窗体", "无"), 2400, 2520, 735,
             300),
        Label("Label2", "Frame定时任务", QT_TRANSLATE_NOOP("Form主窗体", "场景"), 3480, 2560, 735,
              255, kRight),
        List("Combox场景", "Frame定时任务", QT_TRANSLATE_NOOP("Form主窗体", "无"), 4320, 2520, 975,
             300),
        Label("Label6", "Frame定时任务", QT_TRANSLATE_NOOP("Form主窗体", "任务备注"), 11120, 2565,
              1095, 255, kRight),
        Edit("Text任务备注", "Frame定时任务", "", 12240, 2520, 2295, 375),

        Hidden(Log("Text下载显示", kWindow, 240, 9960, 15135, 7215)),
        Hidden(Button("Command退出下载", kWindow, QT_TRANSLATE_NOOP("Form主窗体", "退出"), 11040,
                      9960, 1575, 615)),
    };
    return table;
}

namespace {

double g_layoutScale = 1.0;

}  // namespace

void SetLayoutScale(double scale) {
    g_layoutScale = std::clamp(scale, 0.25, 1.0);
}

double LayoutScale() {
    return g_layoutScale;
}

double ScaleToFit(QSize available, QSize decoration) {
    const double width = kClientWidthTwips / kTwipsPerPixel;
    const double height = kClientHeightTwips / kTwipsPerPixel;
    const double scale = std::min((available.width() - decoration.width()) / width,
                                  (available.height() - decoration.height()) / height);
    return std::clamp(scale, 0.25, 1.0);
}

int TwipsToPixels(int twips) {
    return int(std::lround(twips * g_layoutScale / kTwipsPerPixel));
}

QRect TwipsToPixels(int left, int top, int width, int height) {
    const int x = TwipsToPixels(left);
    const int y = TwipsToPixels(top);
    return QRect(x, y, TwipsToPixels(left + width) - x, TwipsToPixels(top + height) - y);
}

QString ArrayElementName(const char* arrayName, int element) {
    return QString::fromUtf8(arrayName) + '(' + QString::number(element) + ')';
}
