// Window Form主窗体: the menu bar, the undo history, the zone buttons' and task buttons' context
// menus and the file operations behind the menus.

#include "ui/window_menus.h"

#include "config/taskfile.h"
#include "site/site_diff.h"
#include "site/site_files.h"
#include "site/site_json.h"
#include "site/site_report.h"
#include "ui/zone_pick_dialog.h"
#include "util/savefile.h"

#include <QAction>
#include <QComboBox>
#include <QCoreApplication>
#include <QDateTime>
#include <QDesktopServices>
#include <QDialog>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

#if !defined(M45_VERSION)
#define M45_VERSION M45_PROJECT_VERSION
#endif

namespace {

QString Native(const QString& path) {
    return QDir::toNativeSeparators(path);
}

// Ctrl+Z undoes; Ctrl+Y and Ctrl+Shift+Z redo.
const QList<QKeySequence> kUndoKeys{QKeySequence(Qt::CTRL | Qt::Key_Z)};
const QList<QKeySequence> kRedoKeys{QKeySequence(Qt::CTRL | Qt::Key_Y),
                                    QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z)};

bool IsUndoOrRedoKey(const QKeyEvent* key) {
    const QKeySequence pressed(key->keyCombination());
    return kUndoKeys.contains(pressed) || kRedoKeys.contains(pressed);
}

}  // namespace

QDialog* NewLinesDialog(QWidget* parent, const QString& title, const QString& intro,
                        const QStringList& lines) {
    auto* dialog = new QDialog(parent);
    dialog->setObjectName(QStringLiteral("Dialog列表"));
    dialog->setWindowTitle(title);
    auto* layout = new QVBoxLayout(dialog);
    auto* label = new QLabel(intro, dialog);
    label->setObjectName(QStringLiteral("Label说明"));
    label->setWordWrap(true);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    layout->addWidget(label);
    if (!lines.isEmpty()) {
        auto* text = new QPlainTextEdit(dialog);
        text->setObjectName(QStringLiteral("Text内容"));
        text->setReadOnly(true);
        text->setLineWrapMode(QPlainTextEdit::NoWrap);
        text->setPlainText(lines.join(QLatin1Char('\n')));
        layout->addWidget(text);
    }
    auto* close = new QPushButton(QCoreApplication::translate("Form主窗体", "关闭"), dialog);
    close->setObjectName(QStringLiteral("Command关闭"));
    close->setDefault(true);
    QObject::connect(close, &QPushButton::clicked, dialog, &QDialog::accept);
    layout->addWidget(close, 0, Qt::AlignRight);
    dialog->resize(lines.isEmpty() ? 480 : 720, lines.isEmpty() ? 120 : 400);
    return dialog;
}

WindowMenus::WindowMenus(Form主窗体& window, MainWindowDeps deps)
    : w_(window), deps_(deps), history_(deps.config), folder_(QDir::homePath()) {
    dialogs.openPath = [this](const QString& title, const QString& filter) {
        const QString path = QFileDialog::getOpenFileName(&w_, title, folder_, filter);
        rememberFolder(path);
        return path;
    };
    dialogs.savePath = [this](const QString& title, const QString& filter,
                              const QString& suggested) {
        const QString path = QFileDialog::getSaveFileName(&w_, title, suggested, filter);
        rememberFolder(path);
        return path;
    };
    dialogs.pickZones = [this](const QString& title, const QString& intro,
                               int excluded) -> std::optional<QList<int>> {
        ZonePickDialog dialog(&w_, title, intro, deps_.config, excluded);
        if (dialog.exec() != QDialog::Accepted) {
            return std::nullopt;
        }
        return dialog.chosen();
    };
    dialogs.showLines = [this](const QString& title, const QString& intro,
                               const QStringList& lines) {
        const std::unique_ptr<QDialog> dialog(NewLinesDialog(&w_, title, intro, lines));
        dialog->exec();
    };
    dialogs.openUrl = [](const QUrl& url) { return QDesktopServices::openUrl(url); };
    buildMenuBar();
}

WindowMenus::~WindowMenus() = default;

QAction* WindowMenus::addAction(QMenu* menu, const char* name, const QString& text,
                                std::function<void()> run) {
    QAction* action = menu->addAction(text);
    action->setObjectName(QString::fromUtf8(name));
    connect(action, &QAction::triggered, this, [run = std::move(run)] { run(); });
    actions_ << action;
    return action;
}

QAction* WindowMenus::addOpenAction(QMenu* menu, const char* name, const QString& text,
                                    const QString& title, std::function<bool(const QString&)> use) {
    return addAction(menu, name, text, [this, title, use = std::move(use)] {
        const QString path = dialogs.openPath(
            title, QCoreApplication::translate(
                       "Form主窗体", "站点文件或任务文件 (*.json *.M45 *.m45);;所有文件 (*)"));
        if (!path.isEmpty()) {
            use(path);
        }
    });
}

void WindowMenus::addSaveAction(QMenu* menu, const char* name, const QString& text,
                                const QString& title, const QString& filter,
                                const QString& suggested, std::function<bool(const QString&)> use) {
    addAction(menu, name, text, [this, title, filter, suggested, use = std::move(use)] {
        const QString path = dialogs.savePath(title, filter, suggestedPath(suggested));
        if (!path.isEmpty()) {
            use(path);
        }
    });
}

void WindowMenus::buildMenuBar() {
    menuBar_ = new QMenuBar(&w_);
    menuBar_->setObjectName(QStringLiteral("Menu主菜单"));
    menuBar_->setNativeMenuBar(false);  // the window's own, above its client area

    QMenu* file = menuBar_->addMenu(QCoreApplication::translate("Form主窗体", "文件(&F)"));
    file->setObjectName(QStringLiteral("Menu文件"));
    QAction* import = addOpenAction(
        file, "Action导入", QCoreApplication::translate("Form主窗体", "导入站点文件或任务文件…"),
        QCoreApplication::translate("Form主窗体", "导入站点文件或任务文件"),
        [this](const QString& path) { return importFrom(path); });
    import->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_O));
    addSaveAction(
        file, "Action导出站点文件", QCoreApplication::translate("Form主窗体", "导出为站点文件…"),
        QCoreApplication::translate("Form主窗体", "导出为站点文件"),
        QCoreApplication::translate("Form主窗体", "站点文件 (*.json)"), QStringLiteral("site.json"),
        [this](const QString& path) { return exportSiteDocument(path); });
    addSaveAction(
        file, "Action导出任务文件", QCoreApplication::translate("Form主窗体", "导出为任务文件…"),
        QCoreApplication::translate("Form主窗体", "导出为任务文件"),
        QCoreApplication::translate("Form主窗体", "任务文件 (*.M45)"), QStringLiteral("TASK.M45"),
        [this](const QString& path) { return exportTaskFile(path); });
    file->addSeparator();
    addOpenAction(file, "Action比较", QCoreApplication::translate("Form主窗体", "与文件比较…"),
                  QCoreApplication::translate("Form主窗体", "与文件比较"),
                  [this](const QString& path) { return compareWith(path); });
    addSaveAction(file, "Action交接单", QCoreApplication::translate("Form主窗体", "交接单…"),
                  QCoreApplication::translate("Form主窗体", "交接单"),
                  QCoreApplication::translate("Form主窗体", "网页 (*.html)"),
                  QStringLiteral("site.html"),
                  [this](const QString& path) { return writeHandoverSheet(path); });
    file->addSeparator();
    QAction* save = addAction(file, "Action保存", QCoreApplication::translate("Form主窗体", "保存"),
                              [this] { w_.Command保存_Click(); });
    save->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_S));
    file->addSeparator();
    QAction* quit =
        addAction(file, "Action退出", QCoreApplication::translate("Form主窗体", "退出程序"),
                  [this] { w_.close(); });
    quit->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));

    QMenu* edit = menuBar_->addMenu(QCoreApplication::translate("Form主窗体", "编辑(&E)"));
    edit->setObjectName(QStringLiteral("Menu编辑"));
    undoAction_ = addAction(edit, "Action撤销", QCoreApplication::translate("Form主窗体", "撤销"),
                            [this] { undo(); });
    undoAction_->setShortcuts(kUndoKeys);
    redoAction_ = addAction(edit, "Action重做", QCoreApplication::translate("Form主窗体", "重做"),
                            [this] { redo(); });
    redoAction_->setShortcuts(kRedoKeys);
    edit->addSeparator();
    addAction(edit, "Action复制区域", QCoreApplication::translate("Form主窗体", "复制区域"),
              [this] { copyZone(w_.CurZone); });
    pasteAction_ =
        addAction(edit, "Action粘贴区域", QCoreApplication::translate("Form主窗体", "粘贴区域"),
                  [this] { pasteZones({w_.CurZone}); });

    QMenu* help = menuBar_->addMenu(QCoreApplication::translate("Form主窗体", "帮助(&H)"));
    help->setObjectName(QStringLiteral("Menu帮助"));
    addAction(help, "Action关于", QCoreApplication::translate("Form主窗体", "关于"),
              [this] { about(); });

    menuBar_->setGeometry(0, 0, w_.width(), menuBar_->sizeHint().height());
    updateActions();
}

void WindowMenus::attachToControls() {
    for (int z = 1; z <= kZones; ++z) {
        QPushButton* button = w_.Command区域(z);
        button->setContextMenuPolicy(Qt::CustomContextMenu);
        connect(button, &QWidget::customContextMenuRequested, this, [this, z, button](QPoint at) {
            if (reachable_) {
                zoneMenu(z)->exec(button->mapToGlobal(at));
            }
        });
    }
    for (int t = 1; t <= kSlots; ++t) {
        QPushButton* button = w_.Command定时任务(t);
        button->setContextMenuPolicy(Qt::CustomContextMenu);
        connect(button, &QWidget::customContextMenuRequested, this, [this, t, button](QPoint at) {
            if (reachable_) {
                taskMenu(t)->exec(button->mapToGlobal(at));
            }
        });
    }
    QList<QWidget*> keyed{w_.Text区域备注, w_.Text任务备注};
    for (QComboBox* list :
         {w_.Combo串口, w_.Combo小时, w_.Combo分钟, w_.Combox场景, w_.Combo修改IP}) {
        keyed << list;
        if (list->lineEdit() != nullptr) {
            keyed << list->lineEdit();
        }
    }
    for (QWidget* widget : keyed) {
        widget->installEventFilter(this);
    }
}

bool WindowMenus::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::ShortcutOverride || event->type() == QEvent::KeyPress) {
        if (IsUndoOrRedoKey(static_cast<QKeyEvent*>(event))) {
            // Not the box's own undo: the window's, through the Edit menu's keys.
            event->ignore();
            return true;
        }
    }
    if (event->type() == QEvent::FocusOut &&
        (watched == w_.Text区域备注 || watched == w_.Text任务备注)) {
        history_.seal();  // typing there again later is a step of its own
    }
    return QObject::eventFilter(watched, event);
}

void WindowMenus::start() {
    history_.reset(deps_.config);
    started_ = true;
    updateActions();
}

void WindowMenus::setReachable(bool reachable) {
    reachable_ = reachable;
    menuBar_->setEnabled(reachable);
    updateActions();
}

void WindowMenus::updateActions() {
    for (QAction* action : actions_) {
        action->setEnabled(reachable_);
    }
    undoAction_->setEnabled(reachable_ && history_.canUndo());
    redoAction_->setEnabled(reachable_ && history_.canRedo());
    pasteAction_->setEnabled(reachable_ && clipboard_.schedule.has_value());
}

void WindowMenus::noteEdit(int group) {
    if (!started_ || applying_ || w_.FlagRefreshing == kTrue) {
        return;  // the window redrawing itself stores only what it has just read
    }
    if (history_.record(deps_.config, EditPlace{w_.CurZone, w_.CurTask}, group)) {
        updateActions();
    }
}

void WindowMenus::show(const EditPlace& place) {
    applying_ = true;
    w_.CurTask = place.task;
    w_.Command区域_Click(place.zone);
    applying_ = false;
    updateActions();
}

void WindowMenus::undo() {
    if (!reachable_ || !started_) {
        return;
    }
    noteEdit();  // a change not yet in the history is undone first
    if (const std::optional<EditPlace> place = history_.undo(deps_.config)) {
        show(*place);
    }
}

void WindowMenus::redo() {
    if (!reachable_ || !started_) {
        return;
    }
    noteEdit();
    if (const std::optional<EditPlace> place = history_.redo(deps_.config)) {
        show(*place);
    }
}

void WindowMenus::finishChange(int z) {
    history_.seal();
    history_.record(deps_.config, EditPlace{z, w_.CurTask});
    w_.Command区域_Click(z);
    updateActions();
}

void WindowMenus::copyZone(int z) {
    if (z < 1 || z > kZones) {
        return;
    }
    clipboard_.schedule = CopyZoneSchedule(deps_.config, z);
    clipboard_.sourceZone = z;
    updateActions();
}

bool WindowMenus::pasteZones(const QList<int>& zones) {
    if (!clipboard_.schedule || zones.isEmpty()) {
        return false;
    }
    noteEdit();
    for (const int z : zones) {
        PasteZoneSchedule(deps_.config, *clipboard_.schedule, z);
    }
    finishChange(zones.contains(w_.CurZone) ? w_.CurZone : zones.first());
    return true;
}

void WindowMenus::clearZoneTasks(int z) {
    noteEdit();
    ClearZoneTasks(deps_.config, z);
    finishChange(z);
}

void WindowMenus::copySlotToZones(int t, const QList<int>& zones) {
    noteEdit();
    CopySlotToZones(deps_.config, w_.CurZone, t, zones);
    w_.CurTask = t;
    finishChange(w_.CurZone);
}

void WindowMenus::askPasteZones(int excluded) {
    const std::optional<QList<int>> zones = dialogs.pickZones(
        QCoreApplication::translate("Form主窗体", "粘贴到多个区域"),
        QCoreApplication::translate("Form主窗体", "将区域 %1 的任务和机器粘贴到：")
            .arg(clipboard_.sourceZone),
        excluded);
    if (zones) {
        pasteZones(*zones);
    }
}

void WindowMenus::askCopySlot(int t) {
    const int from = w_.CurZone;
    const std::optional<QList<int>> zones = dialogs.pickZones(
        QCoreApplication::translate("Form主窗体", "复制任务的时间和场景"),
        QCoreApplication::translate("Form主窗体", "将区域 %1 任务 [%2] 的时间和场景复制到：")
            .arg(from)
            .arg(t),
        from);
    if (zones) {
        copySlotToZones(t, *zones);
    }
}

std::unique_ptr<QMenu> WindowMenus::zoneMenu(int z) {
    auto menu = std::make_unique<QMenu>(&w_);
    menu->setObjectName(QStringLiteral("Menu区域"));
    const bool full = clipboard_.schedule.has_value();
    auto add = [&](const char* name, const QString& text, std::function<void()> run) {
        QAction* action = menu->addAction(text);
        action->setObjectName(QString::fromUtf8(name));
        connect(action, &QAction::triggered, menu.get(), [run = std::move(run)] { run(); });
        return action;
    };
    add("Action复制此区域", QCoreApplication::translate("Form主窗体", "复制此区域（任务和机器）"),
        [this, z] { copyZone(z); });
    add("Action粘贴到此区域", QCoreApplication::translate("Form主窗体", "粘贴到此区域"), [this, z] {
        pasteZones({z});
    })->setEnabled(full);
    add("Action粘贴到多个区域", QCoreApplication::translate("Form主窗体", "粘贴到多个区域…"),
        [this] { askPasteZones(0); })
        ->setEnabled(full);
    menu->addSeparator();
    add("Action清除此区域任务", QCoreApplication::translate("Form主窗体", "清除此区域的任务"),
        [this, z] { clearZoneTasks(z); });
    return menu;
}

std::unique_ptr<QMenu> WindowMenus::taskMenu(int t) {
    auto menu = std::make_unique<QMenu>(&w_);
    menu->setObjectName(QStringLiteral("Menu定时任务"));
    QAction* action = menu->addAction(
        QCoreApplication::translate("Form主窗体", "将此任务的时间和场景复制到其他区域…"));
    action->setObjectName(QStringLiteral("Action复制任务到区域"));
    connect(action, &QAction::triggered, menu.get(), [this, t] { askCopySlot(t); });
    return menu;
}

// An import takes the whole configuration of the file, checked first; the task file is written
// at the next save, as after any edit.
bool WindowMenus::importFrom(const QString& path) {
    const CheckedConfig source = ReadSiteSource(path);
    if (!source.ok) {
        dialogs.showLines(QCoreApplication::translate("Form主窗体", "导入"),
                          QCoreApplication::translate("Form主窗体", "%1 有错误，配置没有改动：")
                              .arg(Native(path)),
                          source.errors);
        return false;
    }
    noteEdit();
    const uint8_t unsavedAddress = deps_.config.MachineIp[0];  // the window's own, not the file's
    deps_.config = source.config;
    deps_.config.MachineIp[0] = unsavedAddress;
    finishChange(w_.CurZone);
    return true;
}

bool WindowMenus::writeOut(const QString& path, const QByteArray& bytes) {
    const FileResult written = WriteFileAtomically(path, bytes);
    if (!written.ok) {
        deps_.messages.warning(QCoreApplication::translate("Form主窗体", "导出失败！\n%1\n%2")
                                   .arg(Native(path), written.error));
    }
    return written.ok;
}

bool WindowMenus::exportSiteDocument(const QString& path) {
    return writeOut(path, SiteJson(deps_.config));
}

bool WindowMenus::exportTaskFile(const QString& path) {
    return writeOut(path, BuildTaskImage(deps_.config));
}

// The changes from the file to the configuration the window holds, as m4500ctl diff lists them.
bool WindowMenus::compareWith(const QString& path) {
    const CheckedConfig other = ReadSiteSource(path);
    if (!other.ok) {
        dialogs.showLines(
            QCoreApplication::translate("Form主窗体", "比较"),
            QCoreApplication::translate("Form主窗体", "%1 无法读取：").arg(Native(path)),
            other.errors);
        return false;
    }
    const QStringList changes = SiteDiff(other.config, deps_.config);
    dialogs.showLines(
        QCoreApplication::translate("Form主窗体", "比较"),
        changes.isEmpty()
            ? QCoreApplication::translate("Form主窗体", "%1 与窗口中的配置相同。").arg(Native(path))
            : QCoreApplication::translate("Form主窗体", "从 %1 到窗口中的配置，%2 处改动：")
                  .arg(Native(path))
                  .arg(changes.size()),
        changes);
    return true;
}

bool WindowMenus::writeHandoverSheet(const QString& path) {
    const QFileInfo task(w_.taskFilePath());
    const ReportSource source{task.absoluteFilePath(), task.lastModified(),
                              QDateTime::currentDateTime()};
    if (!writeOut(path, SiteReportHtml(deps_.config, source).toUtf8())) {
        return false;
    }
    if (!dialogs.openUrl(QUrl::fromLocalFile(QFileInfo(path).absoluteFilePath()))) {
        deps_.messages.information(
            QCoreApplication::translate("Form主窗体", "交接单已写入 %1，但没有程序能打开它。")
                .arg(Native(path)));
    }
    return true;
}

void WindowMenus::about() {
    deps_.messages.information(
        QCoreApplication::translate("Form主窗体",
                                    "%1\n版本 %2\n任务文件：%3\n设置文件：%4\n语言：%5")
            .arg(QCoreApplication::translate("Form主窗体", kMainWindowTitle),
                 QStringLiteral(M45_VERSION), Native(w_.taskFilePath()),
                 Native(deps_.process.SystemIniPath),
                 QCoreApplication::translate("Form主窗体", "中文")));
}

QString WindowMenus::suggestedPath(const QString& name) const {
    return QDir(folder_).filePath(name);
}

void WindowMenus::rememberFolder(const QString& path) {
    if (!path.isEmpty()) {
        folder_ = QFileInfo(path).absolutePath();
    }
}
