// E-mail recogniser: steps over any page text the way a lookup does (at most ten steps
// while an "@" is left) without fault, every address it accepts is a short, plain address,
// and each step leaves a tail of the text it was given.
#include "base/text.h"
#include "engine/email_lookup.h"

#include <cstdint>
#include <string>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::string page(reinterpret_cast<const char*>(data), size);
    for (int n = 0; n < 10 && tarvimo::text::findChar(page, "@") != std::string::npos; ++n) {
        auto step = tarvimo::engine::recogniseEmail(page);
        // The rest is what follows the candidate: a proper tail of the text.
        if (step.rest.size() >= page.size() ||
            std::string_view(page).substr(page.size() - step.rest.size()) != step.rest)
            __builtin_trap();
        const std::string& a = step.address;
        if (!a.empty()) {
            // 30 characters at most, plus "om" when a final ".c" becomes ".com".
            if (a.size() > 32 || a.find('@') == std::string::npos || a.find('.') == std::string::npos)
                __builtin_trap();
            for (const std::string_view bad : {"/", "..", "--", "<", " "})
                if (a.find(bad) != std::string::npos)
                    __builtin_trap();
            for (const char c : a)
                if (static_cast<unsigned char>(c) >= 0x80 || (c >= 'A' && c <= 'Z'))
                    __builtin_trap();
        }
        page = std::move(step.rest);
    }
    return 0;
}
