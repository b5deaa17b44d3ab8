// The link-scanning crawler behind the engine's LinkScanner interface: what a task master
// gathering with `urlScan` drives, and the run frame's own crawler (HSSecond).
// Main thread only, like the crawler itself.
#pragma once

#include "crawler/http_scan.h"
#include "engine/link_scanner.h"

#include <memory>
#include <string>

namespace tarvimo::run {

class CrawlerScanner : public engine::LinkScanner {
public:
    CrawlerScanner(const std::string& home, UserMessages& messages);
    ~CrawlerScanner() override;

    void configure(const Setup& setup) override;
    void setEvents(engine::ScanEvents* events) override { events_ = events; }
    // A start the crawler refuses (its message shown) still ends with "not working", a
    // moment later, so the master goes on to its next listing page instead of waiting.
    void start(const std::string& url) override;
    void stop() override { scan_->Stop(); }
    bool running() const override { return scan_->Working(); }

    crawler::THttpScan& scan() { return *scan_; }

private:
    std::unique_ptr<crawler::THttpScan> scan_;
    engine::ScanEvents* events_ = nullptr;
};

} // namespace tarvimo::run
