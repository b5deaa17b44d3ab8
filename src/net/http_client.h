// The engine's HTTP client: one libcurl easy handle per client, used by one thread at a
// time; cancel() may be called from any thread and ends a transfer in flight promptly.
// Bodies are returned as raw bytes (charset conversion is the caller's business).
// Cookies a site sets are kept in memory, per client, and sent back by its later requests;
// compressed responses are accepted and handed back decoded.
#pragma once

#include <atomic>
#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace tarvimo::net {

// The user agent every request of the collection engine sends.
inline constexpr const char* kUserAgent = "Mozilla/4.0 (compatible; MSIE 7.0; Windows NT 6.0)";

struct HttpResult {
    bool ok = false;           // a complete response arrived (any status code)
    long status = 0;           // HTTP status of the last response, 0 when none
    std::string body;          // the response body (of the last response after redirects);
                               // after a failure, whatever part of it had arrived
    std::string effectiveUrl;  // the address finally answered, after redirects
    std::string contentType;   // the Content-Type header, empty when none
    std::string error;         // why it failed, empty when ok: a fixed phrase ("connection
                               // failed", "connect time-out", "read time-out", "cancelled",
                               // "transfer time-out", "too many redirects", "cannot set
                               // up the HTTP client", ...) then libcurl's details
    bool cancelled = false;    // ended by cancel()
    bool timedOut = false;     // connect, read or overall time-out
    bool tooLarge = false;     // the body passed the size limit
    bool badAddress = false;   // the address itself was refused (malformed, or a scheme
                               // other than http and https): asking again cannot help
    bool rejected = false;     // the observer refused the body after the response's head

    // ok and a 2xx status.
    bool success() const { return ok && status >= 200 && status < 300; }
};

struct ProxySettings {
    std::string host;      // empty: no proxy
    int port = 8080;
    std::string user;      // empty: no authentication
    std::string password;
    bool basicAuth = false;    // true: credentials sent at once; false: when the proxy asks
};

// A streaming caller's view of a request in flight, called on the requesting thread.
class TransferObserver {
public:
    virtual ~TransferObserver() = default;
    // The head of the final response (after redirects and authentication) has arrived;
    // 'headerBlock' is its raw header lines. Answering false ends the request at once,
    // as rejected. Called once per request that got a response.
    virtual bool headerComplete(long status, std::string_view contentType, long long contentLength,
                                std::string_view headerBlock) = 0;
    // 'bytes' more body bytes arrived, 'before' had arrived before them.
    virtual void bodyChunk(std::size_t before, std::size_t bytes) = 0;
};

// Never throws for want of resources: when libcurl or the descriptors it needs cannot be
// had (the process is out of file descriptors), a request fails with "cannot set up the
// HTTP client" and the next one tries again.
class HttpClient {
public:
    HttpClient();
    ~HttpClient();
    HttpClient(const HttpClient&) = delete;
    HttpClient& operator=(const HttpClient&) = delete;

    // Request set-up; each value holds for every later request until changed.
    void setUserAgent(std::string ua);
    void setReferer(std::string referer);
    // One extra request header, e.g. ("cookie", "a=1"); an empty name removes it.
    void setExtraHeader(std::string name, std::string value);
    void setFollowRedirects(bool follow);   // default true, at most 10 hops
    void setHttp10(bool http10);            // default false (HTTP/1.1)
    void setConnectTimeoutMs(long ms);      // default 60000; 0: libcurl's own (300 s)
    // Longest time without receiving any byte once connected; default 60000; 0: none.
    void setReadTimeoutMs(long ms);
    // Longest time one request may take in all, so a server that sends a byte now and
    // then cannot hold a page for ever. Unless set, it is kDeadlineFactor times the longer
    // of the two time-outs above (both 0: times 60 s). 0: no overall limit.
    void setTotalTimeoutMs(long ms);
    static constexpr long kDeadlineFactor = 5;
    // The overall limit in force with the current set-up.
    long totalTimeoutMs() const;
    void setProxy(const ProxySettings& proxy);
    // Direct connections (the default); the http_proxy variables are not consulted here.
    void clearProxy();
    // The system's proxy: http_proxy, https_proxy and no_proxy of the environment, as
    // libcurl reads them. setProxy and clearProxy end it.
    void useSystemProxy();
    // User name and password offered when a server asks for them (401), in the strongest
    // scheme it accepts; an empty name offers none.
    void setCredentials(std::string user, std::string password);
    // Null: none. Not owned; must outlive the requests.
    void setObserver(TransferObserver* observer);
    // A response body, or a response head, larger than this is a failure (tooLarge);
    // default 32 MiB.
    void setMaxBodyBytes(std::size_t bytes);
    // Extra CA certificate file trusted besides the system's (tests use a local CA).
    void setCaFile(std::string path);

    HttpResult get(std::string_view url);
    // Form POST: the lines joined with "&" form the body. With the form content type each
    // line is sent as form data (raw non-ASCII bytes and blanks percent-encoded).
    HttpResult post(std::string_view url, const std::vector<std::string>& formLines,
                    std::string_view contentType = "application/x-www-form-urlencoded");

    // Closes the connection politely; the next request opens a new one.
    void disconnect();
    // Closes the socket at once (hard close).
    void disconnectSocket();
    // True when a connection from the last request is kept open.
    bool isConnected() const;

    // Thread-safe: aborts the transfer in flight (and any later one until resetCancel()).
    void cancel();
    void resetCancel();
    bool isCancelled() const;

    // The address with every byte outside printable ASCII (and blanks) percent-encoded;
    // a request always sends this form.
    static std::string encodeUrl(std::string_view url);

private:
    struct Impl;
    std::unique_ptr<Impl> d;
};

} // namespace tarvimo::net
