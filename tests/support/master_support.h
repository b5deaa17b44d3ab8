// A test owner for task masters and helpers that run the Qt event loop while a master works.
#pragma once

#include "base/text.h"
#include "engine/environment.h"
#include "engine/master_owner.h"
#include "engine/task.h"
#include "engine/task_master.h"
#include "support/spin.h"
#include "support/task_file.h"
#include "support/temp_dir.h"

#include <QCoreApplication>
#include <QThread>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <memory>
#include <set>
#include <string>
#include <vector>

namespace tarvimo::test {

// The time text of every row in these tests.
inline const std::string kTime = "2026-01-01 00:00:00";

class TestOwner : public engine::MasterOwner {
public:
    void appendRow(const std::vector<std::string>& fields) override
    {
        if (onAppend)
            onAppend(fields);  // may throw: the page then counts as failed
        rows.push_back(fields);
    }
    int gridRowCount() const override { return static_cast<int>(rows.size()) + 2; }
    bool columnHolds(int column, const std::string& value) const override
    {
        for (const auto& r : rows)
            if (static_cast<std::size_t>(column) < r.size() && text::equalsNoCase(r[column], value))
                return true;
        return false;
    }
    engine::RunOptions runOptions() const override { return options; }
    int lastSerialNumber() const override
    {
        for (auto it = rows.rbegin(); it != rows.rend(); ++it) {
            int n = 0;
            if (!it->empty() && text::parseInt32(it->front(), n, true) && n > 0)
                return n;
        }
        return 0;
    }
    void addMessage(const std::string& line) override { messages.push_back(line); }
    int messageCount() const override { return static_cast<int>(messages.size()); }
    void setContactTask(bool on) override { contactTask = on; }
    void mastersReport() override { ++reports; }
    void pageFailed(const std::string& address, const std::string& reason) override
    {
        failedPages.emplace_back(address, reason);
    }

    // The second field of every row (the first rule's value), sorted.
    std::vector<std::string> firstFields() const
    {
        std::vector<std::string> v;
        for (const auto& r : rows)
            v.push_back(r.size() > 1 ? r[1] : std::string());
        std::sort(v.begin(), v.end());
        return v;
    }

    std::vector<std::vector<std::string>> rows;
    std::vector<std::string> messages;
    std::function<void(const std::vector<std::string>&)> onAppend;
    bool contactTask = false;
    int reports = 0;
    engine::RunOptions options{0};
    std::vector<std::pair<std::string, std::string>> failedPages;  // address, reason
};

// The environment of a test home: its settings file and site catalogue, and 'time' in every
// time column (empty: the wall clock).
inline engine::Environment testEnvironment(const TempDir& dir, const std::string& time = {})
{
    auto env = engine::Environment::forHome(dir.path());
    env.fixClock(time);
    return env;
}

// A master of a task file, loaded and started, as the run frame makes it.
class StartedMaster : public engine::TtaskMaster {
public:
    StartedMaster(const std::string& taskFile, const engine::Environment& env, engine::MasterOwner* owner,
                  std::unique_ptr<engine::LinkScanner> scanner = nullptr)
        : TtaskMaster(taskFile, engine::loadTask(taskFile).task, env, owner, std::move(scanner))
    {
        start();
    }
};

class MasterTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        env = testEnvironment(dir, kTime);
    }

    void settings(const std::string& ini) { writeFile(settingsPath(), ini); }
    std::string settingsPath() const { return dir.file("DefaultSet.ini"); }

    std::unique_ptr<engine::TtaskMaster> start(const std::string& taskFile)
    {
        auto m = std::make_unique<engine::TtaskMaster>(taskFile, engine::loadTask(taskFile).task, env, &owner);
        m->setFinishDelayMs(0);
        m->start();
        return m;
    }
    // Starts the task and runs it to its end.
    std::unique_ptr<engine::TtaskMaster> run(const std::string& taskFile, int timeoutMs = 30000)
    {
        auto m = start(taskFile);
        EXPECT_TRUE(spinUntil([&] { return m->finished(); }, timeoutMs)) << "the run did not end";
        EXPECT_TRUE(m->waitForThreads(timeoutMs)) << "a worker was left behind";
        return m;
    }

    TempDir dir;
    engine::Environment env;
    TestOwner owner;
};

// A one-rule task (the page title) over these addresses, as an address-list task.
inline std::string listTask(TempDir& dir, const std::vector<std::string>& addresses, std::vector<Key> extra = {},
                            const std::string& name = "list.tak")
{
    std::string list;
    for (const auto& a : addresses)
        list += a + "\r\n";
    const std::string listPath = dir.file(name + ".txt");
    writeFile(listPath, list);
    std::vector<Key> keys{{"master", "tasktypes", "2"}, {"master", "taktype", "1"}, {"list", "listfile", listPath}};
    keys.insert(keys.end(), extra.begin(), extra.end());
    TaskFile task(dir, {{"标题", "<title>", "</title>", ""}}, keys, name);
    return task.path();
}

} // namespace tarvimo::test
