// Window Form主窗体: the dialog of the 32 zones with check boxes.

#include "ui/zone_pick_dialog.h"

#include "config/zone_day.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSignalBlocker>
#include <QVBoxLayout>

namespace {

constexpr int kColumns = 8;  // as the zone buttons lie

// "7 大厅": the zone's number and its remark as the button shows it, on one line.
QString ZoneBoxText(const ConfigTables& config, int z) {
    QString remark = ShownRemark(config.ZoneRemark[size_t(z)]).simplified();
    if (remark.size() > 12) {
        remark = remark.left(11) + QChar(0x2026);
    }
    return remark.isEmpty() ? QString::number(z) : QString::number(z) + ' ' + remark;
}

}  // namespace

ZonePickDialog::ZonePickDialog(QWidget* parent, const QString& title, const QString& intro,
                               const ConfigTables& config, int excluded)
    : QDialog(parent) {
    setObjectName(QStringLiteral("Dialog选择区域"));
    setWindowTitle(title);
    auto* layout = new QVBoxLayout(this);
    auto* label = new QLabel(intro, this);
    label->setObjectName(QStringLiteral("Label说明"));
    label->setWordWrap(true);
    layout->addWidget(label);

    auto* grid = new QGridLayout;
    for (int z = 1; z <= kZones; ++z) {
        auto* box = new QCheckBox(ZoneBoxText(config, z), this);
        box->setObjectName(QStringLiteral("Check区域(%1)").arg(z));
        box->setToolTip(ShownRemark(config.ZoneRemark[size_t(z)]));
        box->setEnabled(z != excluded);
        grid->addWidget(box, (z - 1) / kColumns, (z - 1) % kColumns);
        connect(box, &QCheckBox::toggled, this, [this] { followZones(); });
        zones_[size_t(z)] = box;
    }
    layout->addLayout(grid);

    auto* buttons = new QHBoxLayout;
    all_ = new QCheckBox(QCoreApplication::translate("Form主窗体", "全选"), this);
    all_->setObjectName(QStringLiteral("Check全选"));
    connect(all_, &QCheckBox::clicked, this, [this](bool on) {
        for (int z = 1; z <= kZones; ++z) {
            if (zones_[size_t(z)]->isEnabled()) {
                const QSignalBlocker quiet(zones_[size_t(z)]);
                zones_[size_t(z)]->setChecked(on);
            }
        }
        followZones();
    });
    buttons->addWidget(all_);
    buttons->addStretch();
    ok_ = new QPushButton(QCoreApplication::translate("Form主窗体", "确定"), this);
    ok_->setObjectName(QStringLiteral("Command确定"));
    ok_->setDefault(true);
    auto* cancel = new QPushButton(QCoreApplication::translate("Form主窗体", "取消"), this);
    cancel->setObjectName(QStringLiteral("Command取消"));
    connect(ok_, &QPushButton::clicked, this, &QDialog::accept);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    buttons->addWidget(ok_);
    buttons->addWidget(cancel);
    layout->addLayout(buttons);
    followZones();
}

QList<int> ZonePickDialog::chosen() const {
    QList<int> zones;
    for (int z = 1; z <= kZones; ++z) {
        if (zones_[size_t(z)]->isEnabled() && zones_[size_t(z)]->isChecked()) {
            zones << z;
        }
    }
    return zones;
}

void ZonePickDialog::setChosen(const QList<int>& zones) {
    for (int z = 1; z <= kZones; ++z) {
        const QSignalBlocker quiet(zones_[size_t(z)]);
        zones_[size_t(z)]->setChecked(zones.contains(z) && zones_[size_t(z)]->isEnabled());
    }
    followZones();
}

void ZonePickDialog::followZones() {
    int offered = 0;
    const int ticked = int(chosen().size());
    for (int z = 1; z <= kZones; ++z) {
        offered += zones_[size_t(z)]->isEnabled() ? 1 : 0;
    }
    const QSignalBlocker quiet(all_);
    all_->setChecked(ticked == offered);
    ok_->setEnabled(ticked > 0);
}
