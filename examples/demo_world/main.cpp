// tarvimo-demo-world: the demo world (every directory site, the web search, the classified
// ads and the template server) served on 127.0.0.1 only; see demo_world.h for the hosts.
//
//   tarvimo-demo-world [--port P] [--bind 127.0.0.1] [--sites-ini FILE]
//                      [--fault LABEL=500|hang|garbage]...
//                      [--template-fault NAME=primary|both|garbage]...
//                      [--primary-lacks NAME,NAME...]
//
// --port 0 (the default) picks a free port. --sites-ini writes the site catalogue naming
// this world's hosts and port to FILE, which a Tarvimo home takes as its sites.ini. Once
// the server answers (and FILE is written), the port is printed as the first line of
// standard output and flushed, so a script can read it and connect.
//
// Faults, for trying out failures: --fault makes a site's listing pages answer 500, hang
// until the world stops, or send binary bytes; --template-fault makes the template
// server's primary location fail (primary), both locations fail (both), or send bytes
// that are no task container (garbage); --primary-lacks names the templates the primary
// location answers 404 for (default qy6.dll,258.dll,single-edeng.dll; empty: none).
//
// Stopping: SIGTERM, SIGINT or SIGHUP, taken by sigtimedwait in the main thread (every
// thread blocks them). Held requests are let go and kept connections closed within a
// second. Exit status: 0 after a stop, 1 when the port cannot be bound, FILE cannot be
// written or the server fails, 2 for wrong usage.
#include "base/files.h"
#include "base/stop_signals.h"
#include "demo_world/demo_world.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <ctime>
#include <iostream>
#include <string>
#include <string_view>
#include <vector>

namespace {

constexpr const char* kBindAddress = "127.0.0.1";

int usage(const std::string& message)
{
    std::cerr << "tarvimo-demo-world: " << message
              << "\nusage: tarvimo-demo-world [--port P] [--bind 127.0.0.1] [--sites-ini FILE]"
                 " [--fault LABEL=500|hang|garbage]... [--template-fault NAME=primary|both|garbage]..."
                 " [--primary-lacks NAME,NAME...]\n";
    return 2;
}

bool splitPair(std::string_view value, std::string& key, std::string& kind)
{
    const std::size_t eq = value.find('=');
    if (eq == std::string_view::npos || eq == 0)
        return false;
    key = std::string(value.substr(0, eq));
    kind = std::string(value.substr(eq + 1));
    return true;
}

bool known(const std::vector<std::string>& names, const std::string& name)
{
    for (const auto& n : names)
        if (n == name)
            return true;
    return false;
}

} // namespace

int main(int argc, char** argv)
{
    using namespace tarvimo::demo;
    WorldOptions options;
    std::string sitesIniFile;
    for (int i = 1; i < argc; ++i) {
        const std::string_view a = argv[i];
        const bool takesValue = a == "--port" || a == "--bind" || a == "--sites-ini" || a == "--fault" ||
                                a == "--template-fault" || a == "--primary-lacks";
        if (!takesValue)
            return usage("unknown argument " + std::string(a));
        if (i + 1 >= argc)
            return usage("missing value of " + std::string(a));
        const std::string value = argv[++i];
        std::string key, kind;
        if (a == "--port") {
            char* end = nullptr;
            errno = 0;
            const long v = std::strtol(value.c_str(), &end, 10);
            if (errno != 0 || end == value.c_str() || *end != '\0' || v < 0 || v > 65535)
                return usage("the port must be a number from 0 to 65535");
            options.port = static_cast<int>(v);
        } else if (a == "--bind") {
            // The world is for local runs only: no other address is ever accepted.
            if (value != kBindAddress)
                return usage("only 127.0.0.1 can be bound");
        } else if (a == "--sites-ini") {
            if (value.empty())
                return usage("--sites-ini needs a file name");
            sitesIniFile = value;
        } else if (a == "--fault") {
            if (!splitPair(value, key, kind) || !known(siteLabels(), key))
                return usage("--fault takes LABEL=KIND with a label D1 ... D12, S1 or S2");
            if (kind == "500")
                options.siteFaults[key] = SiteFault::ServerError;
            else if (kind == "hang")
                options.siteFaults[key] = SiteFault::Hang;
            else if (kind == "garbage")
                options.siteFaults[key] = SiteFault::Garbage;
            else
                return usage("a site fault is 500, hang or garbage");
        } else if (a == "--template-fault") {
            if (!splitPair(value, key, kind) || !known(templateNames(), key))
                return usage("--template-fault takes NAME=KIND with a template name such as hc360.dll");
            if (kind == "primary")
                options.templateFaults[key] = TemplateFault::PrimaryFails;
            else if (kind == "both")
                options.templateFaults[key] = TemplateFault::BothFail;
            else if (kind == "garbage")
                options.templateFaults[key] = TemplateFault::Garbage;
            else
                return usage("a template fault is primary, both or garbage");
        } else {  // --primary-lacks
            options.primaryLacks.clear();
            std::string_view rest = value;
            while (!rest.empty()) {
                const std::size_t comma = rest.find(',');
                const std::string name(rest.substr(0, comma));
                if (!known(templateNames(), name))
                    return usage("no template is called " + name);
                options.primaryLacks.insert(name);
                rest = comma == std::string_view::npos ? std::string_view() : rest.substr(comma + 1);
            }
        }
    }

    // Before any thread exists, so every server thread inherits the mask.
    const sigset_t stopSignals = tarvimo::stop_signals::block();

    options.bindAddress = kBindAddress;
    DemoWorld world(options);
    if (!world.start()) {
        std::cerr << "tarvimo-demo-world: cannot listen on " << kBindAddress << ":" << options.port << "\n";
        return 1;
    }
    if (!sitesIniFile.empty()) {
        try {
            tarvimo::files::writeAtomic(sitesIniFile, world.sitesIni());
        } catch (const tarvimo::files::FileError& e) {
            std::cerr << "tarvimo-demo-world: " << e.what() << "\n";
            return 1;
        }
    }
    std::cout << world.port() << std::endl;

    // Polled with a time-out so that a server that ended by itself ends the program.
    const bool stopped = tarvimo::stop_signals::wait(stopSignals, [&] { return world.running(); });
    world.stop();
    return stopped ? 0 : 1;
}
