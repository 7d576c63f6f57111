// What the window's undo history holds after 10,000 edits of every kind made through the window's
// own handlers and menus (keys typed into the remark boxes, hour, minute, scene, address, a
// machine's use, pastes, cleared zones, imports), and that it stays within its bounds. Prints the
// history's own count of its bytes (every text counted as if unshared) and, as an upper bound of
// everything, how much the process heap grew over the 10,000 edits. Then 300 imports of whole
// different configurations, the largest steps there are, against the byte bound.

#include "site/site_json.h"
#include "support/random_config.h"
#include "support/ui_rig.h"
#include "ui/window_menus.h"

#include <malloc.h>
#include <QComboBox>
#include <QElapsedTimer>
#include <QLineEdit>
#include <cstdio>

namespace {

void PickNext(QComboBox* list) {
    list->setCurrentIndex((list->currentIndex() + 1) % list->count());
}

// One key into a remark box: a character while it is short, else one taken away.
void Key(QLineEdit* box, int i) {
    if (box->text().size() < 12) {
        box->insert(QString(QChar(u'a' + i % 26)));
    } else {
        box->backspace();
    }
}

std::size_t HeapInUse() {
    return mallinfo2().uordblks;
}

}  // namespace

int main(int argc, char** argv) {
    OffscreenWithoutDisplay();
    QApplication app(argc, argv);
    WindowRig rig;
    WriteFileBytes(rig.taskFile(), BuildTaskImage(RandomConfig(1)));
    const QString siteA = QDir(rig.appDir).filePath("a.json");
    const QString siteB = QDir(rig.appDir).filePath("b.json");
    WriteFileBytes(siteA, SiteJson(RandomConfig(2)));
    WriteFileBytes(siteB, SiteJson(RandomConfig(3)));
    Form主窗体& w = rig.load();
    WindowMenus& menus = w.menus();
    QApplication::processEvents();

    const std::size_t heapBefore = HeapInUse();
    QElapsedTimer timer;
    timer.start();
    int edits = 0;    // actions of the operator that edit
    int changed = 0;  // those that changed the tables (a paste can find its zones as they are)
    for (int i = 0; changed < 10000; ++i) {
        w.Command区域_Click(1 + (i / 7) % kZones);  // a zone and a task: not edits
        w.Command定时任务_Click(1 + (i / 11) % kSlots);
        const ConfigTables before = rig.config;
        switch (i % 10) {
            case 0:
            case 1:
                for (int k = 0; k < 3; ++k) {
                    Key(w.Text区域备注, i + k);  // three keys in a row: one step
                }
                break;
            case 2:
                PickNext(w.Combo小时);
                break;
            case 3:
                PickNext(w.Combo分钟);
                break;
            case 4:
                PickNext(w.Combox场景);
                break;
            case 5:
                Key(w.Text任务备注, i);
                break;
            case 6:
                w.Command机器IP_MouseDown(1 + i % kMachines, 2);  // right button: the zone's use
                break;
            case 7:
                w.Command机器IP_MouseDown(1 + i % kMachines, 1);
                PickNext(w.Combo修改IP);
                break;
            case 8:
                menus.copyZone(1 + (i * 5) % kZones);
                menus.pasteZones({1 + (i * 3) % kZones, 1 + (i * 7) % kZones});
                break;
            case 9:
                if (i % 100 == 9) {
                    menus.importFrom(i % 200 == 9 ? siteA : siteB);
                } else {
                    menus.clearZoneTasks(w.CurZone);
                }
                break;
        }
        ++edits;
        changed += rig.config != before ? 1 : 0;
    }
    const double ms = double(timer.elapsed());
    const std::size_t heapAfter = HeapInUse();
    const UndoHistory& h = menus.history();
    std::printf(
        "%d edits through the window that changed the tables (of %d made) in %.1f s (%.2f ms "
        "each)\n",
        changed, edits, ms / 1000, ms / edits);
    std::printf("undo history: %zu steps to undo (bound %zu), %zu bytes (bound %zu)\n",
                h.undoSteps(), h.limits().steps, h.bytes(), h.limits().bytes);
    std::printf("process heap grew by %zu bytes over those edits (history and all else)\n",
                heapAfter > heapBefore ? heapAfter - heapBefore : std::size_t(0));

    int undone = 0;
    while (h.canUndo()) {
        menus.undo();
        ++undone;
    }
    std::printf("undone %d steps; then %zu steps to redo, %zu bytes\n", undone, h.redoSteps(),
                h.bytes());

    // The largest steps: whole configurations imported one after the other.
    for (uint32_t seed = 100; seed < 400; ++seed) {
        const QString path = QDir(rig.appDir).filePath("import.json");
        WriteFileBytes(path, SiteJson(RandomConfig(seed)));
        menus.importFrom(path);
    }
    std::printf("after 300 imports: %zu steps, %zu bytes (bound %zu): %s\n", h.undoSteps(),
                h.bytes(), h.limits().bytes,
                h.bytes() <= h.limits().bytes ? "within" : "NOT within");
    return 0;
}
