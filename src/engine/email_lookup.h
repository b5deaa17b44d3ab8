// E-mail lookup for one company: asks a web search engine for the company name with the
// word email, or fetches the company's own page, and picks plausible addresses out of the
// answer with a small recogniser. One instance per extraction engine (one thread).
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace tarvimo::net {
class HttpClient;
}

namespace tarvimo::engine {

// One step of the recogniser over 'text' (GBK): the address it accepted (empty when the
// candidate was refused or there was none) and the text that remains after the candidate.
struct RecogniserStep {
    std::string address;
    std::string rest;
};
RecogniserStep recogniseEmail(std::string_view text);

class Txbemail {
public:
    // 'searchHost' is the search engine's base address (scheme and host, e.g.
    // "http://search.demo.localhost"), 'partnerCode' its partner code.
    Txbemail(std::string searchHost, std::string partnerCode);
    ~Txbemail();

    // The addresses found for a company name or a web address (containing "http://" or
    // "https://"), comma-delimited (quoted where needed), or empty text. Never throws.
    std::string Lookup(std::string_view query);

    // The address of the search request for a company name (the name percent-encoded).
    std::string searchUrl(std::string_view companyName) const;

    // Cancels a request in flight (for stop); thread-safe. Later lookups answer empty text.
    void cancel();

    // Connect and read time-out of the requests (5000 ms each unless changed).
    void setTimeoutMs(long ms);

private:
    std::string searchHost_;
    std::string partnerCode_;
    std::unique_ptr<net::HttpClient> client_;
    std::vector<std::string> addresses_;   // of the current lookup, in order found
};

} // namespace tarvimo::engine
