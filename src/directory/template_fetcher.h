// The template fetcher: a task template is a complete task file for one directory site,
// published on the template server. It is fetched from the primary location, else from
// the fallback one, and stored byte for byte under the new task's name. Made for one fetch.
#pragma once

#include "engine/site_catalogue.h"
#include "net/http_client.h"

#include <string>
#include <string_view>

namespace tarvimo::directory {

// True when the bytes are a task file: an enciphered container that opens whole, or plain
// INI text with a [master] section. Error pages and garbage are not.
bool isTaskFileBytes(std::string_view bytes);

// Makes a stored template this user's search: writes master/taskname and url/urlbegin (and
// master/taktype = 1 for a mobile-number search) through the task store, which keeps the
// container enciphered. Everything else stays as published. Throws store::StoreError or
// files::FileError.
void instantiateTemplate(const std::string& path, std::string_view taskNameGbk, std::string_view startUrl,
                         bool mobileSearch);

class Tgetmw {
public:
    static constexpr std::string_view kPrimaryPath = "/files/QovCompany/demo/";
    static constexpr std::string_view kFallbackPath = "/downloads/files/QovCompany/";

    // The locations are [TemplateServer] primary and fallback of the catalogue.
    explicit Tgetmw(const engine::SiteCatalogue& catalogue);

    // Stores the named template at targetPath (UTF-8), replacing any file there: true when
    // one location delivered a task file. Never throws.
    bool FetchTemplate(std::string_view templateName, const std::string& targetPath);
    // Why the last fetch failed, one line per location tried.
    const std::string& lastError() const { return lastError_; }

    // Ends a fetch in flight (from any thread).
    void cancel() { http_.cancel(); }
    void setTimeoutsMs(long ms);

private:
    std::string primary_, fallback_;
    net::HttpClient http_;
    std::string lastError_;
};

} // namespace tarvimo::directory
