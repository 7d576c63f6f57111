#include "ui/main_window.h"

#include "config/taskfile.h"
#include "serial/port_map.h"
#include "ui/control_table.h"

#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QFrame>
#include <QGroupBox>
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

namespace {

// The port list as the serial session sees it. The probe's entries and the remembered number
// are not operator choices, so none of these raises the list's selection handler. Each entry
// tells which device and adapter its number stands for.
class ComboPortSelector : public PortSelector {
  public:
    ComboPortSelector(QComboBox* combo, QString settingsPath)
        : combo_(combo), map_(std::move(settingsPath)) {}

    void clear() override {
        QSignalBlocker quiet(combo_);
        combo_->clear();
        updateToolTip();
    }
    void addItem(const QString& text) override {
        QSignalBlocker quiet(combo_);
        combo_->addItem(text);
        combo_->setItemData(combo_->count() - 1, describe(text), Qt::ToolTipRole);
        updateToolTip();
    }
    void setText(const QString& text) override {
        QSignalBlocker quiet(combo_);
        const int index = combo_->findText(text);
        if (index >= 0) {
            combo_->setCurrentIndex(index);
        }
        combo_->setEditText(text);
        updateToolTip();
    }
    QString text() const override { return combo_->currentText(); }

  private:
    QString describe(const QString& text) const {
        bool ok = false;
        const int number = text.toInt(&ok);
        if (!ok || number < kFirstPort || number > kLastPort) {
            return QStringLiteral("串口 %1：无此串口").arg(text);
        }
        QString line = QStringLiteral("串口 %1 = %2").arg(number).arg(map_.devicePath(number));
        const QString adapter = map_.description(number);
        if (!adapter.isEmpty()) {
            line += QStringLiteral("（%1）").arg(adapter);
        }
        return line;
    }
    void updateToolTip() {
        QStringList lines{describe(combo_->currentText())};
        if (combo_->count() > 0) {
            lines << QString() << QStringLiteral("找到的串口：");
            for (int i = 0; i < combo_->count(); ++i) {
                lines << combo_->itemData(i, Qt::ToolTipRole).toString();
            }
        }
        combo_->setToolTip(lines.join('\n'));
    }

    QComboBox* combo_;
    PortMap map_;
};

QFont WindowFont() {
    QFont font = QApplication::font();
    font.setFamilies({QStringLiteral("宋体"), QStringLiteral("SimSun"),
                      QStringLiteral("WenQuanYi Micro Hei"), font.family()});
    font.setPointSizeF(9);
    return font;
}

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

MainWindow::MainWindow(MainWindowDeps deps) : deps_(std::move(deps)) {
    setObjectName(QStringLiteral("Form主窗体"));
    setFont(WindowFont());
    setFixedSize(TwipsToPixels(kClientWidthTwips), TwipsToPixels(kClientHeightTwips));
    setWindowIcon(MainWindowIcon());
    setAttribute(Qt::WA_QuitOnClose, false);  // the main loop ends the process, not Qt
    BuildControls();
    portSelector_ = std::make_unique<ComboPortSelector>(comboPort_, deps_.process.SystemIniPath);
    transfer_.reset(new TransferContext{deps_.process, deps_.config, deps_.proto, deps_.session,
                                        deps_.port, taskFilePath(), *this, this});
    ConnectHandlers();
}

MainWindow::~MainWindow() = default;

QString MainWindow::taskFilePath() const {
    return TaskFilePath(deps_.appDir);
}

PortSelector& MainWindow::portSelector() {
    return *portSelector_;
}

void MainWindow::BuildControls() {
    QMap<QString, QWidget*> containers{{QString(), this}};
    for (const ControlRow& control : MainWindowControls()) {
        QWidget* parent = containers.value(QString::fromUtf8(control.parent), this);
        const QString name = QString::fromUtf8(control.name);
        const QString caption = QString::fromUtf8(control.caption);
        const QRect geometry =
            TwipsToPixels(control.left, control.top, control.width, control.height);
        QWidget* widget = nullptr;
        switch (control.kind) {
            case ControlKind::GroupBox:
                widget = new QGroupBox(caption, parent);
                containers.insert(name, widget);
                break;
            case ControlKind::Label: {
                auto* label = new QLabel(caption, parent);
                label->setAlignment(control.align);
                widget = label;
                break;
            }
            case ControlKind::ComboBox: {
                auto* combo = new QComboBox(parent);
                combo->setEditable(true);
                combo->setInsertPolicy(QComboBox::NoInsert);
                combo->lineEdit()->setReadOnly(true);
                // Neither the wheel nor an input method may put a value into a list: the wheel
                // does not give it the focus, and no input method composes text for it.
                combo->setFocusPolicy(Qt::StrongFocus);
                combo->setAttribute(Qt::WA_InputMethodEnabled, false);
                combo->setEditText(caption);
                combo->setMaxVisibleItems(16);
                for (QObject* part :
                     {static_cast<QObject*>(combo), static_cast<QObject*>(combo->lineEdit()),
                      static_cast<QObject*>(combo->view())}) {
                    part->installEventFilter(this);
                }
                widget = combo;
                break;
            }
            case ControlKind::PushButton:
                widget = new QPushButton(caption, parent);
                break;
            case ControlKind::ButtonArray:
                for (int n = 1; n <= control.count; ++n) {
                    auto* button = new GridButton(parent);
                    button->setObjectName(ArrayElementName(control.name, n));
                    const int row = (n - 1) / control.columns;
                    const int column = (n - 1) % control.columns;
                    button->setGeometry(TwipsToPixels(control.left + control.pitchX * column,
                                                      control.top + control.pitchY * row,
                                                      control.width, control.height));
                    if (name == QStringLiteral("Command区域")) {
                        zoneButtons_.at(n) = button;
                    } else if (name == QStringLiteral("Command机器IP")) {
                        machineButtons_.at(n) = button;
                        button->installEventFilter(this);
                    } else {
                        taskButtons_.at(n) = button;
                    }
                }
                continue;
            case ControlKind::LineEdit:
                // No length limit while editing: the box's whole text is the remark, and the task
                // file writer keeps its first 20 code units.
                widget = new QLineEdit(caption, parent);
                break;
            case ControlKind::LogBox: {
                auto* log = new QPlainTextEdit(parent);
                log->setReadOnly(true);
                widget = log;
                break;
            }
            case ControlKind::HLine: {
                auto* line = new QFrame(parent);
                line->setFrameShape(QFrame::HLine);
                line->setFrameShadow(QFrame::Plain);
                line->setLineWidth(control.height);
                widget = line;
                break;
            }
        }
        widget->setObjectName(name);
        if (control.kind == ControlKind::HLine) {
            widget->setGeometry(
                TwipsToPixels(control.left), TwipsToPixels(control.top) - control.height / 2,
                TwipsToPixels(control.left + control.width) - TwipsToPixels(control.left),
                control.height);
        } else {
            widget->setGeometry(geometry);
        }
        if (control.fontFamily != nullptr) {
            QFont font = WindowFont();
            font.setFamilies({QString::fromUtf8(control.fontFamily), QStringLiteral("SimSun"),
                              QStringLiteral("WenQuanYi Micro Hei")});
            font.setPointSizeF(control.fontPoints);
            widget->setFont(font);
        }
        if (control.initiallyHidden) {
            widget->hide();
        }
    }
    comboPort_ = findChild<QComboBox*>(QStringLiteral("Combo串口"));
    comboHour_ = findChild<QComboBox*>(QStringLiteral("Combo小时"));
    comboMinute_ = findChild<QComboBox*>(QStringLiteral("Combo分钟"));
    comboScene_ = findChild<QComboBox*>(QStringLiteral("Combox场景"));
    comboIp_ = findChild<QComboBox*>(QStringLiteral("Combo修改IP"));
    zoneRemark_ = findChild<QLineEdit*>(QStringLiteral("Text区域备注"));
    taskRemark_ = findChild<QLineEdit*>(QStringLiteral("Text任务备注"));
    logBox_ = findChild<QPlainTextEdit*>(QStringLiteral("Text下载显示"));
    exitLog_ = findChild<QPushButton*>(QStringLiteral("Command退出下载"));
    saveButton_ = findChild<QPushButton*>(QStringLiteral("Command保存"));
    syncButton_ = findChild<QPushButton*>(QStringLiteral("Command电脑时间同步"));
    downloadButton_ = findChild<QPushButton*>(QStringLiteral("Command下载参数到机器"));
}

void MainWindow::ConnectHandlers() {
    for (int n = 1; n <= kZones; ++n) {
        connect(zoneButtons_[n], &QPushButton::clicked, this, [this, n] { Command区域_Click(n); });
    }
    for (int n = 1; n <= kSlots; ++n) {
        connect(taskButtons_[n], &QPushButton::clicked, this,
                [this, n] { Command定时任务_Click(n); });
    }
    connect(zoneRemark_, &QLineEdit::textChanged, this, [this] { Text区域备注_Change(); });
    connect(taskRemark_, &QLineEdit::textChanged, this, [this] { Text任务备注_Change(); });
    // A position set by the refresh raises these too, as a choice by the operator does.
    connect(comboHour_, &QComboBox::currentIndexChanged, this, [this] { Combo小时_Click(); });
    connect(comboMinute_, &QComboBox::currentIndexChanged, this, [this] { Combo分钟_Click(); });
    connect(comboScene_, &QComboBox::currentIndexChanged, this, [this] { Combox场景_Click(); });
    connect(comboIp_, &QComboBox::currentIndexChanged, this, [this] { Combo修改IP_Click(); });
    // Only the operator's choice selects a port; the probe filling the list does not.
    connect(comboPort_, &QComboBox::activated, this, [this] { Combo串口_Click(); });
    connect(saveButton_, &QPushButton::clicked, this, [this] { Command保存_Click(); });
    connect(syncButton_, &QPushButton::clicked, this, [this] { Command电脑时间同步_Click(); });
    connect(downloadButton_, &QPushButton::clicked, this,
            [this] { Command下载参数到机器_Click(); });
    connect(exitLog_, &QPushButton::clicked, this, [this] { Command退出下载_Click(); });
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
    for (int n = 1; n <= kMachines; ++n) {
        if (watched == machineButtons_[n]) {
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
    QString text = loaded.irregular ? QStringLiteral("文件不完整或格式不符，已载入能读出的部分。")
                                    : QStringLiteral("文件错误！");
    if (!loaded.keptCopy.isEmpty()) {
        text +=
            QStringLiteral("\n原文件已另存为：%1").arg(QDir::toNativeSeparators(loaded.keptCopy));
    } else if (!loaded.keepError.isEmpty()) {
        // The next save will overwrite the damaged file: the operator must know first.
        text += QStringLiteral("\n原文件未能另存，保存将覆盖它：%1").arg(loaded.keepError);
    }
    return text;
}

}  // namespace

void MainWindow::Load() {
    setWindowTitle(kMainWindowTitle);
    QApplication::setApplicationDisplayName(windowTitle());
    Fun_FillLists();
    Fun_InitSelection();
    const LoadResult loaded = LoadTaskFile(deps_.config, taskFilePath());
    if (loaded.status == LoadStatus::HeaderMismatch || loaded.irregular) {
        deps_.messages.information(LoadMessage(loaded));
    }
    Command区域_Click(1);
}

void MainWindow::closeEvent(QCloseEvent* event) {
    // The window's unload: the main loop saves and ends the process.
    deps_.process.ExitRequested = kTrue;
    event->accept();
}

void MainWindow::showEvent(QShowEvent* event) {
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

void MainWindow::Combo串口_Click() {
    int32_t uart = comboPort_->currentText().trimmed().toInt();
    deps_.session.Fun_串口选择(uart);
}

void MainWindow::Command保存_Click() {
    const SaveResult saved = SaveTaskFile(deps_.config, taskFilePath());
    if (!saved.ok) {
        deps_.messages.warning(QStringLiteral("保存失败！\n%1\n%2")
                                   .arg(QDir::toNativeSeparators(taskFilePath()), saved.error));
    }
}

void MainWindow::Command电脑时间同步_Click() {
    // A second operation started while one runs is refused by the transfer itself.
    Fun_TimeSync(*transfer_);
}

void MainWindow::Command下载参数到机器_Click() {
    if (transfer_->busy) {
        return;  // a transfer is running: its log stays as it is
    }
    logBox_->setGeometry(rect());
    exitLog_->move(TwipsToPixels(12120), TwipsToPixels(120));
    logText_.clear();
    logBox_->clear();
    exitLog_->hide();  // shown only once the download has returned
    logBox_->show();
    logBox_->raise();
    SetEditingReachable(false);
    Fun_DownloadParams(*transfer_);
    exitLog_->show();
    exitLog_->raise();
}

void MainWindow::Command退出下载_Click() {
    logBox_->hide();
    exitLog_->hide();
    SetEditingReachable(true);
}

// The log view covers the editing controls; keyboard focus must not reach them underneath
// (a Space on the focused download button would start another download behind the log).
void MainWindow::SetEditingReachable(bool reachable) {
    for (const char* frame : {"Frame1", "Frame区域", "Frame机器", "Frame定时任务"}) {
        if (QWidget* w = findChild<QWidget*>(QString::fromUtf8(frame))) {
            w->setEnabled(reachable);
        }
    }
    if (!reachable) {
        logBox_->setFocus(Qt::OtherFocusReason);
    }
}

void MainWindow::append(const QString& text) {
    logText_ += text;
    QString shown = text;
    shown.remove(QLatin1Char('\r'));  // the box breaks lines at LF alone
    logBox_->moveCursor(QTextCursor::End);
    logBox_->insertPlainText(shown);
    logBox_->ensureCursorVisible();
}

void MainWindow::showTimeSyncSuccess() {
    deps_.messages.information(QStringLiteral("时间同步成功！！！"));
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
