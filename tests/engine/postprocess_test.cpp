#include "engine/postprocess.h"

#include "base/text.h"
#include "store/delimited.h"

#include <gtest/gtest.h>

#include <algorithm>

using namespace tarvimo;
using engine::FieldPostProcessor;
using engine::PostSettings;
using engine::RemoveSpans;
using Row = std::vector<std::string>;

namespace {

std::string G(std::string_view utf8) { return text::gbk(utf8); }
std::string U(std::string_view gbk) { return text::gbkToUtf8(gbk); }

// Tests speak UTF-8; the processor sees GBK. "癩皚" is two characters whose second bytes are
// "]" and "}", so a byte-wise search for brackets would cut it apart.
const Row kCaptions = {"序号", "名称", "电话", "省", "市", "全称", "类别", "内容", "链接", "癩皚", ""};
constexpr std::size_t kFields = 10;  // the rule fields and the URL column

Row convert(const Row& r, std::string (*f)(std::string_view))
{
    Row out;
    for (const auto& s : r)
        out.push_back(f(s));
    return out;
}

FieldPostProcessor processor(PostSettings s)
{
    for (auto* list : {&s.clearList, &s.filter, &s.replaceItems, &s.unionItems, &s.classItems})
        *list = convert(*list, G);
    s.defaultClass = G(s.defaultClass);
    engine::RuleColumns c;
    c.captions = convert(kCaptions, G);
    c.outputCaptions = c.captions;
    c.outputCaptions.back() = "URL";
    c.types.assign(c.captions.size(), "");
    c.types[8] = G("关联地址类型");
    c.keepHtml.assign(c.captions.size(), G("否"));
    c.keepHtml[7] = G("是");
    return FieldPostProcessor(std::move(s), std::move(c));
}

// A full row with the named fields set and the others empty.
Row with(std::initializer_list<std::pair<std::string_view, std::string_view>> set)
{
    Row r(kFields);
    for (auto [caption, value] : set) {
        auto it = std::find(kCaptions.begin() + 1, kCaptions.end(), caption);
        r[caption == "URL" ? kFields - 1 : static_cast<std::size_t>(it - kCaptions.begin()) - 1] = value;
    }
    return r;
}

Row formulas(Row replace, Row unite, Row row)
{
    PostSettings s;
    s.replaceItems = std::move(replace);
    s.unionItems = std::move(unite);
    auto fields = convert(row, G);
    processor(std::move(s)).applyFormulas(fields);
    return convert(fields, U);
}

Row classified(Row items, Row row)
{
    PostSettings s;
    s.classItems = std::move(items);
    s.defaultClass = "其他";
    auto fields = convert(row, G);
    processor(std::move(s)).classifyRow(fields);
    return convert(fields, U);
}

bool passes(Row filter, const Row& row, bool ruleCase = false)
{
    PostSettings s;
    s.filter = std::move(filter);
    s.ruleCase = ruleCase;
    return processor(std::move(s)).passesFilter(convert(row, G));
}

std::string cleaned(std::size_t rule, std::string_view value, PostSettings s = {})
{
    if (s.clearList.empty())
        s.clearList = {":", "：", "“", "*"};
    return U(processor(std::move(s)).cleanField(rule, G(value)));
}

std::string repeat(std::string_view s, int n)
{
    std::string out;
    while (n-- > 0)
        out += s;
    return out;
}

} // namespace

TEST(RemoveSpans, CutsFromEachBeginToTheFollowingEnd)
{
    EXPECT_EQ(RemoveSpans("a<b>c</b>d", "<", ">"), "acd");
    EXPECT_EQ(RemoveSpans("x<script>if(a<b)</script>y", "<script", "/script>"), "xy");
    EXPECT_EQ(RemoveSpans(G("名<b>称"), "<", ">"), G("名称"));
    EXPECT_EQ(RemoveSpans("b>c<i>d", "<", ">"), "cd") << "an end before the first begin cuts the head off";
    EXPECT_EQ(RemoveSpans("a>b", "<", ">"), "b");
    EXPECT_EQ(RemoveSpans("a<b>c>d<e>f", "<", ">"), "acdf") << "stray ends before the next begin are dropped";
    EXPECT_EQ(RemoveSpans("a<b>c>d", "<", ">"), "ac>d") << "with no begin left, a stray end stays";
    // After the head is cut, a second end before the first begin is read as the rule says:
    // the text before the begin, then the text after that end.
    EXPECT_EQ(RemoveSpans("x>y>z<a>b", "<", ">"), "yzzb");
    EXPECT_EQ(RemoveSpans("a<b", "<", ">"), "a<b");
    EXPECT_EQ(RemoveSpans("plain", "<", ">"), "plain");
    EXPECT_EQ(RemoveSpans("a<b>c", "", ">"), "a<b>c");
    EXPECT_EQ(RemoveSpans("a<b>c", "<", ""), "a<b>c");
    EXPECT_EQ(RemoveSpans("a<SCRIPT>x</SCRIPT>b", "<script", "/script>"), "a<SCRIPT>x</SCRIPT>b");
}

TEST(RemoveSpans, StopsAfter2000Rounds)
{
    EXPECT_EQ(RemoveSpans(repeat("x<>", 2500), "<", ">"), std::string(2000, 'x') + repeat("x<>", 500));
}

TEST(FieldCleaning, BlanksClearListAndTags)
{
    EXPECT_EQ(cleaned(2, "电话：0571-1234*"), "电话0571-1234");
    EXPECT_EQ(cleaned(2, "  a \t b  "), " a b ");
    EXPECT_EQ(cleaned(2, "a&NBSP;b\r\nc" + std::string(11, ' ') + "d"), "a b c d");
    EXPECT_EQ(cleaned(2, "<td class=x>Tel</td><br>1"), "Tel1");
    EXPECT_EQ(cleaned(2, "x<script>if(a<b)c;</script>y"), "xy") << "scripts go before the tags";

    PostSettings s;
    s.clearList = {"Ltd", "#13", "#13#10"};
    EXPECT_EQ(cleaned(1, "ABC Ltd LTD #13 #13#10", s), "ABC  LTD #13 #13#10")
        << "items are case-sensitive, deleted after blanks are merged; the line-break items do not delete their own text";
    EXPECT_EQ(cleaned(1, "a<P>b<br>c", s), "abc");
    s.useSect = true;
    EXPECT_EQ(cleaned(1, "a<P>b<br>c", s), "a\r\nbc");
    EXPECT_EQ(cleaned(99, "a<b>  c"), "a c") << "a rule index beyond the table keeps no HTML";
}

TEST(FieldCleaning, KeptHtmlLosesOnlyScriptsOfArticleTasks)
{
    const std::string html = "<b>a  b</b>\t<script>s</script><Script>t</Script><SCRIPT>u</SCRIPT>";
    EXPECT_EQ(cleaned(7, html), html);
    PostSettings s;
    s.getNews = true;
    EXPECT_EQ(cleaned(7, html, s), "<b>a  b</b>\t");
    EXPECT_EQ(cleaned(2, "a<script>s</script>b", s), "ab");
    s.clearJavascript = false;
    EXPECT_EQ(cleaned(7, html, s), html);
}

TEST(AddressCompletion, JoinsRelativeAddressesToThePageBase)
{
    const std::string url = G("URL类型"), media = G("多媒体类型");
    auto complete = FieldPostProcessor::completeByType;
    EXPECT_EQ(complete("/a/b.html", url, "http://x.cn/"), "http://x.cn/a/b.html");
    EXPECT_EQ(complete("/a.html", url, "http://x.cn/d"), "http://x.cn/d/a.html");
    EXPECT_EQ(complete("a.html", media, "http://x.cn/d"), "http://x.cn/d/a.html");
    EXPECT_EQ(complete("a.html", url, "https://x.cn/d/"), "https://x.cn/d/a.html");
    EXPECT_EQ(complete("HTTP://y.cn/a", url, "http://x.cn/"), "HTTP://y.cn/a");
    EXPECT_EQ(complete("go https://y.cn", url, "http://x.cn/"), "go https://y.cn");
    EXPECT_EQ(complete("a.html", url, " "), "a.html");
    EXPECT_EQ(complete("a.html", G("E-mail类型"), "http://x.cn/"), "a.html");
    EXPECT_EQ(complete("a.html", "", "http://x.cn/"), "a.html");
}

TEST(RowFilter, ConditionsOnNamedFields)
{
    EXPECT_TRUE(passes({"<名称>[包含]公司/厂"}, with({{"名称", "某某厂"}})));
    EXPECT_FALSE(passes({"<名称>[包含]公司/厂"}, with({{"名称", "某某店"}})));
    EXPECT_TRUE(passes({"<名称>[包含]公司/厂"}, with({{"名称", "某公司"}})));
    EXPECT_FALSE(passes({"<电话>[不为空]"}, with({{"电话", " "}})));
    EXPECT_TRUE(passes({"<电话> [不为空] "}, with({{"电话", "1"}})));
    EXPECT_FALSE(passes({"<名称>[不包含]店/摊"}, with({{"名称", "某某店"}})));
    EXPECT_TRUE(passes({"<名称>[不包含]/店/ /"}, with({{"名称", "某 厂"}}))) << "blank words are not tested";
    EXPECT_TRUE(passes({"<名称>公司/厂"}, with({{"名称", "某某厂"}}))) << "plain words mean [包含]";
    EXPECT_FALSE(passes({"<名称>[包含]"}, with({{"名称", "x"}}))) << "no word can occur";
    EXPECT_TRUE(passes({"<名称>[包含]/ABC"}, with({{"名称", "abc"}})));
    EXPECT_FALSE(passes({"<名称>[包含]ABC"}, with({{"名称", "abc"}}), true));
    EXPECT_FALSE(passes({"<省>[包含]x", "<名称>[包含]y"}, with({{"省", "x"}}))) << "every item must pass";
}

TEST(RowFilter, LimitsAndMalformedItems)
{
    Row row = with({{"内容", std::string(8000, 'a')}});
    EXPECT_TRUE(passes({}, row));
    row[6] += 'a';
    EXPECT_FALSE(passes({}, row));

    std::string many = "[包含]" + repeat("w/", 499);
    EXPECT_TRUE(passes({"<名称>" + many + "厂"}, with({{"名称", "厂"}})));
    EXPECT_FALSE(passes({"<名称>" + many + "w/厂"}, with({{"名称", "厂"}}))) << "word 501 is not tested";

    for (const char* item : {"<未知>[包含]x", "名称>[包含]x", "<名称[包含]x", ">名称<[包含]x", "<>[包含]x", "<序号>[包含]x", ""})
        EXPECT_TRUE(passes({item}, with({{"名称", "y"}}))) << item;
    EXPECT_FALSE(passes({"<电话>[不为空]"}, {"a"})) << "a missing field is empty";
    EXPECT_TRUE(passes({"<电话>[不包含]a"}, {"a"}));
}

TEST(ReplaceFormulas, ReplaceNthSpanOrSet)
{
    const Row tel = with({{"电话", "0571-1234-56"}});
    EXPECT_EQ(formulas({"[电话]=-[替换为]"}, {}, tel), with({{"电话", "0571123456"}}));
    EXPECT_EQ(formulas({"[电话]=-{2}[替换为]"}, {}, tel), with({{"电话", "0571-123456"}}));
    EXPECT_EQ(formulas({"[电话]=-{3}[替换为]"}, {}, tel), tel);
    EXPECT_EQ(formulas({"[电话]=000"}, {}, tel), with({{"电话", "000"}}));
    EXPECT_EQ(formulas({"电话 =LTD[替换为]公司"}, {}, with({{"电话", "Ltd ltd"}})), with({{"电话", "公司 公司"}}));
    EXPECT_EQ(formulas({"[内容]=<a***>[替换为]"}, {}, with({{"内容", "x<a href=1>y</a><A HREF=1>z<a>"}})),
              with({{"内容", "xy</a>z<a>"}}));
    EXPECT_EQ(formulas({"[内容]=<a***>[替换为]"}, {}, with({{"内容", "x>y<a>z"}})), with({{"内容", "x>yz"}}))
        << "the tail is looked for after the head";
    EXPECT_EQ(formulas({"[内容]=[#13+#10][替换为],"}, {}, with({{"内容", "a\r\nb"}})), with({{"内容", "a,b"}}));
    EXPECT_EQ(formulas({"[电话]=-[替换为]+", "[电话]=++[替换为]#"}, {}, with({{"电话", "1--2"}})),
              with({{"电话", "1#2"}}))
        << "items apply in order";
    EXPECT_EQ(formulas({"[URL]=http[替换为]ftp"}, {}, with({{"URL", "http://a"}})), with({{"URL", "ftp://a"}}));
    EXPECT_EQ(formulas({"[电话]=皗-{2}[替换为]"}, {}, with({{"电话", "皗-a皗-b"}})), with({{"电话", "皗-ab"}}));
}

TEST(ReplaceFormulas, MalformedItemsChangeNothing)
{
    const Row row = with({{"电话", "a-b-c"}, {"内容", "x"}});
    for (const char* item : {"电话", "=x", "[]=x", "[未知]=x", "[序号]=x", "[源文件]=a[替换为]b", "[电话]=-{0}[替换为]",
                             "[电话]=-{x}[替换为]", "[电话]=-{[替换为]", "[电话]=***[替换为]y", "[电话]={2}[替换为]y",
                             "[电话]=a***z[替换为]y", "{替换公式}", ""})
        EXPECT_EQ(formulas({item}, {}, row), row) << item;
    EXPECT_EQ(formulas({"[电话]=-{0}[替换为]"}, {}, with({{"电话", "a-{0}b"}})), with({{"电话", "ab"}}))
        << "a count below 1 leaves a plain replacement";
    EXPECT_EQ(formulas({"[内容]=y"}, {}, {"a", "b"}), (Row{"a", "b"})) << "a row shorter than the captions";
}

TEST(UnionFormulas, JoinFieldsAndLiterals)
{
    EXPECT_EQ(formulas({}, {"[全称]=[省]+省+[市]"}, with({{"省", "浙江"}, {"市", "杭州"}})),
              with({{"省", "浙江"}, {"市", "杭州"}, {"全称", "浙江省杭州"}}));
    EXPECT_EQ(formulas({"[省]=江[替换为]苏"}, {"全称=[省]+ : +[链接]+[未知]+[癩皚]", "[类别]=[全称]+!"},
                       with({{"省", "浙江"}, {"链接", "http://a"}, {"癩皚", "v"}})),
              with({{"省", "浙苏"}, {"链接", "http://a"}, {"癩皚", "v"}, {"全称", "浙苏 : v"}, {"类别", "浙苏 : v!"}}))
        << "replace first, linked addresses contribute nothing, later items see earlier results";
    const Row row = with({{"省", "a"}, {"全称", "old"}});
    EXPECT_EQ(formulas({}, {"[全称]="}, row), with({{"省", "a"}})) << "an empty union empties the target";
    for (const char* item : {"[全称][省]", "=[省]", "[]=[省]", "[未知]=[省]", "{合并公式}"})
        EXPECT_EQ(formulas({}, {item}, row), row) << item;
    EXPECT_EQ(formulas({}, {"[全称]=[省]+[市]"}, {"n", "t", "p"}), (Row{"n", "t", "p"}));
    EXPECT_EQ(formulas({}, {"[省]=[省]+[全称]+x"}, {"n", "t", "p"}), (Row{"n", "t", "px"}));
}

TEST(FormulasOnRows, EachRowIsSplitChangedAndJoined)
{
    PostSettings s;
    s.replaceItems = {"[电话]=-[替换为]"};
    s.unionItems = {"[全称]=[名称]+ +[省]"};
    auto proc = processor(std::move(s));
    const char d = '^';
    Row rows = {store::joinDelimited(convert({"甲 公司", "0571-1", "浙江", "", ""}, G), d), "", "x\"y^z"};
    proc.applyFormulasToRows(rows);
    EXPECT_EQ(rows[0], store::joinDelimited(convert({"甲 公司", "05711", "浙江", "", "甲 公司 浙江"}, G), d));
    EXPECT_EQ(rows[1], "");
    EXPECT_EQ(rows[2], "x\"y^z") << "a row the formulas leave unchanged keeps its text";
}

TEST(Classification, FirstKeywordFoundOrDefault)
{
    const Row item = {"[类别]=[名称]食品,服装"};
    EXPECT_EQ(classified(item, with({{"名称", "服装厂"}})), with({{"名称", "服装厂"}, {"类别", "服装"}}));
    EXPECT_EQ(classified(item, with({{"名称", "五金店"}})), with({{"名称", "五金店"}, {"类别", "其他"}}));
    EXPECT_EQ(classified({" [类别] = [名称] 厂,服装 "}, with({{"名称", "服装厂"}})), with({{"名称", "服装厂"}, {"类别", "厂"}}))
        << "list order wins, not the position in the text";
    EXPECT_EQ(classified({"[类别]=[名称],店", "[电话]=[类别]其,他"}, with({{"名称", "五金"}})),
              with({{"名称", "五金"}, {"类别", "其他"}, {"电话", "其"}}))
        << "an empty keyword never matches; items see earlier results";
    EXPECT_EQ(classified({"[类别]=[癩皚]\"a b\",c"}, with({{"癩皚", "xa b"}})), with({{"癩皚", "xa b"}, {"类别", "a b"}}));
    EXPECT_EQ(classified({"[类别]=[内容]x[#13+#10]y"}, with({{"内容", "y"}})), with({{"内容", "y"}, {"类别", "y"}}))
        << "a line break separates keywords like a blank";
}

TEST(Classification, MalformedItemsChangeNothing)
{
    const Row row = with({{"名称", "服装厂"}, {"类别", "c"}});
    for (const char* item : {"{分类公式}", "[类别][名称]服装", "类别=名称服装", "[类别]=[名称服装", "=[名称]服装", "[]=[名称]服装",
                             "[类别]=[]服装", "[类别]=[未知]服装", "[URL]=[名称]服装", "[类别]=[URL]服装", ""})
        EXPECT_EQ(classified({item}, row), row) << item;
    EXPECT_EQ(classified({"[类别]=[名称]服装"}, {"服装厂"}), (Row{"服装厂"})) << "target beyond the row";
    EXPECT_EQ(classified({"[名称]=[类别]服装"}, {"服装厂"}), (Row{"服装厂"})) << "origin beyond the row";

    PostSettings s;
    s.classItems = {"[类别]=[名称]服装"};
    Row rows = {store::joinDelimited(convert({"服装 厂", "", "", "", "", "x"}, G), '^'), "a^b"};
    processor(std::move(s)).classifyRows(rows);
    EXPECT_EQ(rows[0], store::joinDelimited(convert({"服装 厂", "", "", "", "", "服装"}, G), '^'));
    EXPECT_EQ(rows[1], "a^b");
}

TEST(PageReplacement, SourceFileItemsOnly)
{
    PostSettings s;
    s.replaceItems = {"{替换公式}", "[源文件]= <BR> [替换为] | ", "[电话]=a[替换为]b", "[源文件]=[#13+#10][替换为]",
                      "[源文件]=no replacement word", "[源文件]=[替换为]x", "x[源文件]=Q[替换为]q"};
    EXPECT_EQ(U(processor(std::move(s)).replaceInPage(G("a<br>b<Br>c\r\nd Qa"))), "a|b|cd qa");
    EXPECT_EQ(processor({}).replaceInPage("a<br>"), "a<br>");
}
