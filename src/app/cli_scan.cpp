// `tarvimo-cli scan`: the link-scanning crawler on its own. It crawls from the given
// addresses and prints each reported link with its kind and the page it stood on; the
// results file is written as the desktop's crawler writes it.
#include "app/cli.h"

#include "app/cli_headless.h"
#include "app/cli_parser.h"
#include "base/home.h"
#include "crawler/http_scan.h"
#include "store/settings.h"

#include <QEventLoop>
#include <QTimer>

#include <chrono>
#include <cstdio>

namespace tarvimo::cli {

namespace {

// "a,b" as one word per line.
std::string wordLines(std::string words)
{
    for (char& c : words)
        if (c == ',')
            c = '\n';
    return words;
}

} // namespace

const CommandSpec& scanCommand()
{
    static const CommandSpec spec{
        "scan",
        "crawl from web addresses and print the links found",
        {{"URL...", "the starting addresses (http:// or https://)"}},
        {{"depth", OptionSpec::kPositiveNumber, "N",
          "download pages down to this depth, the starting pages being depth 1 (default 3)"},
         {"downloads", OptionSpec::kPositiveNumber, "N", "downloads at a time (default 6)"},
         {"queue", OptionSpec::kPositiveNumber, "N",
          "found links wait in a queue of at most N addresses, at least 10; links found while it is full are not "
          "followed (default 5000)"},
         {"scan", OptionSpec::kText, "all|site|path",
          "which links are followed: all, those of the first address's site, or those under its folder (default all)"},
         {"report", OptionSpec::kText, "all|site|path",
          "which links are printed: all, those of the page's own site, or those under the page's folder (default all)"},
         {"results", OptionSpec::kText, "FILE", "the results file (default Download/results.txt in the home folder)"},
         {"robots", OptionSpec::kFlag, "", "also ask every new host for /robots.txt"},
         {"filter", OptionSpec::kText, "WORDS", "comma-separated words: links containing one are left out"},
         {"limit", OptionSpec::kText, "WORDS", "comma-separated words: only links containing one are kept"}},
        {},
        "Each reported link is one line: the link, its kind (htm, a file type such as gif, or mail)\n"
        "and the page it was found on, separated by tabs. A summary goes to standard error.\n"
        "Ctrl-C stops the crawl; what was reported is kept.",
        true};
    return spec;
}

int runScan(const std::vector<std::string>& args, const std::string& home, std::ostream& out, std::ostream& err)
{
    int status = kOk;
    const auto o = parseOrReport(scanCommand(), args, out, err, status);
    if (!o)
        return status;
    auto choice = [&](const char* option, int& value) {
        if (!o->has(option))
            return true;
        const std::string v = o->value(option);
        value = v == "all" ? 0 : v == "site" ? 1 : v == "path" ? 2 : -1;
        return value >= 0;
    };
    int scanMode = 0, reportMode = 0;
    if (!choice("scan", scanMode))
        return usageError(scanCommand(), "--scan takes all, site or path", err);
    if (!choice("report", reportMode))
        return usageError(scanCommand(), "--report takes all, site or path", err);
    // Every address is checked before anything is fetched, so a typing mistake in the
    // second one does not leave a half-started crawl.
    for (const std::string& url : o->arguments) {
        crawler::TCrackUrl split;
        if (!split.Crack(url)) {
            err << "tarvimo-cli: Invalid Url : " << url << "\n";
            return kFileError;
        }
    }

    const auto app = ensureApplication();
    StreamMessages messages(err);
    crawler::THttpScan scan(home, &messages);
    scan.setMaxPageBytes(store::settings::readFetcherSettings(home::settingsPath(home)).maxBodyBytes);
    if (o->has("depth"))
        scan.setDepthSearchLevel(o->number("depth"));
    if (o->has("downloads"))
        scan.setConcurrentDownloads(o->number("downloads"));
    if (o->has("queue")) {
        if (o->number("queue") < 10)
            return usageError(scanCommand(), "--queue takes at least 10", err);
        scan.setMaxQueueSize(o->number("queue"));
    }
    scan.LinkScan = static_cast<crawler::TLinkScan>(scanMode);
    scan.LinkReport = static_cast<crawler::TLinkReport>(reportMode);
    if (o->has("results"))
        scan.setFileOfResults(o->value("results"));
    scan.SeekRobotsTxt = o->has("robots");
    if (o->has("filter")) {
        scan.KeywordsFilterEnabled = true;
        scan.setKeywordsFilter(wordLines(o->value("filter")));
    }
    if (o->has("limit")) {
        scan.KeywordsLimiterEnabled = true;
        scan.setKeywordsLimiter(wordLines(o->value("limit")));
    }

    long long links = 0;
    crawler::PoolStatistics stats;
    QEventLoop loop;
    scan.OnLinkFound = [&](crawler::THttpScan&, crawler::LinkFoundEvent& e) {
        ++links;
        out << e.UrlFound << '\t' << e.TypeLink << '\t' << e.FromUrl << '\n' << std::flush;
    };
    scan.OnUpdatedStats = [&](crawler::THttpScan&, const crawler::PoolStatistics& s) { stats = s; };
    scan.OnError = [&](crawler::TMFDwnld&, const std::string& url, std::uint32_t code, const std::string& message) {
        err << "tarvimo-cli: not downloaded: " << url;
        if (code != 0)
            err << " (HTTP " << code << ")";
        if (!message.empty())
            err << " " << message;
        err << "\n";
    };
    scan.OnWorking = [&](crawler::TMFDwnld&, bool working) {
        if (!working)
            loop.quit();
    };

    const auto started = std::chrono::steady_clock::now();
    bool stopped = false;
    {
        InterruptGuard guard;
        for (const std::string& url : o->arguments)
            if (!scan.Start(url))
                return kFileError;
        QTimer watch;
        QObject::connect(&watch, &QTimer::timeout, [&] {
            if (InterruptGuard::requested() && !stopped) {
                stopped = true;
                err << "tarvimo-cli: stopping; the links reported so far are kept\n";
                scan.Stop();
            }
        });
        watch.start(100);
        if (scan.Working())
            loop.exec();
    }
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    char time[32];
    std::snprintf(time, sizeof time, "%.2f", seconds);
    if (!scan.FileOfResults().empty())
        err << "tarvimo-cli: results file " << scan.FileOfResults() << "\n";
    err << "tarvimo-cli: scan " << (stopped ? "stopped" : "ended") << ": " << stats.done << " pages, " << links
        << " links, " << stats.retries << " retries, " << stats.errors << " errors, " << time << " s\n";
    return kOk;
}

} // namespace tarvimo::cli
