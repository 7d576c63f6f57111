#pragma once
// What changed between two configurations, in the operator's terms, one change per line.

#include "config/config.h"

#include <QStringList>

// Machines first, then zone by zone (remark, machines used, tasks), then the task remarks.
// Remarks count as equal when they give the same task file bytes. Empty when nothing differs.
QStringList SiteDiff(const ConfigTables& before, const ConfigTables& after);

// "042"; "无" for no address.
QString AddressText(uint8_t stored);
// "07:30 scene 2", "07:-- no scene", "not set" when hour, minute and scene are all unset.
QString SlotText(uint8_t hour, uint8_t minute, uint8_t scene);
// The remark as shown, "\"\"" when empty; stored text after a U+0000 is added as its units.
QString RemarkText(const QString& remark);
