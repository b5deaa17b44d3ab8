// Extraction speed: loop mode over a generated 1 MB GBK listing page (5 000 records,
// 8 rules, no linked pages, no lookups) and single mode over a 100 KB page. Prints MB/s,
// records/s and the peak resident memory against the page size.
#include "base/files.h"
#include "base/text.h"
#include "engine/task_exec.h"
#include "store/delimited.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <sys/resource.h>
#include <unistd.h>
#include <vector>

using namespace tarvimo;

namespace {

std::string g(const std::string& s) { return text::utf8ToGbk(s); }

long peakRssKb()
{
    rusage ru{};
    getrusage(RUSAGE_SELF, &ru);
    return ru.ru_maxrss;
}

std::string listingPage(int records)
{
    std::string page = g("<html><head><title>企业名录</title></head><body><table>\r\n");
    for (int i = 0; i < records; ++i) {
        const std::string n = std::to_string(i);
        page += g("<tr><td class=n>杭州" + n + "机械有限公司</td><td>联系人：王" + n + "</td><td>电话：0571-8" + n +
                  "</td><td>手机：139" + std::to_string(10000000 + i) + "</td><td>地址：杭州文三路" + n +
                  "号</td><td>邮箱：s" + n + "@ex.cn</td><td><a href=\"http://c" + n +
                  ".com/\">网</a></td><td>邮编：310012</td></tr>\r\n");
    }
    return page + "</table></body></html>\r\n";
}

std::string taskText(bool loop)
{
    const std::vector<std::string> caps{"中文名称", "公司名称", "联系人", "电话", "手机", "地址", "邮箱", "网址", "邮编", ""};
    const std::vector<std::string> begins{"前标识符", "<td class=n>", "联系人：", "电话：", "手机：", "地址：", "邮箱：",
                                          "<a href=\"", "邮编：", ""};
    const std::vector<std::string> ends{"后标识符", "</td>", "</td>", "</td>", "</td>", "</td>", "</td>", "\"", "</td>", ""};
    auto col = [](const std::vector<std::string>& v) {
        std::vector<std::string> gv;
        for (const auto& s : v)
            gv.push_back(g(s));
        return store::joinDelimited(gv, '^');
    };
    std::string t = "[master]\r\ntaktype=2\r\n[rule]\r\nruleSplit=^\r\n";
    t += "ruledata0=" + col(caps) + "\r\nruledata2=" + col(begins) + "\r\nruledata3=" + col(ends) + "\r\n";
    t += "rulesaveurl=1\r\n";
    if (loop)
        t += "ruleloop=1\r\nruleloopword=<tr\r\n";
    return t + "[SuperSet]\r\nautogettime=1\r\n";
}

struct Result {
    double seconds;
    std::size_t rows;
};

Result runOnce(engine::TtaskExec& e, const std::string& task, const std::string& page, int repeats)
{
    // The task is loaded once, as a run loads it; the timing covers the extraction only.
    e.setTask(engine::loadTask(task).task);
    std::size_t rows = 0;
    auto t0 = std::chrono::steady_clock::now();
    for (int i = 0; i < repeats; ++i)
        rows += e.extractPage(page, nullptr, "http://d1.demo.localhost/list?page=1").size();
    auto t1 = std::chrono::steady_clock::now();
    return {std::chrono::duration<double>(t1 - t0).count(), rows};
}

} // namespace

int main()
{
    char tmpl[] = "/tmp/tarvimo-bench-XXXXXX";
    const std::string dir = ::mkdtemp(tmpl);
    engine::Environment env;
    env.home = dir;
    env.settingsPath = dir + "/DefaultSet.ini";
    env.fixClock("2026-12-09 10:00:00");
    engine::RunState state;
    engine::TtaskExec e(state, env);
    e.setEmailLookup(false, true);

    const std::string loopTask = dir + "/loop.tak", singleTask = dir + "/single.tak";
    files::writeAtomic(loopTask, taskText(true));
    files::writeAtomic(singleTask, taskText(false));

    const std::string loopPage = listingPage(5000);
    std::string singlePage = listingPage(500);  // about 100 KB
    const long rssBefore = peakRssKb();

    const int loopRepeats = 20;
    runOnce(e, loopTask, loopPage, 1);  // warm-up
    Result loop = runOnce(e, loopTask, loopPage, loopRepeats);
    const double loopMb = loopPage.size() * double(loopRepeats) / (1024.0 * 1024.0);
    std::printf("loop mode:   page %.2f MB, %zu records per page, %d pages in %.3f s\n", loopPage.size() / 1048576.0,
                loop.rows / loopRepeats, loopRepeats, loop.seconds);
    std::printf("             %.1f MB/s, %.0f records/s\n", loopMb / loop.seconds, loop.rows / loop.seconds);

    const int singleRepeats = 500;
    Result single = runOnce(e, singleTask, singlePage, singleRepeats);
    const double singleMb = singlePage.size() * double(singleRepeats) / (1024.0 * 1024.0);
    std::printf("single mode: page %.1f KB, %d pages in %.3f s\n", singlePage.size() / 1024.0, singleRepeats,
                single.seconds);
    std::printf("             %.1f MB/s, %.0f pages/s\n", singleMb / single.seconds, singleRepeats / single.seconds);

    const long rssAfter = peakRssKb();
    std::printf("memory:      peak RSS %.1f MB (%.1f MB before extracting; growth %.1f x the loop page)\n",
                rssAfter / 1024.0, rssBefore / 1024.0, (rssAfter - rssBefore) / 1024.0 / (loopPage.size() / 1048576.0));
    std::string cleanup = "rm -rf '" + dir + "'";
    return std::system(cleanup.c_str()) == 0 ? 0 : 1;
}
