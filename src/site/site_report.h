#pragma once
// The handover sheet of a site: one self-contained HTML page (no external resources) to print
// and give to the site's owner.

#include "config/config.h"

#include <QDateTime>
#include <QString>

struct ReportSource {
    QString file;        // the task file the sheet was made from
    QDateTime fileDate;  // its last change
    QDateTime made;      // when the sheet was made
};

// Machine addresses, then a 24-hour timeline of all 32 zones with one mark (class "mark") per
// programmed task of the day, labelled by its scene, then each zone with its machines and its
// programmed tasks in time order. Every text from the configuration is HTML-escaped.
QString SiteReportHtml(const ConfigTables& config, const ReportSource& source);

// Text for HTML content and double-quoted attributes: markup characters escaped, and characters
// that HTML does not allow (controls, a surrogate without its partner) shown as U+FFFD.
QString HtmlText(const QString& text);
