#include "net/http_client.h"

#include "base/text.h"

#include <curl/curl.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <mutex>
#include <poll.h>
#include <set>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

namespace tarvimo::net {

namespace {

using Clock = std::chrono::steady_clock;

constexpr long kMaxRedirects = 10;
constexpr std::size_t kDefaultMaxBody = 32u * 1024u * 1024u;

void initCurlOnce()
{
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

// Our words first, so callers and logs can tell the kinds of failure apart; libcurl's
// detail after the colon. 'unreadableReply' separates a reply that is not HTTP from a
// scheme libcurl refuses (in an address or a redirect), which libcurl reports alike.
std::string describe(CURLcode code, const char* detail, bool unreadableReply)
{
    const char* what = nullptr;
    switch (code) {
    case CURLE_UNSUPPORTED_PROTOCOL:
        what = unreadableReply ? "invalid response" : "unsupported protocol";
        break;
    case CURLE_URL_MALFORMAT: what = "malformed address"; break;
    case CURLE_COULDNT_RESOLVE_PROXY: what = "proxy host not found"; break;
    case CURLE_COULDNT_RESOLVE_HOST: what = "host not found"; break;
    case CURLE_COULDNT_CONNECT: what = "connection failed"; break;
    case CURLE_WEIRD_SERVER_REPLY: what = "invalid response"; break;
    case CURLE_PARTIAL_FILE: what = "connection closed before the whole body arrived"; break;
    case CURLE_OPERATION_TIMEDOUT: what = "connect time-out"; break;
    case CURLE_TOO_MANY_REDIRECTS: what = "too many redirects"; break;
    case CURLE_GOT_NOTHING: what = "empty reply"; break;
    case CURLE_SEND_ERROR: what = "connection lost while sending"; break;
    case CURLE_RECV_ERROR: what = "connection lost while receiving"; break;
    case CURLE_PEER_FAILED_VERIFICATION: what = "server certificate not trusted"; break;
    case CURLE_SSL_CONNECT_ERROR: what = "secure connection failed"; break;
    case CURLE_SSL_CACERT_BADFILE: what = "CA certificate file unusable"; break;
    case CURLE_BAD_CONTENT_ENCODING: what = "undecodable compressed body"; break;
    default: break;
    }
    std::string text = what ? what : curl_easy_strerror(code);
    if (detail && *detail) {
        text += ": ";
        text += detail;
    } else if (what) {
        text += ": ";
        text += curl_easy_strerror(code);
    }
    return text;
}

} // namespace

struct HttpClient::Impl {
    CURL* easy = nullptr;
    CURLM* multi = nullptr;
    std::atomic<int> wakeFd{-1};         // written by cancel() to end curl_multi_poll
    std::string setupError;
    std::atomic<bool> cancelled{false};

    // Set-up, applied to every request.
    std::string userAgent;
    std::string referer;
    std::string extraName;
    std::string extraValue;
    bool followRedirects = true;
    bool http10 = false;
    long connectTimeoutMs = 60000;
    long readTimeoutMs = 60000;
    long totalTimeoutMs = -1;            // below 0: derived from the two above
    ProxySettings proxy;
    bool systemProxy = false;
    std::string user;
    std::string password;
    TransferObserver* observer = nullptr;
    std::size_t maxBody = kDefaultMaxBody;
    std::string caFile;
    std::string defaultCaFile;           // libcurl's own, restored when caFile is cleared

    // State of the transfer in flight; touched only by the thread running it.
    std::string body;
    std::string headerBlock;             // the head of the latest response
    bool headReported = false;
    bool rejected = false;
    bool tooLarge = false;
    bool connected = false;
    Clock::time_point lastActivity;
    curl_off_t lastUploaded = 0;
    char errorBuffer[CURL_ERROR_SIZE] = {};

    // The connection sockets libcurl holds open, including idle kept ones.
    mutable std::mutex socketsMutex;
    std::set<curl_socket_t> sockets;

    Impl();
    ~Impl();
    // Makes whatever handle or descriptor is missing; false (and setupError) when one
    // cannot be had.
    bool ready();
    HttpResult setupFailure() const;
    void setUpEasy();
    void resetMulti();
    long deadlineMs() const;
    void configure(const std::string& url, curl_slist* headers);
    HttpResult perform();

    // Tells the observer that the final head arrived; false when it refuses the body.
    bool reportHead();
    static size_t onBody(char* data, size_t size, size_t count, void* self);
    static size_t onHeader(char* data, size_t size, size_t count, void* self);
    static int onProgress(void* self, curl_off_t, curl_off_t, curl_off_t, curl_off_t ulnow);
    static int onConnected(void* self, char*, char*, int, int);
    static curl_socket_t onOpenSocket(void* self, curlsocktype, curl_sockaddr* address);
    static int onCloseSocket(void* self, curl_socket_t fd);
};

HttpClient::Impl::Impl()
{
    initCurlOnce();
    // What cannot be had now (out of descriptors or memory) is tried again by each request.
    ready();
}

bool HttpClient::Impl::ready()
{
    if (!easy) {
        easy = curl_easy_init();
        if (!easy) {
            setupError = "libcurl cannot make a request handle";
            return false;
        }
        setUpEasy();
    }
    if (wakeFd.load() < 0) {
        const int fd = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
        if (fd < 0) {
            setupError = std::strerror(errno);
            return false;
        }
        wakeFd.store(fd);
    }
    if (!multi) {
        // libcurl's own wake-up pipe needs descriptors too.
        errno = 0;
        multi = curl_multi_init();
        if (!multi) {
            setupError = errno != 0 ? std::strerror(errno) : "libcurl cannot make a transfer handle";
            return false;
        }
    }
    return true;
}

HttpResult HttpClient::Impl::setupFailure() const
{
    HttpResult result;
    result.error = "cannot set up the HTTP client: " + setupError;
    return result;
}

void HttpClient::Impl::setUpEasy()
{
    char* ca = nullptr;
    if (curl_easy_getinfo(easy, CURLINFO_CAINFO, &ca) == CURLE_OK && ca)
        defaultCaFile = ca;

    // Workers are threads: libcurl must not use signals (alarm-based DNS time-outs).
    curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(easy, CURLOPT_ERRORBUFFER, errorBuffer);
    curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, &Impl::onBody);
    curl_easy_setopt(easy, CURLOPT_WRITEDATA, this);
    curl_easy_setopt(easy, CURLOPT_HEADERFUNCTION, &Impl::onHeader);
    curl_easy_setopt(easy, CURLOPT_HEADERDATA, this);
    curl_easy_setopt(easy, CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(easy, CURLOPT_XFERINFOFUNCTION, &Impl::onProgress);
    curl_easy_setopt(easy, CURLOPT_XFERINFODATA, this);
    curl_easy_setopt(easy, CURLOPT_PREREQFUNCTION, &Impl::onConnected);
    curl_easy_setopt(easy, CURLOPT_PREREQDATA, this);
    curl_easy_setopt(easy, CURLOPT_OPENSOCKETFUNCTION, &Impl::onOpenSocket);
    curl_easy_setopt(easy, CURLOPT_OPENSOCKETDATA, this);
    curl_easy_setopt(easy, CURLOPT_CLOSESOCKETFUNCTION, &Impl::onCloseSocket);
    curl_easy_setopt(easy, CURLOPT_CLOSESOCKETDATA, this);
    // Only web pages: a redirect must not lead to file:// or any other scheme.
    curl_easy_setopt(easy, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(easy, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(easy, CURLOPT_MAXREDIRS, kMaxRedirects);
    // Session cookies a site sets are sent back by later requests of this client.
    curl_easy_setopt(easy, CURLOPT_COOKIEFILE, "");
    // Accept compressed pages; the body handed back is always the decoded bytes, and the
    // size limit applies to them.
    curl_easy_setopt(easy, CURLOPT_ACCEPT_ENCODING, "");
    curl_easy_setopt(easy, CURLOPT_SSL_VERIFYPEER, 1L);
    curl_easy_setopt(easy, CURLOPT_SSL_VERIFYHOST, 2L);
}

HttpClient::Impl::~Impl()
{
    // The multi handle owns the kept connections; closing them calls onCloseSocket,
    // so this object must still be whole here.
    if (multi)
        curl_multi_cleanup(multi);
    if (easy)
        curl_easy_cleanup(easy);
    if (wakeFd.load() >= 0)
        ::close(wakeFd.load());
}

void HttpClient::Impl::resetMulti()
{
    // The next request makes a new one.
    if (multi)
        curl_multi_cleanup(multi);
    multi = nullptr;
}

long HttpClient::Impl::deadlineMs() const
{
    if (totalTimeoutMs >= 0)
        return totalTimeoutMs;
    const long longer = std::max(connectTimeoutMs, readTimeoutMs);
    return HttpClient::kDeadlineFactor * (longer > 0 ? longer : 60000L);
}

void HttpClient::Impl::configure(const std::string& url, curl_slist* headers)
{
    curl_easy_setopt(easy, CURLOPT_URL, url.c_str());
    curl_easy_setopt(easy, CURLOPT_HTTPHEADER, headers);
    curl_easy_setopt(easy, CURLOPT_USERAGENT, userAgent.empty() ? nullptr : userAgent.c_str());
    curl_easy_setopt(easy, CURLOPT_REFERER, referer.empty() ? nullptr : referer.c_str());
    curl_easy_setopt(easy, CURLOPT_FOLLOWLOCATION, followRedirects ? 1L : 0L);
    curl_easy_setopt(easy, CURLOPT_HTTP_VERSION,
                     static_cast<long>(http10 ? CURL_HTTP_VERSION_1_0 : CURL_HTTP_VERSION_1_1));
    curl_easy_setopt(easy, CURLOPT_CONNECTTIMEOUT_MS, std::max(0L, connectTimeoutMs));
    curl_easy_setopt(easy, CURLOPT_MAXFILESIZE_LARGE, static_cast<curl_off_t>(maxBody));
    if (caFile.empty())
        curl_easy_setopt(easy, CURLOPT_CAINFO, defaultCaFile.empty() ? nullptr : defaultCaFile.c_str());
    else
        curl_easy_setopt(easy, CURLOPT_CAINFO, caFile.c_str());

    if (proxy.host.empty() && systemProxy) {
        // Unset, libcurl takes the proxy from the environment.
        curl_easy_setopt(easy, CURLOPT_PROXY, nullptr);
    } else if (proxy.host.empty()) {
        // An empty proxy also keeps libcurl from taking one from http_proxy and friends:
        // whether the system proxy is used is decided by the caller, through setProxy.
        curl_easy_setopt(easy, CURLOPT_PROXY, "");
    } else {
        curl_easy_setopt(easy, CURLOPT_PROXY, proxy.host.c_str());
        curl_easy_setopt(easy, CURLOPT_PROXYPORT, static_cast<long>(proxy.port));
        curl_easy_setopt(easy, CURLOPT_PROXYTYPE, static_cast<long>(CURLPROXY_HTTP));
    }
    if (!user.empty()) {
        curl_easy_setopt(easy, CURLOPT_USERNAME, user.c_str());
        curl_easy_setopt(easy, CURLOPT_PASSWORD, password.c_str());
        curl_easy_setopt(easy, CURLOPT_HTTPAUTH, static_cast<unsigned long>(CURLAUTH_ANY));
    } else {
        curl_easy_setopt(easy, CURLOPT_USERNAME, nullptr);
        curl_easy_setopt(easy, CURLOPT_PASSWORD, nullptr);
    }
    if (!proxy.host.empty() && !proxy.user.empty()) {
        curl_easy_setopt(easy, CURLOPT_PROXYUSERNAME, proxy.user.c_str());
        curl_easy_setopt(easy, CURLOPT_PROXYPASSWORD, proxy.password.c_str());
        // Basic: the credentials go with the first request. Otherwise they are offered
        // only when the proxy asks, in the strongest scheme it accepts.
        curl_easy_setopt(easy, CURLOPT_PROXYAUTH,
                         proxy.basicAuth ? static_cast<unsigned long>(CURLAUTH_BASIC)
                                         : static_cast<unsigned long>(CURLAUTH_ANY));
    } else {
        curl_easy_setopt(easy, CURLOPT_PROXYUSERNAME, nullptr);
        curl_easy_setopt(easy, CURLOPT_PROXYPASSWORD, nullptr);
    }
}

HttpResult HttpClient::Impl::perform()
{
    HttpResult result;
    if (cancelled.load()) {
        result.cancelled = true;
        result.error = "cancelled";
        return result;
    }

    body.clear();
    headerBlock.clear();
    headReported = false;
    rejected = false;
    tooLarge = false;
    connected = false;
    lastUploaded = 0;
    errorBuffer[0] = '\0';
    const Clock::time_point started = Clock::now();
    lastActivity = started;
    const long deadline = deadlineMs();

    if (CURLMcode mc = curl_multi_add_handle(multi, easy); mc != CURLM_OK) {
        result.error = std::string("cannot start the request: ") + curl_multi_strerror(mc);
        return result;
    }

    enum class Abort { None, Cancelled, ReadTimeout, Deadline, Internal };
    Abort abort = Abort::None;
    CURLcode code = CURLE_OK;
    std::string internalError;
    bool done = false;
    for (;;) {
        int running = 0;
        CURLMcode mc = curl_multi_perform(multi, &running);
        if (mc != CURLM_OK) {
            abort = Abort::Internal;
            internalError = curl_multi_strerror(mc);
            break;
        }
        int left = 0;
        while (CURLMsg* msg = curl_multi_info_read(multi, &left)) {
            if (msg->msg == CURLMSG_DONE && msg->easy_handle == easy) {
                code = msg->data.result;
                done = true;
            }
        }
        if (done)
            break;
        if (cancelled.load()) {
            abort = Abort::Cancelled;
            break;
        }

        // libcurl shortens the wait for its own timers and cancel() interrupts it, so the
        // only other reasons to wake are the read time-out, which libcurl lacks (its
        // low-speed limit counts whole seconds), and the overall deadline.
        long waitMs = 5000;
        if (deadline > 0) {
            const long spentMs = static_cast<long>(
                std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - started).count());
            if (spentMs >= deadline) {
                abort = Abort::Deadline;
                break;
            }
            waitMs = std::min(waitMs, deadline - spentMs);
        }
        if (connected && readTimeoutMs > 0) {
            const long idleMs = static_cast<long>(
                std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - lastActivity).count());
            if (idleMs >= readTimeoutMs) {
                abort = Abort::ReadTimeout;
                break;
            }
            waitMs = std::min(waitMs, readTimeoutMs - idleMs);
        }
        curl_waitfd wake {wakeFd.load(), CURL_WAIT_POLLIN, 0};
        mc = curl_multi_poll(multi, &wake, 1, static_cast<int>(waitMs), nullptr);
        if (mc != CURLM_OK) {
            abort = Abort::Internal;
            internalError = curl_multi_strerror(mc);
            break;
        }
        if (wake.revents) {
            std::uint64_t count = 0;
            [[maybe_unused]] ssize_t n = ::read(wakeFd.load(), &count, sizeof count);
        }
    }
    // Removing a transfer that has not finished aborts it and closes its connection; a
    // finished one leaves its connection in the multi handle's cache for the next request.
    curl_multi_remove_handle(multi, easy);

    long status = 0;
    curl_easy_getinfo(easy, CURLINFO_RESPONSE_CODE, &status);
    result.status = status;
    char* text = nullptr;
    if (curl_easy_getinfo(easy, CURLINFO_EFFECTIVE_URL, &text) == CURLE_OK && text)
        result.effectiveUrl = text;
    text = nullptr;
    if (curl_easy_getinfo(easy, CURLINFO_CONTENT_TYPE, &text) == CURLE_OK && text)
        result.contentType = text;
    result.body = std::move(body);
    body.clear();
    headerBlock.clear();

    switch (abort) {
    case Abort::Cancelled:
        result.cancelled = true;
        result.error = "cancelled";
        break;
    case Abort::ReadTimeout:
        result.timedOut = true;
        result.error = "read time-out: nothing received for " + std::to_string(readTimeoutMs) + " ms";
        break;
    case Abort::Deadline:
        result.timedOut = true;
        result.error = "transfer time-out: the request took longer than " + std::to_string(deadline) + " ms";
        break;
    case Abort::Internal:
        result.error = "HTTP client failure: " + internalError;
        break;
    case Abort::None:
        if (code == CURLE_OK && !headReported && status > 0 && !reportHead())
            rejected = true;   // a response without body, refused on its head
        if (rejected) {
            result.rejected = true;
            result.error = "refused after the response head";
        } else if (code == CURLE_OK) {
            result.ok = true;
        } else if (tooLarge || code == CURLE_FILESIZE_EXCEEDED) {
            result.tooLarge = true;
            result.error = "response body larger than " + std::to_string(maxBody) + " bytes";
        } else {
            const bool unreadableReply = connected && status == 0;
            result.timedOut = code == CURLE_OPERATION_TIMEDOUT;
            result.badAddress = code == CURLE_URL_MALFORMAT || (code == CURLE_UNSUPPORTED_PROTOCOL && !unreadableReply);
            result.error = describe(code, errorBuffer, unreadableReply);
        }
        break;
    }
    return result;
}

bool HttpClient::Impl::reportHead()
{
    headReported = true;
    if (!observer)
        return true;
    long status = 0;
    curl_easy_getinfo(easy, CURLINFO_RESPONSE_CODE, &status);
    char* type = nullptr;
    curl_easy_getinfo(easy, CURLINFO_CONTENT_TYPE, &type);
    curl_off_t length = -1;
    curl_easy_getinfo(easy, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &length);
    return observer->headerComplete(status, type ? type : "", length < 0 ? 0 : static_cast<long long>(length),
                                    headerBlock);
}

size_t HttpClient::Impl::onBody(char* data, size_t size, size_t count, void* self)
{
    auto* d = static_cast<Impl*>(self);
    const size_t n = size * count;
    d->lastActivity = Clock::now();
    // libcurl passes on no body of a response it follows or answers itself (redirects,
    // authentication), so the first body bytes come after the final head.
    if (!d->headReported && !d->reportHead()) {
        d->rejected = true;
        return 0;
    }
    if (d->observer)
        d->observer->bodyChunk(d->body.size(), n);
    if (n > d->maxBody - std::min(d->maxBody, d->body.size())) {
        d->tooLarge = true;
        return 0;   // any count other than n makes libcurl abort the transfer
    }
    d->body.append(data, n);
    return n;
}

size_t HttpClient::Impl::onHeader(char* data, size_t size, size_t count, void* self)
{
    auto* d = static_cast<Impl*>(self);
    const size_t n = size * count;
    d->lastActivity = Clock::now();
    const std::string_view line(data, n);
    // Each response (a redirect, an authentication challenge, the final one) begins with
    // its status line; only the latest head is kept.
    if (line.starts_with("HTTP/"))
        d->headerBlock.clear();
    if (n > d->maxBody - std::min(d->maxBody, d->headerBlock.size())) {
        d->tooLarge = true;
        return 0;
    }
    d->headerBlock.append(line);
    return n;
}

int HttpClient::Impl::onProgress(void* self, curl_off_t, curl_off_t, curl_off_t, curl_off_t ulnow)
{
    // A long upload receives nothing yet is not idle.
    auto* d = static_cast<Impl*>(self);
    if (ulnow != d->lastUploaded) {
        d->lastUploaded = ulnow;
        d->lastActivity = Clock::now();
    }
    return 0;
}

int HttpClient::Impl::onConnected(void* self, char*, char*, int, int)
{
    // The connect time-out ends here; from now on the read time-out counts.
    auto* d = static_cast<Impl*>(self);
    d->connected = true;
    d->lastActivity = Clock::now();
    return CURL_PREREQFUNC_OK;
}

curl_socket_t HttpClient::Impl::onOpenSocket(void* self, curlsocktype, curl_sockaddr* address)
{
    auto* d = static_cast<Impl*>(self);
    curl_socket_t fd = ::socket(address->family, address->socktype | SOCK_CLOEXEC, address->protocol);
    if (fd == CURL_SOCKET_BAD)
        return fd;
    std::lock_guard lock(d->socketsMutex);
    d->sockets.insert(fd);
    return fd;
}

int HttpClient::Impl::onCloseSocket(void* self, curl_socket_t fd)
{
    auto* d = static_cast<Impl*>(self);
    {
        std::lock_guard lock(d->socketsMutex);
        d->sockets.erase(fd);
    }
    return ::close(fd);
}

// ---- HttpClient -------------------------------------------------------------------

HttpClient::HttpClient() : d(std::make_unique<Impl>()) {}

HttpClient::~HttpClient() = default;

void HttpClient::setUserAgent(std::string ua) { d->userAgent = std::move(ua); }
void HttpClient::setReferer(std::string referer) { d->referer = std::move(referer); }

void HttpClient::setExtraHeader(std::string name, std::string value)
{
    d->extraName = text::oneLine(name);
    d->extraValue = text::oneLine(value);
}

void HttpClient::setFollowRedirects(bool follow) { d->followRedirects = follow; }
void HttpClient::setHttp10(bool http10) { d->http10 = http10; }
void HttpClient::setConnectTimeoutMs(long ms) { d->connectTimeoutMs = ms; }
void HttpClient::setReadTimeoutMs(long ms) { d->readTimeoutMs = ms; }
void HttpClient::setTotalTimeoutMs(long ms) { d->totalTimeoutMs = std::max(0L, ms); }
long HttpClient::totalTimeoutMs() const { return d->deadlineMs(); }
void HttpClient::setProxy(const ProxySettings& proxy)
{
    d->proxy = proxy;
    d->systemProxy = false;
}
void HttpClient::clearProxy()
{
    d->proxy = ProxySettings{};
    d->systemProxy = false;
}
void HttpClient::useSystemProxy()
{
    d->proxy = ProxySettings{};
    d->systemProxy = true;
}
void HttpClient::setCredentials(std::string user, std::string password)
{
    d->user = std::move(user);
    d->password = std::move(password);
}
void HttpClient::setObserver(TransferObserver* observer) { d->observer = observer; }
void HttpClient::setMaxBodyBytes(std::size_t bytes) { d->maxBody = bytes; }
void HttpClient::setCaFile(std::string path) { d->caFile = std::move(path); }

namespace {

// The request's own header lines: the extra header, then those a request kind needs.
curl_slist* headerList(const std::string& name, const std::string& value,
                       const std::vector<std::string>& more)
{
    curl_slist* list = nullptr;
    auto add = [&list](const std::string& line) {
        if (curl_slist* grown = curl_slist_append(list, line.c_str()))
            list = grown;
    };
    if (!name.empty())
        // "Name;" is libcurl's way of sending a header with an empty value.
        add(value.empty() ? name + ";" : name + ": " + value);
    for (const std::string& line : more)
        add(line);
    return list;
}

} // namespace

HttpResult HttpClient::get(std::string_view url)
{
    if (!d->ready())
        return d->setupFailure();
    curl_slist* headers = headerList(d->extraName, d->extraValue, {});
    d->configure(encodeUrl(url), headers);
    curl_easy_setopt(d->easy, CURLOPT_HTTPGET, 1L);
    HttpResult result = d->perform();
    curl_easy_setopt(d->easy, CURLOPT_HTTPHEADER, nullptr);
    curl_slist_free_all(headers);
    return result;
}

HttpResult HttpClient::post(std::string_view url, const std::vector<std::string>& formLines,
                            std::string_view contentType)
{
    // A form body carries its values as form data: raw non-ASCII bytes and blanks are
    // percent-encoded the way an address is; ASCII punctuation ("=", "&") stays as written.
    if (!d->ready())
        return d->setupFailure();
    const bool formData = contentType.starts_with("application/x-www-form-urlencoded");
    std::string body;
    for (std::size_t i = 0; i < formLines.size(); ++i) {
        if (i)
            body += '&';
        body += formData ? encodeUrl(formLines[i]) : formLines[i];
    }
    // "Expect:" stops libcurl from waiting for a "100 Continue" that many servers never
    // send before a larger body.
    curl_slist* headers = headerList(d->extraName, d->extraValue,
                                     {"Content-Type: " + text::oneLine(contentType), "Expect:"});
    d->configure(encodeUrl(url), headers);
    curl_easy_setopt(d->easy, CURLOPT_POST, 1L);
    curl_easy_setopt(d->easy, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(body.size()));
    curl_easy_setopt(d->easy, CURLOPT_COPYPOSTFIELDS, body.c_str());
    HttpResult result = d->perform();
    curl_easy_setopt(d->easy, CURLOPT_HTTPHEADER, nullptr);
    curl_slist_free_all(headers);
    return result;
}

void HttpClient::disconnect()
{
    // Closing the multi handle closes every kept connection the ordinary way (a TLS
    // connection says goodbye first); the easy handle keeps its set-up and cookies.
    d->resetMulti();
}

void HttpClient::disconnectSocket()
{
    {
        std::lock_guard lock(d->socketsMutex);
        const linger abortive {1, 0};
        for (curl_socket_t fd : d->sockets)
            ::setsockopt(fd, SOL_SOCKET, SO_LINGER, &abortive, sizeof abortive);
    }
    // With lingering off, the close that follows resets each connection at once.
    d->resetMulti();
}

bool HttpClient::isConnected() const
{
    std::lock_guard lock(d->socketsMutex);
    for (curl_socket_t fd : d->sockets) {
        // A kept connection is idle: anything readable on it is the peer's close (or
        // junk that makes it unusable, as libcurl judges it too).
        pollfd p {fd, POLLIN | POLLRDHUP, 0};
        if (::poll(&p, 1, 0) == 0)
            return true;
    }
    return false;
}

void HttpClient::cancel()
{
    d->cancelled.store(true);
    const std::uint64_t one = 1;
    if (const int fd = d->wakeFd.load(); fd >= 0) {
        [[maybe_unused]] ssize_t n = ::write(fd, &one, sizeof one);
    }
}

void HttpClient::resetCancel()
{
    d->cancelled.store(false);
}

bool HttpClient::isCancelled() const
{
    return d->cancelled.load();
}

std::string HttpClient::encodeUrl(std::string_view url)
{
    static const char hex[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(url.size());
    for (char ch : url) {
        const auto c = static_cast<unsigned char>(ch);
        if (c <= 0x20 || c >= 0x7F) {
            out += '%';
            out += hex[c >> 4];
            out += hex[c & 0x0F];
        } else {
            out += ch;
        }
    }
    return out;
}

} // namespace tarvimo::net
