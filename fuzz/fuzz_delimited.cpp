// Delimited lists: any value splits without fault, and whatever is joined splits back
// into the same items.
#include "store/delimited.h"

#include <cstdint>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0)
        return 0;
    const char d = static_cast<char>(data[0]);
    std::string_view value(reinterpret_cast<const char*>(data) + 1, size - 1);
    auto items = tarvimo::store::splitDelimited(value, d);
    // Round trip holds for ordinary delimiters (a blank or quote as delimiter is not one).
    if (static_cast<unsigned char>(d) > ' ' && d != '"' && static_cast<unsigned char>(d) < 0x80) {
        auto again = tarvimo::store::splitDelimited(tarvimo::store::joinDelimited(items, d), d);
        bool hasZero = false;
        for (const auto& i : items)
            hasZero = hasZero || i.find('\0') != std::string::npos;
        if (!hasZero && again != items)
            __builtin_trap();
    }
    return 0;
}
