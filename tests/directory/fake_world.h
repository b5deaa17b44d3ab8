// A small stand-in for the directory sites and the template server, on one local server
// told apart by the Host header, for tests that need to steer each site's answer: the
// count pages say what the test sets, the templates are tiny task files, and any site or
// template location can fail.
#pragma once

#include "base/text.h"
#include "directory/catalogue_rows.h"
#include "engine/environment.h"
#include "support/local_http_server.h"
#include "support/master_support.h"
#include "support/task_file.h"
#include "support/temp_dir.h"

#include <map>
#include <mutex>
#include <set>
#include <string>

namespace tarvimo::test {

class FakeWorld {
public:
    enum class Answer { Count, Status500, Hang, Garbage };

    explicit FakeWorld(TempDir& home) : home_(home)
    {
        writeFile(home.file("sites.ini"), engine::SiteCatalogue::shippedText(server.port()));
        // The template every site's row is stored from: a task with no rule worth running,
        // whose published start address is its site's root.
        TempDir scratch;
        TaskFile t(scratch, {{"名称", "<h1>", "</h1>", ""}}, {{"master", "taskname", "published"},
                                                              {"url", "urlbegin", "http://published.demo.localhost:1/"}});
        encryptInPlace(t.path());
        template_ = readFile(t.path());
        server.on("GET", ".*", [this](const httplib::Request& req, httplib::Response& res) { answer(req, res); });
    }

    engine::Environment environment() const { return testEnvironment(home_, kTime); }

    // What a site answers to its first page and its listing pages.
    void setAnswer(const std::string& label, Answer a)
    {
        std::lock_guard lock(mutex_);
        answers_[label] = a;
    }
    // The page a site answers with (UTF-8 here; served as the site's row expects it).
    void setPage(const std::string& label, std::string utf8)
    {
        std::lock_guard lock(mutex_);
        pages_[label] = std::move(utf8);
    }
    // Template locations: the primary lacks these; neither location has those; these
    // are served as garbage.
    void primaryLacks(std::set<std::string> names) { std::lock_guard lock(mutex_); primaryLacks_ = std::move(names); }
    void noneHas(std::set<std::string> names) { std::lock_guard lock(mutex_); noneHas_ = std::move(names); }
    void garbage(std::set<std::string> names) { std::lock_guard lock(mutex_); garbage_ = std::move(names); }

    // Requests that reached a host (without its port).
    int requestsTo(const std::string& host) const
    {
        int n = 0;
        for (const auto& r : server.requests())
            n += hostOf(r.header("Host")) == host;
        return n;
    }

    fixtures::LocalHttpServer server;

private:
    static std::string hostOf(std::string h) { return h.substr(0, h.find(':')); }

    void answer(const httplib::Request& req, httplib::Response& res)
    {
        const std::string host = hostOf(req.get_header_value("Host"));
        std::unique_lock lock(mutex_);
        if (host == "templates.demo.localhost" || host == "mirror.demo.localhost") {
            const bool primary = host == "templates.demo.localhost";
            const std::string prefix = primary ? "/files/QovCompany/demo/" : "/downloads/files/QovCompany/";
            const std::string name = req.path.starts_with(prefix) ? req.path.substr(prefix.size()) : "";
            if (name.empty() || noneHas_.count(name) || (primary && primaryLacks_.count(name))) {
                res.status = 404;
                return;
            }
            res.set_content(garbage_.count(name) ? std::string("<html>Not here</html>") : template_,
                            "application/octet-stream");
            return;
        }
        std::string label;
        for (const auto& row : directory::catalogueRows())
            if (host == text::toLower(row.label) + ".demo.localhost" ||
                (std::string_view(row.label) == "S1" && host == "search.demo.localhost"))
                label = row.label;
        const Answer a = answers_.count(label) ? answers_[label] : Answer::Count;
        const std::string page = pages_.count(label) ? pages_[label] : "<p>nothing</p>";
        lock.unlock();
        switch (a) {
        case Answer::Status500:
            res.status = 500;
            return;
        case Answer::Hang:
            server.pause(std::chrono::seconds(60));
            res.status = 503;
            return;
        case Answer::Garbage:
            res.set_content(std::string("\x00\xff\x13garbage\xfe", 11), "application/octet-stream");
            return;
        case Answer::Count:
            // The first site and the unexamined ones answer in GBK, the others in UTF-8.
            if (label == "D1" || label == "D5" || label == "D7" || label == "S1")
                res.set_content(text::utf8ToGbk(page), "text/html");
            else
                res.set_content("<meta http-equiv=\"Content-Type\" content=\"text/html; charset=utf-8\">" + page,
                                "text/html; charset=utf-8");
            return;
        }
    }

    TempDir& home_;
    std::string template_;
    mutable std::mutex mutex_;
    std::map<std::string, Answer> answers_;
    std::map<std::string, std::string> pages_;
    std::set<std::string> primaryLacks_, noneHas_, garbage_;
};

} // namespace tarvimo::test
