#pragma once
// The window's port list "串口" as the serial session sees it (PortSelector).

#include "serial/port_layer.h"
#include "serial/port_map.h"

#include <QList>
#include <QString>

class QComboBox;

// The port list as the serial session sees it. The probe's entries and the remembered number
// are not operator choices, so none of these raises the list's selection handler. Each entry
// tells which device and adapter its number stands for.
class ComboPortSelector : public PortSelector {
  public:
    ComboPortSelector(QComboBox* combo, QString settingsPath);

    void clear() override;
    void addItem(const QString& text) override;
    void setText(const QString& text) override;
    QString text() const override;

    // The entries become `numbers`; the text the list shows (the remembered port) stays.
    void relist(const QList<int32_t>& numbers);

  private:
    QString describe(const QString& text) const;
    void updateToolTip();

    QComboBox* combo_;
    PortMap map_;
};
