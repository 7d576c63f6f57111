#pragma once
// What became of a download or a time synchronisation, in the operator's words: success with
// the time taken, or what went wrong and what to try. The one text of it, for the window's status
// line and the companion's messages alike (in the language of the installed translation).

#include "device/transfer.h"
#include "serial/port_layer.h"

#include <QDateTime>
#include <QString>

// The port a transfer used: its number, the device behind it, and what became of it.
struct TransferPort {
    int32_t number = 0;
    QString device;
    PortStatus status;
};

struct TransferReport {
    bool ok = false;
    QString text;
};

TransferReport DescribeDownload(const DownloadResult& result, const TransferPort& port);
TransferReport DescribeTimeSync(TimeSyncOutcome outcome, uint32_t elapsedMs,
                                const TransferPort& port, const QDateTime& set = {});

// Why the port did not open or was lost, with the port's number and device; "" when it opened
// and stayed.
QString DescribePortFailure(const TransferPort& port);
