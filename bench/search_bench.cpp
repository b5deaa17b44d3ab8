// search_bench: the whole keyword search against the bundled demo world, as a user's
// search runs it with default settings: the search dialog's task creation, then the run
// with its companion tasks made in the background. Prints the time until every task was
// made, the time to the first row, the total time, the rows and rows per second.
//
//   search_bench [KEYWORD] [--single]
#include "base/files.h"
#include "base/messages.h"
#include "base/text.h"
#include "demo_world/demo_world.h"
#include "directory/task_creator.h"
#include "directory/wizard.h"
#include "store/task_paths.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QTemporaryDir>
#include <QTimer>

#include <chrono>
#include <cstdio>
#include <memory>
#include <string>

using namespace tarvimo;
using Clock = std::chrono::steady_clock;

namespace {

double secondsSince(Clock::time_point t0) { return std::chrono::duration<double>(Clock::now() - t0).count(); }

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    std::string keyword(demo::kDefaultKeyword);
    bool single = false;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--single")
            single = true;
        else
            keyword = a;
    }
    demo::DemoWorld world;
    if (!world.start()) {
        std::fprintf(stderr, "search_bench: the demo world did not start\n");
        return 1;
    }
    QTemporaryDir home;
    const std::string homePath = home.path().toStdString();
    files::writeAtomic(files::joinPath(homePath, "sites.ini"), world.sitesIni());
    const engine::Environment env = engine::Environment::forHome(homePath);

    RecordedMessages said;
    directory::HeadlessRunTabs tabs;
    std::unique_ptr<directory::SearchWizard> wizard;
    if (single)
        wizard = std::make_unique<directory::TnewscTaskSingle>(said, tabs, env);
    else
        wizard = std::make_unique<directory::TnewscTask>(said, tabs, env);
    wizard->keywordChanged(text::utf8ToGbk(keyword));

    const auto t0 = Clock::now();
    if (!directory::pressOk(*wizard)) {
        for (const auto& e : said.entries)
            std::fprintf(stderr, "search_bench: %s\n", e.text.c_str());
        return 1;
    }
    const double primaryMade = secondsSince(t0);

    StderrMessages boxes;
    run::TFrameTaskData frame(boxes, env);
    frame.setMasterFinishDelayMs(0);
    frame.setKeyword(tabs.keyword);
    frame.setTaskCreator(directory::TcreateTask::creator());
    double firstRow = -1, allMade = -1;
    std::size_t firstRowTasks = 0;
    QTimer probe;
    QObject::connect(&probe, &QTimer::timeout, [&] {
        if (firstRow < 0 && frame.grid().dataRowCount() > 0) {
            firstRow = secondsSince(t0);
            firstRowTasks = frame.masters().size();
        }
        if (allMade < 0 && !frame.creating())
            allMade = secondsSince(t0);
    });
    QEventLoop run;
    QObject::connect(&frame, &run::TFrameTaskData::runEnded, &run, &QEventLoop::quit);
    probe.start(5);
    frame.startRun(store::taskPath(env.home, tabs.taskName), tabs.withCompanions, "");
    if (!frame.finished())
        run.exec();
    probe.stop();
    frame.waitForThreads(60000);
    const double total = secondsSince(t0);
    if (allMade < 0)
        allMade = total;
    const int rows = frame.grid().dataRowCount();

    std::printf("search_bench: keyword %s, %s search, demo world on port %d\n", keyword.c_str(),
                single ? "mobile-number" : "multi-site", world.port());
    std::printf("  primary task made (template + count):   %7.3f s\n", primaryMade);
    std::printf("  every task made (%2zu tasks):              %7.3f s\n", frame.masters().size(), allMade);
    std::printf("  first row:                              %7.3f s (%zu tasks made by then)\n", firstRow, firstRowTasks);
    std::printf("  total:                                  %7.3f s\n", total);
    std::printf("  rows: %d, %.1f rows/s, failed pages: %d, expected rows: %d\n", rows, rows / total,
                frame.failedPages(), frame.expectedRows());
    return 0;
}
