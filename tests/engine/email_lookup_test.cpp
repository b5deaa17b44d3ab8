#include "engine/email_lookup.h"

#include "base/text.h"
#include "support/local_http_server.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>

using namespace tarvimo;
using engine::recogniseEmail;
using engine::Txbemail;
using fixtures::LocalHttpServer;

namespace {

// The address a single step accepts ("" when refused), and the text it leaves.
std::string addressOf(std::string_view text) { return recogniseEmail(text).address; }
std::string restOf(std::string_view text) { return recogniseEmail(text).rest; }

} // namespace

TEST(EmailRecogniser, TakesTheFirstCandidateLowerCasedAndLeavesTheTextAfterIt)
{
    const auto step = recogniseEmail("Mail: Sales@Example.NET, or Info@Example.net!");
    EXPECT_EQ(step.address, "sales@example.net");
    EXPECT_EQ(step.rest, ", or Info@Example.net!") << "the rest keeps the page's letter case";

    EXPECT_EQ(addressOf("x a_b-c.d9@mail-1.example.org y"), "a_b-c.d9@mail-1.example.org");
    EXPECT_EQ(recogniseEmail("no address here").rest, "");
    EXPECT_EQ(recogniseEmail("").address, "");
    EXPECT_EQ(recogniseEmail("").rest, "");
}

TEST(EmailRecogniser, RunsTouchingEitherEndOfTheTextGiveNoAddress)
{
    // The local part reaches the first character: nothing before it, so no address.
    EXPECT_EQ(addressOf("first@example.net more"), "");
    EXPECT_EQ(restOf("first@example.net more"), " more");
    EXPECT_EQ(addressOf("@example.net more"), "");
    EXPECT_EQ(restOf("@example.net more"), " more");
    // The domain reaches the last character: the rest starts right after the "@".
    EXPECT_EQ(addressOf("mail a@example.net"), "");
    EXPECT_EQ(restOf("mail a@example.net"), "example.net");
    EXPECT_EQ(restOf("x a@"), "");
    EXPECT_EQ(restOf("@"), "");
    // One other character at either end is enough.
    EXPECT_EQ(addressOf(" a@example.net "), "a@example.net");
    EXPECT_EQ(addressOf("\"a@example.net\""), "a@example.net");
}

TEST(EmailRecogniser, RemovesTagsAroundAndInsideTheCandidate)
{
    EXPECT_EQ(addressOf("x <b>Info</b>@<i>abc.net</i> y"), "info@abc.net");
    EXPECT_EQ(restOf("x <b>Info</b>@<i>abc.net</i> y"), " y");
    // A ">" before any "<" ends a tag opened before the run: everything up to it goes.
    EXPECT_EQ(addressOf("x q>w<e>r@abc.net y"), "wr@abc.net");
    EXPECT_EQ(addressOf("x a@>b.net< y"), "a@b.net");
    // Lone brackets: the first ">" of the local part, and "<", ">", "<" of the domain.
    EXPECT_EQ(addressOf("x a>b@abc.net y"), "ab@abc.net");
    EXPECT_EQ(addressOf("x a@abc.net<<< y"), "a@abc.net") << "the third '<' is cut with what follows";
    EXPECT_EQ(addressOf("x a@<<abc.net y"), "a@abc.net");
    EXPECT_EQ(addressOf("x a@<<<abc.net y"), "") << "the third '<' cuts the domain off";
    EXPECT_EQ(addressOf("x a<b@abc.net y"), "") << "a '<' left in the local part cuts away the '@'";
    // More spans than the removal bound: what is left is refused, not looped over.
    std::string manyTags = "x ";
    for (int i = 0; i < 250; ++i)
        manyTags += "<b>";
    EXPECT_EQ(addressOf(manyTags + "a@abc.net y"), "");
    EXPECT_EQ(restOf(manyTags + "a@abc.net y"), " y");
}

TEST(EmailRecogniser, RefusesImplausibleCandidatesButMovesPastThem)
{
    // 30 characters are accepted, 31 are not.
    EXPECT_EQ(addressOf("x abcdefghijklmnopqr@example.com y"), "abcdefghijklmnopqr@example.com");
    EXPECT_EQ(addressOf("x abcdefghijklmnopqrs@example.com y"), "");
    EXPECT_EQ(restOf("x abcdefghijklmnopqrs@example.com y"), " y");
    EXPECT_EQ(addressOf("x a..b@example.net y"), "");
    EXPECT_EQ(restOf("x a..b@example.net y"), " y");
    EXPECT_EQ(addressOf("x a.@.example.net y"), "") << "'..' across the '@' counts too";
    EXPECT_EQ(addressOf("x a-@-example.net y"), "") << "'--' across the '@' counts too";
    EXPECT_EQ(addressOf("x a--b@example.net y"), "");
    EXPECT_EQ(addressOf("x a/b@example.net y"), "");
    EXPECT_EQ(addressOf("x a@example.net/contact y"), "");
    EXPECT_EQ(addressOf("x image@index.htm y"), "");
    EXPECT_EQ(addressOf("x a.b@localhost y"), "") << "the domain needs a dot of its own";
    EXPECT_EQ(addressOf("x -1@example.net y"), "");
    EXPECT_EQ(addressOf("x -12@example.net y"), "-12@example.net");
    EXPECT_EQ(addressOf("x a@<b></b> y"), "") << "nothing left of the domain";
}

TEST(EmailRecogniser, RepairsTheEndOfTheDomain)
{
    EXPECT_EQ(addressOf("x a@example.co y"), "a@example.com");
    EXPECT_EQ(addressOf("x a@example.c y"), "a@example.com");
    EXPECT_EQ(addressOf("x a@example.co. y"), "a@example.com");
    EXPECT_EQ(addressOf("x a@example.net. y"), "a@example.net");
    EXPECT_EQ(addressOf("x a@example.com.cn.hk y"), "a@example.com.cn");
    EXPECT_EQ(addressOf("x a@example.comabc.net y"), "a@example.com");
    EXPECT_EQ(addressOf("x a@example.cn y"), "a@example.cn");
    EXPECT_EQ(addressOf("x a@example.co.uk y"), "a@example.co.uk");
    EXPECT_EQ(addressOf("x a.com@example.net y"), "") << "cut after the first '.com', the '@' is gone";
}

TEST(EmailRecogniser, StepsOverDoubleByteCharacters)
{
    const std::string contact = text::gbk("联系邮箱："), phone = text::gbk("，电话");
    EXPECT_EQ(addressOf(contact + "Sales@TianHe.com.cn" + phone), "sales@tianhe.com.cn");
    EXPECT_EQ(restOf(contact + "Sales@TianHe.com.cn" + phone), phone);
    // 0xB0 0x61 is one character: its trail byte is not the letter "a".
    EXPECT_EQ(addressOf("x \xB0" "abc@example.net y"), "bc@example.net");
    // 0x81 0x40 is one character: its trail byte is not an "@".
    EXPECT_EQ(addressOf("x a\x81@example.net y"), "");
    EXPECT_EQ(restOf("x a\x81@example.net y"), "");
    EXPECT_EQ(addressOf(text::gbk("中") + "abc@example.net y"), "abc@example.net")
        << "a run starting after a double-byte character does not reach the start";
}

// The lookups below talk to a server on 127.0.0.1 that plays the search engine and the
// companies' own sites.
class EmailLookup : public ::testing::Test {
protected:
    LocalHttpServer server;
    Txbemail lookup{server.baseUrl(), "demo_pg"};

    // Serves 'page' as the search engine's answer to every query.
    void searchAnswers(std::string page, std::string type = "text/html; charset=gbk")
    {
        server.on("GET", "/s", [page, type](const httplib::Request&, httplib::Response& res) {
            res.set_content(page, type);
        });
    }
};

TEST_F(EmailLookup, SearchesForTheNameWithoutItsCompanyFormPercentEncoded)
{
    searchAnswers("<p>x Info@TianHe.com</p>\n");
    // 天 is 0xCC 0xEC, 河 0xBA 0xD3 in GBK.
    EXPECT_EQ(lookup.Lookup("  " + text::gbk("天河 A&B+C-x.y_z~有限公司") + "\t"), "info@tianhe.com");
    EXPECT_EQ(lookup.Lookup(text::gbk("天河有限公司有限公司")), "info@tianhe.com");
    EXPECT_EQ(lookup.Lookup("TianHe"), "info@tianhe.com");

    const auto requests = server.requests();
    ASSERT_EQ(requests.size(), 3u);
    EXPECT_EQ(requests[0].target, "/s?tn=demo_pg&wd=%CC%EC%BA%D3%20A%26B%2BC-x.y_z~email");
    EXPECT_EQ(requests[1].target, "/s?tn=demo_pg&wd=%CC%EC%BA%D3%D3%D0%CF%DE%B9%AB%CB%BEemail")
        << "only the first company form is removed";
    EXPECT_EQ(requests[2].target, "/s?tn=demo_pg&wd=TianHeemail");
    EXPECT_EQ(requests[0].header("User-Agent"), "Mozilla/4.0 (compatible; MSIE 7.0; Windows NT 6.0)");
    EXPECT_EQ(lookup.searchUrl("a b"), server.baseUrl() + "/s?tn=demo_pg&wd=a%20bemail");
}

TEST_F(EmailLookup, NothingToSearchForSendsNoRequest)
{
    EXPECT_EQ(lookup.Lookup("   "), "");
    EXPECT_EQ(lookup.Lookup(text::gbk("有限公司")), "");
    EXPECT_EQ(server.requestCount(), 0u);
}

TEST_F(EmailLookup, FetchesAWebAddressAsItIs)
{
    server.setPage("/about.html?lang=en", "<a href=\"mailto:Boss@Firm.co\">Boss@Firm.co</a> end");
    EXPECT_EQ(lookup.Lookup(" " + server.url("/about.html?lang=en") + " "), "boss@firm.com");
    server.setPage("/secure.html", "x sales@firm.net y");
    // A different letter case of the scheme is still a web address, not a company name.
    std::string upper = server.url("/secure.html");
    upper.replace(0, 4, "HTTP");
    EXPECT_EQ(lookup.Lookup(upper), "sales@firm.net");

    const auto requests = server.requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[0].target, "/about.html?lang=en");
    EXPECT_EQ(requests[1].target, "/secure.html");

    // An https address is fetched too (this server speaks no TLS, so it fails), never
    // taken for a company name to search for.
    searchAnswers("x wrong@abc.net y");
    std::string secure = server.url("/secure.html");
    secure.insert(4, "s");
    EXPECT_EQ(lookup.Lookup(secure), "");
    for (const auto& r : server.requests())
        EXPECT_NE(r.path, "/s");
}

TEST_F(EmailLookup, ListsEachAddressOnceAndScansPastRefusedCandidates)
{
    searchAnswers("first@start.net " + text::gbk("公司简介") +
                  " Info@ABC.com ; toolong.address.of.sales@example.com"
                  " a..b@abc.com info@abc.com sales@abc.com.cn/contact, <b>hr</b>@abc.co z");
    EXPECT_EQ(lookup.Lookup("ABC"), "info@abc.com,hr@abc.com");
    // The list starts afresh with every lookup.
    searchAnswers("x other@abc.net y");
    EXPECT_EQ(lookup.Lookup("ABC"), "other@abc.net");
}

TEST_F(EmailLookup, LooksAtNoMoreThanTenCandidates)
{
    std::string page = "x ";
    for (int i = 1; i <= 12; ++i)
        page += "a" + std::to_string(i) + "@abc.net ";
    searchAnswers(page);
    EXPECT_EQ(lookup.Lookup("ABC"), "a1@abc.net,a2@abc.net,a3@abc.net,a4@abc.net,a5@abc.net,"
                                    "a6@abc.net,a7@abc.net,a8@abc.net,a9@abc.net,a10@abc.net");
    // A refused candidate uses up one of the ten.
    searchAnswers("x a..b@abc.net " + page.substr(2));
    EXPECT_EQ(lookup.Lookup("ABC"), "a1@abc.net,a2@abc.net,a3@abc.net,a4@abc.net,a5@abc.net,"
                                    "a6@abc.net,a7@abc.net,a8@abc.net,a9@abc.net");
}

TEST_F(EmailLookup, ReadsAddressesAmongChineseTextInEitherEncoding)
{
    const std::string gbkPage = text::gbk("<html><body>联系我们：邮箱 ") + "Sales@TianHe.com.cn" +
                                text::gbk("，备用邮箱：") + "hr@tianhe.cn" + text::gbk("。地址：广州</body></html>");
    searchAnswers(gbkPage);
    EXPECT_EQ(lookup.Lookup(text::gbk("天河")), "sales@tianhe.com.cn,hr@tianhe.cn");

    // Read as GBK, the UTF-8 bytes of 中 (E4 B8 AD) would swallow the "a" after them.
    searchAnswers("<p>\xE4\xB8\xAD" "abc@tianhe.net</p>\n", "text/html; charset=UTF-8");
    EXPECT_EQ(lookup.Lookup(text::gbk("天河")), "abc@tianhe.net");
}

TEST_F(EmailLookup, FailedRequestsAnswerEmptyText)
{
    server.on("GET", "/gone", [](const httplib::Request&, httplib::Response& res) {
        res.status = 404;
        res.set_content("x lost@abc.net y", "text/html");
    });
    EXPECT_EQ(lookup.Lookup(server.url("/gone")), "");
    server.on("GET", "/s", [](const httplib::Request&, httplib::Response& res) {
        res.status = 500;
        res.set_content("x lost@abc.net y", "text/html");
    });
    EXPECT_EQ(lookup.Lookup("ABC"), "");
    EXPECT_EQ(lookup.Lookup("http://"), "") << "not a usable address";

    // Nobody listens on the port of a server that is gone.
    std::string closed;
    {
        LocalHttpServer gone;
        closed = gone.url("/index.html");
    }
    EXPECT_EQ(lookup.Lookup(closed), "");
}

TEST_F(EmailLookup, StalledServerAnswersEmptyTextAfterTheTimeOut)
{
    // Part of a page with an address arrives, then nothing more.
    server.on("GET", "/half", [this](const httplib::Request&, httplib::Response& res) {
        res.set_content_provider(2000, "application/octet-stream",
                                 [this](std::size_t offset, std::size_t, httplib::DataSink& sink) {
                                     if (offset == 0) {
                                         const std::string part = "x early@abc.net y";
                                         return sink.write(part.data(), part.size());
                                     }
                                     server.pause(std::chrono::seconds(60));
                                     return false;
                                 });
    });
    lookup.setTimeoutMs(300);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(lookup.Lookup(server.url("/half")), "");
    EXPECT_EQ(lookup.Lookup(server.url("/stall-headers")), "");
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(4));
}

TEST_F(EmailLookup, CancelEndsALookupInFlight)
{
    std::thread stopper([this] {
        server.waitForRequest("/stall-headers");
        lookup.cancel();
    });
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(lookup.Lookup(server.url("/stall-headers")), "");
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(4))
        << "well before the 5 s read time-out";
    stopper.join();
}
