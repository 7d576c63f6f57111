#pragma once
// Window Form主窗体: the small dialog in which the operator ticks the zones that a paste or a
// task's time and scene go to: the 32 zones as the zone buttons lie (4 rows of 8), each with its
// number and remark, and "全选" (select all).

#include "config/config.h"

#include <QDialog>
#include <QList>
#include <array>

class QCheckBox;
class QPushButton;

class ZonePickDialog : public QDialog {
  public:
    // `excluded` (1..32, or 0 for none) is the zone the data comes from: shown, not offered.
    ZonePickDialog(QWidget* parent, const QString& title, const QString& intro,
                   const ConfigTables& config, int excluded);

    // The zones ticked, in order.
    QList<int> chosen() const;
    void setChosen(const QList<int>& zones);

    QCheckBox* zoneBox(int z) const { return zones_.at(size_t(z)); }
    QCheckBox* allBox() const { return all_; }
    QPushButton* okButton() const { return ok_; }

  private:
    void followZones();  // the select-all box and OK follow the ticked zones

    std::array<QCheckBox*, kZones + 1> zones_{};
    QCheckBox* all_ = nullptr;
    QPushButton* ok_ = nullptr;
};
