// The addresses a task visits first, as its master builds them: the start-address grammar
// of a URL navigation task, or the list of an address-list task (a list file, or the links
// of an analysis page, filtered and rewritten). Shared by the task master and the command
// line, which prints them without fetching.
#pragma once

#include "engine/environment.h"
#include "engine/task_config.h"
#include "engine/url_generation.h"

namespace tarvimo::net {
class TinternetControl;
}

namespace tarvimo::engine {

// 'ok' false: the task would start nothing ('error' says why; 'urls' keeps what was built).
UrlListResult taskAddresses(const TaskConfig& config, const Environment& env, const net::TinternetControl& internet);

} // namespace tarvimo::engine
