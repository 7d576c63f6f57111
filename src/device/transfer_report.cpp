#include "device/transfer_report.h"

#include <QCoreApplication>

namespace {

QString Seconds(uint32_t ms) {
    return QString::number(double(ms) / 1000.0, 'f', 1);
}

// "7 (/dev/ttyUSB0)", or "7" when the device is not known.
QString PortName(const TransferPort& port) {
    return port.device.isEmpty() ? QString::number(port.number)
                                 : QStringLiteral("%1 (%2)").arg(port.number).arg(port.device);
}

QString NoAnswer(const DownloadResult& result, const TransferPort& port) {
    if (result.unansweredBlock == 0) {
        return QCoreApplication::translate(
                   "M_下载", "控制器没有应答下载请求（串口 %1）：请检查线缆、控制器的电源和串口号")
            .arg(PortName(port));
    }
    return QCoreApplication::translate(
               "M_下载", "控制器没有应答第 %1 块（共 %2 块，串口 %3）：请检查线缆和控制器")
        .arg(result.unansweredBlock)
        .arg(result.blocks)
        .arg(PortName(port));
}

QString VerifyFailure(const DownloadResult& result, const TransferPort& port) {
    switch (result.verify) {
        case DownloadResult::VerifyAnswer::NotGood:
            return QCoreApplication::translate("M_下载",
                                               "校验失败：控制器报告收到的数据有误（串口 %1）")
                .arg(PortName(port));
        case DownloadResult::VerifyAnswer::WithoutVerdict:
            return QCoreApplication::translate(
                       "M_下载",
                       "校验失败：控制器的应答没有校验结果（串口 %1）：它可能确认的是上一帧，"
                       "请再下载一次")
                .arg(PortName(port));
        case DownloadResult::VerifyAnswer::None:
            break;
    }
    return QCoreApplication::translate("M_下载", "校验失败：控制器没有应答校验请求（串口 %1）")
        .arg(PortName(port));
}

}  // namespace

QString DescribePortFailure(const TransferPort& port) {
    const QString device = port.device.isEmpty() ? QStringLiteral("-") : port.device;
    if (port.status.lineLost) {
        return QCoreApplication::translate("M_下载", "串口 %1（%2）：%3")
            .arg(port.number)
            .arg(device, DescribePortProblem(port.status));
    }
    if (port.status.opened()) {
        return QString();
    }
    if (port.number == 0) {
        return QCoreApplication::translate("M_下载", "没有选择串口：请在“串口”中选择一个");
    }
    return QCoreApplication::translate("M_下载", "串口 %1 无法打开：%2（%3）")
        .arg(port.number)
        .arg(DescribePortProblem(port.status), device);
}

TransferReport DescribeDownload(const DownloadResult& result, const TransferPort& port) {
    if (result.outcome == DownloadOutcome::Success) {
        return {true, QCoreApplication::translate("M_下载", "下载成功，用时 %1 秒")
                          .arg(Seconds(result.elapsedMs))};
    }
    if (result.outcome == DownloadOutcome::Busy) {
        return {false, QCoreApplication::translate("M_下载", "另一次传送正在进行")};
    }
    if (const QString failure = DescribePortFailure(port); !failure.isEmpty()) {
        return {false, failure};
    }
    switch (result.outcome) {
        case DownloadOutcome::SaveFailed:
            return {false,
                    QCoreApplication::translate("M_下载", "任务文件未能保存，什么也没有发送：%1")
                        .arg(result.saveError)};
        case DownloadOutcome::FileMissing:
            return {false, QCoreApplication::translate("M_下载", "任务文件不存在或为空")};
        case DownloadOutcome::NoHandshake:
            return {false, NoAnswer(result, port)};
        case DownloadOutcome::VerifyFailed:
            return {false, VerifyFailure(result, port)};
        case DownloadOutcome::Aborted:
            return {false,
                    QCoreApplication::translate("M_下载", "下载在第 %1 块后停止：程序正在退出")
                        .arg(result.acknowledged)};
        case DownloadOutcome::Success:
        case DownloadOutcome::Busy:
            break;
    }
    return {false, QString()};
}

TransferReport DescribeTimeSync(TimeSyncOutcome outcome, uint32_t elapsedMs,
                                const TransferPort& port, const QDateTime& set) {
    switch (outcome) {
        case TimeSyncOutcome::Confirmed:
            if (set.isValid()) {
                return {true, QCoreApplication::translate(
                                  "M_下载", "时间同步成功，用时 %1 秒：控制器的时钟设为 %2")
                                  .arg(Seconds(elapsedMs),
                                       set.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")))};
            }
            return {true, QCoreApplication::translate("M_下载", "时间同步成功，用时 %1 秒")
                              .arg(Seconds(elapsedMs))};
        case TimeSyncOutcome::Busy:
            return {false, QCoreApplication::translate("M_下载", "另一次传送正在进行")};
        case TimeSyncOutcome::NoReply:
            break;
    }
    if (const QString failure = DescribePortFailure(port); !failure.isEmpty()) {
        return {false, failure};
    }
    return {false,
            QCoreApplication::translate("M_下载", "控制器没有应答（串口 %1）").arg(PortName(port))};
}
