// The demo world's server: one cpp-httplib server for every host, the Host header (port
// stripped) choosing the site, the faults a test asked for laid over the answers.
#include "demo_world/demo_world.h"

#include "base/text.h"
#include "engine/site_catalogue.h"
#include "world_internal.h"

#include <httplib.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

namespace tarvimo::demo {
namespace {

constexpr std::string_view kPrimaryHost = "templates.demo.localhost";
constexpr std::string_view kFallbackHost = "mirror.demo.localhost";
constexpr std::string_view kPrimaryPath = "/files/QovCompany/demo/";
constexpr std::string_view kFallbackPath = "/downloads/files/QovCompany/";

// Requests held by a fault each keep a pool thread, so the pool is larger than
// cpp-httplib's default: the other sites keep answering meanwhile.
constexpr std::size_t kPoolThreads = 32;
// A kept connection without a request is closed after this long; stopping waits for it.
constexpr time_t kKeepAliveSeconds = 1;

void answer(httplib::Response& res, int status, const std::string& body, const char* type)
{
    res.status = status;
    res.set_content(body, type);
}

} // namespace

struct DemoWorld::Impl {
    WorldOptions options;
    httplib::Server server;
    std::thread listener;
    std::atomic<bool> listenEnded{false};
    bool started = false;
    int port = 0;
    std::map<std::string, std::string> containers;  // by template name, made at start

    std::mutex mutex;
    std::condition_variable released;
    bool stopping = false;

    explicit Impl(WorldOptions o) : options(std::move(o)) {}

    // Holds a request until the world stops.
    void hold()
    {
        std::unique_lock lock(mutex);
        released.wait(lock, [this] { return stopping; });
    }

    template <class Map, class Key>
    static auto faultOf(const Map& faults, const Key& key)
    {
        const auto it = faults.find(key);
        return it == faults.end() ? typename Map::mapped_type{} : it->second;
    }

    void serveTemplate(bool primary, std::string_view path, httplib::Response& res)
    {
        const std::string_view prefix = primary ? kPrimaryPath : kFallbackPath;
        const std::string name = path.starts_with(prefix) ? std::string(path.substr(prefix.size())) : std::string();
        const auto it = containers.find(name);
        if (it == containers.end())
            return answer(res, 404, "not found\n", "text/plain");
        const TemplateFault fault = faultOf(options.templateFaults, name);
        if (primary && (fault == TemplateFault::PrimaryFails || fault == TemplateFault::BothFail))
            return answer(res, 500, "internal server error\n", "text/plain");
        if (primary && options.primaryLacks.count(name))
            return answer(res, 404, "not found\n", "text/plain");
        if (!primary && fault == TemplateFault::BothFail)
            return answer(res, 404, "not found\n", "text/plain");
        if (fault == TemplateFault::Garbage)
            return answer(res, 200, detail::garbageBytes(3000), "application/octet-stream");
        answer(res, 200, it->second, "application/octet-stream");
    }

    void handle(const httplib::Request& req, httplib::Response& res)
    {
        const std::string hostHeader = req.get_header_value("Host");
        const std::string host = text::toLower(std::string_view(hostHeader).substr(0, hostHeader.rfind(':')));
        const std::string_view path = std::string_view(req.target).substr(0, req.target.find('?'));
        if (host == kPrimaryHost || host == kFallbackHost)
            return serveTemplate(host == kPrimaryHost, path, res);
        std::optional<detail::Page> page;
        if (host == detail::kCity58Host) {
            page = detail::city58Page(req.target, hostHeader);
        } else {
            const detail::Site* site = nullptr;
            for (const auto& s : detail::sites())
                if (host == s.host)
                    site = &s;
            if (!site)
                return answer(res, 404, "no such site: " + host + "\n", "text/plain");
            bool listing = false;
            page = detail::sitePage(*site, req.target, hostHeader, listing);
            if (listing) {
                switch (faultOf(options.siteFaults, std::string(site->label))) {
                case SiteFault::None: break;
                case SiteFault::ServerError: return answer(res, 500, "internal server error\n", "text/plain");
                case SiteFault::Hang:
                    hold();
                    return answer(res, 503, "stopping\n", "text/plain");
                case SiteFault::Garbage: return answer(res, 200, detail::garbageBytes(4096), "application/octet-stream");
                }
            }
        }
        if (!page)
            return answer(res, 404, "not found\n", "text/plain");
        res.status = page->status;
        res.set_content(page->body, page->contentType.c_str());
    }
};

DemoWorld::DemoWorld(WorldOptions options) : d(std::make_unique<Impl>(std::move(options))) {}

DemoWorld::~DemoWorld() { stop(); }

bool DemoWorld::start()
{
    if (d->started)
        return false;
    d->started = true;
    auto& server = d->server;
    server.new_task_queue = [] { return new httplib::ThreadPool(kPoolThreads); };
    // cpp-httplib's default adds SO_REUSEPORT, which lets a second server bind a port that
    // is taken; a fixed port must fail instead.
    server.set_socket_options([](socket_t sock) {
        int yes = 1;
        setsockopt(sock, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    });
    server.set_keep_alive_timeout(kKeepAliveSeconds);
    server.set_keep_alive_max_count(1000);
    server.set_read_timeout(5);
    server.set_write_timeout(5);
    server.Get(".*", [this](const httplib::Request& req, httplib::Response& res) { d->handle(req, res); });

    const int wanted = d->options.port;
    const std::string& address = d->options.bindAddress;
    const int bound = wanted == 0 ? server.bind_to_any_port(address) : (server.bind_to_port(address, wanted) ? wanted : -1);
    if (bound <= 0)
        return false;
    d->port = bound;
    // Made before the first request can come: the handlers only read them.
    for (const auto& name : templateNames())
        d->containers[name] = detail::containerOf(templateIni(name));

    d->listener = std::thread([this] {
        d->server.listen_after_bind();
        d->listenEnded = true;
    });
    // stop() does nothing before the accept loop runs, so wait for it.
    while (!server.is_running() && !d->listenEnded)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    return !d->listenEnded;
}

void DemoWorld::stop()
{
    {
        std::lock_guard lock(d->mutex);
        d->stopping = true;
    }
    d->released.notify_all();
    if (d->listener.joinable()) {
        d->server.stop();
        d->listener.join();
    }
}

bool DemoWorld::running() const { return d->started && !d->listenEnded && d->listener.joinable(); }

int DemoWorld::port() const { return d->port; }

std::string DemoWorld::sitesIni() const { return engine::SiteCatalogue::shippedText(d->port); }

std::string DemoWorld::baseUrl(std::string_view host) const
{
    return "http://" + std::string(host) + ":" + std::to_string(d->port);
}

std::string DemoWorld::templateIni(std::string_view name) const { return detail::publishedTemplate(name, d->port); }

} // namespace tarvimo::demo
