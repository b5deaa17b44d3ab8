// Faults the demo world can be told to show: a site whose listings fail with 500, hang
// until the world stops, or send binary bytes; a template whose primary location fails,
// whose two locations fail, or which comes as bytes that are no task file.
#include "demo_world/demo_world.h"

#include "catalogue_rows.h"
#include "store/encrypt_inifile.h"

#include <gtest/gtest.h>

#include <chrono>
#include <future>

using namespace tarvimo;
using namespace tarvimo::worldtest;

namespace {

std::string site(const demo::DemoWorld& world, const std::string& label) { return world.baseUrl(hostOf(label)); }

std::string anyCompany(const demo::DemoWorld& world, const std::string& label)
{
    const auto c = demo::companies(label, "机械").front();
    return world.baseUrl(c.host) + c.path;
}

} // namespace

TEST(DemoWorldFaults, AFailingSiteAnswers500OnItsListingsAndNothingElseChanges)
{
    demo::WorldOptions options;
    options.siteFaults["D3"] = demo::SiteFault::ServerError;
    demo::DemoWorld world(options);
    ASSERT_TRUE(world.start());
    EXPECT_EQ(fetch(site(world, "D3") + firstPageRequest("D3", "机械")).status, 500);
    EXPECT_EQ(fetch(site(world, "D3") + request("D3", "机械", "2")).status, 500);
    EXPECT_EQ(fetch(anyCompany(world, "D3")).status, 200) << "company pages still answer";
    EXPECT_EQ(fetch(site(world, "D3") + "/about.html").status, 200);
    const auto d2 = fetch(site(world, "D2") + firstPageRequest("D2", "机械"));
    EXPECT_EQ(d2.status, 200);
    EXPECT_TRUE(countRule("D2", d2.body)) << "other sites are untouched";
}

TEST(DemoWorldFaults, AHangingSiteHoldsItsListingsUntilTheWorldStops)
{
    demo::WorldOptions options;
    options.siteFaults["D5"] = demo::SiteFault::Hang;
    demo::DemoWorld world(options);
    ASSERT_TRUE(world.start());
    const auto timedOut = fetch(site(world, "D5") + firstPageRequest("D5", "机械"), 500);
    EXPECT_FALSE(timedOut.ok);
    EXPECT_TRUE(timedOut.timedOut) << timedOut.error;
    EXPECT_EQ(fetch(anyCompany(world, "D5")).status, 200);
    EXPECT_EQ(fetch(site(world, "D6") + firstPageRequest("D6", "机械")).status, 200) << "the others answer meanwhile";

    // A patient client waits until the world stops, which it does promptly.
    auto waiting = std::async(std::launch::async, [&] { return fetch(site(world, "D5") + request("D5", "机械", "7"), 60000); });
    EXPECT_EQ(waiting.wait_for(std::chrono::milliseconds(700)), std::future_status::timeout) << "still held";
    const auto before = std::chrono::steady_clock::now();
    world.stop();
    EXPECT_LT(std::chrono::steady_clock::now() - before, std::chrono::seconds(4));
    ASSERT_EQ(waiting.wait_for(std::chrono::seconds(5)), std::future_status::ready);
    EXPECT_FALSE(waiting.get().success());
    EXPECT_FALSE(world.running());
}

TEST(DemoWorldFaults, AGarbledSiteSendsBytesInWhichNoCountIsFound)
{
    demo::WorldOptions options;
    options.siteFaults["D9"] = demo::SiteFault::Garbage;
    demo::DemoWorld world(options);
    ASSERT_TRUE(world.start());
    const auto r = fetch(site(world, "D9") + firstPageRequest("D9", "机械"));
    EXPECT_EQ(r.status, 200);
    EXPECT_EQ(r.contentType, "application/octet-stream");
    EXPECT_GE(r.body.size(), 1000u);
    EXPECT_NE(r.body.find('\0'), std::string::npos) << "binary";
    EXPECT_EQ(r.body.find("<html"), std::string::npos);
    EXPECT_FALSE(countRule("D9", r.body));
    EXPECT_EQ(fetch(anyCompany(world, "D9")).status, 200);
}

TEST(DemoWorldFaults, TemplatesFailAtOneLocationAtBothOrComeAsBytesThatAreNoTask)
{
    demo::WorldOptions options;
    options.templateFaults["hc360.dll"] = demo::TemplateFault::PrimaryFails;
    options.templateFaults["huangye.dll"] = demo::TemplateFault::BothFail;
    options.templateFaults["qy6.dll"] = demo::TemplateFault::BothFail;  // lacking at the primary anyway
    options.templateFaults["toocle.dll"] = demo::TemplateFault::Garbage;
    demo::DemoWorld world(options);
    ASSERT_TRUE(world.start());
    const auto primary = [&](const std::string& name) {
        return fetch(world.baseUrl("templates.demo.localhost") + "/files/QovCompany/demo/" + name);
    };
    const auto fallback = [&](const std::string& name) {
        return fetch(world.baseUrl("mirror.demo.localhost") + "/downloads/files/QovCompany/" + name);
    };
    EXPECT_EQ(primary("hc360.dll").status, 500);
    const auto rescued = fallback("hc360.dll");
    EXPECT_EQ(rescued.status, 200);
    EXPECT_TRUE(store::startsAsZlibStream(rescued.body));

    for (const std::string name : {"huangye.dll", "qy6.dll"}) {
        EXPECT_EQ(primary(name).status, 500) << name;
        EXPECT_EQ(fallback(name).status, 404) << name;
    }

    for (const auto& r : {primary("toocle.dll"), fallback("toocle.dll")}) {
        EXPECT_EQ(r.status, 200);
        EXPECT_FALSE(store::startsAsZlibStream(r.body)) << "no container";
        EXPECT_EQ(r.body.find("[master]"), std::string::npos) << "no plain task either";
    }
    EXPECT_EQ(primary("m1688.dll").status, 200) << "the others are served";
}
