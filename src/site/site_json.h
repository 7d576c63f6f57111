#pragma once
// A site's whole configuration as a JSON document that operators can read, compare, keep beside
// the task file and edit. The document keeps every stored value, also those outside the window's
// lists, so that writing it back gives the same task file byte for byte. The README describes
// the fields.

#include "config/config.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

// Larger input is refused before it is read: a fully programmed site exports to some 130 KiB.
inline constexpr qsizetype kSiteJsonMaxBytes = qsizetype(1) << 20;

QByteArray SiteJson(const ConfigTables& config);

// A configuration read from outside input, and whether it may be taken: on any fault `ok` is
// false and `errors` has one line per fault, with the place it is at ("line 57: zone 7, task 3:
// ..."), or why the input could not be read.
struct CheckedConfig {
    bool ok = false;
    ConfigTables config;  // complete when ok
    QStringList errors;
};
// Checks every field; on any fault `ok` is false and the faults are listed (at most
// kSiteJsonMaxErrors, then how many more there were).
CheckedConfig ParseSiteJson(const QByteArray& text);
inline constexpr int kSiteJsonMaxErrors = 20;

// Whether bytes look like a JSON document (a '{' first, after white space or a UTF-8 mark).
bool LooksLikeJson(const QByteArray& bytes);
