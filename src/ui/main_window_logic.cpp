// M_Form主窗体: the four choice lists and the full refresh that draws the three button arrays,
// the remark boxes and the task editor from the configuration and the current selection; with
// them the handlers of window Form主窗体 that edit the configuration and then refresh.

#include "ui/main_window.h"

#include "config/zone_day.h"
#include "ui/window_menus.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QTextDocument>

namespace {

// The last `width` characters of `fill` followed by the number ("0" + 7 -> "07").
QString Right(const QString& fill, int number, int width) {
    return (fill + QString::number(number)).right(width);
}

bool ValidZone(int32_t z) {
    return z >= 0 && z <= kZones;
}
bool ValidSlot(int32_t t) {
    return t >= 0 && t <= kSlots;
}
bool ValidMachine(int32_t m) {
    return m >= 0 && m <= kMachines;
}

// A remark as a tooltip shows it: the text as shown, its line breaks as the caption's.
QString RemarkToolTip(const QString& remark) {
    QString text = ShownRemark(remark);
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return text;
}

}  // namespace

// The zone's number and remark, then its day: one line per programmed task in time order, with the
// time, the scene and the task's remark, so the operator sees the day without opening 18 tasks.
QString ZoneToolTip(const ConfigTables& config, int32_t z) {
    if (!ValidZone(z)) {
        return QString();
    }
    QStringList lines{QCoreApplication::translate("M_Form主窗体", "区域 %1").arg(z)};
    if (const QString remark = RemarkToolTip(config.ZoneRemark[z]); !remark.isEmpty()) {
        lines << remark;
    }
    for (const ZoneDayEntry& task : ZoneDay(config, z)) {
        QString line = QCoreApplication::translate("M_Form主窗体", "%1:%2  场景 %3")
                           .arg(task.hour, 2, 10, QLatin1Char('0'))
                           .arg(task.minute, 2, 10, QLatin1Char('0'))
                           .arg(task.scene, 2, 10, QLatin1Char('0'));
        if (const QString remark = RemarkToolTip(task.remark); !remark.isEmpty()) {
            line += QStringLiteral("  ") + remark.simplified();
        }
        lines << line;
    }
    return lines.join(QLatin1Char('\n'));
}

QString TaskToolTip(const ConfigTables& config, int32_t t) {
    return ValidSlot(t) ? RemarkToolTip(config.TaskRemark[t]) : QString();
}

QString ButtonCaptionText(const QString& caption) {
    QString text = caption;
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    text.replace(QLatin1Char('&'), QStringLiteral("&&"));
    return text;
}

void Form主窗体::Fun_FillLists() {
    // Appending items is not a selection: no handler runs while the lists are filled.
    const QSignalBlocker quietHour(Combo小时), quietMinute(Combo分钟), quietScene(Combox场景),
        quietIp(Combo修改IP);
    const QString none = QCoreApplication::translate("M_Form主窗体", "无");
    Combo小时->addItem(none);
    for (int h = 0; h < kHourItems; ++h) {
        Combo小时->addItem(Right("0", h, 2));
    }
    Combo分钟->addItem(none);
    for (int m = 0; m < kMinuteItems; ++m) {
        Combo分钟->addItem(Right("0", m, 2));
    }
    Combox场景->addItem(none);
    for (int s = 1; s <= kSceneItems; ++s) {
        Combox场景->addItem(Right("0", s, 2));
    }
    Combo修改IP->addItem(none);
    for (int a = 1; a <= kAddressItems; ++a) {
        Combo修改IP->addItem(Right("00", a, 3));
    }
}

void Form主窗体::Fun_InitSelection() {
    CurTask = 1;
}

void Form主窗体::Fun_ShowZones() {
    const bool taskRemarksChanged = zoneTips_.taskRemarks != deps_.config.TaskRemark;
    zoneTips_.taskRemarks = deps_.config.TaskRemark;
    for (int z = 1; z <= kZones; ++z) {
        SetCaption(Command区域(z), deps_.config.ZoneRemark[z]);
        if (zoneTips_.Changed(deps_.config, z) || taskRemarksChanged) {
            SetToolTip(Command区域(z), ZoneToolTip(deps_.config, z));
        }
        SetHighlight(Command区域(z), false);
    }
}

// A zone's day is rewritten only when what it is made of changed: writing it for every zone at
// every refresh was most of the refresh's time.
bool Form主窗体::ZoneTips::Changed(const ConfigTables& c, int z) {
    Zone now{c.ZoneRemark[size_t(z)], c.TaskHour[size_t(z)], c.TaskMinute[size_t(z)],
             c.TaskScene[size_t(z)]};
    if (known[size_t(z)] && zones[size_t(z)] == now) {
        return false;
    }
    zones[size_t(z)] = std::move(now);
    known[size_t(z)] = true;
    return true;
}

void Form主窗体::Fun_MarkZone(int32_t z) {
    if (z < 1 || z > kZones) {
        return;
    }
    SetHighlight(Command区域(z), true);
    SetBoxText(Text区域备注, deps_.config.ZoneRemark[z]);
}

void Form主窗体::Fun_ShowMachineIps() {
    for (int m = 1; m <= kMachines; ++m) {
        const int ip = deps_.config.MachineIp[m];
        SetCaption(Command机器IP(m), ip == 0 ? QString() : Right("00", ip, 3));
    }
}

void Form主窗体::Fun_ShowZoneMachines(int32_t z) {
    if (!ValidZone(z) || !ValidMachine(CurMachine)) {
        return;
    }
    SetListPosition(Combo修改IP, deps_.config.MachineIp[CurMachine]);
    for (int m = 1; m <= kMachines; ++m) {
        SetHighlight(Command机器IP(m), deps_.config.ZoneUsesMachine[z][m] == 1);
    }
}

void Form主窗体::Fun_ShowTasks(int32_t z) {
    const int32_t t0 = CurTask;
    if (!ValidZone(z) || !ValidSlot(t0)) {
        return;
    }
    const ConfigTables& c = deps_.config;
    for (int t = 1; t <= kSlots; ++t) {
        SetCaption(Command定时任务(t), "[" + QString::number(t) + "]\r\n" + c.TaskRemark[t]);
        SetToolTip(Command定时任务(t), TaskToolTip(c, t));
        SetHighlight(Command定时任务(t), false);
        SetBold(Command定时任务(t), IsProgrammed(c, z, t));
    }
    if (t0 >= 1) {
        SetHighlight(Command定时任务(t0), true);
    }
    SetBoxText(Text任务备注, c.TaskRemark[t0]);
    SetListPosition(Combo小时, c.TaskHour[z][t0]);
    SetListPosition(Combo分钟, c.TaskMinute[z][t0]);
    SetListPosition(Combox场景, c.TaskScene[z][t0]);
}

void Form主窗体::Command区域_Click(int32_t index) {
    if (index < 1 || index > kZones) {
        return;
    }
    FlagRefreshing = kTrue;
    CurZone = index;
    Fun_ShowZones();
    Fun_MarkZone(CurZone);
    Fun_ShowMachineIps();
    Fun_ShowZoneMachines(CurZone);
    Fun_ShowTasks(CurZone);
    FlagRefreshing = kFalse;
}

void Form主窗体::Text区域备注_Change() {
    if (FlagRefreshing == kTrue || !ValidZone(CurZone)) {
        return;
    }
    deps_.config.ZoneRemark[CurZone] = Text区域备注->text();
    Command区域_Click(CurZone);
    NoteEdit(ZoneRemarkGroup(CurZone));
}

void Form主窗体::Command定时任务_Click(int32_t index) {
    if (index < 1 || index > kSlots) {
        return;
    }
    CurTask = index;
    Command区域_Click(CurZone);
}

void Form主窗体::Text任务备注_Change() {
    if (FlagRefreshing == kTrue || !ValidSlot(CurTask)) {
        return;
    }
    deps_.config.TaskRemark[CurTask] = Text任务备注->text();
    Command区域_Click(CurZone);
    NoteEdit(TaskRemarkGroup(CurTask));
}

// The hour, minute and scene lists store without a FlagRefreshing check: during a refresh they
// store the value the refresh has just read from the same cell.
bool Form主窗体::storeListPosition(QComboBox* list, uint8_t& cell) {
    const int position = list->currentIndex();
    if (position < 0) {
        return false;  // a stored value beyond the list: shown as text, left as it is
    }
    cell = uint8_t(position);
    return true;
}

void Form主窗体::Combo小时_Click() {
    if (ValidZone(CurZone) && ValidSlot(CurTask)) {
        storeListPosition(Combo小时, deps_.config.TaskHour[CurZone][CurTask]);
        NoteEdit();
    }
}

void Form主窗体::Combo分钟_Click() {
    if (ValidZone(CurZone) && ValidSlot(CurTask)) {
        storeListPosition(Combo分钟, deps_.config.TaskMinute[CurZone][CurTask]);
        NoteEdit();
    }
}

void Form主窗体::Combox场景_Click() {
    if (ValidZone(CurZone) && ValidSlot(CurTask)) {
        storeListPosition(Combox场景, deps_.config.TaskScene[CurZone][CurTask]);
        NoteEdit();
    }
}

void Form主窗体::Combo修改IP_Click() {
    if (FlagRefreshing == kTrue || !ValidMachine(CurMachine)) {
        return;
    }
    if (storeListPosition(Combo修改IP, deps_.config.MachineIp[CurMachine])) {
        Command区域_Click(CurZone);
        NoteEdit();
    }
}

void Form主窗体::Command机器IP_MouseDown(int32_t index, int button) {
    if (index < 1 || index > kMachines) {
        return;
    }
    Command机器IP(index)->setFocus(Qt::MouseFocusReason);
    CurMachine = index;
    SetListPosition(Combo修改IP, deps_.config.MachineIp[index]);
    if (button == 2 && ValidZone(CurZone)) {
        uint8_t& uses = deps_.config.ZoneUsesMachine[CurZone][index];
        uses = uses == 0 ? 1 : 0;
        Command区域_Click(CurZone);
        NoteEdit();
    }
}

// The setters below touch a widget only when what it shows changes: a refresh redraws 114
// buttons, and an unchanged text box keeps its cursor where the operator is typing.

void Form主窗体::SetCaption(QPushButton* button, const QString& caption) {
    const QString text = ButtonCaptionText(ShownRemark(caption));
    if (button->text() != text) {
        button->setText(text);
    }
}

void Form主窗体::SetToolTip(QPushButton* button, const QString& text) {
    // A remark that looks like markup ("<b>A</b>") is shown as it was typed.
    const QString tip = Qt::mightBeRichText(text)
                            ? "<p style='white-space:pre'>" + text.toHtmlEscaped() + "</p>"
                            : text;
    if (button->toolTip() != tip) {
        button->setToolTip(tip);
    }
}

void Form主窗体::SetHighlight(QPushButton* button, bool on) {
    if (IsHighlighted(button) == on) {
        return;
    }
    if (on) {
        QPalette palette = button->palette();
        palette.setColor(QPalette::Button, kHighlightColour);
        button->setPalette(palette);
    } else {
        button->setPalette(QPalette());  // back to the platform's button face
    }
}

void Form主窗体::SetBold(QPushButton* button, bool bold) {
    if (button->font().bold() != bold) {
        QFont font = button->font();
        font.setBold(bold);
        button->setFont(font);
    }
}

void Form主窗体::SetBoxText(QLineEdit* box, const QString& text) {
    const QString shown = ShownRemark(text);
    if (box->text() != shown) {
        box->setText(shown);
        box->setCursorPosition(0);  // a remark wider than the box shows from its start
    }
}

void Form主窗体::SetListPosition(QComboBox* list, int value) {
    if (value < list->count()) {
        list->setCurrentIndex(value);
        return;
    }
    // A value written elsewhere, beyond the list's end: no item is selected and the raw number
    // is shown in the edit field. The stored value is not touched.
    list->setCurrentIndex(-1);
    list->setEditText(QString::number(value));
}
