// gui_bench: the desktop program's responsiveness, on Qt's offscreen platform.
//
//   gui_bench [KEYWORD]
//
// 1. Start-up: from the start of main() to the main window shown and painted.
// 2. A keyword search of every directory site of the demo world (served in this process),
//    started from the search dialog as a user starts it: the longest gap between ticks of
//    a 10 ms timer on the user-interface thread while the sites deliver rows, with the
//    99th percentile, the rows and the time.
// 3. Scrolling a task tab's grid from top to bottom a page at a time, each page painted,
//    with 100 and with 100 000 rows: the time per page, and the time to append the rows.
#include "app/ui/main_window.h"
#include "base/files.h"
#include "base/messages.h"
#include "base/text.h"
#include "demo_world/demo_world.h"
#include "directory/ui/search_dialog.h"
#include "run/frame_task_data.h"
#include "run/ui/frame_view.h"

#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTableView>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

using namespace tarvimo;
using Clock = std::chrono::steady_clock;

namespace {

double msSince(Clock::time_point t0) { return std::chrono::duration<double, std::milli>(Clock::now() - t0).count(); }

void spin(const std::function<bool()>& done, int timeoutMs)
{
    const auto t0 = Clock::now();
    while (!done() && msSince(t0) < timeoutMs)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
}

// Scrolls a grid of 'rows' company rows from top to bottom, painting each page.
void scrollGrid(int rows, const engine::Environment& env)
{
    RecordedMessages said;
    run::TFrameTaskData frame(said, env);
    std::vector<std::string> titles;
    for (const char* t : {"序号", "公司名称", "联系人", "手机号", "地址", "邮箱", "采集时间"})
        titles.push_back(text::gbk(t));
    frame.grid().setTitles(titles, 7);
    frame.setContactTask(true);
    run::ui::FrameView view(frame);
    view.resize(1200, 700);
    view.show();
    QCoreApplication::processEvents();

    const auto t0 = Clock::now();
    for (int i = 1; i <= rows; ++i) {
        const std::string n = std::to_string(i);
        frame.appendRow({n, text::gbk("某某机械有限公司") + n, text::gbk("张先生"), i % 17 ? "13912345678" : "1234",
                         text::gbk("江苏省南京市江宁区某路") + n + text::gbk("号"), "info" + n + "@example.com",
                         "2026-12-10 10:00:00"});
        if (i % 1000 == 0)
            QCoreApplication::processEvents();
    }
    QCoreApplication::processEvents();
    const double appendMs = msSince(t0);

    QTableView* grid = view.stringGridData();
    QScrollBar* bar = grid->verticalScrollBar();
    bar->setValue(0);
    int pages = 0;
    double worst = 0;
    const auto s0 = Clock::now();
    while (true) {
        const auto p0 = Clock::now();
        grid->viewport()->repaint();
        worst = std::max(worst, msSince(p0));
        ++pages;
        if (bar->value() >= bar->maximum())
            break;
        bar->setValue(bar->value() + std::max(1, bar->pageStep()));
    }
    const double total = msSince(s0);
    std::printf("grid %7d rows: append %8.1f ms, %6d pages painted in %8.1f ms, %.3f ms per page (worst %.2f ms)\n",
                rows, appendMs, pages, total, total / pages, worst);
}

} // namespace

int main(int argc, char** argv)
{
    const auto start = Clock::now();
    if (!std::getenv("QT_QPA_PLATFORM"))
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication app(argc, argv);
    const double appMs = msSince(start);
    const QString keyword = argc > 1 ? QString::fromUtf8(argv[1]) : QString::fromUtf8(demo::kDefaultKeyword.data());

    demo::DemoWorld world;
    if (!world.start()) {
        std::fprintf(stderr, "gui_bench: the demo world did not start\n");
        return 1;
    }
    QTemporaryDir home;
    const std::string homePath = home.path().toStdString();
    files::writeAtomic(files::joinPath(homePath, "sites.ini"), world.sitesIni());
    const engine::Environment env = engine::Environment::forHome(homePath);

    // 1. Start-up (the demo world's start is not the program's and is taken out).
    RecordedMessages said(true);
    app::ui::MainWindowHooks hooks;
    hooks.messages = &said;
    bool searched = false;
    std::vector<double> gaps;
    double searchMs = 0;
    hooks.execDialog = [&](QDialog& d) {
        auto* s = qobject_cast<directory::ui::SearchDialog*>(&d);
        if (!s)
            return int(QDialog::Rejected);
        d.show();
        s->keyword()->setText(keyword);
        s->bitBtn1()->click();
        spin([&] { return !d.isVisible(); }, 60000);
        searched = true;
        return d.result();
    };
    app::ui::MainWindowOptions options;
    options.copySystemProxy = false;
    const auto w0 = Clock::now();
    app::ui::TmainForm window(env, options, hooks);
    window.show();
    QCoreApplication::processEvents();
    window.repaint();
    // The demo world's start between the two is not the program's.
    const double windowMs = msSince(w0);
    std::printf("start-up to a shown window: %.1f ms (the application %.1f ms, the window made, shown and painted "
                "%.1f ms)\n",
                appMs + windowMs, appMs, windowMs);

    // 2. The search: ticks of a 10 ms timer on the user-interface thread.
    Clock::time_point last = Clock::now();
    QTimer ticker;
    ticker.setTimerType(Qt::PreciseTimer);
    QObject::connect(&ticker, &QTimer::timeout, [&] {
        const auto now = Clock::now();
        gaps.push_back(std::chrono::duration<double, std::milli>(now - last).count());
        last = now;
    });
    const auto s0 = Clock::now();
    last = s0;
    ticker.start(10);
    window.openSearchWizard(false);
    run::TFrameTaskData* frame = window.activeFrame();
    if (!searched || !frame) {
        std::fprintf(stderr, "gui_bench: the search did not start\n");
        return 1;
    }
    spin([&] { return frame->finished() && !frame->creating(); }, 600000);
    searchMs = msSince(s0);
    ticker.stop();
    std::vector<double> sorted = gaps;
    std::sort(sorted.begin(), sorted.end());
    const double worstGap = sorted.empty() ? 0 : sorted.back();
    const double p99 = sorted.empty() ? 0 : sorted[sorted.size() * 99 / 100];
    std::printf("search \"%s\": %d rows from %zu task files in %.1f s; UI timer gaps: longest %.1f ms, 99th percentile "
                "%.1f ms over %zu ticks\n",
                keyword.toUtf8().constData(), frame->grid().dataRowCount(), frame->masters().size(), searchMs / 1000,
                worstGap, p99, gaps.size());
    frame->controlRun(engine::RunCommand::Stop);
    frame->waitForThreads(60000);

    // 3. Scrolling.
    for (int rows : {100, 100000})
        scrollGrid(rows, env);
    return 0;
}
