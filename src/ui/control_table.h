#pragma once
// Window Form主窗体: every control of the window in one table: name, kind, container, caption,
// geometry in twips (relative to the container), alignment and font. The window turns this table
// into widgets in one place; nothing else positions a control (except the log view, which the
// download handler spreads over the window).

#include <QRect>
#include <QSize>
#include <QString>
#include <Qt>
#include <vector>

// The client area of the main window, in twips.
inline constexpr int kClientWidthTwips = 16020;
inline constexpr int kClientHeightTwips = 10035;
// 1440 twips per inch at 96 dots per inch: 15 twips are one device-independent pixel. Qt scales
// device-independent pixels for high-DPI screens.
inline constexpr double kTwipsPerPixel = 15.0;

enum class ControlKind {
    GroupBox,
    Label,
    ComboBox,  // drop-down list with an edit field in which typing is suppressed
    PushButton,
    ButtonArray,  // elements 1..count named "<name>(n)", laid out in a grid
    LineEdit,     // single-line text box
    LogBox,       // multi-line, read-only text box
    HLine,
};

// A font of its own for one control; a null family keeps the window's font.
struct ControlFont {
    const char* family = nullptr;
    double points = 0;
};

struct ControlRow {
    const char* name;
    ControlKind kind;
    const char* parent;   // "" = the window itself
    const char* caption;  // as designed; the window shows it translated in context "Form主窗体"
    int left, top, width, height;  // twips; for a line: x1, y, x2 - x1, thickness in pixels
    Qt::Alignment align = Qt::AlignLeft | Qt::AlignTop;
    ControlFont font{};
    bool initiallyHidden = false;
    // Button arrays: element n sits at row (n-1)/columns, column (n-1)%columns, each step
    // adding pitchX/pitchY twips to left/top.
    int count = 0, columns = 0, pitchX = 0, pitchY = 0;
};

const std::vector<ControlRow>& MainWindowControls();

// Twips to device-independent pixels, rounding both edges so that neighbours do not overlap.
QRect TwipsToPixels(int left, int top, int width, int height);
int TwipsToPixels(int twips);

// The scale the window is drawn at: 1 as designed; less where the designed size does not fit the
// screen, so that no control is cut off. Set once, before the window is built.
void SetLayoutScale(double scale);
double LayoutScale();
// The largest scale (at most 1) at which the window and its frame (`decoration`: title bar,
// borders, menu bar) fit into `available`, the screen's area free of task bars.
double ScaleToFit(QSize available, QSize decoration);

// "Command区域(7)"
QString ArrayElementName(const char* arrayName, int element);
