#pragma once
// Form主窗体, the one visible window: zones, machine addresses and timed tasks are edited here,
// the serial port is chosen, the configuration saved, the controller's clock set and the
// parameters downloaded into a full-window log view. The procedures that draw it from the
// configuration (M_Form主窗体) are in main_window_logic.cpp.

#include "config/config.h"
#include "device/protocol.h"
#include "device/serial_stack.h"
#include "device/transfer.h"
#include "serial/port_layer.h"
#include "serial/session.h"
#include "ui/grid_button.h"
#include "ui/operator_messages.h"
#include "ui/transfer_view.h"
#include "util/process_state.h"

#include <QColor>
#include <QDateTime>
#include <QString>
#include <QWidget>
#include <cstdint>
#include <memory>
#include <string_view>

struct ControlRow;
class WindowMenus;
class QComboBox;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;

// The designed title; the window shows it translated, as every caption (context "Form主窗体").
inline constexpr const char* kMainWindowTitle = QT_TRANSLATE_NOOP("Form主窗体", "M-4500 设置C30");

// What the window works on; all of it outlives the window.
struct MainWindowDeps {
    ProcessState& process;
    ConfigTables& config;
    SerialStack& serial;  // the session, the port and the task file's folder
    OperatorMessages& messages;
};

class Form主窗体 : public QWidget, private TransferListener {
  public:
    explicit Form主窗体(MainWindowDeps deps);
    ~Form主窗体() override;

    // The window's load: titles, lists, selection, task file, zone 1. Runs once, before the
    // window is first shown.
    void Load();
    // The port list Combo串口, as the serial session sees it.
    PortSelector& portSelector();

    // Selection state of M_Form主窗体 and the window flag.
    int32_t CurZone = 0;              // current zone 1..32, the one the window shows
    int32_t CurTask = 0;              // current task slot 1..18, open in the task editor
    int32_t CurMachine = 0;           // machine button pressed last, 1..64; 0 before any press
    int16_t FlagRefreshing = kFalse;  // refreshing: true while a full refresh runs

    // M_Form主窗体.
    void Fun_FillLists();                  // fill lists: items of hour, minute, scene, address
    void Fun_InitSelection();              // initial selection: task slot 1
    void Fun_ShowZones();                  // show zones: captions from the remarks, none lit
    void Fun_MarkZone(int32_t z);          // mark zone: z lit, its remark in the remark box
    void Fun_ShowMachineIps();             // show machine addresses: the 64 machine captions
    void Fun_ShowZoneMachines(int32_t z);  // show zone machines: the ones zone z uses lit
    void Fun_ShowTasks(int32_t z);         // show tasks: captions, bold, current slot, editor

    // Event handlers. Command区域_Click is the full refresh; the other handlers call it with
    // CurZone. Mouse button codes: left 1, right 2, middle 4.
    void Command区域_Click(int32_t index);      // zone button: full refresh for that zone
    void Text区域备注_Change();                 // zone remark typed: stored, refresh
    void Command定时任务_Click(int32_t index);  // task button: opens that slot, refresh
    void Text任务备注_Change();                 // task remark typed: stored, refresh
    void Combo小时_Click();                     // hour chosen: stored for the current task
    void Combo分钟_Click();                     // minute chosen: stored for the current task
    void Combox场景_Click();                    // scene chosen: stored for the current task
    void Combo修改IP_Click();                   // address chosen: stored for CurMachine
    void Command机器IP_MouseDown(int32_t index, int button);  // pressed: selects; right toggles use
    void Combo串口_Click();              // port chosen: the serial form keeps it
    void Command保存_Click();            // save button: writes the task file
    void Command电脑时间同步_Click();    // PC time button: sets the controller's clock
    void Command下载参数到机器_Click();  // download button: log view, download
    void Command退出下载_Click();        // exit button: leaves the log view

    // The controls that the code drives, by their names; BuildControls makes them from the
    // control table. The frames and labels are reached by their object names.
    ButtonArray Command区域{kZones};               // zone buttons 1..32
    ButtonArray Command机器IP{kMachines};          // machine address buttons 1..64
    ButtonArray Command定时任务{kSlots};           // timed-task buttons 1..18
    QComboBox* Combo串口 = nullptr;                // serial port list
    QComboBox* Combo小时 = nullptr;                // hour list of the current task
    QComboBox* Combo分钟 = nullptr;                // minute list of the current task
    QComboBox* Combox场景 = nullptr;               // scene list of the current task
    QComboBox* Combo修改IP = nullptr;              // modify-address list, for CurMachine
    QLineEdit* Text区域备注 = nullptr;             // zone remark box
    QLineEdit* Text任务备注 = nullptr;             // task remark box
    QPlainTextEdit* Text下载显示 = nullptr;        // download log box, the full-window log view
    QPushButton* Command下载参数到机器 = nullptr;  // download parameters to the machine
    QPushButton* Command保存 = nullptr;            // save
    QPushButton* Command电脑时间同步 = nullptr;    // synchronise with the computer's time
    QPushButton* Command退出下载 = nullptr;        // exit of the log view ("退出")

    // The client area below the menu bar, exactly as designed: every designed control is in it,
    // placed relative to it.
    QWidget* clientArea() const { return client_; }
    // The menu bar, the undo history and the zone copy (window_menus.h).
    WindowMenus& menus() { return *menus_; }
    // A handler's last act once it has changed the configuration: the change becomes one undo
    // step. `group` joins the keystrokes typed into one box in a row (window_menus.h).
    void NoteEdit(int group = 0);

    // The log exactly as the download wrote it (lines ended CR LF).
    const QString& logText() const { return logText_; }
    TransferContext& transfer() { return *transfer_; }
    QString taskFilePath() const;

  protected:
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    // What the running time synchronisation sent and when the controller confirmed it.
    struct TimeSyncSeen {
        QDateTime set;
        bool confirmed = false;
        uint32_t confirmedMs = 0;
    };
    TimeSyncSeen timeSync_;

    // What the zone buttons' tooltips were last written from.
    struct ZoneTips {
        struct Zone {
            QString remark;
            std::array<uint8_t, kSlots + 1> hour, minute, scene;
            bool operator==(const Zone&) const = default;
        };
        std::array<Zone, kZones + 1> zones{};
        std::array<bool, kZones + 1> known{};
        std::array<QString, kSlots + 1> taskRemarks;
        bool Changed(const ConfigTables& c, int z);
    };
    ZoneTips zoneTips_;

    // TransferListener: Fun_LogLine writes into the log box, the box confirms the time, and a
    // download's progress goes to the view beside the log.
    void append(const QString& text) override;
    void timeSent(const QDateTime& set) override;
    void showTimeSyncSuccess() override;
    void downloadStarted(int32_t blocks) override;
    void replyArrived() override;
    void blockAcknowledged(int32_t n, int32_t blocks, uint32_t elapsedMs) override;
    void downloadFinished(const DownloadResult& result) override;

    void BuildMenuBarAndClientArea();
    void BuildControls();
    QWidget* BuildControl(const ControlRow& row, QWidget* parent);
    void BuildButtonArray(const ControlRow& grid, QWidget* parent);
    ButtonArray& ArrayNamed(std::string_view name);
    void FindControlsByName();
    void ConnectHandlers();
    // What each command button does, and which machine or zone each grid button is.
    void SetFixedToolTips();
    // A remark box whose text is longer than the task file keeps says so while it is typed.
    void MarkRemarkLength(QLineEdit* box);
    // The keyboard in the three button grids (see GridKeys).
    void SetGridKeys();
    void SetEditingReachable(bool reachable);
    TransferPort TransferPortNow() const;
    void SetCaption(QPushButton* button, const QString& caption);
    void SetToolTip(QPushButton* button, const QString& text);
    void SetHighlight(QPushButton* button, bool on);
    void SetBold(QPushButton* button, bool bold);
    void SetBoxText(QLineEdit* box, const QString& text);
    void SetListPosition(QComboBox* list, int value);
    bool storeListPosition(QComboBox* list, uint8_t& cell);

    MainWindowDeps deps_;
    std::unique_ptr<TransferContext> transfer_;
    std::unique_ptr<TransferView> transferView_;  // progress bar and status line
    std::unique_ptr<PortSelector> portSelector_;
    QString logText_;
    bool centred_ = false;
    QWidget* client_ = nullptr;           // the designed client area, below the menu bar
    std::unique_ptr<WindowMenus> menus_;  // made before the controls, attached after them
};

// The tooltips of zone button z and task button t: the whole remark as shown ("" = none); the
// zone's also lists its programmed tasks in time order (time, scene, task remark).
QString ZoneToolTip(const ConfigTables& config, int32_t z);
QString TaskToolTip(const ConfigTables& config, int32_t t);
// A caption as a button draws it: CR LF (or a lone CR) breaks the line, "&" is literal.
QString ButtonCaptionText(const QString& caption);
// The window's icon (drawn, so no image file has to travel with the program).
QIcon MainWindowIcon();
