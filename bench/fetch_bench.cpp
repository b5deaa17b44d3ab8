// Fetch throughput of a real collection run: an address-list task with one rule (the page
// title) over the addresses of LIST, fetched by WORKERS workers (default 20), rows counted
// by a minimal owner. Prints pages/s, the rows, the wall time and the CPU time per 1 000
// pages. bench/fetch_bench.sh serves the pages from a local nginx and compares with curl.
//
//   fetch_bench LIST [WORKERS]
#include "base/files.h"
#include "base/text.h"
#include "engine/master_owner.h"
#include "engine/task_master.h"

#include <QCoreApplication>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <sys/resource.h>
#include <unistd.h>
#include <unordered_set>
#include <vector>

using namespace tarvimo;

namespace {

std::string g(const std::string& s) { return text::utf8ToGbk(s); }

double cpuSeconds()
{
    rusage ru{};
    getrusage(RUSAGE_SELF, &ru);
    auto sec = [](const timeval& t) { return double(t.tv_sec) + double(t.tv_usec) / 1e6; };
    return sec(ru.ru_utime) + sec(ru.ru_stime);
}

// The grid of a run frame reduced to what the figures need: the row count, and the
// distinct titles, so a run that fetched some page twice and another never is caught.
class CountingOwner : public engine::MasterOwner {
public:
    void appendRow(const std::vector<std::string>& fields) override
    {
        ++rows;
        if (fields.size() > 1)
            titles.insert(fields[1]);
    }
    int gridRowCount() const override { return static_cast<int>(rows) + 2; }
    // Only directory-site rows are tested for duplicates; these pages name no such site.
    bool columnHolds(int, const std::string&) const override { return false; }
    int lastSerialNumber() const override { return static_cast<int>(rows); }
    void addMessage(const std::string& line) override { messages.push_back(line); }
    int messageCount() const override { return static_cast<int>(messages.size()); }
    void setContactTask(bool) override {}
    void mastersReport() override
    {
        if (master && master->finished())
            QCoreApplication::quit();
    }

    engine::TtaskMaster* master = nullptr;
    std::size_t rows = 0;
    std::unordered_set<std::string> titles;
    std::vector<std::string> messages;
};

std::string taskText(const std::string& listFile)
{
    std::string t = "[master]\r\ntaskname=fetch-bench\r\ntasktypes=2\r\ntaktype=1\r\n";
    t += "[list]\r\nlistfile=" + listFile + "\r\nlistuse=1\r\nlistanaly=0\r\n";
    t += "[rule]\r\nruleSplit=^\r\nrowcount=2\r\n";
    t += g("ruledata0=中文名称^标题^\r\nruledata1=英文名称^Title^\r\nruledata2=前标识符^<title>^\r\n");
    t += g("ruledata3=后标识符^</title>^\r\nruledata4=信息类型^^\r\nruledata5=保留Html代码^^\r\n");
    t += "rulesaveurl=0\r\n[SuperSet]\r\ncharType=0\r\nautogettime=0\r\n";
    return t;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 2 || argc > 3) {
        std::fprintf(stderr, "usage: fetch_bench LIST [WORKERS]\n");
        return 2;
    }
    // The task resolves a relative list path from the home folder, not from here.
    const std::string list = std::filesystem::absolute(argv[1]).string();
    const int workers = argc == 3 ? std::atoi(argv[2]) : 20;
    std::string raw;
    if (!files::tryReadAll(list, raw)) {
        std::fprintf(stderr, "fetch_bench: cannot read %s\n", list.c_str());
        return 1;
    }
    std::size_t addresses = 0;
    for (const auto& line : text::splitLines(raw))
        if (!text::trimView(line).empty())
            ++addresses;

    QCoreApplication app(argc, argv);
    char tmpl[] = "/tmp/tarvimo-fetch-bench-XXXXXX";
    const char* made = ::mkdtemp(tmpl);
    if (!made) {
        std::perror("fetch_bench: mkdtemp");
        return 1;
    }
    const std::string dir = made;
    // A home of its own: the run reads and writes nothing of the user's.
    const std::string settings = dir + "/DefaultSet.ini", task = dir + "/fetch-bench.tak";
    // No e-mail lookup: it would leave the machine and is not what is measured.
    files::writeAtomic(settings, "[default]\r\ngetEmail=0\r\n[urltype]\r\nthreadcount=" + std::to_string(workers) +
                                     "\r\ntimeout=60\r\n");
    files::writeAtomic(task, taskText(list));

    CountingOwner owner;
    const double cpu0 = cpuSeconds();
    const auto t0 = std::chrono::steady_clock::now();
    const auto env = engine::Environment::forHome(dir);
    auto master = std::make_unique<engine::TtaskMaster>(task, engine::loadTask(task).task, env, &owner);
    master->setFinishDelayMs(0);
    master->start();
    owner.master = master.get();
    // An idle master never reports, so waiting for it would wait for ever.
    const bool ok = master->loaded() && !master->idle();
    if (ok && !master->finished())
        app.exec();
    const auto t1 = std::chrono::steady_clock::now();
    const std::size_t workerCount = master->workerCount();
    const std::size_t failed = master->failedUrls().size();
    master.reset();  // joins the workers, whose CPU time belongs to the run
    const double cpu = cpuSeconds() - cpu0;
    const double wall = std::chrono::duration<double>(t1 - t0).count();

    std::printf("tarvimo:  %zu workers, %zu addresses\n", workerCount, addresses);
    std::printf("rows:     %zu (%zu distinct titles, %zu failed pages)\n", owner.rows, owner.titles.size(), failed);
    std::printf("wall:     %.3f s\n", wall);
    std::printf("pages/s:  %.0f\n", wall > 0 ? owner.rows / wall : 0.0);
    std::printf("CPU:      %.3f s per 1000 pages (%.2f s in all)\n", owner.rows ? cpu * 1000.0 / owner.rows : 0.0, cpu);
    for (std::size_t i = 0; i < owner.messages.size() && i < 5; ++i)
        std::printf("message:  %s\n", text::gbkToUtf8(owner.messages[i]).c_str());

    const std::string cleanup = "rm -rf '" + dir + "'";
    if (std::system(cleanup.c_str()) != 0)
        std::fprintf(stderr, "fetch_bench: could not remove %s\n", dir.c_str());
    if (!ok) {
        std::fprintf(stderr, "fetch_bench: the task did not load or started no worker\n");
        return 1;
    }
    if (owner.rows != addresses || owner.titles.size() != addresses) {
        std::fprintf(stderr, "fetch_bench: %zu rows, %zu distinct titles for %zu addresses\n", owner.rows,
                     owner.titles.size(), addresses);
        return 1;
    }
    return 0;
}
