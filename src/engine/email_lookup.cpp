#include "engine/email_lookup.h"

#include "base/text.h"
#include "net/http_client.h"
#include "store/delimited.h"

#include <cstddef>
#include <utility>

namespace tarvimo::engine {

namespace {

constexpr std::size_t npos = std::string::npos;
constexpr std::size_t kMaxAddressLength = 30;
constexpr int kMaxTagRemovals = 200;      // bounds the work on a hostile run of tags
constexpr int kMaxCandidatesPerPage = 10;

// The characters an address candidate is made of. Only single-byte characters count: a
// byte of a double-byte character ends the run. The text is lower-cased beforehand.
bool isAddressChar(unsigned char c)
{
    return (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '_' || c == '.'
           || c == '/' || c == '<' || c == '>';
}

// Removes mark-up that a page wrapped around or inside an address: each "<...>" span, and
// everything up to a ">" that comes before any "<" (the rest of a tag opened before the run).
void removeTagSpans(std::string& part)
{
    for (int i = 0; i < kMaxTagRemovals; ++i) {
        const std::size_t open = part.find('<');
        const std::size_t close = part.find('>');
        if (open == npos || close == npos)
            return;
        if (close > open)
            part.erase(open, close - open + 1);
        else
            part.erase(0, close + 1);
    }
}

void eraseFirst(std::string& s, char c)
{
    if (const std::size_t at = s.find(c); at != npos)
        s.erase(at, 1);
}

bool contains(std::string_view s, std::string_view what) { return s.find(what) != npos; }

// Search pages break addresses at the top-level domain ("name@site.co" followed by mark-up
// or highlighting), so a dangling ".co" or ".c" is read as ".com", and whatever follows a
// ".com" or ".com.cn" is dropped.
std::string cleanAddress(std::string address)
{
    while (!address.empty() && address.back() == '.')
        address.pop_back();
    if (const std::size_t at = address.find(".com.cn"); at != npos) {
        address.resize(at + 7);
    } else if (const std::size_t com = address.find(".com"); com != npos) {
        address.resize(com + 4);
    } else {
        if (const std::size_t co = address.find(".co"); co != npos && co + 3 == address.size())
            address += 'm';
        if (const std::size_t c = address.find(".c"); c != npos && c + 2 == address.size())
            address += "om";
    }
    if (const std::size_t lt = address.find('<'); lt != npos)
        address.resize(lt);
    return address;
}

// Every byte except the unreserved ASCII characters as %XX: the company name is GBK text,
// and raw bytes above 0x7F (or "&", "#", blanks) must not reach the request line as they are.
std::string percentEncode(std::string_view s)
{
    static constexpr char hex[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(s.size() * 3);
    for (const char ch : s) {
        const auto c = static_cast<unsigned char>(ch);
        if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-'
            || c == '.' || c == '_' || c == '~') {
            out += ch;
        } else {
            out += '%';
            out += hex[c >> 4];
            out += hex[c & 0x0F];
        }
    }
    return out;
}

// The page as core text: a page declared as UTF-8 is converted, because read as GBK its
// multi-byte sequences would swallow the letters (or the "@") that follow them.
std::string pageText(net::HttpResult& result)
{
    if (text::findNoCase(result.contentType, "utf-8") != npos
        || text::findNoCase(result.contentType, "utf8") != npos)
        return text::utf8ToGbk(result.body);
    return std::move(result.body);
}

} // namespace

RecogniserStep recogniseEmail(std::string_view original)
{
    RecogniserStep step;
    const std::string lower = text::toLower(original);
    const std::size_t at = text::findChar(lower, "@");
    if (at == npos)
        return step;

    // The local part: the run of address characters ending at the "@". It is found going
    // forwards, a character at a time, so that the trail byte of a double-byte character is
    // never taken for a letter (its lead byte is never an address character).
    std::size_t runStart = 0;
    for (std::size_t i = 0; i < at;) {
        const std::size_t len = text::charLen(lower, i);
        if (!isAddressChar(static_cast<unsigned char>(lower[i])))
            runStart = i + len;
        i += len;
    }
    // A run reaching the first character of the text is not trusted as a whole address
    // (it may be the cut-off tail of one), and neither is a run reaching the last.
    std::string local;
    if (runStart > 0)
        local = lower.substr(runStart, at - runStart);

    std::size_t runEnd = at + 1;
    while (runEnd < lower.size() && isAddressChar(static_cast<unsigned char>(lower[runEnd])))
        ++runEnd;
    std::string domain;
    if (runEnd < lower.size())
        domain = lower.substr(at + 1, runEnd - at - 1);

    // The step continues after the raw candidate. Its first occurrence is always the one at
    // this "@": any occurrence holds an "@", and none comes before the first.
    step.rest = std::string(original.substr(at + 1 + domain.size()));

    removeTagSpans(local);
    removeTagSpans(domain);
    eraseFirst(local, '>');
    eraseFirst(domain, '<');
    eraseFirst(domain, '>');
    eraseFirst(domain, '<');

    const std::string joined = local + domain;
    if (local.empty() || domain.empty() || local.size() + 1 + domain.size() > kMaxAddressLength
        || !contains(domain, ".") || contains(joined, ".htm") || contains(joined, "/")
        || contains(joined, "--") || contains(joined, "..") || local == "-1")
        return step;

    // The cuts above can leave something that is no longer an address ("a.com@b.net" cut
    // after ".com"); that is refused as well.
    std::string address = text::trim(cleanAddress(local + "@" + domain));
    if (contains(address, "@") && contains(address, "."))
        step.address = std::move(address);
    return step;
}

Txbemail::Txbemail(std::string searchHost, std::string partnerCode)
    : searchHost_(std::move(searchHost)),
      partnerCode_(std::move(partnerCode)),
      client_(std::make_unique<net::HttpClient>())
{
    client_->setUserAgent(net::kUserAgent);
    client_->setFollowRedirects(true);
    setTimeoutMs(5000);
}

Txbemail::~Txbemail() = default;

void Txbemail::setTimeoutMs(long ms)
{
    client_->setConnectTimeoutMs(ms);
    client_->setReadTimeoutMs(ms);
}

std::string Txbemail::searchUrl(std::string_view companyName) const
{
    std::string_view host = searchHost_;
    if (!host.empty() && host.back() == '/')
        host.remove_suffix(1);
    return std::string(host) + "/s?tn=" + partnerCode_ + "&wd=" + percentEncode(companyName) + "email";
}

std::string Txbemail::Lookup(std::string_view query)
{
    addresses_.clear();
    try {
        std::string q = text::trim(query);
        std::string url;
        if (text::findNoCase(q, "http://") != npos || text::findNoCase(q, "https://") != npos) {
            url = std::move(q);
        } else {
            static const std::string kLimitedCompany = text::gbk("有限公司");
            if (const std::size_t at = text::findChar(q, kLimitedCompany); at != npos)
                q.erase(at, kLimitedCompany.size());
            // Without a name the search would be for the word "email" alone, and every
            // address it found would belong to someone else.
            if (q.empty())
                return {};
            url = searchUrl(q);
        }

        net::HttpResult result = client_->get(url);
        if (!result.success())
            return {};

        std::string page = pageText(result);
        for (int n = 0; n < kMaxCandidatesPerPage && text::findChar(page, "@") != npos; ++n) {
            RecogniserStep step = recogniseEmail(page);
            page = std::move(step.rest);
            if (step.address.empty())
                continue;
            bool known = false;
            for (const auto& a : addresses_)
                known = known || text::equalsNoCase(a, step.address);
            if (!known)
                addresses_.push_back(std::move(step.address));
        }
        return store::joinDelimited(addresses_, ',');
    } catch (...) {
        // A lookup only adds to a record; whatever went wrong, the record keeps going.
        addresses_.clear();
        return {};
    }
}

void Txbemail::cancel() { client_->cancel(); }

} // namespace tarvimo::engine
