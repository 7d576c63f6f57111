#pragma once
// A transfer listener for tests: the log's text, the boxes shown, and hooks to act at a log line,
// a box or a block's progress.

#include "device/transfer.h"

#include <QString>
#include <functional>

class RecordingListener : public TransferListener {
  public:
    void append(const QString& piece) override {
        text += piece;
        if (onAppend) {
            onAppend(piece);
        }
    }
    void showTimeSyncSuccess() override {
        ++shown;
        if (onShow) {
            onShow();
        }
    }
    void blockAcknowledged(int32_t n, int32_t blocks, uint32_t elapsedMs) override {
        if (onBlock) {
            onBlock(n, blocks, elapsedMs);
        }
    }

    QString text;   // every piece logged, in order
    int shown = 0;  // boxes "时间同步成功！！！"
    std::function<void(const QString&)> onAppend;
    std::function<void()> onShow;
    std::function<void(int32_t, int32_t, uint32_t)> onBlock;
};
