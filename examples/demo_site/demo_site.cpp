// tarvimo-demo-site: a small made-up business directory for the bundled example task,
// served on 127.0.0.1 only.
//
//   tarvimo-demo-site [--port P] [--bind 127.0.0.1]
//
// Pages (GBK, the same bytes on every run):
//   /                    home page linking the three listing pages
//   /list?page=N         N = 1..3: eight company links each, plus links a task must not
//                        take (about page, news items, paging)
//   /company/K.html      K = 1..24: <h1>name</h1>, 联系人：, 手机：, 地址： and e-mail
//   /about.html
//   /news/1.html, /news/2.html, /news/company-visit.html
//                        news articles: <h2>title</h2> and <div class=article> holding
//                        paragraphs and a picture from img/ (for the example news task)
//   /news/img/N.png      the pictures (small solid-colour PNG images)
// Anything else answers 404.
//
// --port 0 (the default) picks a free port. Once the socket listens, the port is printed
// as the first line of standard output and flushed, so a script can read it and connect.
//
// Stopping: SIGTERM, SIGINT or SIGHUP. The three are blocked in every thread and taken by
// sigtimedwait in the main thread, which then stops the server: no handler runs in signal
// context, and a signal that comes while the server is starting waits until it is up.
// A server closes an idle kept connection after 2 s, so stopping takes at most that long.
// Exit status: 0 after a stop, 1 when the port cannot be bound or the server fails, 2 for
// wrong usage.
#include "base/stop_signals.h"
#include "base/text.h"

#include <httplib.h>
#include <zlib.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <ctime>
#include <iostream>
#include <map>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace {

constexpr const char* kBindAddress = "127.0.0.1";
constexpr int kCompaniesPerPage = 8;
constexpr int kListingPages = 3;

struct Company {
    const char* name;
    const char* business;
    const char* contact;
    const char* mobile;
    const char* phone;
    const char* address;          // may hold markup a collector has to clean
    std::vector<const char*> emails;  // none: the page shows no address
};

// Made-up firms; any likeness to a real one is chance.
const std::vector<Company>& companies()
{
    static const std::vector<Company> list = {
        {"杭州青禾纺织有限公司", "纺织面料、家纺布艺", "陈建国", "13957100101", "0571-88000101",
         "浙江省杭州市西湖区文三路88号", {"chen@qinghe-textile.example"}},
        {"宁波海澄五金制品厂", "五金冲压件、紧固件", "李秀英", "13805740202", "0574-86000202",
         "浙江省宁波市北仑区新碶街道长江路16号", {"sales@haicheng-hw.example"}},
        {"苏州明远电子科技有限公司", "电子元器件、线路板", "王海涛", "15862300303", "0512-62000303",
         "江苏省苏州市工业园区星湖街218号", {"wanght@mingyuan-tech.example"}},
        {"无锡瑞丰机械有限公司", "纺织机械配件", "张丽", "13701520404", "0510-85000404",
         "江苏省无锡市新吴区锡梅路55号", {"info@ruifeng-mach.example"}},
        {"上海东岚包装材料有限公司", "纸箱、缓冲包装", "刘洋", "18616200505", "021-57000505",
         "上海市松江区九亭镇涞寅路300弄6号", {"liuyang@donglan-pack.example"}},
        {"广州粤信食品有限公司", "调味品、休闲食品", "黄志明", "13902000606", "020-36000606",
         "广东省广州市白云区太和镇大源北路12号", {"hzm@yuexin-food.example"}},
        // A firm that shows no e-mail address.
        {"深圳鸿博照明科技有限公司", "LED照明灯具", "周静", "13510700707", "0755-27000707",
         "广东省深圳市宝安区福永街道凤凰路9号", {}},
        {"东莞信达塑胶制品有限公司", "注塑件、塑胶模具", "吴国栋", "13712900808", "0769-85000808",
         "广东省东莞市长安镇乌沙兴发南路27号", {"wugd@xinda-plastic.example"}},
        {"佛山金禾陶瓷有限公司", "瓷砖、卫浴陶瓷", "徐春梅", "13690500909", "0757-82000909",
         "广东省佛山市禅城区南庄镇陶博大道3号", {"xcm@jinhe-ceramic.example"}},
        // A firm with two addresses: both are collected.
        {"厦门海翔进出口贸易有限公司", "进出口代理", "孙伟", "15980201010", "0592-56001010",
         "福建省厦门市湖里区火炬路10号", {"sunwei@haixiang-trade.example", "export@haixiang-trade.example"}},
        {"泉州安达鞋业有限公司", "运动鞋、休闲鞋", "马俊", "13505951111", "0595-85001111",
         "福建省泉州市晋江市陈埭镇江头村工业区", {"majun@anda-shoes.example"}},
        // An address with a non-breaking space: the collector turns it into a blank.
        {"南京华通物流有限公司", "仓储、公路运输", "朱红", "13851401212", "025-85001212",
         "江苏省南京市栖霞区&nbsp;龙潭街道港城路1号", {"zhuhong@huatong-logistics.example"}},
        {"合肥恒信家具有限公司", "办公家具、实木家具", "胡斌", "18955101313", "0551-65001313",
         "安徽省合肥市蜀山区井岗镇长江西路688号", {"hubin@hengxin-furniture.example"}},
        {"武汉楚天印刷有限公司", "包装印刷、画册印刷", "郭敏", "13907101414", "027-83001414",
         "湖北省武汉市东西湖区金银湖路22号", {"guomin@chutian-print.example"}},
        {"长沙湘锐电气设备有限公司", "配电柜、开关设备", "何勇", "13974101515", "0731-85001515",
         "湖南省长沙市雨花区环保中路158号", {"heyong@xiangrui-elec.example"}},
        {"成都蜀禾茶业有限公司", "绿茶、花茶", "高霞", "13880001616", "028-85001616",
         "四川省成都市武侯区簇桥街道锦城大道1号", {"gaoxia@shuhe-tea.example"}},
        {"重庆山城汽配有限公司", "摩托车、汽车配件", "林涛", "13908301717", "023-65001717",
         "重庆市九龙坡区西彭镇铝城大道77号", {"lintao@shancheng-auto.example"}},
        {"西安秦岭仪表有限公司", "压力表、流量计", "罗娟", "13991201818", "029-88001818",
         "陕西省西安市高新区锦业路69号", {"luojuan@qinling-meter.example"}},
        {"郑州中原建材有限公司", "水泥制品、保温材料", "梁军", "13803801919", "0371-63001919",
         "河南省郑州市金水区花园路139号", {"liangjun@zhongyuan-bm.example"}},
        {"济南泉城化工有限公司", "工业涂料、助剂", "宋平", "15305312020", "0531-88002020",
         "山东省济南市历城区工业北路2号", {"songping@quancheng-chem.example"}},
        {"青岛蓝海渔具有限公司", "钓竿、渔网", "郑磊", "13864202121", "0532-87002121",
         "山东省青岛市城阳区流亭街道双元路18号", {"zhenglei@lanhai-fishing.example"}},
        {"天津津港阀门有限公司", "闸阀、蝶阀", "谢芳", "13920002222", "022-26002222",
         "天津市北辰区双街镇京津公路西侧", {"xiefang@jingang-valve.example"}},
        {"沈阳北方重工配件厂", "矿山机械配件", "韩冰", "13904002323", "024-25002323",
         "辽宁省沈阳市铁西区北二中路6号", {"hanbing@beifang-parts.example"}},
        {"哈尔滨冰原食品有限公司", "速冻食品、肉制品", "唐亮", "13904512424", "0451-84002424",
         "黑龙江省哈尔滨市道里区安静街9号", {"tangliang@bingyuan-food.example"}},
    };
    return list;
}

std::string pageHead(const std::string& title)
{
    return "<!DOCTYPE html>\n<html>\n<head>\n<meta charset=\"gbk\">\n<title>" + title +
           " - 演示企业名录</title>\n</head>\n<body>\n"
           "<div class=\"nav\"><a href=\"/\">首页</a> | <a href=\"/list?page=1\">企业名录</a> | "
           "<a href=\"/news/1.html\">行业资讯</a> | <a href=\"/about.html\">关于我们</a></div>\n";
}

const char* kPageFoot = "<div class=\"foot\">演示企业名录 仅供 Tarvimo 示例任务使用，所列企业均为虚构</div>\n"
                        "</body>\n</html>\n";

std::string companyAddress(int number) { return "/company/" + std::to_string(number) + ".html"; }

std::string listingPage(int page)
{
    std::string html = pageHead("企业名录 第" + std::to_string(page) + "页");
    html += "<h2>企业名录</h2>\n<ul class=\"list\">\n";
    const auto& all = companies();
    for (int i = 0; i < kCompaniesPerPage; ++i) {
        const int number = (page - 1) * kCompaniesPerPage + i + 1;
        const Company& c = all[static_cast<std::size_t>(number - 1)];
        const std::string link = companyAddress(number);
        // Each firm is linked twice, as a collector must take each page once.
        html += "<li><a href=\"" + link + "\" class=\"name\">" + c.name + "</a> 主营：" + c.business +
                " <a href=\"" + link + "\">查看详情</a></li>\n";
    }
    html += "</ul>\n<div class=\"side\">\n"
            "<a href=\"/news/company-visit.html\">走访企业纪实</a>\n"
            "<a href=\"/news/2.html\">展会预告</a>\n"
            "<a href=\"/about.html\">免费登记</a>\n</div>\n<div class=\"pages\">";
    for (int p = 1; p <= kListingPages; ++p)
        html += p == page ? " <b>" + std::to_string(p) + "</b>"
                          : " <a href=\"/list?page=" + std::to_string(p) + "\">" + std::to_string(p) + "</a>";
    if (page < kListingPages)
        html += " <a href=\"/list?page=" + std::to_string(page + 1) + "\">下一页</a>";
    html += "</div>\n";
    return html + kPageFoot;
}

std::string companyPage(int number)
{
    const Company& c = companies()[static_cast<std::size_t>(number - 1)];
    std::string html = pageHead(c.name);
    html += "<h1>" + std::string(c.name) + "</h1>\n<div class=\"card\">\n<p>主营产品：" + c.business +
            "</p>\n<ul>\n";
    html += "<li>联系人：" + std::string(c.contact) + "</li>\n";
    html += "<li>手机：" + std::string(c.mobile) + "</li>\n";
    html += "<li>固定电话：" + std::string(c.phone) + "</li>\n";
    html += "<li>地址：" + std::string(c.address) + "</li>\n";
    if (!c.emails.empty()) {
        html += "<li>电子邮箱：";
        for (std::size_t i = 0; i < c.emails.size(); ++i)
            html += std::string(i ? " " : "") + "<a href=\"mailto:" + c.emails[i] + "\">" + c.emails[i] + "</a>";
        html += "</li>\n";
    }
    html += "</ul>\n</div>\n<p><a href=\"/list?page=" + std::to_string((number - 1) / kCompaniesPerPage + 1) +
            "\">返回名录</a></p>\n";
    return html + kPageFoot;
}

std::string simplePage(const std::string& title, const std::string& body)
{
    return pageHead(title) + "<h2>" + title + "</h2>\n<p>" + body + "</p>\n" + kPageFoot;
}

// A news article: title, date line, and the body with its picture between paragraphs.
std::string newsPage(const std::string& title, const std::string& first, const std::string& picture,
                     const std::string& caption, const std::string& second)
{
    return pageHead(title) + "<h2>" + title + "</h2>\n<p class=\"date\">2026-11-20</p>\n<div class=article>\n<p>" +
           first + "</p>\n<p><img src=\"img/" + picture + "\" alt=\"" + caption + "\"><br>" + caption + "</p>\n<p>" +
           second + "</p>\n</div>\n" + kPageFoot;
}

// A PNG image of one colour, so the article pictures are real images a browser shows.
std::string solidPng(int width, int height, unsigned char r, unsigned char g, unsigned char b)
{
    auto be32 = [](std::string& out, uLong v) {
        for (int shift = 24; shift >= 0; shift -= 8)
            out += static_cast<char>((v >> shift) & 0xFF);
    };
    auto chunk = [&](std::string& out, const char* type, const std::string& data) {
        be32(out, data.size());
        const std::string typed = type + data;
        out += typed;
        be32(out, crc32(0L, reinterpret_cast<const Bytef*>(typed.data()), static_cast<uInt>(typed.size())));
    };
    std::string header;
    be32(header, static_cast<uLong>(width));
    be32(header, static_cast<uLong>(height));
    header += std::string("\x08\x02\x00\x00\x00", 5);  // 8-bit RGB, no interlace
    std::string raw;
    for (int y = 0; y < height; ++y) {
        raw += '\0';  // no filter
        for (int x = 0; x < width; ++x)
            raw += {static_cast<char>(r), static_cast<char>(g), static_cast<char>(b)};
    }
    uLongf size = compressBound(static_cast<uLong>(raw.size()));
    std::string packed(size, '\0');
    compress(reinterpret_cast<Bytef*>(packed.data()), &size, reinterpret_cast<const Bytef*>(raw.data()),
             static_cast<uLong>(raw.size()));
    packed.resize(size);
    std::string png("\x89PNG\r\n\x1a\n", 8);
    chunk(png, "IHDR", header);
    chunk(png, "IDAT", packed);
    chunk(png, "IEND", "");
    return png;
}

// Every page by its path (listing pages as "/list?page=N"), already in GBK, and the pictures.
std::map<std::string, std::string> buildPages()
{
    std::map<std::string, std::string> utf8;
    std::string home = pageHead("首页") + "<h2>演示企业名录</h2>\n<ul>\n";
    for (int p = 1; p <= kListingPages; ++p)
        home += "<li><a href=\"/list?page=" + std::to_string(p) + "\">企业名录 第" + std::to_string(p) +
                "页</a></li>\n";
    utf8["/"] = home + "</ul>\n" + kPageFoot;
    for (int p = 1; p <= kListingPages; ++p)
        utf8["/list?page=" + std::to_string(p)] = listingPage(p);
    for (int k = 1; k <= static_cast<int>(companies().size()); ++k)
        utf8[companyAddress(k)] = companyPage(k);
    utf8["/about.html"] = simplePage("关于我们", "本名录为演示站点，内容均为虚构。");
    utf8["/news/1.html"] = newsPage("行业资讯", "本周行业动态汇总：原材料价格平稳，出口订单小幅回升。", "1.png",
                                    "本周行情走势", "下周将发布纺织与五金两个行业的专题报告。");
    utf8["/news/2.html"] = newsPage("展会预告", "秋季展会将于十月举行，名录会员可免费申请展位。", "2.png", "展馆效果图",
                                    "报名截止日期为九月三十日。");
    utf8["/news/company-visit.html"] = newsPage("走访企业纪实", "记者走访了多家会员企业，了解生产与用工情况。", "3.png",
                                                "生产车间一角", "多数企业表示今年订单较去年有所增加。");

    std::map<std::string, std::string> gbk;
    for (auto& [path, page] : utf8)
        gbk[path] = tarvimo::text::utf8ToGbk(page);
    gbk["/news/img/1.png"] = solidPng(160, 90, 200, 60, 40);
    gbk["/news/img/2.png"] = solidPng(160, 90, 40, 120, 200);
    gbk["/news/img/3.png"] = solidPng(160, 90, 60, 160, 80);
    return gbk;
}

int usage(const char* message)
{
    std::cerr << "tarvimo-demo-site: " << message << "\nusage: tarvimo-demo-site [--port P] [--bind 127.0.0.1]\n";
    return 2;
}

} // namespace

int main(int argc, char** argv)
{
    int port = 0;
    for (int i = 1; i < argc; ++i) {
        const std::string_view a = argv[i];
        if ((a == "--port" || a == "--bind") && i + 1 >= argc)
            return usage("missing value");
        if (a == "--port") {
            char* end = nullptr;
            errno = 0;
            const long v = std::strtol(argv[++i], &end, 10);
            if (errno != 0 || end == argv[i] || *end != '\0' || v < 0 || v > 65535)
                return usage("the port must be a number from 0 to 65535");
            port = static_cast<int>(v);
        } else if (a == "--bind") {
            // The site is for local runs only: no other address is ever accepted.
            if (std::string_view(argv[++i]) != kBindAddress)
                return usage("only 127.0.0.1 can be bound");
        } else {
            return usage("unknown argument");
        }
    }

    // Before any thread exists, so every server thread inherits the mask.
    const sigset_t stopSignals = tarvimo::stop_signals::block();

    const std::map<std::string, std::string> pages = buildPages();

    httplib::Server server;
    // cpp-httplib's default adds SO_REUSEPORT, which lets a second server bind a port that is
    // taken and share its connections; a fixed --port must fail instead.
    server.set_socket_options([](socket_t sock) {
        int yes = 1;
        setsockopt(sock, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    });
    server.set_keep_alive_timeout(2);
    server.set_read_timeout(5);
    server.set_write_timeout(5);
    server.Get(".*", [&pages](const httplib::Request& req, httplib::Response& res) {
        std::string key = req.path;
        if (key == "/list")
            key += "?page=" + (req.has_param("page") ? req.get_param_value("page") : std::string());
        const auto it = pages.find(key);
        if (it == pages.end()) {
            res.status = 404;
            res.set_content("not found\n", "text/plain");
            return;
        }
        res.set_content(it->second, key.ends_with(".png") ? "image/png" : "text/html; charset=gbk");
    });

    const int bound = port == 0 ? server.bind_to_any_port(kBindAddress)
                                : (server.bind_to_port(kBindAddress, port) ? port : -1);
    if (bound <= 0) {
        std::cerr << "tarvimo-demo-site: cannot listen on " << kBindAddress << ":" << port << "\n";
        return 1;
    }

    std::atomic<bool> listenEnded{false};
    std::thread listener([&] {
        server.listen_after_bind();
        listenEnded = true;
    });
    // The socket listens already; print the port only when the accept loop runs, so that
    // a stop right after it is never lost (stop() does nothing before the loop starts).
    while (!server.is_running() && !listenEnded)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    std::cout << bound << std::endl;

    // Polled with a time-out so that an accept loop that ended by itself ends the program.
    const bool stopped = tarvimo::stop_signals::wait(stopSignals, [&] { return !listenEnded; });
    server.stop();
    listener.join();
    return stopped ? 0 : 1;
}
