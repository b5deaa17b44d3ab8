// The export of 100 000 rows of 10 columns (ASCII and Chinese, every 50th row with a cell
// of 5 000 bytes) to each target, with the database's own bulk loader on the same rows as
// the anchor: rows/s, peak memory above the grid, and each export as a share of its loader.
//
//   export_bench [ROWS]        (default 100000; MariaDB parts need mariadb-server)
#include "base/files.h"
#include "base/text.h"
#include "output/db_interface.h"
#include "output/export_form.h"
#include "output/workbook.h"
#include "store/settings.h"
#include "support/mariadb_server.h"

#include <QCoreApplication>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <thread>

using namespace tarvimo;
using Clock = std::chrono::steady_clock;

namespace {

long rssKb()
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmRSS:", 0) == 0)
            return std::stol(line.substr(6));
    return 0;
}

struct Measure {
    double seconds = 0;
    long peakAboveKb = 0;
};

// Runs 'work', sampling the resident size every 5 ms.
Measure measure(const std::function<void()>& work)
{
    const long before = rssKb();
    std::atomic<bool> done{false};
    std::atomic<long> peak{before};
    std::thread sampler([&] {
        while (!done) {
            peak = std::max(peak.load(), rssKb());
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
    });
    const auto start = Clock::now();
    work();
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    done = true;
    sampler.join();
    return {seconds, std::max(0L, peak.load() - before)};
}

void fillGrid(run::ResultGrid& grid, int rows)
{
    std::vector<std::string> titles{text::gbk("序号")};
    for (int c = 1; c < 10; ++c)
        titles.push_back(text::gbk("字段") + std::to_string(c));
    grid.setTitles(titles, 10);
    const std::string chinese = text::gbk("北京市海淀区中关村大街科技有限公司");
    const std::string big(5000, 'x');
    for (int r = 0; r < rows; ++r) {
        std::vector<std::string> f{std::to_string(r + 1)};
        f.push_back(chinese + std::to_string(r));
        f.push_back("company-" + std::to_string(r) + "@example.com");
        f.push_back(text::gbk("张先生"));
        f.push_back("139" + std::to_string(10000000 + r));
        f.push_back(r % 50 == 0 ? big : text::gbk("机械设备, 五金工具"));
        for (int c = 6; c < 10; ++c)
            f.push_back("value " + std::to_string(c) + " of row " + std::to_string(r));
        grid.appendRow(f);
    }
}

void report(const char* what, int rows, const Measure& m, double anchorSeconds = 0)
{
    std::printf("%-34s %8.2f s %10.0f rows/s  peak +%6ld MB", what, m.seconds, rows / m.seconds, m.peakAboveKb / 1024);
    if (anchorSeconds > 0)
        std::printf("  %5.0f %% of the bulk loader's rate", 100.0 * anchorSeconds / m.seconds);
    std::printf("\n");
}

// Exports the grid through the dialog's logic; the rows stored.
int exportToDatabase(const run::ResultGrid& grid, const std::string& settings, const std::string& table, bool newTable,
                     const output::ColumnMapping* mapping)
{
    RecordedMessages said;
    output::TexportForm form(grid, output::kDatabase, settings, said, nullptr, {});
    form.rowTo = std::to_string(grid.dataRowCount());
    if (newTable) {
        form.useNewTable = true;
        form.newTableName = table;
    } else {
        form.refresh();
        for (std::size_t i = 0; i < form.tableList.size(); ++i)
            if (form.tableList[i] == table)
                form.checkTable(static_cast<int>(i));
        if (mapping)
            form.mapping = *mapping;
    }
    if (!form.save())
        std::fprintf(stderr, "export failed: %s\n", said.entries.empty() ? "" : said.entries.back().text.c_str());
    return form.rowsStored();
}

// The grid's data rows as UTF-8 TSV for the bulk loaders (columns 1..9).
std::string tsv(const run::ResultGrid& grid)
{
    std::string out;
    for (int r = 1; r <= grid.dataRowCount(); ++r) {
        for (int c = 1; c < 10; ++c) {
            out += text::gbkToUtf8(grid.cell(r, c));
            out += c == 9 ? '\n' : '\t';
        }
    }
    return out;
}

double runTimed(const std::string& command)
{
    const auto start = Clock::now();
    if (std::system(command.c_str()) != 0)
        std::fprintf(stderr, "failed: %s\n", command.c_str());
    return std::chrono::duration<double>(Clock::now() - start).count();
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const int rows = argc > 1 ? std::atoi(argv[1]) : 100000;
    const std::string dir = (std::filesystem::temp_directory_path() / ("tarvimo-export-bench-" + std::to_string(::getpid()))).string();
    std::filesystem::create_directories(dir);

    run::ResultGrid grid;
    fillGrid(grid, rows);
    std::printf("export_bench: %d rows x 10 columns, grid resident %ld MB\n", rows, rssKb() / 1024);
    const std::string data = tsv(grid);
    files::writeAtomic(dir + "/rows.tsv", data);

    output::GridRange range{9, 1, grid.dataRowCount(), 1, true, false};
    // The tenth first: memory that stays flat shows the same peak for both.
    {
        output::GridRange tenth = range;
        tenth.rowTo = rows / 10;
        report("xlsx, a tenth of the rows", rows / 10, measure([&] { output::writeWorkbook(grid, tenth, dir + "/tenth.xlsx"); }));
    }
    report("xlsx (constant memory)", rows, measure([&] { output::writeWorkbook(grid, range, dir + "/rows.xlsx"); }));
    // The text writer builds the file in memory before its atomic write; it runs after the
    // workbook so its freed buffer does not hide the workbook's memory.
    report("text file", rows, measure([&] { output::writeTextFile(grid, range, false, dir + "/rows.txt", "\t"); }));

    // SQLite: its own .import first, then the export into a new table and through a mapping.
    const double sqliteImport = runTimed("sqlite3 " + dir + "/import.db \"create table t(c1,c2,c3,c4,c5,c6,c7,c8,c9)\" "
                                         "\".mode tabs\" \".import " + dir + "/rows.tsv t\"");
    report("sqlite3 .import (anchor)", rows, {sqliteImport, 0});
    const std::string sqliteSettings = dir + "/sqlite.ini";
    store::settings::writeDbKind(sqliteSettings, {output::kAccess, "Data Source=" + dir + "/export.db"});
    report("SQLite, new table", rows, measure([&] { exportToDatabase(grid, sqliteSettings, "fresh", true, nullptr); }),
           sqliteImport);
    {
        runTimed("sqlite3 " + dir + "/export.db \"create table mapped(c1 text, c2 text, c5 text)\"");
        output::ColumnMapping mapping{{"1", "2", "5"}, {"c1", "c2", "c5"}, {"c1"}, "mapped"};
        int stored = 0;
        const Measure m = measure([&] { stored = exportToDatabase(grid, sqliteSettings, "mapped", false, &mapping); });
        report("SQLite, mapping + no-duplicate", rows, m, sqliteImport);
        if (stored != rows)
            std::printf("  (stored %d rows)\n", stored);
    }

    if (!fixtures::MariaDbServer::available()) {
        std::printf("MariaDB: mariadb-server not installed, skipped\n");
    } else {
        fixtures::MariaDbServer server(dir + "/maria");
        server.sql("create database bench; create table bench.loaded(c1 text,c2 text,c3 text,c4 text,c5 text,c6 text,"
                   "c7 text,c8 text,c9 text) default charset=utf8mb4");
        const auto start = Clock::now();
        server.sql("load data local infile '" + dir + "/rows.tsv' into table loaded character set utf8mb4 fields terminated by '\\t'",
                   "bench");
        const double load = std::chrono::duration<double>(Clock::now() - start).count();
        report("MariaDB LOAD DATA LOCAL (anchor)", rows, {load, 0});
        const std::string mariaSettings = dir + "/maria.ini";
        store::settings::writeMySqlSettings(mariaSettings, {"127.0.0.1", "root", "", "bench", std::to_string(server.port())});
        report("MariaDB, new table", rows, measure([&] { exportToDatabase(grid, mariaSettings, "fresh", true, nullptr); }),
               load);
    }
    std::filesystem::remove_all(dir);
    return 0;
}
