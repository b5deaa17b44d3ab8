// Task containers: inflate, decipher and look keys up in whatever bytes arrive.
#include "base/text.h"
#include "store/encrypt_inifile.h"

#include <cstdint>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::string_view bytes(reinterpret_cast<const char*>(data), size);
    std::vector<std::string> lines;
    try {
        tarvimo::store::InflateLines(bytes, lines);
    } catch (const tarvimo::store::ContainerError&) {
    }
    // The payload may also be taken as cipher lines directly, to reach the decipher.
    if (lines.empty())
        lines = tarvimo::text::splitLines(bytes);
    for (const auto& l : lines) {
        if (tarvimo::text::trimView(l).empty())
            continue;
        try {
            std::string plain = tarvimo::store::DecryptLine(l, tarvimo::store::storeKey());
            std::string again = tarvimo::store::EncryptLine(plain, tarvimo::store::storeKey());
            if (again.size() != 2 + 2 * plain.size())
                __builtin_trap();
        } catch (const tarvimo::store::ConversionError&) {
        }
    }
    return 0;
}
