#include "base/messages.h"

#include <cstdio>

namespace tarvimo {

void StderrMessages::warning(std::string_view text)
{
    std::fprintf(stderr, "warning: %.*s\n", static_cast<int>(text.size()), text.data());
}

void StderrMessages::information(std::string_view text)
{
    std::fprintf(stderr, "%.*s\n", static_cast<int>(text.size()), text.data());
}

bool StderrMessages::question(std::string_view text)
{
    std::fprintf(stderr, "%.*s [%s]\n", static_cast<int>(text.size()), text.data(), answer_ ? "yes" : "no");
    return answer_;
}

} // namespace tarvimo
