// A directory site's first result page is outside input: every row's count rule, on any
// bytes, ends, stays in bounds, never throws, and gives a page range of one to the capped
// number of pages; the paged address keeps the request around the range.
#include "directory/result_counter.h"

#include <cstdint>
#include <cstdlib>
#include <string>

using namespace tarvimo;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string page(reinterpret_cast<const char*>(data), size);
    for (const auto& row : directory::catalogueRows()) {
        const directory::PageCount c = directory::readResultPage(row, page);
        // "{from,to}" or "{from,to,step}" with 1 <= to <= the cap.
        const std::size_t comma = c.range.find(',');
        if (c.range.size() < 5 || c.range.front() != '{' || c.range.back() != '}' || comma == std::string::npos)
            std::abort();
        const long to = std::strtol(c.range.c_str() + comma + 1, nullptr, 10);
        if (to < 1 || to > directory::kMaxResultPages)
            std::abort();
        if (c.count && *c.count < 0)
            std::abort();
        const std::string request = "http://h/x/" + page.substr(0, 64) + "?page=1&ee=1&p=1&pn=0&beginPage=1_1.html/1/";
        const std::string paged = directory::pagedAddress(row, request, c.range);
        if (paged.size() > request.size() + c.range.size())
            std::abort();
    }
    return 0;
}
