// Any bytes as a site document for import: the checks and the line finder stay within their
// input and their depth bound (AddressSanitizer watches), a document that passes gives tables
// whose own document passes again to the same tables, and faults never come without a reason.
#include "site/site_json.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray text(reinterpret_cast<const char*>(data), qsizetype(size));
    const CheckedConfig parsed = ParseSiteJson(text);
    if (!parsed.ok) {
        if (parsed.errors.isEmpty()) {
            std::abort();  // a refusal must say why
        }
        return 0;
    }
    const CheckedConfig again = ParseSiteJson(SiteJson(parsed.config));
    if (!again.ok || !(again.config == parsed.config)) {
        std::abort();
    }
    return 0;
}
