// `tarvimo-cli urls`: prints the addresses a run of a task would visit, so a task author
// can check the navigation before a run. With --gather the listing pages are fetched and
// the detail links gathered from them are printed instead, in the order a run takes them.
#include "app/cli.h"

#include "app/cli_parser.h"
#include "base/files.h"
#include "base/text.h"
#include "engine/address_list.h"
#include "engine/get_url_list.h"
#include "net/internet_control.h"
#include "engine/task.h"
#include "engine/url_list.h"
#include "store/settings.h"

#include <condition_variable>
#include <mutex>

namespace tarvimo::cli {
namespace {

// Prints each listing page's links as they arrive and remembers when gathering is over.
class PrintingSink : public engine::GatherSink {
public:
    PrintingSink(std::ostream& out, std::ostream& err, bool raw) : out_(out), err_(err), raw_(raw) {}
    void addDetailAddresses(std::vector<std::string>& links) override
    {
        std::lock_guard lk(mu_);
        for (const auto& l : links)
            if (seen_.add(l))
                out_ << (raw_ ? l : text::gbkToUtf8(l)) << "\n";
        links.clear();
    }
    void gatheringDone() override
    {
        std::lock_guard lk(mu_);
        done_ = true;
        cv_.notify_all();
    }
    void listingFailed(const std::string& page, const std::string& reason) override
    {
        std::lock_guard lk(mu_);
        err_ << "tarvimo-cli: listing page " << text::gbkToUtf8(page) << " skipped (" << reason << ")\n";
    }
    void wait()
    {
        std::unique_lock lk(mu_);
        cv_.wait(lk, [&] { return done_; });
    }
    std::size_t count() const { return seen_.size(); }

private:
    std::ostream& out_;
    std::ostream& err_;
    bool raw_;
    std::mutex mu_;
    std::condition_variable cv_;
    engine::UrlList seen_;  // a run keeps each detail address once
    bool done_ = false;
};

} // namespace

const CommandSpec& urlsCommand()
{
    static const CommandSpec spec{
        "urls",
        "print the addresses a run would visit",
        {kTaskArgument},
        {{"gather", OptionSpec::kFlag, "", "fetch the listing pages and print their detail links instead"},
         kRawOption},
        {},
        {}};
    return spec;
}

int runUrls(const std::vector<std::string>& args, const std::string& home, std::ostream& out, std::ostream& err)
{
    int status = kOk;
    const auto o = parseOrReport(urlsCommand(), args, out, err, status);
    if (!o)
        return status;
    const std::vector<std::string>& positional = o->arguments;
    const bool gather = o->has("gather"), raw = o->has("raw");
    const std::string& taskFile = positional[0];
    const engine::TaskLoad load = engine::loadTask(taskFile);
    if (!load.task) {
        err << "tarvimo-cli: " << load.error << "\n";
        return kFileError;
    }
    const engine::TaskConfig& config = load.task->config;
    const engine::Environment env = commandEnvironment(home);
    const auto fetch = store::settings::readFetcherSettings(env.settingsPath);
    net::TinternetControl internet(fetch.timeoutMs);
    engine::UrlListResult r = engine::taskAddresses(config, env, internet);
    if (!r.ok) {
        err << "tarvimo-cli: " << text::gbkToUtf8(r.error) << "; a run would fetch nothing\n";
        return kFileError;
    }
    auto print = [&](const std::string& u) { out << (raw ? u : text::gbkToUtf8(u)) << "\n"; };
    if (!gather || config.directMode) {
        if (gather)
            err << "tarvimo-cli: the task has no gather words; its addresses are its detail pages\n";
        for (const auto& u : r.urls)
            print(u);
        return kOk;
    }
    engine::GatherSetup setup = engine::gatherSetupOf(config, r.urls, fetch.timeoutMs, fetch.maxBodyBytes);
    PrintingSink sink(out, err, raw);
    {
        engine::TGetUrlList gatherer(sink, std::move(setup));
        sink.wait();
    }
    err << "tarvimo-cli: " << r.urls.size() << " listing pages, " << sink.count() << " detail addresses\n";
    return kOk;
}

} // namespace tarvimo::cli
