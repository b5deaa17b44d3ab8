// Row delivery at scale: 100 000 company rows go one at a time through a master's
// delivery into a run frame's grid, shaped for the first directory site with its
// duplicate test on (every tenth row repeats an earlier company in another letter case).
// Prints the time, rows per second and peak resident memory. Target: under 5 seconds.
#include "base/messages.h"
#include "base/text.h"
#include "run/frame_task_data.h"

#include <QCoreApplication>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <sys/resource.h>
#include <unistd.h>

using namespace tarvimo;

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const auto dir = std::filesystem::temp_directory_path() / ("tarvimo-deliver-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    // A company-directory task of the first directory site that fetches nothing itself.
    const std::string task = (dir / "bench.tak").string();
    std::ofstream(task) << "[master]\r\ntasktypes=2\r\ntaktype=0\r\ntaskAutoSave=0\r\n[list]\r\nlistuse=0\r\n"
                           "[url]\r\nurlbegin=http://d1.demo.localhost/company/1.html\r\n";

    RecordedMessages boxes;
    run::TFrameTaskData frame(boxes, engine::Environment::forHome(dir.string()));
    frame.startRun(task, false, "");
    engine::TtaskMaster& master = *frame.masters().front().second;

    const int n = 100000;
    const std::string address = text::gbk("中国浙江省杭州市西湖区文三路");
    std::vector<engine::Row> rows;
    rows.reserve(n);
    for (int i = 0; i < n; ++i) {
        // Every tenth row names an earlier company again, in upper case.
        const std::string company = i % 10 == 9 ? "COMPANY " + std::to_string(i - 9) : "company " + std::to_string(i);
        rows.push_back({"x", company, "contact", address + std::to_string(i), "4", "5", "6",
                        "139" + std::to_string(10000000 + i), "mail" + std::to_string(i) + "@example.cn"});
    }
    const auto t0 = std::chrono::steady_clock::now();
    for (auto& r : rows)
        master.deliverRows({std::move(r)});
    const auto t1 = std::chrono::steady_clock::now();

    const int kept = frame.grid().dataRowCount();
    const double s = std::chrono::duration<double>(t1 - t0).count();
    rusage ru{};
    getrusage(RUSAGE_SELF, &ru);
    std::printf("deliverRow: %d rows in %.3f s (%.0f rows/s), %d kept, %d duplicates dropped\n", n, s, n / s, kept,
                n - kept);
    std::printf("last serial %d, peak RSS %.1f MB; target: under 5 s\n", frame.grid().lastSerialNumber(),
                ru.ru_maxrss / 1024.0);
    std::filesystem::remove_all(dir);
    return kept == n - n / 10 ? 0 : 1;
}
