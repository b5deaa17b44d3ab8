// Extraction speed: loop mode over a generated 1 MB GBK listing page (5 000 records,
// 8 rules, no linked pages, no lookups) and single mode over a 100 KB page. Prints MB/s,
// records/s and the peak resident memory against the page size.
#include "base/files.h"
#include "base/text.h"
#include "engine/task_exec.h"
#include "store/delimited.h"
#include "store/encrypt_inifile.h"

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

// An enciphered task of 'count' rules, each cutting between "<k>" and "</k>" (k = i % 7).
void writeManyRules(const std::string& path, int count)
{
    std::vector<std::string> caps{"h"}, begins{"h"}, ends{"h"};
    for (int i = 0; i < count; ++i) {
        caps.push_back("c" + std::to_string(i));
        begins.push_back("<" + std::to_string(i % 7) + ">");
        ends.push_back("</" + std::to_string(i % 7) + ">");
    }
    caps.emplace_back();
    const std::vector<std::string> lines{"[master]", "taktype=2", "[rule]", "ruleSplit=^",
                                         "ruledata0=" + store::joinDelimited(caps, '^'),
                                         "ruledata2=" + store::joinDelimited(begins, '^'),
                                         "ruledata3=" + store::joinDelimited(ends, '^'), "[SuperSet]", "autogettime=0"};
    std::vector<std::string> cipher;
    for (const auto& l : lines)
        cipher.push_back(store::EncryptLine(l, store::storeKey()));
    store::SaveCompressedLines(cipher, path);
}

// Loading and extracting a 50-byte page with a very large rule table: both must grow
// linearly with the number of rules.
void manyRules(engine::TtaskExec& e, const std::string& dir)
{
    const std::string page = "<0>a</0><1>b</1><3>d</3><6>g</6>0123456789012345";
    for (int count : {20000, 100000}) {
        const std::string path = dir + "/many" + std::to_string(count) + ".tak";
        writeManyRules(path, count);
        const auto t0 = std::chrono::steady_clock::now();
        e.setTask(engine::loadTask(path).task);
        const auto t1 = std::chrono::steady_clock::now();
        const std::size_t rows = e.extractPage(page, nullptr, "http://h/").size();
        const auto t2 = std::chrono::steady_clock::now();
        std::printf("many rules:  %6d rules: load %.3f s, extract a %zu-byte page %.3f s (%zu row)\n", count,
                    std::chrono::duration<double>(t1 - t0).count(), page.size(),
                    std::chrono::duration<double>(t2 - t1).count(), rows);
    }
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
    manyRules(e, dir);
    std::printf("memory:      peak RSS %.1f MB (%.1f MB before extracting; growth %.1f x the loop page)\n",
                rssAfter / 1024.0, rssBefore / 1024.0, (rssAfter - rssBefore) / 1024.0 / (loopPage.size() / 1048576.0));
    std::string cleanup = "rm -rf '" + dir + "'";
    return std::system(cleanup.c_str()) == 0 ? 0 : 1;
}
