#pragma once
// The receive buffer RxBuff and the one rule by which received bytes go into it, for the
// session's receive poll and for anything that feeds the parser as the poll would.

#include <array>
#include <cstdint>

inline constexpr int kRxBuffSize = 2001;  // indices 0..2000; 2000 bytes usable
using RxBuffer = std::array<uint8_t, kRxBuffSize>;

// Stores one received byte at `count` and moves it on. A count outside the usable bytes (the
// buffer full, or a count gone wrong) starts storing at index 0 again; that byte is dropped.
inline void AppendReceived(int32_t& count, RxBuffer& buff, uint8_t byte) {
    constexpr int32_t kUsable = kRxBuffSize - 1;  // index 2000 is never written
    if (count >= 0 && count < kUsable) {
        buff[static_cast<std::size_t>(count)] = byte;
        ++count;
    } else {
        count = 0;
    }
}
