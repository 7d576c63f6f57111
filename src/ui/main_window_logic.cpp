// M_Form主窗体: the four choice lists and the full refresh that draws the three button arrays,
// the remark boxes and the task editor from the configuration and the current selection.

#include "ui/main_window.h"

#include <QComboBox>
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
    QString text = VisibleRemark(remark);
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return text;
}

}  // namespace

QString VisibleRemark(const QString& remark) {
    const qsizetype end = remark.indexOf(QChar(0));
    return end < 0 ? remark : remark.left(end);
}

QString ZoneToolTip(const ConfigTables& config, int32_t z) {
    return ValidZone(z) ? RemarkToolTip(config.ZoneRemark[z]) : QString();
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

void MainWindow::Fun_FillLists() {
    // Appending items is not a selection: no handler runs while the lists are filled.
    const QSignalBlocker quietHour(comboHour_), quietMinute(comboMinute_), quietScene(comboScene_),
        quietIp(comboIp_);
    const QString none = QStringLiteral("无");
    comboHour_->addItem(none);
    for (int h = 0; h <= 23; ++h) {
        comboHour_->addItem(Right("0", h, 2));
    }
    comboMinute_->addItem(none);
    for (int m = 0; m <= 59; ++m) {
        comboMinute_->addItem(Right("0", m, 2));
    }
    comboScene_->addItem(none);
    for (int s = 1; s <= 30; ++s) {
        comboScene_->addItem(Right("0", s, 2));
    }
    comboIp_->addItem(none);
    for (int a = 1; a <= 254; ++a) {
        comboIp_->addItem(Right("00", a, 3));
    }
}

void MainWindow::Fun_InitSelection() {
    CurTask = 1;
}

void MainWindow::Fun_ShowZones() {
    for (int z = 1; z <= kZones; ++z) {
        SetCaption(zoneButtons_[z], deps_.config.ZoneRemark[z]);
        SetToolTip(zoneButtons_[z], ZoneToolTip(deps_.config, z));
        SetHighlight(zoneButtons_[z], false);
    }
}

void MainWindow::Fun_MarkZone(int32_t z) {
    if (z < 1 || z > kZones) {
        return;
    }
    SetHighlight(zoneButtons_[z], true);
    SetBoxText(zoneRemark_, deps_.config.ZoneRemark[z]);
}

void MainWindow::Fun_ShowMachineIps() {
    for (int m = 1; m <= kMachines; ++m) {
        const int ip = deps_.config.MachineIp[m];
        SetCaption(machineButtons_[m], ip == 0 ? QString() : Right("00", ip, 3));
    }
}

void MainWindow::Fun_ShowZoneMachines(int32_t z) {
    if (!ValidZone(z) || !ValidMachine(CurMachine)) {
        return;
    }
    SetListPosition(comboIp_, deps_.config.MachineIp[CurMachine]);
    for (int m = 1; m <= kMachines; ++m) {
        SetHighlight(machineButtons_[m], deps_.config.ZoneUsesMachine[z][m] == 1);
    }
}

void MainWindow::Fun_ShowTasks(int32_t z) {
    const int32_t t0 = CurTask;
    if (!ValidZone(z) || !ValidSlot(t0)) {
        return;
    }
    const ConfigTables& c = deps_.config;
    for (int t = 1; t <= kSlots; ++t) {
        SetCaption(taskButtons_[t], "[" + QString::number(t) + "]\r\n" + c.TaskRemark[t]);
        SetToolTip(taskButtons_[t], TaskToolTip(c, t));
        SetHighlight(taskButtons_[t], false);
        SetBold(taskButtons_[t], IsProgrammed(c, z, t));
    }
    if (t0 >= 1) {
        SetHighlight(taskButtons_[t0], true);
    }
    SetBoxText(taskRemark_, c.TaskRemark[t0]);
    SetListPosition(comboHour_, c.TaskHour[z][t0]);
    SetListPosition(comboMinute_, c.TaskMinute[z][t0]);
    SetListPosition(comboScene_, c.TaskScene[z][t0]);
}

void MainWindow::Command区域_Click(int32_t index) {
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

void MainWindow::Text区域备注_Change() {
    if (FlagRefreshing == kTrue || !ValidZone(CurZone)) {
        return;
    }
    deps_.config.ZoneRemark[CurZone] = zoneRemark_->text();
    Command区域_Click(CurZone);
}

void MainWindow::Command定时任务_Click(int32_t index) {
    if (index < 1 || index > kSlots) {
        return;
    }
    CurTask = index;
    Command区域_Click(CurZone);
}

void MainWindow::Text任务备注_Change() {
    if (FlagRefreshing == kTrue || !ValidSlot(CurTask)) {
        return;
    }
    deps_.config.TaskRemark[CurTask] = taskRemark_->text();
    Command区域_Click(CurZone);
}

// The hour, minute and scene lists store without a FlagRefreshing check: during a refresh they
// store the value the refresh has just read from the same cell.
bool MainWindow::storeListPosition(QComboBox* list, uint8_t& cell) {
    const int position = list->currentIndex();
    if (position < 0) {
        return false;  // a stored value beyond the list: shown as text, left as it is
    }
    cell = uint8_t(position);
    return true;
}

void MainWindow::Combo小时_Click() {
    if (ValidZone(CurZone) && ValidSlot(CurTask)) {
        storeListPosition(comboHour_, deps_.config.TaskHour[CurZone][CurTask]);
    }
}

void MainWindow::Combo分钟_Click() {
    if (ValidZone(CurZone) && ValidSlot(CurTask)) {
        storeListPosition(comboMinute_, deps_.config.TaskMinute[CurZone][CurTask]);
    }
}

void MainWindow::Combox场景_Click() {
    if (ValidZone(CurZone) && ValidSlot(CurTask)) {
        storeListPosition(comboScene_, deps_.config.TaskScene[CurZone][CurTask]);
    }
}

void MainWindow::Combo修改IP_Click() {
    if (FlagRefreshing == kTrue || !ValidMachine(CurMachine)) {
        return;
    }
    if (storeListPosition(comboIp_, deps_.config.MachineIp[CurMachine])) {
        Command区域_Click(CurZone);
    }
}

void MainWindow::Command机器IP_MouseDown(int32_t index, int button) {
    if (index < 1 || index > kMachines) {
        return;
    }
    machineButtons_[index]->setFocus(Qt::MouseFocusReason);
    CurMachine = index;
    SetListPosition(comboIp_, deps_.config.MachineIp[index]);
    if (button == 2 && ValidZone(CurZone)) {
        uint8_t& uses = deps_.config.ZoneUsesMachine[CurZone][index];
        uses = uses == 0 ? 1 : 0;
        Command区域_Click(CurZone);
    }
}

// The setters below touch a widget only when what it shows changes: a refresh redraws 114
// buttons, and an unchanged text box keeps its cursor where the operator is typing.

void MainWindow::SetCaption(QPushButton* button, const QString& caption) {
    const QString text = ButtonCaptionText(VisibleRemark(caption));
    if (button->text() != text) {
        button->setText(text);
    }
}

void MainWindow::SetToolTip(QPushButton* button, const QString& text) {
    // A remark that looks like markup ("<b>A</b>") is shown as it was typed.
    const QString tip = Qt::mightBeRichText(text)
                            ? "<p style='white-space:pre'>" + text.toHtmlEscaped() + "</p>"
                            : text;
    if (button->toolTip() != tip) {
        button->setToolTip(tip);
    }
}

void MainWindow::SetHighlight(QPushButton* button, bool on) {
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

void MainWindow::SetBold(QPushButton* button, bool bold) {
    if (button->font().bold() != bold) {
        QFont font = button->font();
        font.setBold(bold);
        button->setFont(font);
    }
}

void MainWindow::SetBoxText(QLineEdit* box, const QString& text) {
    const QString shown = VisibleRemark(text);
    if (box->text() != shown) {
        box->setText(shown);
        box->setCursorPosition(0);  // a remark wider than the box shows from its start
    }
}

void MainWindow::SetListPosition(QComboBox* list, int value) {
    if (value < list->count()) {
        list->setCurrentIndex(value);
        return;
    }
    // A value written elsewhere, beyond the list's end: no item is selected and the raw number
    // is shown in the edit field. The stored value is not touched.
    list->setCurrentIndex(-1);
    list->setEditText(QString::number(value));
}
