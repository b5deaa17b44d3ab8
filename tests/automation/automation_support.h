// What the automation tests share: a home with tasks that collect titles from a local
// server, and a host that runs automatic starts in real run frames.
#pragma once

#include "automation/automatic_runs.h"
#include "base/files.h"
#include "base/home.h"
#include "output/auto_save.h"
#include "run/frame_task_data.h"
#include "store/task_paths.h"
#include "store/tinifile.h"
#include "support/local_http_server.h"
#include "support/master_support.h"
#include "support/task_file.h"
#include "support/temp_dir.h"

#include <map>
#include <memory>
#include <string>
#include <vector>

namespace tarvimo::test {

// /c/<name> answers <title>company <name></title> (lower case, as titles are collected); /held/<name> the same once released.
class TitleSite {
public:
    TitleSite()
    {
        server.on("GET", "/c/([a-z0-9]+)", [](const httplib::Request& req, httplib::Response& res) {
            res.set_content("<title>company " + req.path.substr(3) + "</title>", "text/html");
        });
        server.on("GET", "/held/([a-z0-9]+)", [this](const httplib::Request& req, httplib::Response& res) {
            while (!released && server.pause(std::chrono::milliseconds(20))) {
            }
            res.set_content("<title>company " + req.path.substr(6) + "</title>", "text/html");
        });
    }
    std::string url(const std::string& path) const { return server.url(path); }
    std::atomic<bool> released{false};
    fixtures::LocalHttpServer server;
};

// A home folder whose task library the tests fill.
class AutoHome {
public:
    AutoHome() { files::makeDirs(home::taskFolder(dir.path())); }

    // A task collecting the titles of 'paths' on 'site', with schedule keys (UTF-8 values).
    std::string task(const std::string& name, const TitleSite& site, const std::vector<std::string>& paths,
                     std::vector<Key> schedule = {})
    {
        std::vector<Key> keys{{"master", "taktype", "2"}, {"master", "taskAutoSave", "0"}, {"rule", "rulesaveurl", "1"}};
        for (auto& k : schedule)
            keys.push_back({"schedule", k.key, k.value});
        const std::string file = listTask(dir, {}, keys, "Task/" + name + ".tak");
        setPages(name, site, paths);
        return file;
    }
    // Changes the pages a task collects.
    void setPages(const std::string& name, const TitleSite& site, const std::vector<std::string>& paths)
    {
        std::string list;
        for (const auto& p : paths)
            list += site.url(p) + "\r\n";
        writeFile(dir.file("Task/" + name + ".tak.txt"), list);
    }
    void set(const std::string& name, const std::string& key, const std::string& value)
    {
        store::TIniFile(path(name)).WriteString("schedule", key, g(value));
    }
    std::string path(const std::string& name) const { return store::taskPath(dir.path(), g(name)); }
    engine::Environment env() const { return testEnvironment(dir, "T"); }

    TempDir dir{"tarvimo-auto"};
};

// Runs automatic starts in run frames of its own, as the daemon does.
class FrameHost : public automation::RunHost {
public:
    explicit FrameHost(engine::Environment env) : env_(std::move(env)) {}
    ~FrameHost() override
    {
        for (auto& [name, r] : runs) {
            r.frame->controlRun(engine::RunCommand::Stop);
            r.frame->waitForThreads(20000);
        }
    }

    automation::HostRun startTask(const std::string& nameGbk) override
    {
        starts.push_back(text::gbkToUtf8(nameGbk));
        Run& r = runs[nameGbk];
        if (r.frame) {
            if (r.frame->finished())
                r.frame->restartRun();
            else
                r.frame->controlRun(engine::RunCommand::Resume);
        } else {
            r.frame = std::make_unique<run::TFrameTaskData>(said, env_);
            r.frame->setMasterFinishDelayMs(0);
            r.autoSave = std::make_unique<output::AutoSave>(*r.frame);
            r.frame->startRun(store::taskPath(env_.home, nameGbk), false, "");
        }
        return {r.frame.get(), r.autoSave.get()};
    }
    automation::HostRun runOf(const std::string& nameGbk) const override
    {
        const auto it = runs.find(nameGbk);
        return it == runs.end() ? automation::HostRun{} : automation::HostRun{it->second.frame.get(), it->second.autoSave.get()};
    }
    void autoRunListChanged(const std::vector<std::string>& namesGbk) override { list = namesGbk; }

    run::TFrameTaskData& frame(const std::string& nameUtf8) { return *runs.at(g(nameUtf8)).frame; }
    // Whether a message line of that task's run holds 'part'.
    bool hasMessage(const std::string& nameUtf8, const std::string& part)
    {
        for (const auto& l : frame(nameUtf8).messages())
            if (l.find(part) != std::string::npos)
                return true;
        return false;
    }

    struct Run {
        std::unique_ptr<run::TFrameTaskData> frame;
        std::unique_ptr<output::AutoSave> autoSave;
    };
    RecordedMessages said;
    std::map<std::string, Run> runs;
    std::vector<std::string> starts;  // UTF-8
    std::vector<std::string> list;

private:
    engine::Environment env_;
};

} // namespace tarvimo::test
