#include "engine/url_list.h"

#include "base/text.h"

#include <cstdint>
#include <limits>
#include <stdexcept>

namespace tarvimo::engine {

namespace {
inline unsigned char foldAscii(unsigned char c) { return c >= 'A' && c <= 'Z' ? c + 32 : c; }
inline unsigned slotHash(std::string_view s) { return static_cast<unsigned>(hashNoCase(s)); }
} // namespace

std::size_t hashNoCase(std::string_view s)
{
    // FNV-1a over the folded text; bytes of a double-byte character are taken unfolded.
    std::uint64_t h = 1469598103934665603ull;
    for (std::size_t i = 0; i < s.size();) {
        const unsigned char c = static_cast<unsigned char>(s[i]);
        if (!text::isLeadByte(c)) {  // the common case: a byte that is a character by itself
            h = (h ^ foldAscii(c)) * 1099511628211ull;
            ++i;
            continue;
        }
        // A lead byte and its trail bytes are taken as they are (a stray lead byte is no
        // letter either).
        for (const std::size_t end = i + text::charLen(s, i); i < end; ++i)
            h = (h ^ static_cast<unsigned char>(s[i])) * 1099511628211ull;
    }
    // FNV leaves its low bits weak; the slot index is taken from them.
    h ^= h >> 32;
    h *= 0x9E3779B97F4A7C15ull;
    return static_cast<std::size_t>(h ^ (h >> 29));
}

UrlList::UrlList() = default;
UrlList::UrlList(const UrlList&) = default;
UrlList& UrlList::operator=(const UrlList&) = default;
UrlList::UrlList(UrlList&&) noexcept = default;
UrlList& UrlList::operator=(UrlList&&) noexcept = default;
UrlList::~UrlList() = default;

std::size_t UrlList::findSlot(std::string_view url, unsigned hash) const
{
    const std::size_t mask = slots_.size() - 1;
    for (std::size_t s = hash & mask;; s = (s + 1) & mask) {
        const Slot& v = slots_[s];
        if (v.item == 0 || (v.hash == hash && text::equalsNoCase(items_[v.item - 1], url)))
            return s;
    }
}

void UrlList::rehash(std::size_t slots)
{
    std::size_t n = 16;
    while (n < slots)
        n <<= 1;
    std::vector<Slot> old(n);
    old.swap(slots_);
    // Entries move with their stored hash. The index is never empty while items exist, so
    // it holds every item that needs one (a repeat from append() is deliberately absent).
    const std::size_t mask = n - 1;
    for (const Slot& v : old) {
        if (v.item == 0)
            continue;
        std::size_t s = v.hash & mask;
        while (slots_[s].item != 0)
            s = (s + 1) & mask;
        slots_[s] = v;
    }
}

void UrlList::insertIndex(std::size_t item, unsigned hash)
{
    const std::size_t s = findSlot(items_[item], hash);
    if (slots_[s].item == 0)  // an equal address already indexed keeps its first position
        slots_[s] = {static_cast<unsigned>(item + 1), hash};
}

void UrlList::reserve(std::size_t n)
{
    items_.reserve(n);
    if (n * 2 > slots_.size())
        rehash(n * 2);
}

bool UrlList::contains(std::string_view url) const
{
    if (slots_.empty())
        return false;
    return slots_[findSlot(url, slotHash(url))].item != 0;
}

void UrlList::makeRoomForOne()
{
    if (items_.size() >= std::numeric_limits<unsigned>::max() - 1)
        throw std::length_error("address list full");
    if ((items_.size() + 1) * 2 > slots_.size())
        rehash((items_.size() + 1) * 4);
}

void UrlList::append(std::string url)
{
    makeRoomForOne();
    const unsigned hash = slotHash(url);
    items_.push_back(std::move(url));
    insertIndex(items_.size() - 1, hash);
}

bool UrlList::add(std::string url)
{
    makeRoomForOne();
    // One probe decides and, when the address is new, is where it goes.
    const unsigned hash = slotHash(url);
    const std::size_t s = findSlot(url, hash);
    if (slots_[s].item != 0)
        return false;
    items_.push_back(std::move(url));
    slots_[s] = {static_cast<unsigned>(items_.size()), hash};
    return true;
}

void UrlList::clear()
{
    items_.clear();
    slots_.clear();
}

} // namespace tarvimo::engine
