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

struct SiteJsonParse {
    bool ok = false;
    ConfigTables config;  // complete when ok
    // One line per fault, with the place it is at: "line 57: zone 7, task 3: ...".
    QStringList errors;
};
// Checks every field; on any fault `ok` is false and the faults are listed (at most
// kSiteJsonMaxErrors, then how many more there were).
SiteJsonParse ParseSiteJson(const QByteArray& text);
inline constexpr int kSiteJsonMaxErrors = 20;

// Whether bytes look like a JSON document (a '{' first, after white space or a UTF-8 mark).
bool LooksLikeJson(const QByteArray& bytes);

struct BoundedRead {
    bool ok = false;
    QByteArray bytes;
    QString error;  // why not, in words for the operator
};
// The whole file when it is at most `limit` bytes; a larger one is refused without reading it.
BoundedRead ReadBounded(const QString& path, qsizetype limit);

struct SiteImport {
    enum class Status { Saved, Refused, KeepFailed, SaveFailed };
    Status status = Status::Refused;
    QStringList errors;      // Refused: the faults, each after the document's path; else the reason
    QString keptCopy;        // a damaged task file that was there was copied here first
    bool irregular = false;  // that file passed its header check but was not whole
};
// Reads and checks the document at `jsonPath` and, only when all of it is good, replaces the
// task file at `taskPath` atomically. A damaged task file that is there is kept aside first; when
// no copy can be made nothing is written.
SiteImport ImportSiteJson(const QString& jsonPath, const QString& taskPath);

struct SiteSource {
    bool ok = false;
    ConfigTables config;
    QStringList errors;
};
// A task file or a site document, told apart by content: a task file begins with its format
// identifier, a document with '{'. Only reads: a damaged task file is reported and left as it is.
SiteSource ReadSiteSource(const QString& path);
