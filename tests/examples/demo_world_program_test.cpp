// tarvimo-demo-world, the program scripts start: the port on its first output line, the
// site catalogue written for a Tarvimo home, faults from its flags, a stop on SIGTERM.
#include "demo_world/demo_world.h"

#include "base/files.h"
#include "catalogue_rows.h"
#include "engine/site_catalogue.h"
#include "support/child_process.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <thread>

using namespace tarvimo;
using namespace tarvimo::worldtest;

namespace {

// Waits for the first output line of a started world: its port.
int portOf(const std::string& outputFile)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (std::chrono::steady_clock::now() < deadline) {
        std::string text;
        if (files::tryReadAll(outputFile, text) && text.find('\n') != std::string::npos)
            return std::stoi(text.substr(0, text.find('\n')));
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return 0;
}

std::string at(int port, const std::string& host) { return "http://" + host + ":" + std::to_string(port); }

} // namespace

TEST(DemoWorldProgram, PrintsItsPortWritesTheSiteCatalogueAndStopsOnSigterm)
{
    test::TempDir dir;
    const std::string ini = dir.file("home/sites.ini");
    fixtures::ChildProcess world({TARVIMO_DEMO_WORLD, "--port", "0", "--bind", "127.0.0.1", "--sites-ini", ini},
                                 dir.file("out.txt"));
    const int port = portOf(dir.file("out.txt"));
    ASSERT_GT(port, 0) << test::readFile(dir.file("out.txt"));
    EXPECT_EQ(test::readFile(ini), engine::SiteCatalogue::shippedText(port)) << "written before the port was printed";
    EXPECT_NE(test::readFile(ini).find("baseurl=http://d7.demo.localhost:" + std::to_string(port) + "\r\n"),
              std::string::npos);

    const auto first = fetch(at(port, "d7.demo.localhost") + firstPageRequest("D7", "机械"));
    EXPECT_EQ(first.status, 200);
    EXPECT_EQ(fetch(at(port, "templates.demo.localhost") + "/files/QovCompany/demo/hc360.dll").status, 200);

    EXPECT_EQ(::kill(world.pid(), SIGTERM), 0);
    EXPECT_EQ(world.wait(), 0) << "a stop is a clean end";
    EXPECT_FALSE(fetch(at(port, "d7.demo.localhost") + "/", 2000).ok) << "nothing listens any more";
}

TEST(DemoWorldProgram, FlagsSetFaultsAndWhatThePrimaryLacks)
{
    test::TempDir dir;
    fixtures::ChildProcess world({TARVIMO_DEMO_WORLD, "--fault", "D2=500", "--fault", "D12=garbage", "--template-fault",
                                  "hc360.dll=both", "--primary-lacks", "zhuohi.dll"},
                                 dir.file("out.txt"));
    const int port = portOf(dir.file("out.txt"));
    ASSERT_GT(port, 0) << test::readFile(dir.file("out.txt"));
    EXPECT_EQ(fetch(at(port, "d2.demo.localhost") + firstPageRequest("D2", "机械")).status, 500);
    const auto garbled = fetch(at(port, "d12.demo.localhost") + firstPageRequest("D12", "机械"));
    EXPECT_EQ(garbled.contentType, "application/octet-stream");
    EXPECT_EQ(fetch(at(port, "d3.demo.localhost") + firstPageRequest("D3", "机械")).status, 200);
    EXPECT_EQ(fetch(at(port, "templates.demo.localhost") + "/files/QovCompany/demo/hc360.dll").status, 500);
    EXPECT_EQ(fetch(at(port, "mirror.demo.localhost") + "/downloads/files/QovCompany/hc360.dll").status, 404);
    EXPECT_EQ(fetch(at(port, "templates.demo.localhost") + "/files/QovCompany/demo/zhuohi.dll").status, 404);
    EXPECT_EQ(fetch(at(port, "templates.demo.localhost") + "/files/QovCompany/demo/qy6.dll").status, 200)
        << "the list given replaces the default one";
    EXPECT_EQ(world.terminate(), 0);
}

TEST(DemoWorldProgram, WrongUsageIsRefusedWithStatus2)
{
    test::TempDir dir;
    for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
             {"--bogus"},
             {"--port"},
             {"--port", "70000"},
             {"--bind", "0.0.0.0"},
             {"--fault", "D13=500"},
             {"--fault", "D1=slow"},
             {"--template-fault", "hc360.dll=late"},
             {"--primary-lacks", "nothing.dll"}}) {
        std::vector<std::string> argv{TARVIMO_DEMO_WORLD};
        argv.insert(argv.end(), args.begin(), args.end());
        const auto r = fixtures::runProgram(argv, dir.file("out.txt"));
        EXPECT_EQ(r.exitCode, 2) << args.front();
        EXPECT_NE(r.output.find("usage: tarvimo-demo-world"), std::string::npos) << r.output;
    }
}

TEST(DemoWorldProgram, ATakenPortIsAnError)
{
    demo::DemoWorld taken;
    ASSERT_TRUE(taken.start());
    test::TempDir dir;
    const auto r = fixtures::runProgram({TARVIMO_DEMO_WORLD, "--port", std::to_string(taken.port())}, dir.file("out.txt"));
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.output.find("cannot listen on 127.0.0.1:" + std::to_string(taken.port())), std::string::npos) << r.output;
}
