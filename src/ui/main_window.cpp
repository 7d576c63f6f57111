// Window Form主窗体: its controls built from the control table, its load and unload, the save,
// time and download buttons, the log view, and the filter that keeps typing out of the lists.
// M_Form主窗体 and the editing handlers are in main_window_logic.cpp, the port list in
// port_list.cpp, the controls' making in widget_factory.cpp.

#include "ui/main_window.h"

#include "config/taskfile.h"
#include "serial/port_map.h"
#include "ui/control_table.h"
#include "ui/grid_keys.h"
#include "ui/list_box.h"
#include "ui/port_list.h"
#include "ui/widget_factory.h"
#include "ui/window_menus.h"

#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QFrame>
#include <QGroupBox>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMap>
#include <QPainter>
#include <QPainterPath>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QSignalBlocker>
#include <QToolTip>

namespace {

// Typed characters (backspace, delete and control characters such as paste included) are
// discarded; navigation keys still choose items.
bool IsTypedCharacter(const QKeyEvent* key) {
    switch (key->key()) {
        case Qt::Key_Return:
        case Qt::Key_Enter:
        case Qt::Key_Escape:
        case Qt::Key_Tab:
        case Qt::Key_Backtab:
            return false;
        case Qt::Key_Backspace:
        case Qt::Key_Delete:
            return true;
        default:
            return !key->text().isEmpty();
    }
}

// The list that a watched part (the list, its edit field or its drop-down) belongs to.
const QComboBox* OwningList(const QObject* part) {
    for (const QObject* o = part; o != nullptr; o = o->parent()) {
        if (const auto* list = qobject_cast<const QComboBox*>(o)) {
            return list;
        }
    }
    return nullptr;
}

}  // namespace

namespace {

// Room for the title bar, the borders and a menu bar around the client area, in pixels.
const QSize kDecoration(24, 96);

// The designed size when it fits the screen; otherwise the largest scale that does (a 1366x768
// laptop at 125 % has some 1093x582 pixels free). A headless screen (offscreen, minimal) has
// nothing to fit.
double ScreenScale() {
    const QScreen* screen = QGuiApplication::primaryScreen();
    const QString platform = QGuiApplication::platformName();
    if (screen == nullptr || platform == QLatin1String("offscreen") ||
        platform == QLatin1String("minimal")) {
        return 1.0;
    }
    return ScaleToFit(screen->availableGeometry().size(), kDecoration);
}

}  // namespace

Form主窗体::Form主窗体(MainWindowDeps deps) : deps_(std::move(deps)) {
    SetLayoutScale(ScreenScale());
    setObjectName(QStringLiteral("Form主窗体"));
    setFont(WindowFont());
    BuildMenuBarAndClientArea();
    setWindowIcon(MainWindowIcon());
    setAttribute(Qt::WA_QuitOnClose, false);  // the main loop ends the process, not Qt
    BuildControls();
    portSelector_ = std::make_unique<ComboPortSelector>(Combo串口, deps_.process.SystemIniPath);
    // Probed again each time it opens: an adapter plugged in after start-up is listed without a
    // restart. Neither the remembered port nor the list's text changes by it.
    static_cast<ListBox*>(Combo串口)->beforePopup = [this] {
        static_cast<ComboPortSelector&>(*portSelector_).relist(deps_.serial.port.ProbePorts());
    };
    transfer_ =
        std::make_unique<TransferContext>(deps_.serial.transferContext(deps_.config, *this));
    transferView_ = std::make_unique<TransferView>(
        client_, findChild<QWidget*>(QStringLiteral("Frame1")), [this] { return TransferPortNow(); },
        [this] { return deps_.serial.clock.timeGetTime(); });
    ConnectHandlers();
    menus_->attachToControls();
    SetFixedToolTips();
    SetGridKeys();
}

void Form主窗体::SetGridKeys() {
    const auto columns = [](std::string_view name) {
        for (const ControlRow& row : MainWindowControls()) {
            if (row.kind == ControlKind::ButtonArray && name == row.name) {
                return row.columns;
            }
        }
        return 1;
    };
    auto* keys = new GridKeys(this);
    keys->add(
        {&Command区域, kZones, columns("Command区域"), [this](int n) { Command区域_Click(n); }});
    keys->add({&Command定时任务, kSlots, columns("Command定时任务"),
               [this](int n) { Command定时任务_Click(n); }});
    keys->add({&Command机器IP, kMachines, columns("Command机器IP"),
               [this](int n) { Command机器IP_MouseDown(n, int(Qt::LeftButton)); },
               [this](int n) { Command机器IP_MouseDown(n, int(Qt::RightButton)); },
               [this](int n) {
                   return CurZone >= 1 && CurZone <= kZones &&
                          deps_.config.ZoneUsesMachine[size_t(CurZone)][size_t(n)] == 1;
               },
               QCoreApplication::translate("Form主窗体", "本区域使用这台机器")});
}

void Form主窗体::MarkRemarkLength(QLineEdit* box) {
    const QString text = box->text();
    const bool over = text.size() > kRemarkUnits;
    QPalette palette = box->palette();
    palette.setColor(QPalette::Base, over ? QColor(255, 228, 196)
                                          : QApplication::palette(box).color(QPalette::Base));
    box->setPalette(palette);
    const QString note =
        over ? QCoreApplication::translate(
                   "Form主窗体", "备注只保存前 %1 个字符（“%2”），多出的 %3 个字符不会保存")
                   .arg(kRemarkUnits)
                   .arg(text.left(kRemarkUnits))
                   .arg(text.size() - kRemarkUnits)
             : QString();
    box->setToolTip(note);
    if (over && box->hasFocus()) {
        QToolTip::showText(box->mapToGlobal(QPoint(0, box->height())), note, box);
    } else if (!over) {
        QToolTip::hideText();
    }
}

void Form主窗体::SetFixedToolTips() {
    Command下载参数到机器->setToolTip(
        QCoreApplication::translate("Form主窗体", "保存配置，再经所选串口把任务文件下载到控制器"));
    Command保存->setToolTip(QCoreApplication::translate("Form主窗体", "把配置保存到任务文件 %1")
                                .arg(QDir::toNativeSeparators(taskFilePath())));
    Command电脑时间同步->setToolTip(
        QCoreApplication::translate("Form主窗体", "把控制器的时钟设为这台电脑的当前日期和时间"));
    for (int m = 1; m <= kMachines; ++m) {
        Command机器IP(m)->setToolTip(
            QCoreApplication::translate(
                "Form主窗体", "机器 %1（左键或空格：修改地址；右键或 Ctrl+空格：本区域使用/不用）")
                .arg(m));
    }
}

Form主窗体::~Form主窗体() = default;

QString Form主窗体::taskFilePath() const {
    return deps_.serial.taskFilePath();
}

PortSelector& Form主窗体::portSelector() {
    return *portSelector_;
}

// Every row of the control table becomes its control; containers come before what they hold.
void Form主窗体::BuildControls() {
    QMap<QString, QWidget*> containers{{QString(), client_}};
    for (const ControlRow& row : MainWindowControls()) {
        QWidget* parent = containers.value(QString::fromUtf8(row.parent), client_);
        if (row.kind == ControlKind::ButtonArray) {
            BuildButtonArray(row, parent);
            continue;
        }
        QWidget* control = BuildControl(row, parent);
        if (row.kind == ControlKind::GroupBox) {
            containers.insert(QString::fromUtf8(row.name), control);
        }
    }
    FindControlsByName();
}

// One control of any kind but a button array: named, placed, in its own font if it has one,
// hidden if the layout hides it.
QWidget* Form主窗体::BuildControl(const ControlRow& row, QWidget* parent) {
    QWidget* control = NewControl(row, parent, this);
    control->setObjectName(QString::fromUtf8(row.name));
    control->setGeometry(PixelGeometry(row));
    if (row.font.family != nullptr) {
        control->setFont(OwnFont(row.font));
    }
    if (row.initiallyHidden) {
        control->hide();
    }
    return control;
}

// Elements 1..count, each named "<array>(n)". The machine buttons' presses go through the
// window's event filter, which tells the mouse buttons apart.
void Form主窗体::BuildButtonArray(const ControlRow& grid, QWidget* parent) {
    ButtonArray& array = ArrayNamed(grid.name);
    for (int n = 1; n <= grid.count; ++n) {
        auto* button = new GridButton(parent);
        button->setObjectName(ArrayElementName(grid.name, n));
        button->setGeometry(ElementGeometry(grid, n));
        array.set(n, button);
        if (&array == &Command机器IP) {
            button->installEventFilter(this);
        }
    }
}

ButtonArray& Form主窗体::ArrayNamed(std::string_view name) {
    if (name == "Command区域") {
        return Command区域;
    }
    if (name == "Command机器IP") {
        return Command机器IP;
    }
    return Command定时任务;
}

void Form主窗体::FindControlsByName() {
    Combo串口 = findChild<QComboBox*>(QStringLiteral("Combo串口"));
    Combo小时 = findChild<QComboBox*>(QStringLiteral("Combo小时"));
    Combo分钟 = findChild<QComboBox*>(QStringLiteral("Combo分钟"));
    Combox场景 = findChild<QComboBox*>(QStringLiteral("Combox场景"));
    Combo修改IP = findChild<QComboBox*>(QStringLiteral("Combo修改IP"));
    Text区域备注 = findChild<QLineEdit*>(QStringLiteral("Text区域备注"));
    Text任务备注 = findChild<QLineEdit*>(QStringLiteral("Text任务备注"));
    Text下载显示 = findChild<QPlainTextEdit*>(QStringLiteral("Text下载显示"));
    Command退出下载 = findChild<QPushButton*>(QStringLiteral("Command退出下载"));
    Command保存 = findChild<QPushButton*>(QStringLiteral("Command保存"));
    Command电脑时间同步 = findChild<QPushButton*>(QStringLiteral("Command电脑时间同步"));
    Command下载参数到机器 = findChild<QPushButton*>(QStringLiteral("Command下载参数到机器"));
}

void Form主窗体::ConnectHandlers() {
    for (int n = 1; n <= kZones; ++n) {
        connect(Command区域(n), &QPushButton::clicked, this, [this, n] { Command区域_Click(n); });
    }
    for (int n = 1; n <= kSlots; ++n) {
        connect(Command定时任务(n), &QPushButton::clicked, this,
                [this, n] { Command定时任务_Click(n); });
    }
    connect(Text区域备注, &QLineEdit::textChanged, this, [this] { Text区域备注_Change(); });
    connect(Text任务备注, &QLineEdit::textChanged, this, [this] { Text任务备注_Change(); });
    for (QLineEdit* box : {Text区域备注, Text任务备注}) {
        connect(box, &QLineEdit::textChanged, this, [this, box] { MarkRemarkLength(box); });
    }
    // A position set by the refresh raises these too, as a choice by the operator does.
    connect(Combo小时, &QComboBox::currentIndexChanged, this, [this] { Combo小时_Click(); });
    connect(Combo分钟, &QComboBox::currentIndexChanged, this, [this] { Combo分钟_Click(); });
    connect(Combox场景, &QComboBox::currentIndexChanged, this, [this] { Combox场景_Click(); });
    connect(Combo修改IP, &QComboBox::currentIndexChanged, this, [this] { Combo修改IP_Click(); });
    // Only the operator's choice selects a port; the probe filling the list does not.
    connect(Combo串口, &QComboBox::activated, this, [this] { Combo串口_Click(); });
    connect(Command保存, &QPushButton::clicked, this, [this] { Command保存_Click(); });
    connect(Command电脑时间同步, &QPushButton::clicked, this,
            [this] { Command电脑时间同步_Click(); });
    connect(Command下载参数到机器, &QPushButton::clicked, this,
            [this] { Command下载参数到机器_Click(); });
    connect(Command退出下载, &QPushButton::clicked, this, [this] { Command退出下载_Click(); });
}

bool Form主窗体::eventFilter(QObject* watched, QEvent* event) {
    for (int n = 1; n <= kMachines; ++n) {
        if (watched == Command机器IP(n)) {
            // A quick second press arrives as a double-click; it is a press all the same.
            if (event->type() == QEvent::MouseButtonPress ||
                event->type() == QEvent::MouseButtonDblClick) {
                Command机器IP_MouseDown(n, int(static_cast<QMouseEvent*>(event)->button()));
            }
            return QWidget::eventFilter(watched, event);
        }
    }
    // The five lists (their edit fields and drop-downs too): typed characters and input-method
    // text are discarded.
    if (event->type() == QEvent::KeyPress && IsTypedCharacter(static_cast<QKeyEvent*>(event))) {
        return true;
    }
    if (event->type() == QEvent::InputMethod) {
        return true;
    }
    // A wheel turned while the pointer merely passes over a list must not change its value; the
    // list that has the keyboard focus turns, as on the platform the tool was designed for. The
    // open drop-down scrolls as usual.
    if (event->type() == QEvent::Wheel) {
        const QComboBox* list = OwningList(watched);
        return list != nullptr && watched != list->view() && !list->hasFocus();
    }
    return QWidget::eventFilter(watched, event);
}

namespace {

// "文件错误！" for a file that fails its header check; for one that loads but is not whole (cut
// short, random bytes behind its header), that only what could be read was loaded. Then the copy
// kept of the file, or why none could be kept.
QString LoadMessage(const LoadResult& loaded) {
    QString text = loaded.irregular
                       ? QCoreApplication::translate("Form主窗体",
                                                     "文件不完整或格式不符，已载入能读出的部分。")
                       : QCoreApplication::translate("Form主窗体", "文件错误！");
    if (!loaded.keptCopy.isEmpty()) {
        text += '\n' + QCoreApplication::translate("Form主窗体", "原文件已另存为：%1")
                           .arg(QDir::toNativeSeparators(loaded.keptCopy));
    } else if (!loaded.keepError.isEmpty()) {
        // The next save will overwrite the damaged file: the operator must know first.
        text += '\n' + QCoreApplication::translate("Form主窗体", "原文件未能另存，保存将覆盖它：%1")
                           .arg(loaded.keepError);
    }
    return text;
}

}  // namespace

void Form主窗体::Load() {
    setWindowTitle(QCoreApplication::translate("Form主窗体", kMainWindowTitle));
    QApplication::setApplicationDisplayName(windowTitle());
    Fun_FillLists();
    Fun_InitSelection();
    const LoadResult loaded = LoadTaskFile(deps_.config, taskFilePath());
    if (loaded.status == LoadStatus::HeaderMismatch || loaded.irregular) {
        deps_.messages.information(LoadMessage(loaded));
    }
    Command区域_Click(1);
    menus_->start();
}

void Form主窗体::closeEvent(QCloseEvent* event) {
    // The window's unload: the main loop saves and ends the process.
    deps_.process.ExitRequested = kTrue;
    event->accept();
}

void Form主窗体::showEvent(QShowEvent* event) {
    if (!centred_) {
        centred_ = true;
        if (const QScreen* s = screen()) {
            QRect frame = frameGeometry();
            frame.moveCenter(s->availableGeometry().center());
            move(frame.topLeft());
        }
    }
    QWidget::showEvent(event);
}

void Form主窗体::Combo串口_Click() {
    int32_t uart = Combo串口->currentText().trimmed().toInt();
    deps_.serial.session.Fun_串口选择(uart);
}

void Form主窗体::Command保存_Click() {
    const FileResult saved = SaveTaskFile(deps_.config, taskFilePath());
    if (!saved.ok) {
        deps_.messages.warning(QCoreApplication::translate("Form主窗体", "保存失败！\n%1\n%2")
                                   .arg(QDir::toNativeSeparators(taskFilePath()), saved.error));
    }
}

void Form主窗体::Command电脑时间同步_Click() {
    // A second operation started while one runs is refused by the transfer itself.
    Clock& clock = deps_.serial.clock;
    const uint32_t started = clock.timeGetTime();
    timeSync_ = TimeSyncSeen{};
    const TimeSyncOutcome outcome = Fun_TimeSync(*transfer_);
    if (outcome != TimeSyncOutcome::Busy) {
        // The time the operation took, not the time its box stayed open.
        const uint32_t ended = timeSync_.confirmed ? timeSync_.confirmedMs : clock.timeGetTime();
        transferView_->timeSyncFinished(outcome, ended - started, timeSync_.set);
    }
}

// The port the transfers use, the device behind it, and what became of it.
TransferPort Form主窗体::TransferPortNow() const {
    const int32_t number = deps_.serial.session.PortNumber;
    return TransferPort{number, deps_.serial.port.backend().devicePath(number),
                        deps_.serial.port.status()};
}

void Form主窗体::Command下载参数到机器_Click() {
    if (transfer_->busy) {
        return;  // a transfer is running: its log stays as it is
    }
    Text下载显示->setGeometry(client_->rect());
    Command退出下载->move(TwipsToPixels(12120), TwipsToPixels(120));
    logText_.clear();
    Text下载显示->clear();
    Command退出下载->hide();  // shown only once the download has returned
    Text下载显示->show();
    Text下载显示->raise();
    transferView_->openForDownload();
    SetEditingReachable(false);
    Fun_DownloadParams(*transfer_);
    Command退出下载->show();
    Command退出下载->raise();
}

void Form主窗体::Command退出下载_Click() {
    transferView_->close();
    Text下载显示->hide();
    Command退出下载->hide();
    SetEditingReachable(true);
}

// The log view covers the editing controls; keyboard focus must not reach them underneath
// (a Space on the focused download button would start another download behind the log).
void Form主窗体::SetEditingReachable(bool reachable) {
    for (const char* frame : {"Frame1", "Frame区域", "Frame机器", "Frame定时任务"}) {
        if (QWidget* w = findChild<QWidget*>(QString::fromUtf8(frame))) {
            w->setEnabled(reachable);
        }
    }
    menus_->setReachable(reachable);
    if (!reachable) {
        Text下载显示->setFocus(Qt::OtherFocusReason);
    }
}

void Form主窗体::append(const QString& text) {
    logText_ += text;
    QString shown = text;
    shown.remove(QLatin1Char('\r'));  // the box breaks lines at LF alone
    Text下载显示->moveCursor(QTextCursor::End);
    Text下载显示->insertPlainText(shown);
    Text下载显示->ensureCursorVisible();
}

void Form主窗体::timeSent(const QDateTime& set) {
    timeSync_.set = set;
}

void Form主窗体::showTimeSyncSuccess() {
    timeSync_.confirmed = true;
    timeSync_.confirmedMs = deps_.serial.clock.timeGetTime();
    deps_.messages.information(QCoreApplication::translate("Form主窗体", "时间同步成功！！！"));
}

void Form主窗体::downloadStarted(int32_t blocks) {
    transferView_->downloadStarted(blocks);
}

void Form主窗体::replyArrived() {
    transferView_->replyArrived();
}

void Form主窗体::blockAcknowledged(int32_t n, int32_t blocks, uint32_t elapsedMs) {
    transferView_->blockAcknowledged(n, blocks, elapsedMs);
}

void Form主窗体::downloadFinished(const DownloadResult& result) {
    transferView_->downloadFinished(result);
}

QIcon MainWindowIcon() {
    // A clock face on a teal tile: the tool programs timed tasks.
    QPixmap pixmap(64, 64);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0, 110, 120));
    p.drawRoundedRect(QRectF(2, 2, 60, 60), 12, 12);
    p.setBrush(Qt::white);
    p.drawEllipse(QPointF(32, 32), 22, 22);
    p.setPen(QPen(QColor(0, 110, 120), 5, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(32, 32), QPointF(32, 16));
    p.drawLine(QPointF(32, 32), QPointF(44, 38));
    p.end();
    return QIcon(pixmap);
}
