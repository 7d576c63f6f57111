#pragma once
// Window Form主窗体: what the window offers beside its designed controls. The menu bar above the
// client area (File: import, export, compare, handover sheet, save, quit; Edit: undo, redo, copy
// and paste a zone; Help: about), the undo history of the operator's changes, the zone buttons'
// and task buttons' context menus that copy a zone's schedule or a task's time onto other zones,
// and the file operations behind the menus, which use the companion's own site code.
//
// Every operation that asks the operator something (a file name, the zones, a list of lines to
// read) asks through `dialogs`, which a test replaces; the operations themselves take what was
// asked for as arguments.

#include "ui/main_window.h"
#include "ui/undo_history.h"
#include "ui/zone_clipboard.h"

#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QUrl>
#include <functional>
#include <memory>
#include <optional>

class QAction;
class QDialog;
class QMenu;
class QMenuBar;

// The questions the menus ask, each with the real dialog by default.
struct WindowDialogs {
    // A file to read; "" = cancelled.
    std::function<QString(const QString& title, const QString& filter)> openPath;
    // A file to write, `suggested` first; "" = cancelled.
    std::function<QString(const QString& title, const QString& filter, const QString& suggested)>
        savePath;
    // The zones to go to; nothing = cancelled. `excluded` is the source zone (0 = none).
    std::function<std::optional<QList<int>>(const QString& title, const QString& intro,
                                            int excluded)>
        pickZones;
    // Lines to read (faults, changes), under a heading.
    std::function<void(const QString& title, const QString& intro, const QStringList& lines)>
        showLines;
    // Opens a file in the program the desktop has for it.
    std::function<bool(const QUrl& url)> openUrl;
};

// The edits typed into one box in a row are one step: these groups tell the boxes apart.
inline int ZoneRemarkGroup(int z) {
    return 1000 + z;
}
inline int TaskRemarkGroup(int t) {
    return 2000 + t;
}

class WindowMenus : public QObject {
  public:
    WindowMenus(Form主窗体& window, MainWindowDeps deps);
    ~WindowMenus() override;

    // The menu bar, made as a child of the window; the client area lies below it.
    QMenuBar* menuBar() const { return menuBar_; }
    // Once the designed controls exist: context menus on the zone and task buttons, and the undo
    // keys taken away from the boxes and lists (whose own undo would fight the window's).
    void attachToControls();
    // After the window's load: the configuration as loaded is where the history starts.
    void start();
    // The log view covers the window: the menus and their keys rest until it closes.
    void setReachable(bool reachable);

    // The tables after an operator's edit (a handler's last act): the change becomes one step.
    void noteEdit(int group = 0);
    void undo();
    void redo();
    const UndoHistory& history() const { return history_; }

    // Zone z's schedule (its tasks and machines) to the window's clipboard.
    void copyZone(int z);
    // The clipboard onto these zones, one undo step; false when there is nothing to paste.
    bool pasteZones(const QList<int>& zones);
    void clearZoneTasks(int z);
    // Slot t's hour, minute and scene, as the current zone has them, onto these zones.
    void copySlotToZones(int t, const QList<int>& zones);
    const ZoneClipboard& clipboard() const { return clipboard_; }

    // The file operations; each says what went wrong itself and returns whether it was done.
    bool importFrom(const QString& path);
    bool exportSiteDocument(const QString& path);
    bool exportTaskFile(const QString& path);
    bool compareWith(const QString& path);
    bool writeHandoverSheet(const QString& path);
    void about();

    // The context menus of zone button z and task button t, as the right button opens them.
    std::unique_ptr<QMenu> zoneMenu(int z);
    std::unique_ptr<QMenu> taskMenu(int t);

    WindowDialogs dialogs;

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void buildMenuBar();
    QAction* addAction(QMenu* menu, const char* name, const QString& text,
                       std::function<void()> run);
    // An item that asks for a site document or task file to read and hands its path to `use`.
    QAction* addOpenAction(QMenu* menu, const char* name, const QString& text, const QString& title,
                           std::function<bool(const QString&)> use);
    // An item that asks where to write (`suggested` in the last folder) and hands it to `use`.
    void addSaveAction(QMenu* menu, const char* name, const QString& text, const QString& title,
                       const QString& filter, const QString& suggested,
                       std::function<bool(const QString&)> use);
    void updateActions();
    // After a change of several cells made here: one step, and the window redrawn at zone z.
    void finishChange(int z);
    void show(const EditPlace& place);
    bool writeOut(const QString& path, const QByteArray& bytes);
    void askPasteZones(int excluded);
    void askCopySlot(int t);
    QString suggestedPath(const QString& name) const;
    void rememberFolder(const QString& path);

    Form主窗体& w_;
    MainWindowDeps deps_;
    UndoHistory history_;
    ZoneClipboard clipboard_;
    QMenuBar* menuBar_ = nullptr;
    QList<QAction*> actions_;  // every action of the menu bar
    QAction* undoAction_ = nullptr;
    QAction* redoAction_ = nullptr;
    QAction* pasteAction_ = nullptr;
    bool started_ = false;
    bool applying_ = false;  // an undo or redo is redrawing the window
    bool reachable_ = true;
    QString folder_;  // where the last file dialog was
};

// The dialog that shows lines to read (an import's faults, a comparison's changes), not yet
// shown: the caller opens it.
QDialog* NewLinesDialog(QWidget* parent, const QString& title, const QString& intro,
                        const QStringList& lines);
