#include "crawler/page_scan.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

using namespace tarvimo::crawler;

namespace {

// Text with "{n}" standing for the byte n, so expected marker codes read clearly.
std::string codes(std::string_view s)
{
    std::string out;
    for (std::size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '{') {
            const std::size_t end = s.find('}', i);
            out += static_cast<char>(std::stoi(std::string(s.substr(i + 1, end - i - 1))));
            i = end;
        } else {
            out += s[i];
        }
    }
    return out;
}

std::string marked(std::string text)
{
    markText(text);
    return text;
}

std::string repaired(std::string_view text)
{
    std::string t = codes(text);
    repairNesting(t);
    return t;
}

using Values = std::vector<std::pair<int, std::string>>;

Values scan(std::string_view body)
{
    Values out;
    scanPage(body, [&](const FoundValue& v) {
        out.emplace_back(v.kind, v.value);
        return true;
    });
    return out;
}

Values scanMarked(std::string_view text)
{
    Values out;
    scanValues(codes(text), [&](const FoundValue& v) {
        out.emplace_back(v.kind, v.value);
        return true;
    });
    return out;
}

std::vector<std::string> values(const Values& vs)
{
    std::vector<std::string> out;
    for (const auto& v : vs)
        out.push_back(v.second);
    return out;
}

using Strings = std::vector<std::string>;

} // namespace

// ---- cleaning ------------------------------------------------------------------------

TEST(CleanBody, BlanksAroundEqualsAndRunsOfBlanks)
{
    EXPECT_EQ(cleanBody("a = b"), "a=b");
    EXPECT_EQ(cleanBody("a   =   b"), "a=b");
    EXPECT_EQ(cleanBody("= x"), "=x");
    EXPECT_EQ(cleanBody("a ="), "a=");
    EXPECT_EQ(cleanBody("= ="), "==");
    EXPECT_EQ(cleanBody("x    y"), "x y");
    EXPECT_EQ(cleanBody("  x "), " x ");
    EXPECT_EQ(cleanBody("<a href = \"x.htm\">"), "<a href=x.htm >");
    EXPECT_EQ(cleanBody(""), "");
}

TEST(CleanBody, QuotesAndCommasBecomeBlanks)
{
    EXPECT_EQ(cleanBody("a\"b'c,d"), "a b c d");
    EXPECT_EQ(cleanBody("<img src='p.gif'>"), "<img src=p.gif >");
    EXPECT_EQ(cleanBody("f(1,2)"), "f(1 2)");
}

TEST(CleanBody, ControlBytesDropOutOthersStay)
{
    EXPECT_EQ(cleanBody(std::string("a\tb\r\nc\x01" "d\x1f" "e\0f", 12)), "abcdef");
    EXPECT_EQ(cleanBody("a\r\n\r\nb"), "ab");
    // DEL and the bytes of double-byte characters are page text.
    EXPECT_EQ(cleanBody("\x7f\xc4\xcf\xbe\xa9"), "\x7f\xc4\xcf\xbe\xa9");
    // A control byte between "=" and the value does not keep the blank in front of it.
    EXPECT_EQ(cleanBody("href=\n x"), "href=x");
}

// ---- marking -------------------------------------------------------------------------

TEST(MarkText, CodesReplaceTheLastByteOfEachMarker)
{
    EXPECT_EQ(marked("<a href=x>"), codes("<{14} href{4}x>"));
    EXPECT_EQ(marked("<A HREF=X></A>"), codes("<{14} HREF{4}X></A{16}"));
    EXPECT_EQ(marked("<img src=p.gif>"), codes("<img src{6}p.gif>"));
    EXPECT_EQ(marked("<frame src=l.htm></frame>"), codes("<fram{14} src{6}l.htm></fram{16}>"));
    EXPECT_EQ(marked("<option value=/x>a</option>"), codes("<optio{14} value{5}/x>a</option{16}"));
    EXPECT_EQ(marked("<applet code=x></applet>"), codes("<{14}pple{14} code=x></applet{16}"));
    EXPECT_EQ(marked("<a/>"), codes("<{14}/{16}"));
    EXPECT_EQ(marked("openwin( p.htm"), codes("openwin({4}p.htm"));
    EXPECT_EQ(marked("OpenWin( p.htm"), codes("OpenWin({4}p.htm"));
}

TEST(MarkText, LaterPatternWinsOnTheSameByte)
{
    // " HREF=" and "BASE HREF=" end on the same "=": the base address code stays.
    EXPECT_EQ(marked("<base href=/d/>"), codes("<base href{7}/d/>"));
    EXPECT_EQ(marked("<BASE HREF=/d/>"), codes("<BASE HREF{7}/d/>"));
}

TEST(MarkText, MismatchRestartsAtTheSecondPosition)
{
    EXPECT_EQ(marked("<<a"), codes("<<{14}"));
    EXPECT_EQ(marked("  src="), codes("  src{6}"));
    EXPECT_EQ(marked("x href href=y"), codes("x href href{4}y"));
}

TEST(MarkText, NothingFoundLeavesTheText)
{
    std::string t = "plain text with hre f= and <b>bold</b>";
    EXPECT_FALSE(markText(t));
    EXPECT_EQ(t, "plain text with hre f= and <b>bold</b>");
    std::string m = "x <a";
    EXPECT_TRUE(markText(m));
}

// ---- nesting repair ------------------------------------------------------------------

TEST(RepairNesting, AnOpeningInsideAnOpenContainerClosesItFirst)
{
    EXPECT_EQ(repaired("<{14} href{4}a <{14} href{4}b"), codes("<{14} href{4}a {16}{14} href{4}b"));
    EXPECT_EQ(repaired("x{14}{14}"), codes("x{16}{14}"));
    // Too near the start to repair.
    EXPECT_EQ(repaired("{14}{14}"), codes("{14}{14}"));
    // Properly closed containers, and closings without an opening, are left alone.
    EXPECT_EQ(repaired("<{14}x{16}<{14}y{16}"), codes("<{14}x{16}<{14}y{16}"));
    EXPECT_EQ(repaired("a{16}b{14}c"), codes("a{16}b{14}c"));
    // Three openings in a row: each one closes the one before.
    EXPECT_EQ(repaired("<{14}a<{14}b<{14}"), codes("<{14}a{16}{14}b{16}{14}"));
}

// ---- value scanning ------------------------------------------------------------------

TEST(ScanValues, CollectingAValue)
{
    EXPECT_EQ(scanMarked("{4}   x.htm rest"), (Values{{4, "x.htm"}}));
    EXPECT_EQ(scanMarked("{6}a.gif>{5}/p/q "), (Values{{6, "a.gif"}, {5, "/p/q"}}));
    // A value still open at the end of the text is dropped.
    EXPECT_EQ(scanMarked("{4}a.htm "
                         "{4}b.htm"),
              (Values{{4, "a.htm"}}));
    // A container code discards the value being read; a new attribute code restarts it.
    EXPECT_EQ(scanMarked("{4}abc{14}def "), Values{});
    EXPECT_EQ(scanMarked("{4}abc{16}def "), Values{});
    EXPECT_EQ(scanMarked("{4}abc{6}def "), (Values{{6, "def"}}));
}

TEST(ScanPage, AnchorsInEveryWriting)
{
    const std::string page = "<p><a href = \"page1.htm\">One</a>\n"
                             "<A HREF=PAGE2.HTM>Two</A>\n"
                             "<a href='page3.htm' target=_blank>Three</a>\n"
                             "<a href=\"javascript:openwin('page4.htm')\">Four</a>\n"
                             "<a href=\"javascript:top.window.close()\">Close</a>\n"
                             "<a href=Top.Window.htm>Five</a>\n"
                             "<a href=\"\xc4\xcf\xbe\xa9.htm\">Six</a></p>";
    EXPECT_EQ(scan(page), (Values{{4, "page1.htm"}, {4, "PAGE2.HTM"}, {4, "page3.htm"}, {4, "page4.htm"},
                                  {4, "\xc4\xcf\xbe\xa9.htm"}}));
}

TEST(ScanPage, EmbeddedObjectsAndFrames)
{
    EXPECT_EQ(scan("<img src=\"logo.gif\" alt=x><frame src=left.htm><script SRC = 'a.js'></script>"),
              (Values{{6, "logo.gif"}, {6, "left.htm"}, {6, "a.js"}}));
}

TEST(ScanPage, OptionValuesOnlyWhenTheyLookLikePaths)
{
    const std::string page = "<select><option value=\"/cat/1.htm\">A</option>"
                             "<option value=12>B</option>"
                             "<option value=\"/a;b\">C</option>"
                             "<option value=/d/2.htm selected>D</option>"
                             "<option value=\"none\">E</option></select>";
    EXPECT_EQ(scan(page), (Values{{5, "/cat/1.htm"}, {5, "/d/2.htm"}}));
}

TEST(ScanPage, BaseAddress)
{
    EXPECT_EQ(scan("<head><base href=\"http://other.com/dir/\"></head><a href=x.htm>"),
              (Values{{7, "http://other.com/dir/"}, {4, "x.htm"}}));
}

TEST(ScanPage, ValuesCutAtAngleBrackets)
{
    EXPECT_EQ(values(scan("<a href=x.htm<b>bold</b>")), Strings{"x.htm"});
    EXPECT_EQ(values(scan("<a href=<b>bold</b>")), Strings{});
    EXPECT_EQ(values(scan("<img src=p.gif>")), Strings{"p.gif"});
}

TEST(ScanPage, CallsAndBracketsInValues)
{
    // The argument of a call is the link.
    EXPECT_EQ(values(scan("<a href=go(p.htm)>")), Strings{"p.htm"});
    EXPECT_EQ(values(scan("<a href=f(x.htm>")), Strings{"x.htm"});
    // What is left with a bracket or plus in it is no link.
    for (const char* page : {"<a href=a+b.htm>", "<a href=list[1].htm>", "<a href=x]y.htm>", "<a href=x)y.htm>",
                             "<a href=(x.htm)>", "<a href=go((x))>", "<a href==>", "<a href=\"\">x</a>"})
        EXPECT_EQ(scan(page), Values{}) << page;
}

TEST(ScanPage, UnfinishedValuesAreDropped)
{
    EXPECT_EQ(scan("<a href=last.htm"), Values{});
    // The closing marker ends the container before the value is complete.
    EXPECT_EQ(scan("<a href=x.htm</a>"), Values{});
    EXPECT_EQ(scan("no markers here, href or not"), Values{});
}

TEST(ScanPage, StopsWhenTheCallbackSaysSo)
{
    const std::string page = "<a href=1.htm> <a href=2.htm> <a href=3.htm>";
    Strings seen;
    scanPage(page, [&](const FoundValue& v) {
        seen.push_back(v.value);
        return seen.size() < 2;
    });
    EXPECT_EQ(seen, (Strings{"1.htm", "2.htm"}));
}

// ---- title and meta tags -------------------------------------------------------------

namespace {
std::vector<Strings> tagRows(const HeadInfo& h)
{
    std::vector<Strings> rows;
    for (const MetaTag& t : h.tags)
        rows.push_back({t.type, t.attrib[0], t.value[0], t.attrib[1], t.value[1], t.attrib[2], t.value[2]});
    return rows;
}
} // namespace

TEST(ReadHead, TitleFromTheHeadOnly)
{
    const HeadInfo h = readHead("<html><HEAD>\r\n<title>My\nPage, \"new\"</title>\n</Head>"
                                "<body><title>not this</title></body></html>");
    EXPECT_EQ(tagRows(h), (std::vector<Strings>{{"TITLE", "TITLE", "My Page, \"new\"", "", "", "", ""}}));
    EXPECT_TRUE(h.refresh.empty());
    EXPECT_TRUE(readHead("<title>x</title><meta name=a content=b>").tags.empty());
}

TEST(ReadHead, MetaTagsQuotedAndUnquoted)
{
    const HeadInfo h = readHead("<head><title>T</title>\n"
                                "<meta name=\"Keywords\" content=\"Red Apples, green\">\n"
                                "<META name=keywords content=abc>\n"
                                "<meta name = \"a\" content = \"b\"/>\n"
                                "<meta a=1 b=2 c=\"Three x\">\n"
                                "<meta a=1 b=2 c=3 d=4>\n"
                                "<link rel=stylesheet href=s.css>\n"
                                "<base> <metax a=1> <script src=x.js></script>\n"
                                "</head><meta name=after content=head>");
    EXPECT_EQ(tagRows(h), (std::vector<Strings>{
                              {"TITLE", "TITLE", "T", "", "", "", ""},
                              {"META", "NAME", "Keywords", "CONTENT", "Red Apples, green", "", ""},
                              {"META", "NAME", "KEYWORDS", "CONTENT", "ABC", "", ""},
                              {"META", "NAME", "a", "CONTENT", "b", "", ""},
                              {"META", "A", "1", "B", "2", "C", "Three x"},
                              {"LINK", "REL", "STYLESHEET", "HREF", "S.CSS", "", ""},
                          }));
}

TEST(ReadHead, RefreshTargets)
{
    HeadInfo h = readHead("<head><meta http-equiv=\"Refresh\" content=\"5; url=next.htm\"></head>");
    EXPECT_EQ(h.refresh, Strings{"next.htm"});
    EXPECT_EQ(tagRows(h), (std::vector<Strings>{{"META", "HTTP-EQUIV", "Refresh", "CONTENT", "5; url=next.htm", "", ""}}));

    h = readHead("<head><meta http-equiv=refresh content=0;url=/go/p.htm></head>");
    EXPECT_EQ(h.refresh, Strings{"/GO/P.HTM"}) << "an unquoted value is upper-cased";

    h = readHead("<head><meta http-equiv=\"REFRESH\" content=\"0; URL = http://h.com/a.htm\"></head>");
    EXPECT_EQ(h.refresh, Strings{"http://h.com/a.htm"});

    // A fourth attribute gives no event, but the refresh still counts.
    h = readHead("<head><meta http-equiv=\"refresh\" content=\"0;URL=a.htm\" x=1 y=2></head>");
    EXPECT_TRUE(h.tags.empty());
    EXPECT_EQ(h.refresh, Strings{"a.htm"});

    // The names must come in this order, and the first value must be a refresh.
    EXPECT_TRUE(readHead("<head><meta content=\"0;url=b.htm\" http-equiv=\"refresh\"></head>").refresh.empty());
    EXPECT_TRUE(readHead("<head><meta http-equiv=\"expires\" content=\"0;url=c.htm\"></head>").refresh.empty());
    EXPECT_TRUE(readHead("<head><meta http-equiv=\"refresh\" content=\"30\"></head>").refresh.empty());
}
