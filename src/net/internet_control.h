// The small page getter used outside the fetchers: a GET with the fixed user agent that
// follows redirects and answers the body, or empty text when the request fails for any
// reason. On the main thread the request runs on a helper thread while events are
// processed, so the user interface stays alive.
#pragma once

#include <string>
#include <string_view>

namespace tarvimo::net {

class TinternetControl {
public:
    explicit TinternetControl(long timeoutMs = 60000) : timeoutMs_(timeoutMs) {}
    std::string get(std::string_view url) const;

private:
    long timeoutMs_;
};

} // namespace tarvimo::net
