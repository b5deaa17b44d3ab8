// The options dialog's "连接测试" against a local HTTP server, directly and through a
// real tinyproxy, with and without basic authentication.
#include "app/options_model.h"

#include "support/local_http_server.h"
#include "support/temp_dir.h"
#include "support/tiny_proxy.h"

#include <gtest/gtest.h>

#include <memory>

using tarvimo::RecordedMessages;
using tarvimo::app::ToptionsForm;
using tarvimo::fixtures::LocalHttpServer;
using tarvimo::fixtures::TinyProxy;
using Msg = RecordedMessages::Entry;

namespace {

const std::vector<Msg> kSuccess{{Msg::Information, "网络连接测试成功"}};
const std::vector<Msg> kFailure{{Msg::Warning, "网络不通"}};

class ProxyTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        server.setPage("/ok", "fine");
        form.proxy.testAddress = "  " + server.url("/ok") + " ";
    }
    void useProxy(const TinyProxy& proxy, std::string user = {}, std::string password = {})
    {
        form.setUseProxy(true);
        form.proxy.server = proxy.host();
        form.proxy.port = std::to_string(proxy.port());
        form.proxy.user = std::move(user);
        form.proxy.password = std::move(password);
    }
    bool cameThroughProxy() const
    {
        const auto r = server.requests();
        return !r.empty() && r.back().header("Via").find("tinyproxy") != std::string::npos;
    }

    tarvimo::test::TempDir dir;
    LocalHttpServer server;
    RecordedMessages messages;
    ToptionsForm form{dir.file("DefaultSet.ini"), messages};
};

} // namespace

TEST_F(ProxyTest, WithoutTheProxyCheckedTheTestGoesDirect)
{
    form.proxy.server = "127.0.0.1";  // filled in but not switched on
    form.proxy.port = "1";
    EXPECT_TRUE(form.testConnection());
    EXPECT_EQ(messages.entries, kSuccess);
    EXPECT_FALSE(cameThroughProxy());
}

TEST_F(ProxyTest, FailuresSayTheNetworkIsDown)
{
    form.proxy.testAddress = server.url("/status/404");
    EXPECT_FALSE(form.testConnection());

    // Nothing listens on a port whose server has gone.
    int closedPort = 0;
    {
        LocalHttpServer gone;
        closedPort = gone.port();
    }
    form.proxy.testAddress = "http://127.0.0.1:" + std::to_string(closedPort) + "/";
    EXPECT_FALSE(form.testConnection());
    EXPECT_EQ(messages.entries, (std::vector<Msg>{kFailure[0], kFailure[0]}));
}

TEST_F(ProxyTest, ThroughTinyproxy)
{
    TinyProxy proxy;
    useProxy(proxy);
    EXPECT_TRUE(form.testConnection()) << proxy.log();
    EXPECT_TRUE(cameThroughProxy());
    EXPECT_EQ(messages.entries, kSuccess);
}

TEST_F(ProxyTest, ThroughTinyproxyWithBasicAuthentication)
{
    TinyProxy proxy("tester", "pa55");
    useProxy(proxy, "tester", "pa55");
    EXPECT_TRUE(form.testConnection()) << proxy.log();
    EXPECT_TRUE(cameThroughProxy());

    messages.entries.clear();
    const std::size_t before = server.requestCount();
    useProxy(proxy, "tester", "wrong");
    EXPECT_FALSE(form.testConnection());
    useProxy(proxy);  // no user name: no credentials sent
    EXPECT_FALSE(form.testConnection());
    EXPECT_EQ(messages.entries, (std::vector<Msg>{kFailure[0], kFailure[0]}));
    EXPECT_EQ(server.requestCount(), before);
}
