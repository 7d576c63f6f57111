#pragma once
// The site document's files: read within a bound, imported into the task file as a save does,
// or read as a source that may be a task file or a document.

#include "config/config.h"
#include "site/site_json.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

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

// A task file or a site document, told apart by content: a task file begins with its format
// identifier, a document with '{'. Only reads: a damaged task file is reported and left as it is.
CheckedConfig ReadSiteSource(const QString& path);
