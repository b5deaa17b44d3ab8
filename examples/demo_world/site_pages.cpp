// The pages of the catalogue sites: each site's search (its first-page request and every
// page of its range), its company pages and the few other pages its listings link to.
//
// A listing page is laid out so that the count a directory search reads from it comes
// first: the head and the navigation hold none of the words the counting looks for, the
// count line follows, then the companies, the page links and the searched word. Company
// links are absolute addresses on the host (and port) the request named.
#include "world_internal.h"

#include "base/text.h"

#include <algorithm>
#include <cstdint>

namespace tarvimo::demo::detail {
namespace {

// ---- requests -------------------------------------------------------------------------

struct RawRequest {
    std::string path;  // as sent, still percent-encoded
    std::vector<std::pair<std::string, std::string>> query;
};

RawRequest splitTarget(std::string_view target)
{
    RawRequest r;
    const std::size_t q = target.find('?');
    r.path = std::string(target.substr(0, q));
    if (q == std::string_view::npos)
        return r;
    std::string_view rest = target.substr(q + 1);
    while (!rest.empty()) {
        const std::size_t amp = rest.find('&');
        const std::string_view item = rest.substr(0, amp);
        const std::size_t eq = item.find('=');
        r.query.emplace_back(std::string(item.substr(0, eq)),
                             eq == std::string_view::npos ? std::string() : std::string(item.substr(eq + 1)));
        if (amp == std::string_view::npos)
            break;
        rest.remove_prefix(amp + 1);
    }
    return r;
}

const std::string* param(const RawRequest& r, std::string_view name)
{
    for (const auto& [key, value] : r.query)
        if (key == name)
            return &value;
    return nullptr;
}

// A page number as sent; 'fallback' when it is missing or no plain number.
int number(const std::string* value, int fallback)
{
    if (!value || value->empty() || value->size() > 7)
        return fallback;
    int n = 0;
    for (char c : *value) {
        if (c < '0' || c > '9')
            return fallback;
        n = n * 10 + (c - '0');
    }
    return n;
}

// What a listing request asks for: the keyword as sent and the first result it shows.
struct Listing {
    std::string encoded;
    int first = 0;
};

// "/a/b/K/c/N/" -> K and N, when the path is prefix + K + middle + N + "/".
bool keywordAndPage(std::string_view path, std::string_view prefix, std::string_view middle, std::string& keyword,
                    int& page)
{
    if (!path.starts_with(prefix) || !path.ends_with("/"))
        return false;
    std::string_view rest = path.substr(prefix.size(), path.size() - prefix.size() - 1);
    const std::size_t cut = rest.rfind(middle);
    if (cut == std::string_view::npos)
        return false;
    keyword = std::string(rest.substr(0, cut));
    const std::string n(rest.substr(cut + middle.size()));
    page = number(&n, -1);
    return page >= 0;
}

std::optional<Listing> listingOf(const Site& site, const RawRequest& r)
{
    const std::string_view label = site.label;
    const auto fromQuery = [&](std::string_view path, std::string_view keyKey,
                               std::string_view pageKey) -> std::optional<Listing> {
        const std::string* k = param(r, keyKey);
        if (r.path != path || !k)
            return std::nullopt;
        return Listing{*k, (std::max(number(param(r, pageKey), 1), 1) - 1) * site.pageSize};
    };
    if (label == "D1")
        return fromQuery("/", "w", "ee");
    if (label == "D2")
        return fromQuery("/search.html", "kw", "page");
    if (label == "D3")
        return fromQuery("/search/index.php", "terms", "p");
    if (label == "D4") {
        constexpr std::string_view prefix = "/gongsi_search/-", suffix = ".html";
        if (!r.path.starts_with(prefix) || !r.path.ends_with(suffix) || r.path.size() < prefix.size() + suffix.size())
            return std::nullopt;
        return Listing{r.path.substr(prefix.size(), r.path.size() - prefix.size() - suffix.size()),
                       (std::max(number(param(r, "beginPage"), 1), 1) - 1) * site.pageSize};
    }
    if (label == "D5")
        return fromQuery("/search", "k", "page");
    if (label == "D6") {
        // /results_T2__<keyword>_<page>.html
        constexpr std::string_view prefix = "/results_T2__", suffix = ".html";
        if (!r.path.starts_with(prefix) || !r.path.ends_with(suffix))
            return std::nullopt;
        const std::string middle = r.path.substr(prefix.size(), r.path.size() - prefix.size() - suffix.size());
        const std::size_t cut = middle.rfind('_');
        if (cut == std::string::npos)
            return std::nullopt;
        const std::string page = middle.substr(cut + 1);
        return Listing{middle.substr(0, cut), (std::max(number(&page, 1), 1) - 1) * site.pageSize};
    }
    if (label == "D7") {
        const std::string* q = param(r, "q");
        if (r.path != "/cse/search" || !q)
            return std::nullopt;
        return Listing{*q, number(param(r, "p"), 0) * site.pageSize};  // pages count from 0
    }
    if (label == "D8")
        return fromQuery("/search.php", "kw", "page");
    if (label == "D9")
        return fromQuery("/search.xhtml", "keywords", "page");
    if (label == "D10")
        return fromQuery("/company/search.php", "kw", "page");
    if (label == "D11")
        return fromQuery("/search", "keywords", "page");
    if (label == "D12") {
        std::string keyword;
        int page = 0;
        if (!keywordAndPage(r.path, "/company/0/search/", "/p/", keyword, page))
            return std::nullopt;
        return Listing{keyword, (std::max(page, 1) - 1) * site.pageSize};
    }
    if (label == "S1") {
        const std::string* wd = param(r, "wd");
        if (r.path != "/s" || !wd)
            return std::nullopt;
        return Listing{*wd, number(param(r, "pn"), 0)};  // pn is the offset of the first result
    }
    if (label == "S2") {
        std::string keyword;
        int page = 0;
        if (!keywordAndPage(r.path, "/nf/c/G1C0R1/", "/", keyword, page))
            return std::nullopt;
        return Listing{keyword, (std::max(page, 1) - 1) * site.pageSize};
    }
    return std::nullopt;
}

// The address of listing page 'page' (1 for the first) of a search, as the site links it.
std::string pageLink(const Site& site, const std::string& k, int page)
{
    const std::string n = std::to_string(page);
    const std::string_view label = site.label;
    if (label == "D1")
        return "/?w=" + k + "&mc=enterprise&ee=" + n;
    if (label == "D2")
        return "/search.html?kw=" + k + "&type=company&page=" + n;
    if (label == "D3")
        return "/search/index.php?_d=company&_a=company_s_search&f=search&terms=" + k + "&p=" + n;
    if (label == "D4")
        return "/gongsi_search/-" + k + ".html?beginPage=" + n;
    if (label == "D5")
        return "/search?k=" + k + "&search_type=3&page=" + n;
    if (label == "D6")
        return "/results_T2__" + k + "_" + n + ".html";
    if (label == "D7")
        return "/cse/search?q=" + k + "&p=" + std::to_string(page - 1) + "&s=00000000000000000001";
    if (label == "D8")
        return "/search.php?kw=" + k + "&page=" + n;
    if (label == "D9")
        return "/search.xhtml?keywords=" + k + "&page=" + n + "&city=100000&regCapital=&search_type=1";
    if (label == "D10")
        return "/company/search.php?kw=" + k + "&page=" + n;
    if (label == "D11")
        return "/search?keywords=" + k + "&search_type=3&page=" + n + "&cid=0";
    if (label == "D12")
        return "/company/0/search/" + k + "/p/" + n + "/";
    if (label == "S1")
        return "/s?wd=" + k + "&tn=baiduadv&ie=utf-8&pn=" + std::to_string((page - 1) * site.pageSize);
    return "/nf/c/G1C0R1/" + k + "/" + n + "/";
}

// ---- page frames --------------------------------------------------------------------------

std::string metaCharset(Charset charset)
{
    switch (charset) {
    case Charset::Gbk: return "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=gbk\">";
    case Charset::Utf8: return "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=utf-8\">";
    case Charset::Utf8Quoted: return "<meta charset=\"utf-8\">";
    }
    return {};
}

std::string head(Charset charset, const std::string& title)
{
    return "<!DOCTYPE html>\n<html>\n<head>\n" + metaCharset(charset) + "\n<title>" + title + "</title>\n</head>\n<body>\n";
}

// The link that looks like a company link but is none: a task must not take it.
const char* nearMiss(const Site& site)
{
    static const char* const links[] = {"/company/help.html", "/gongsi-news/1.html", "/shopping/guide.html",
                                        "/winport-help.html", "/qiyeku.html",        "/company-news.html",
                                        "/qy/join.html",      "/shop/rules.html",    "/companyrank.xhtml",
                                        "/company/showroom.html", "/member/lx.html", "/shop/join.html",
                                        "/link/help.html",    "/nf/post.html"};
    return links[siteIndex(site)];
}

std::string navigation(const Site& site)
{
    return std::string("<div class=\"top\"><a href=\"/\">首页</a> | <a href=\"/about.html\">关于我们</a> | "
                       "<a href=\"/news/1.html\">行业资讯</a> | <a href=\"/news/2.html\">展会预告</a> | <a href=\"") +
           nearMiss(site) + "\">帮助中心</a></div>\n";
}

std::string foot(const Site& site)
{
    return "<div class=\"foot\">" + std::string(site.name) + " 演示站点，所列企业均为虚构</div>\n</body>\n</html>\n";
}

Page finish(const Site& site, const std::string& utf8, int status = 200)
{
    Page p;
    p.status = status;
    if (site.charset == Charset::Gbk) {
        p.body = text::utf8ToGbk(utf8);
        p.contentType = "text/html; charset=gbk";
    } else {
        p.body = utf8;
        p.contentType = "text/html; charset=utf-8";
    }
    return p;
}

std::string simplePage(const Site& site, const std::string& title, const std::string& body)
{
    return head(site.charset, title + " - " + site.name) + navigation(site) + "<h2>" + title + "</h2>\n<p>" + body +
           "</p>\n" + foot(site);
}

// "http://host[:port]" of another host on the port the request came in on.
std::string sameWorld(std::string_view hostHeader, std::string_view host)
{
    const std::size_t colon = hostHeader.rfind(':');
    return "http://" + std::string(host) + (colon == std::string_view::npos ? "" : std::string(hostHeader.substr(colon)));
}

// ---- listing pages ----------------------------------------------------------------------

// The line the directory search reads the count from: C companies found, P pages.
std::string countLine(const Site& site, int c, int p)
{
    const std::string C = std::to_string(c), P = std::to_string(p);
    const std::string_view label = site.label;
    if (label == "D1")
        return "<div class=\"count\">共找到<b>" + C + "</b>条相关企业</div>\n";
    if (label == "D2")
        return "<div class=\"count\">找到" + C + "家企业，共" + P + "页</div>\n";
    if (label == "D3")
        return "<div class=\"count\">找到相关记录" + C + "条</div>\n";
    if (label == "D4")
        return "<div class=\"count\">共找到<span>" + C + "</span>家公司</div>\n";
    if (label == "D5")
        return "<div class=\"count\">为您找到" + C + "家企业</div>\n";
    if (label == "D6")
        return "<div class=\"count\">共找到 <em id=\"resultCount\">" + C + "</em> 家企业</div>\n";
    if (label == "D7")
        return "<div class=\"count\">找到约" + C + "条结果</div>\n";
    if (label == "D8")
        return "<div class=\"count\">共" + C + "条/" + P + "页</div>\n";
    if (label == "D9")
        return "<div class=\"count\">搜索到<em>" + withThousands(c) + "</em>项结果</div>\n";
    if (label == "D10")
        return "<div class=\"count\">共<b>" + withThousands(c) + "</b>条记录</div>\n";
    if (label == "S1")
        return "<div class=\"nums\">找到相关结果约" + withThousands(c) + "个</div>\n";
    if (label == "S2")
        return "<div class=\"count\">共<em>" + C + "</em>条信息</div>\n";
    return "<div class=\"count\">找到" + C + "家企业</div>\n";  // D11, D12 count from their page links
}

std::string entry(const Site& site, const DemoCompany& c, std::string_view hostHeader)
{
    const std::string_view label = site.label;
    if (label == "S1") {
        const std::string link = sameWorld(hostHeader, kCity58Host) + c.path;
        return "<div class=\"result\"><h3><a href=\"" + link + "\" target=\"_blank\">" + c.name +
               "-58企业网站</a></h3>\n<div class=\"abstract\">" + c.name + "，主营" + c.products + "，位于" + c.city +
               "。</div>\n<a href=\"/link?url=city58shop" + std::to_string(c.id) +
               "\" class=\"cache\">网页快照</a></div>\n";
    }
    const std::string link = "http://" + std::string(hostHeader) + c.path;
    std::string li = "<li><a href=\"" + link + "\" target=\"_blank\">" + c.name + "</a> <span>主营：" + c.products +
                     "</span> <span>" + c.city + "</span> <a href=\"" + link + "\">联系方式</a>";
    // Two sites link each company's product page too, beside its contact page.
    if (label == "D11")
        li += " <a href=\"http://" + std::string(hostHeader) + "/company/" + std::to_string(c.id) + "/products.html\">产品</a>";
    if (label == "D12")
        li += " <a href=\"http://" + std::string(hostHeader) + "/shop/" + std::to_string(c.id) + "/products/\">产品</a>";
    return li + "</li>\n";
}

// Page links: the pages, then 下一页 (a link, or plain text on the last page), then the last
// page, each site its own way.
std::string pager(const Site& site, const std::string& k, int current, int pages)
{
    std::string html = "<div class=\"pages\">";
    const int shown = std::min(pages, 10);
    for (int n = 1; n <= shown; ++n)
        html += n == current ? " <b>" + std::to_string(n) + "</b>"
                             : " <a href=\"" + pageLink(site, k, n) + "\">" + std::to_string(n) + "</a>";
    html += current < pages ? " <a href=\"" + pageLink(site, k, current + 1) + "\">下一页</a>" : " <span>下一页</span>";
    if (std::string_view(site.label) == "D12")
        html += " <a href=\"javascript:gotoPage(" + std::to_string(pages) + ",20)\">尾页</a>";
    else
        html += " <a href=\"" + pageLink(site, k, pages) + "\">尾页</a>";
    return html + "</div>\n";
}

Page listingPage(const Site& site, const Listing& l, std::string_view hostHeader)
{
    const Search search = searchOf(site.form, l.encoded);
    const std::vector<int> ids = matchingIds(site, search);
    const int count = static_cast<int>(ids.size());
    const int pages = count == 0 ? 1 : (count + site.pageSize - 1) / site.pageSize;
    const int current = std::max(l.first, 0) / site.pageSize + 1;

    std::string html = head(site.charset, "企业搜索结果 - " + std::string(site.name)) + navigation(site);
    html += countLine(site, count, pages);
    html += std::string_view(site.label) == "S1" ? "<div id=\"results\">\n" : "<ul class=\"list\">\n";
    for (int i = std::max(l.first, 0); i < count && i < std::max(l.first, 0) + site.pageSize; ++i)
        html += entry(site, makeCompany(site, ids[static_cast<std::size_t>(i)]), hostHeader);
    html += std::string_view(site.label) == "S1" ? "</div>\n" : "</ul>\n";
    html += pager(site, l.encoded, current, pages);
    html += "<div class=\"search\">搜索词：" + htmlEscape(search.text) + "</div>\n";
    return finish(site, html + foot(site));
}

// ---- company pages ----------------------------------------------------------------------

std::string mailLink(const std::string& email)
{
    return email.empty() ? std::string() : "<a href=\"mailto:" + email + "\">" + email + "</a>";
}

std::string companyBody(const Site& site, const DemoCompany& c)
{
    const std::string_view label = site.label;
    const Charset cs = site.charset;
    if (label == "D1") {
        std::string h = head(cs, c.name + "_联系方式 - " + site.name) + navigation(site) + "<h1>" + c.name +
                        "</h1>\n<ul class=\"contact\">\n<li>联系人：" + c.contact + "</li>\n<li>地址：中国" + c.address +
                        "</li>\n<li>电话：" + c.phone + "</li>\n<li>传真：" + c.fax + "</li>\n<li>主营产品：" +
                        c.products + "</li>\n<li>手机：" + c.mobile + "</li>\n";
        if (!c.email.empty())
            h += "<li>电子邮箱：" + mailLink(c.email) + "</li>\n";
        return h + "</ul>\n";
    }
    if (label == "D2") {
        std::string h = head(cs, c.name + " - " + site.name) + navigation(site) + "<div class=\"head\"><h2>" + c.name +
                        "</h2></div>\n<p>主营业务：" + c.products + "</p>\n<p>公司地址：" + c.address +
                        "</p>\n<p>联系人：" + c.contact + "</p>\n<p>手机号码：" + c.mobile + "</p>\n";
        if (!c.email.empty())
            h += "<p>电子邮箱：" + mailLink(c.email) + "</p>\n";
        return h;
    }
    if (label == "D3") {
        const std::string badge = c.level == "生意旺铺" ? "<em class=\"badge\">生意旺铺</em>" : "";
        return head(cs, c.name + " - " + site.name) + navigation(site) + "<h1>" + c.name + badge +
               "</h1>\n<table class=\"contact\">\n<tr><th>联系人</th><td>" + c.contact + "</td></tr>\n<tr><th>电话</th><td>" +
               c.phone + "</td></tr>\n<tr><th>手机</th><td>" + (c.mobile.empty() ? "未填写" : c.mobile) +
               "</td></tr>\n<tr><th>传真</th><td>" + c.fax + "</td></tr>\n<tr><th>邮箱</th><td>" + c.email +
               "</td></tr>\n<tr><th>地址</th><td>" + c.address + "</td></tr>\n</table>\n";
    }
    if (label == "D4") {
        return head(cs, c.name + " - " + site.name) + navigation(site) +
               "<div class=\"crumb\"><a href=\"/\">首页</a>&gt;<a href=\"/winport-help.html\">公司库</a>&gt;<span>" +
               c.name + "</span></div>\n<h1>" + c.name + "</h1>\n<dl class=\"info\">\n<dt>主营产品：</dt><dd>" +
               c.products + "</dd>\n<dt>联系人：</dt><dd>" + c.contact + "</dd>\n<dt>地址：</dt><dd>" + c.address +
               "</dd>\n<dt>电话：</dt><dd>" + c.phone + "</dd>\n<dt>手机：</dt><dd>" + c.mobile +
               "</dd>\n<dt>邮箱：</dt><dd>" + c.email + "</dd>\n</dl>\n";
    }
    if (label == "D5") {
        return head(cs, c.name + "-" + site.name) + navigation(site) + "<div class=\"info\">\n<h3>" + c.name +
               "</h3>\n<span>联系人：" + c.contact + "</span>\n<span>电话：" + c.phone + "</span>\n<span>传真：" +
               c.fax + "</span>\n<span>手机：" + c.mobile + "</span>\n<span>邮编：" + c.zip + "</span>\n<span>地址：" +
               c.address + "</span>\n<span>电子邮件：" + c.email + "</span>\n</div>\n";
    }
    if (label == "D6") {
        return head(cs, c.name + " - " + site.name) + navigation(site) + "<h1>" + c.name +
               "</h1>\n<ul class=\"card\">\n<li><label>联系人</label>" + c.contact + "</li>\n<li><label>电话</label>" +
               c.phone + "</li>\n<li><label>手机</label>" + c.mobile + "</li>\n<li><label>传真</label>" + c.fax +
               "</li>\n<li><label>邮编</label>" + c.zip + "</li>\n<li><label>地址</label>" + c.address +
               "</li>\n<li><label>邮箱</label>" + c.email + "</li>\n</ul>\n";
    }
    if (label == "D7") {
        return head(cs, c.name + " - " + site.name) + navigation(site) + "<h1>" + c.name +
               "</h1>\n<div class=\"lxfs\">\n<p>联系人：" + c.contact + "<a href=\"/message/" + std::to_string(c.id) +
               ".html\" class=\"ask\">留言询价</a></p>\n<p>手机：" + c.mobile + "</p>\n<p>地址：" + c.address +
               "</p>\n<p>邮箱：" + mailLink(c.email) + "</p>\n</div>\n";
    }
    if (label == "D8") {
        const std::string status = c.level == "离线" ? "<span class=\"im\">[离线]</span>"
                                                      : "<img src=\"/images/online.png\" alt=\"在线\">";
        return head(cs, c.name + " - " + site.name) + navigation(site) + "<h1>" + c.name +
               "</h1>\n<table class=\"lx\">\n<tr><td>联系人：</td><td>" + c.contact + status +
               "</td></tr>\n<tr><td>手机：</td><td>" + c.mobile + "</td></tr>\n<tr><td>电话：</td><td>" + c.phone +
               "</td></tr>\n<tr><td>地址：</td><td>" + c.address + "</td></tr>\n<tr><td>邮箱：</td><td>" +
               mailLink(c.email) + "</td></tr>\n</table>\n";
    }
    if (label == "D9") {
        return head(cs, c.name + "- " + site.name) + navigation(site) + "<div class=\"base\">所属行业：" + c.industry +
               "</div>\n<table class=\"lx\">\n<tr><td>联系人：</td><td>" + c.contact +
               "</td></tr>\n<tr><td>固定电话：</td><td>" + c.phone + "</td></tr>\n<tr><td>手机号码：</td><td>" +
               c.mobile + "</td></tr>\n<tr><td>传真号码：</td><td>" + c.fax + "</td></tr>\n<tr><td>电子邮箱：</td><td>" +
               c.email + "</td></tr>\n<tr><td>公司地址：</td><td>" + c.address + "<a href=\"/map/" +
               std::to_string(c.id) + ".html\">查看地图</a></td></tr>\n</table>\n";
    }
    if (label == "D10") {
        return head(cs, c.name + "联系方式 - " + site.name) + navigation(site) + "<h1>" + c.name +
               "</h1>\n<ul>\n<li>地址：" + c.address + "</li>\n<li>电话：" + c.phone + "</li>\n<li>传真：" + c.fax +
               "</li>\n<li>邮箱：" + c.email + "</li>\n<li>联系人：" + c.contact + "</li>\n<li>手机：" + c.mobile +
               "</li>\n</ul>\n";
    }
    if (label == "D11") {
        return head(cs, c.name + "-" + site.name) + navigation(site) + "<div class=\"member\">会员类型：" + c.level +
               "</div>\n<div class=\"member\">会员编号：" + c.memberId + "</div>\n<ul class=\"lxwm\">\n<li>联系人：" +
               c.contact + "</li>\n<li>电话：" + c.phone + "</li>\n<li>传真：" + c.fax + "</li>\n<li>手机：" + c.mobile +
               "</li>\n<li>邮箱：" + c.email + "</li>\n<li>地址：" + c.address + "</li>\n</ul>\n";
    }
    if (label == "D12") {
        // The shop pages end their titles with the site's host name.
        return head(cs, c.name + "-" + site.host) + navigation(site) + "<div class=\"shop\">店铺类型：" + c.level +
               "</div>\n<dl class=\"contact\">\n<dd>联系人：" + c.contact + "</dd>\n<dd>电话：" + c.phone +
               "</dd>\n<dd>传真：" + c.fax + "</dd>\n<dd>手机：" + c.mobile + "</dd>\n<dd>邮编：" + c.zip +
               "</dd>\n<dd>主营：" + c.products + "</dd>\n<dd>地址：" + c.address + "</dd>\n<dd>邮件：" +
               mailLink(c.email) + "</dd>\n</dl>\n";
    }
    // S2
    return head(cs, c.name + " - " + site.name) + navigation(site) + "<div class=\"crumb\">分类：企业服务/" +
           c.industry + "</div>\n<h1>" + c.name + "</h1>\n<ul>\n<li>联系人：" + c.contact + "</li>\n<li>电子邮件：" +
           c.email + "</li>\n<li>手机号码：" + c.mobile + "</li>\n<li>地址：" + c.address + "</li>\n</ul>\n";
}

// The pages besides searches and companies, by path; empty when there is none.
std::string otherPage(const Site& site, const std::string& path)
{
    if (path == "/")
        return simplePage(site, "首页", std::string("欢迎访问") + site.name + "，在搜索框中输入产品或公司名称查找企业。");
    if (path == "/about.html")
        return simplePage(site, "关于我们", std::string(site.name) + "是演示用的企业名录。");
    if (path == "/news/1.html")
        return simplePage(site, "行业资讯", "本周行业动态汇总。");
    if (path == "/news/2.html")
        return simplePage(site, "展会预告", "秋季展会将于十月举行。");
    if (path == nearMiss(site))
        return simplePage(site, "帮助中心", "如何发布企业信息。");
    // The product pages two sites link beside each company.
    const auto productPage = [&](std::string_view prefix, std::string_view suffix) {
        if (!path.starts_with(prefix) || !path.ends_with(suffix) || path.size() <= prefix.size() + suffix.size())
            return std::string();
        const std::string id = path.substr(prefix.size(), path.size() - prefix.size() - suffix.size());
        const int k = number(&id, -1);
        return k >= 0 && k < kDirectorySize ? simplePage(site, "产品展示", makeCompany(site, k).products) : std::string();
    };
    const std::string_view label = site.label;
    if (label == "D11")
        return productPage("/company/", "/products.html");
    if (label == "D12")
        return productPage("/shop/", "/products/");
    return {};
}

} // namespace

std::optional<Page> sitePage(const Site& site, std::string_view rawTarget, std::string_view hostHeader, bool& listing)
{
    const RawRequest r = splitTarget(rawTarget);
    listing = false;
    if (auto l = listingOf(site, r)) {
        listing = true;
        return listingPage(site, *l, hostHeader);
    }
    if (std::string_view(site.label) != "S1")
        if (const int id = detailId(site, r.path); id >= 0)
            return finish(site, companyBody(site, makeCompany(site, id)) + foot(site));
    if (std::string page = otherPage(site, r.path); !page.empty())
        return finish(site, page);
    return std::nullopt;
}

std::optional<Page> city58Page(std::string_view rawTarget, std::string_view /*hostHeader*/)
{
    // The directory S1 searches: GBK pages, titled with the directory's name.
    const Site& s1 = *findSite("S1");
    const RawRequest r = splitTarget(rawTarget);
    const Charset cs = Charset::Gbk;
    std::string html;
    if (const int id = detailId(s1, r.path); id >= 0) {
        const DemoCompany c = makeCompany(s1, id);
        html = head(cs, c.name + "-58企业网站") + "<div class=\"area\">所在地区：" + c.city +
               "</div>\n<ul>\n<li>联系人：" + c.contact + "</li>\n<li>手机：" + c.mobile + "</li>\n<li>邮箱：" + c.email +
               "</li>\n<li>地址：" + c.address + "</li>\n</ul>\n</body>\n</html>\n";
    } else if (r.path == "/") {
        html = head(cs, "58企业网站") + "<p>演示城市企业名录，所列企业均为虚构。</p>\n</body>\n</html>\n";
    } else {
        return std::nullopt;
    }
    Page p;
    p.body = text::utf8ToGbk(html);
    p.contentType = "text/html; charset=gbk";
    return p;
}

std::string garbageBytes(std::size_t size)
{
    std::string out(size, '\0');
    std::uint32_t x = 0x2545F491u;
    for (auto& c : out) {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        c = static_cast<char>(x & 0xFF);
    }
    return out;
}

std::string htmlEscape(std::string_view s)
{
    std::string out;
    for (char c : s) {
        switch (c) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '"': out += "&quot;"; break;
        case '\'': out += "&#39;"; break;
        default: out += c;
        }
    }
    return out;
}

std::string withThousands(int n)
{
    std::string digits = std::to_string(n);
    for (int at = static_cast<int>(digits.size()) - 3; at > 0 && digits[static_cast<std::size_t>(at) - 1] != '-'; at -= 3)
        digits.insert(static_cast<std::size_t>(at), ",");
    return digits;
}

} // namespace tarvimo::demo::detail
