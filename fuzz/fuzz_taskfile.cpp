// Any bytes as a task file: the reader stays inside its tables and its 65537-byte buffer
// (AddressSanitizer watches), a header mismatch loads nothing, and what it loads saves to an
// image that loads back to the same image.
#include "config/taskfile.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace {

// Saving costs about thirty loads, so the round trip runs for inputs whose length is a
// multiple of 64: the fuzzer still meets it often, and any failure reproduces from its input.
bool RoundTripFor(size_t size) {
    return size % 64 == 0;
}

void CheckRoundTrip(const ConfigTables& loaded) {
    const QByteArray image = BuildTaskImage(loaded);
    ConfigTables again;
    if (image.size() != kTaskFileSize || LoadTaskImage(again, image) != LoadStatus::Loaded ||
        BuildTaskImage(again) != image) {
        std::abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    ConfigTables loaded;
    if (LoadTaskImage(loaded, bytes) != LoadStatus::Loaded) {
        if (!(loaded == ConfigTables{})) {
            std::abort();
        }
        return 0;
    }
    if (RoundTripFor(size)) {
        CheckRoundTrip(loaded);
    }
    return 0;
}
