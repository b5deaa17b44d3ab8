// The crawler's address rules on addresses and links from outside: the input holds a page
// address, a zero byte, then a raw link as found on that page. The page is split, the link
// resolved against it, classified and split again. The lines of the whole input also fill
// the sorted lists of visited addresses: whatever was added is found again.
#include "crawler/crack_url.h"
#include "crawler/url_lists.h"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

using namespace tarvimo::crawler;

namespace {

void require(bool ok)
{
    if (!ok)
        std::abort();
}

bool containsUpper(std::string_view text, std::string_view upperNeedle)
{
    std::string up(text);
    for (char& c : up)
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    return up.find(upperNeedle) != std::string::npos;
}

// A "." or ".." segment in the path that starts at 'from' (up to "?" or "#").
bool hasDotSegment(std::string_view link, std::size_t from)
{
    std::string_view path = link.substr(from);
    path = path.substr(0, path.find_first_of("?#"));
    std::size_t i = 0;
    while (i <= path.size()) {
        std::size_t j = path.find('/', i);
        if (j == std::string_view::npos)
            j = path.size();
        const std::string_view seg = path.substr(i, j - i);
        if (seg == "." || seg == "..")
            return true;
        i = j + 1;
    }
    return false;
}

void checkAddress(std::string_view address, std::string_view raw)
{
    TCrackUrl page;
    if (!page.Crack(address))
        return;
    require(page.Url() == address);
    require(!page.DirectoryPath().empty());
    require(page.HostName().find(page.SiteDomain()) != std::string::npos);

    const ResolvedLink r = ResolveLink(page, raw);
    require(r.type == "mail" || r.type == "unknown");
    if (r.type == "mail") {
        const std::size_t q = r.link.find('?');
        require(q == std::string::npos || q == 0);
    } else {
        require(r.link.size() <= kMaxLinkLength);
        const std::size_t hash = r.link.find('#');
        require(hash == std::string::npos || hash == 0);
    }
    if (r.link.empty())
        return;

    const LinkClass c = ClassifyLink(r.link);
    require(c.type == "htm" || c.type == "unknown" || isKnownFileType(c.type));
    require(c.type != "jpeg" && c.type != "mpeg");
    for (char ch : c.scheme)
        require(!(ch >= 'A' && ch <= 'Z'));

    TCrackUrl link;
    const bool cracked = link.Crack(r.link);
    if (cracked)
        require(link.Url() == r.link);

    // A plainly relative link on a web page whose host holds no byte that means something
    // in an address stays on that host and port, and its path has no dot segments left.
    const bool web = page.Scheme() == "http" || page.Scheme() == "https";
    const bool plainHost = page.HostName().find_first_of(":@/?#[]%\\") == std::string::npos;
    const bool relative = !raw.empty() && r.type == "unknown" && !containsUpper(raw, "JAVASCRIPT")
                          && ((raw[0] == '/' && (raw.size() < 2 || raw[1] != '/')) || raw[0] == '.');
    if (web && plainHost && relative) {
        require(cracked);
        require(link.HostName() == page.HostName());
        require(link.Port() == page.Port());
        require(link.Scheme() == page.Scheme());
        const std::size_t pathAt = r.link.find('/', page.Scheme().size() + 3);
        require(pathAt != std::string::npos);
        require(!hasDotSegment(r.link, pathAt));
    }
}

std::vector<std::string> linesOf(std::string_view in)
{
    TMFStringList split;
    split.setText(in);
    std::vector<std::string> out;
    for (std::size_t i = 0; i < split.count(); ++i)
        out.push_back(split[i]);
    return out;
}

void checkLists(std::string_view in)
{
    const std::vector<std::string> lines = linesOf(in);

    for (const bool descending : {false, true}) {
        // Built by FindOrAdd: strictly ordered, each line once.
        TMFStringList set;
        set.setDescending(descending);
        for (const std::string& line : lines) {
            const TMFStringList::Found before = set.FindOrAdd(line, false);
            const std::size_t count = set.count();
            const TMFStringList::Found added = set.FindOrAdd(line, true);
            require(added.found == before.found);
            require(set.count() == count + (before.found ? 0 : 1));
            require(added.index >= 0 && static_cast<std::size_t>(added.index) < set.count());
            require(before.found || added.index == before.insertAt);
        }
        for (std::size_t i = 1; i < set.count(); ++i) {
            const int c = TMFStringList::compare(set[i - 1], set[i]);
            require(descending ? c > 0 : c < 0);
            require(TMFStringList::compare(set[i], set[i - 1]) == -c);
        }
        for (const std::string& line : lines) {
            const TMFStringList::Found f = set.FindOrAdd(line, false);
            require(f.found);
            require(TMFStringList::compare(set[static_cast<std::size_t>(f.index)], line) == 0);
        }

        // Filled whole and sorted: no empty entry, in order, every line found again.
        TMFStringList sorted;
        sorted.setDescending(descending);
        sorted.setText(in);
        sorted.Sort();
        std::size_t nonEmpty = 0;
        for (const std::string& line : lines)
            nonEmpty += line.empty() ? 0 : 1;
        require(sorted.count() == nonEmpty);
        for (std::size_t i = 0; i < sorted.count(); ++i) {
            require(!sorted[i].empty());
            if (i > 0) {
                const int c = TMFStringList::compare(sorted[i - 1], sorted[i]);
                require(descending ? c >= 0 : c <= 0);
            }
        }
        for (const std::string& line : lines)
            if (!line.empty())
                require(sorted.FindOrAdd(line, false).found);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string_view in(reinterpret_cast<const char*>(data), size);
    const std::size_t zero = in.find('\0');
    const std::string_view address = in.substr(0, zero);
    const std::string_view raw = zero == std::string_view::npos ? std::string_view() : in.substr(zero + 1);
    checkAddress(address, raw);
    checkLists(in);
    return 0;
}
