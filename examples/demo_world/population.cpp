// The sites and their generated directories. Every company is made from its site and its
// number alone (a fixed seed, our own generator), so a page shows the same company on
// every run and on every machine, and nothing is kept in memory.
#include "world_internal.h"

#include <array>
#include <cstdint>

namespace tarvimo::demo::detail {
namespace {

// Deterministic on every platform (the standard distributions are not).
class Rng {
public:
    explicit Rng(std::uint64_t seed) : state_(seed) {}
    std::uint64_t next()
    {
        std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    int below(int n) { return static_cast<int>(next() % static_cast<std::uint64_t>(n)); }
    template <class T, std::size_t N>
    const T& pick(const std::array<T, N>& a)
    {
        return a[static_cast<std::size_t>(below(static_cast<int>(N)))];
    }

private:
    std::uint64_t state_;
};

constexpr std::uint64_t kWorldSeed = 0x7461727669'6d6f31ull;  // "tarvimo1"

std::uint64_t fnv1a(std::string_view s)
{
    std::uint64_t h = 0xcbf29ce484222325ull;
    for (unsigned char c : s) {
        h ^= c;
        h *= 0x100000001b3ull;
    }
    return h;
}

struct City {
    const char* name;
    const char* province;  // empty for the cities that are provinces of their own
    std::array<const char*, 3> districts;
    const char* areaCode;
    const char* zipPrefix;
};

const std::array<City, 20> kCities{{
    {"杭州", "浙江省", {"西湖区", "余杭区", "萧山区"}, "0571", "3100"},
    {"宁波", "浙江省", {"鄞州区", "北仑区", "江北区"}, "0574", "3150"},
    {"温州", "浙江省", {"鹿城区", "瓯海区", "龙湾区"}, "0577", "3250"},
    {"苏州", "江苏省", {"吴中区", "相城区", "姑苏区"}, "0512", "2150"},
    {"无锡", "江苏省", {"滨湖区", "梁溪区", "新吴区"}, "0510", "2140"},
    {"常州", "江苏省", {"武进区", "天宁区", "钟楼区"}, "0519", "2130"},
    {"南京", "江苏省", {"江宁区", "栖霞区", "浦口区"}, "025", "2100"},
    {"上海", "", {"松江区", "嘉定区", "闵行区"}, "021", "2016"},
    {"广州", "广东省", {"白云区", "番禺区", "天河区"}, "020", "5104"},
    {"深圳", "广东省", {"宝安区", "龙岗区", "南山区"}, "0755", "5180"},
    {"东莞", "广东省", {"长安镇", "虎门镇", "塘厦镇"}, "0769", "5237"},
    {"佛山", "广东省", {"南海区", "顺德区", "禅城区"}, "0757", "5282"},
    {"厦门", "福建省", {"湖里区", "集美区", "思明区"}, "0592", "3610"},
    {"泉州", "福建省", {"丰泽区", "鲤城区", "洛江区"}, "0595", "3620"},
    {"青岛", "山东省", {"城阳区", "黄岛区", "李沧区"}, "0532", "2661"},
    {"济南", "山东省", {"历城区", "槐荫区", "天桥区"}, "0531", "2501"},
    {"天津", "", {"北辰区", "西青区", "津南区"}, "022", "3004"},
    {"郑州", "河南省", {"金水区", "二七区", "管城区"}, "0371", "4500"},
    {"武汉", "湖北省", {"东西湖区", "江夏区", "洪山区"}, "027", "4300"},
    {"成都", "四川省", {"武侯区", "郫都区", "新都区"}, "028", "6100"},
}};

// The two characters of a trade name, each with its spelling for e-mail addresses. A trade
// name with its city names one company only (see makeCompany).
struct Syllable {
    const char* han;
    const char* latin;
};
const std::array<Syllable, 40> kFirst{{
    {"恒", "heng"}, {"华", "hua"},   {"鑫", "xin"},   {"盛", "sheng"}, {"宏", "hong"},  {"伟", "wei"},
    {"永", "yong"}, {"兴", "xing"},  {"金", "jin"},   {"瑞", "rui"},   {"泰", "tai"},   {"丰", "feng"},
    {"隆", "long"}, {"昌", "chang"}, {"润", "run"},   {"博", "bo"},    {"远", "yuan"},  {"嘉", "jia"},
    {"正", "zheng"}, {"安", "an"},   {"顺", "shun"},  {"新", "xin"},   {"天", "tian"},  {"宇", "yu"},
    {"明", "ming"}, {"东", "dong"},  {"海", "hai"},   {"光", "guang"}, {"腾", "teng"},  {"飞", "fei"},
    {"凯", "kai"},  {"诚", "cheng"}, {"德", "de"},    {"康", "kang"},  {"源", "yuan"},  {"益", "yi"},
    {"和", "he"},   {"富", "fu"},    {"荣", "rong"},  {"晨", "chen"},
}};
const std::array<Syllable, 40> kSecond{{
    {"达", "da"},   {"信", "xin"},   {"通", "tong"},  {"利", "li"},    {"发", "fa"},    {"成", "cheng"},
    {"业", "ye"},   {"创", "chuang"}, {"佳", "jia"},  {"美", "mei"},   {"茂", "mao"},   {"力", "li"},
    {"威", "wei"},  {"翔", "xiang"}, {"豪", "hao"},   {"晟", "sheng"}, {"辉", "hui"},   {"邦", "bang"},
    {"峰", "feng"}, {"捷", "jie"},   {"立", "li"},    {"朗", "lang"},  {"锐", "rui"},   {"科", "ke"},
    {"航", "hang"}, {"宝", "bao"},   {"鼎", "ding"},  {"骏", "jun"},   {"联", "lian"},  {"合", "he"},
    {"升", "sheng"}, {"阳", "yang"}, {"驰", "chi"},   {"拓", "tuo"},   {"汇", "hui"},   {"星", "xing"},
    {"瀚", "han"},  {"迪", "di"},    {"川", "chuan"}, {"运", "yun"},
}};
constexpr int kNameSpace = 20 * 40 * 40;  // city x first x second

struct Industry {
    const char* name;
    std::array<const char*, 3> products;
};
const std::array<Industry, 24> kIndustries{{
    {"机械", {"数控机床", "减速机", "液压泵"}},
    {"电子", {"线路板", "连接器", "电源模块"}},
    {"纺织", {"坯布", "家纺面料", "无纺布"}},
    {"化工", {"工业涂料", "助剂", "胶粘剂"}},
    {"五金", {"紧固件", "冲压件", "门窗五金"}},
    {"塑胶", {"注塑件", "塑料管材", "薄膜"}},
    {"包装", {"纸箱", "缓冲材料", "包装袋"}},
    {"食品", {"调味品", "休闲食品", "速冻食品"}},
    {"建材", {"保温板", "防水卷材", "石膏板"}},
    {"家具", {"办公家具", "实木家具", "沙发"}},
    {"照明", {"路灯", "筒灯", "灯带"}},
    {"汽配", {"刹车片", "滤清器", "车灯"}},
    {"阀门", {"闸阀", "蝶阀", "球阀"}},
    {"印刷", {"画册", "不干胶标签", "彩盒"}},
    {"模具", {"注塑模具", "冲压模具", "压铸模具"}},
    {"仪器", {"流量计", "压力表", "分析仪"}},
    {"医疗器械", {"输液器", "检测试剂", "护理床"}},
    {"环保设备", {"除尘器", "污水处理设备", "废气处理设备"}},
    {"电气", {"配电柜", "断路器", "变压器"}},
    {"服装", {"工装", "针织衫", "羽绒服"}},
    {"陶瓷", {"瓷砖", "卫浴", "日用瓷"}},
    {"钢结构", {"钢构厂房", "彩钢板", "网架"}},
    {"物流", {"公路运输", "仓储", "货运代理"}},
    {"贸易", {"进出口代理", "报关", "国际货运"}},
}};

const std::array<const char*, 5> kSuffixes{"有限公司", "有限公司", "有限公司", "有限责任公司", "股份有限公司"};
const std::array<const char*, 30> kSurnames{"王", "李", "张", "刘", "陈", "杨", "黄", "赵", "吴", "周",
                                            "徐", "孙", "马", "朱", "胡", "郭", "何", "林", "罗", "高",
                                            "郑", "梁", "谢", "宋", "唐", "许", "韩", "冯", "邓", "曹"};
const std::array<const char*, 30> kGivenNames{"伟",   "芳",   "娜",   "敏",   "静",   "丽",   "强",   "磊",
                                              "军",   "洋",   "勇",   "艳",   "杰",   "娟",   "涛",   "明",
                                              "超",   "秀英", "华",   "平",   "刚",   "桂英", "建国", "建华",
                                              "志强", "海燕", "晓东", "春梅", "国栋", "文"};
const std::array<const char*, 16> kStreets{"人民路", "解放路", "建设路", "中山路", "工业大道", "科技园路",
                                           "长江路", "黄河路", "新华路", "环城北路", "创业路", "兴业街",
                                           "金融街", "滨江路", "发展大道", "迎宾路"};
// Prefixes of the mobile networks, as the program's mobile-number check knows them.
const std::array<int, 29> kMobilePrefixes{130, 131, 132, 133, 134, 135, 136, 137, 138, 139, 150, 151, 152, 153, 155,
                                          156, 157, 158, 159, 170, 173, 176, 177, 178, 180, 181, 186, 187, 188};
const std::array<const char*, 4> kMailDomains{"mail.example", "corp.example.cn", "qiye.example", "163.example"};

std::string digits(Rng& r, int n)
{
    std::string s;
    for (int i = 0; i < n; ++i)
        s += static_cast<char>('0' + r.below(10));
    return s;
}

// Membership levels by site; the pages show them their own way.
std::string levelOf(const Site& site, Rng& r)
{
    const std::string_view label = site.label;
    if (label == "D3")
        return r.below(2) == 0 ? "生意旺铺" : "普通会员";
    if (label == "D8")
        return r.below(3) == 0 ? "在线" : "离线";
    if (label == "D11") {
        static const std::array<const char*, 3> levels{"普通会员", "VIP会员", "诚信通会员"};
        return r.pick(levels);
    }
    if (label == "D12") {
        static const std::array<const char*, 3> levels{"旗舰店", "标准店", "免费店"};
        return r.pick(levels);
    }
    return "普通会员";
}

struct PathForm {
    const char* prefix;
    const char* suffix;
};

// The detail page of company k of each site is prefix + k + suffix.
PathForm pathForm(const Site& site)
{
    static const std::array<PathForm, 14> forms{{
        {"/company/hc", "/index.html"},  // D1
        {"/gongsi/", ".html"},           // D2
        {"/shop/", "/contact.html"},     // D3
        {"/winport/b2b", ".html"},       // D4
        {"/qiye/", "/"},                 // D5
        {"/company/", "/"},              // D6
        {"/qy/", "/lxfs.html"},          // D7
        {"/shop/56ye", ".html"},         // D8
        {"/company/", ".xhtml"},         // D9
        {"/company/show-", ".html"},     // D10
        {"/company/", "/lxwm.html"},     // D11
        {"/shop/", "/contact/"},         // D12
        {"/shop/", ".html"},             // S1: pages of city58
        {"/nf/d/", ".html"},             // S2
    }};
    return forms[static_cast<std::size_t>(siteIndex(site))];
}

} // namespace

const std::vector<Site>& sites()
{
    using F = Form;
    using C = Charset;
    static const std::vector<Site> all{
        {"D1", "d1.demo.localhost", "hc360.dll", F::GbkPercent, C::Gbk, 24, "演示慧聪企业库", "/company/hc"},
        {"D2", "d2.demo.localhost", "huangye.dll", F::Utf8Form, C::Utf8, 10, "演示黄页88", "/gongsi/"},
        {"D3", "d3.demo.localhost", "toocle.dll", F::Utf8Form, C::Utf8Quoted, 25, "演示生意宝", "/shop/"},
        {"D4", "d4.demo.localhost", "m1688.dll", F::GbkBareHex, C::Utf8, 30, "演示阿里巴巴", "/winport/"},
        {"D5", "d5.demo.localhost", "qiyenet.dll", F::Utf8Form, C::Gbk, 12, "演示企业网", "/qiye/"},
        {"D6", "d6.demo.localhost", "zhuohi.dll", F::Utf16DashHex, C::Utf8, 10, "演示卓赢网", "/company/"},
        {"D7", "d7.demo.localhost", "qy6.dll", F::Utf8Form, C::Gbk, 21, "演示企业录", "/lxfs"},
        {"D8", "d8.demo.localhost", "56ye.dll", F::Utf8Form, C::Utf8, 10, "演示物流黄页", "/shop/56ye"},
        {"D9", "d9.demo.localhost", "soqi.dll", F::Utf8Form, C::Utf8Quoted, 10, "搜企网", "/company/"},
        {"D10", "d10.demo.localhost", "qiyegu.dll", F::Utf8Form, C::Utf8, 20, "演示企业谷", "show-"},
        {"D11", "d11.demo.localhost", "shusheng.dll", F::Utf8Form, C::Utf8Quoted, 10, "书生商务网", "lxwm"},
        {"D12", "d12.demo.localhost", "258.dll", F::Utf8Form, C::Utf8, 20, "演示258商务", "/contact/"},
        {"S1", "search.demo.localhost", "single-baidu5858.dll", F::SearchQuery, C::Gbk, 10, "演示搜索", "/shop/"},
        {"S2", "s2.demo.localhost", "single-edeng.dll", F::Utf8Form, C::Utf8, 25, "演示易登网", "/nf/d/"},
    };
    return all;
}

const Site* findSite(std::string_view label)
{
    for (const auto& s : sites())
        if (label == s.label)
            return &s;
    return nullptr;
}

int siteIndex(const Site& site) { return static_cast<int>(&site - sites().data()); }

std::vector<int> matchingIds(const Site& site, const Search& search)
{
    std::vector<int> ids;
    if (search.wholeDirectory()) {
        for (int k = 0; k < kDirectorySize; ++k)
            ids.push_back(k);
        return ids;
    }
    Rng r(kWorldSeed ^ (fnv1a(site.label) * 31) ^ fnv1a(search.seedKey()));
    // D1 lists one whole page: its count rule takes count div 24 pages.
    const int n = std::string_view(site.label) == "D1" ? 24 : r.below(kMostMatches - kFewestMatches + 1) + kFewestMatches;
    std::vector<bool> taken(kDirectorySize);
    while (static_cast<int>(ids.size()) < n) {
        const int id = r.below(kDirectorySize);
        if (!taken[static_cast<std::size_t>(id)]) {
            taken[static_cast<std::size_t>(id)] = true;
            ids.push_back(id);
        }
    }
    return ids;
}

DemoCompany makeCompany(const Site& site, int id)
{
    const int global = siteIndex(site) * kDirectorySize + id;
    Rng r(kWorldSeed ^ (static_cast<std::uint64_t>(global + 1) * 0xD1B54A32D192ED03ull));
    DemoCompany c;
    c.label = site.label;
    c.id = id;

    // A bijection of the world's company numbers onto city and trade name (7919 is prime
    // to kNameSpace), so no two companies anywhere share a name.
    const int slot = static_cast<int>((static_cast<long long>(global) * 7919 + 12345) % kNameSpace);
    const City& city = kCities[static_cast<std::size_t>(slot % 20)];
    const Syllable& first = kFirst[static_cast<std::size_t>(slot / 20 % 40)];
    const Syllable& second = kSecond[static_cast<std::size_t>(slot / 800)];
    const Industry& industry = r.pick(kIndustries);
    c.city = city.name;
    c.industry = industry.name;
    c.name = std::string(city.name) + first.han + second.han + industry.name + r.pick(kSuffixes);
    const int p = r.below(3);
    c.products = std::string(industry.products[static_cast<std::size_t>(p)]) + "、" +
                 industry.products[static_cast<std::size_t>((p + 1) % 3)];

    c.contact = r.pick(kSurnames);
    if (r.below(100) < 15)
        c.contact += r.below(2) == 0 ? "先生" : "女士";
    else
        c.contact += r.pick(kGivenNames);

    const int mobileKind = r.below(100);
    if (mobileKind >= 10)
        c.mobile = std::to_string(r.pick(kMobilePrefixes)) + digits(r, 8);
    else if (mobileKind >= 6)
        c.mobile = "12" + digits(r, 9);  // no mobile network starts so
    else if (mobileKind >= 3)
        c.mobile = "1" + std::to_string(3 + r.below(7)) + digits(r, 8);  // a digit short
    // else: no mobile number given

    c.address = std::string(city.province) + city.name + "市" + city.districts[static_cast<std::size_t>(r.below(3))] +
                r.pick(kStreets) + std::to_string(1 + r.below(899)) + "号";
    if (r.below(4) == 0)
        c.address += std::to_string(1 + r.below(20)) + "栋" + std::to_string(1 + r.below(9)) + "0" +
                     std::to_string(1 + r.below(9)) + "室";

    if (r.below(100) >= 8)
        c.email = std::string(first.latin) + second.latin + std::to_string(1000 + global) + "@" + r.pick(kMailDomains);
    c.phone = std::string(city.areaCode) + "-" + std::to_string(5 + r.below(4)) + digits(r, 7);
    c.fax = std::string(city.areaCode) + "-" + std::to_string(5 + r.below(4)) + digits(r, 7);
    c.zip = std::string(city.zipPrefix) + digits(r, 2);
    static const std::array<const char*, 14> memberPrefixes{"hc", "hy", "tc", "al", "qn", "zh", "qy",
                                                            "wl", "sq", "qg", "ss", "bz", "tc", "ed"};
    c.memberId = std::string(memberPrefixes[static_cast<std::size_t>(siteIndex(site))]) + std::to_string(100000 + id * 7);
    c.level = levelOf(site, r);
    c.host = std::string_view(site.label) == "S1" ? std::string(kCity58Host) : site.host;
    c.path = detailPath(site, id);
    return c;
}

std::string detailPath(const Site& site, int id)
{
    if (id < 0 || id >= kDirectorySize)
        return {};
    const PathForm f = pathForm(site);
    return f.prefix + std::to_string(id) + f.suffix;
}

int detailId(const Site& site, std::string_view path)
{
    const PathForm f = pathForm(site);
    const std::string_view prefix = f.prefix, suffix = f.suffix;
    if (!path.starts_with(prefix) || !path.ends_with(suffix) || path.size() <= prefix.size() + suffix.size())
        return -1;
    const std::string_view number = path.substr(prefix.size(), path.size() - prefix.size() - suffix.size());
    if (number.size() > 4 || (number.size() > 1 && number[0] == '0'))
        return -1;
    int id = 0;
    for (char c : number) {
        if (c < '0' || c > '9')
            return -1;
        id = id * 10 + (c - '0');
    }
    return id < kDirectorySize ? id : -1;
}

} // namespace tarvimo::demo::detail

namespace tarvimo::demo {

const std::vector<std::string>& siteLabels()
{
    static const std::vector<std::string> labels = [] {
        std::vector<std::string> v;
        for (const auto& s : detail::sites())
            v.emplace_back(s.label);
        return v;
    }();
    return labels;
}

std::vector<DemoCompany> companies(std::string_view label, std::string_view keyword)
{
    std::vector<DemoCompany> out;
    const detail::Site* site = detail::findSite(label);
    if (!site)
        return out;
    // The keyword reaches the site the way a request carries it.
    const detail::Search search = detail::searchOf(site->form, detail::encodeKeyword(site->form, keyword));
    for (int id : detail::matchingIds(*site, search))
        out.push_back(detail::makeCompany(*site, id));
    return out;
}

int resultCount(std::string_view label, std::string_view keyword)
{
    const detail::Site* site = detail::findSite(label);
    if (!site)
        return 0;
    const detail::Search search = detail::searchOf(site->form, detail::encodeKeyword(site->form, keyword));
    return static_cast<int>(detail::matchingIds(*site, search).size());
}

int pageSize(std::string_view label)
{
    const detail::Site* site = detail::findSite(label);
    return site ? site->pageSize : 0;
}

std::string siteHost(std::string_view label)
{
    const detail::Site* site = detail::findSite(label);
    return site ? site->host : std::string();
}

std::string templateName(std::string_view label)
{
    const detail::Site* site = detail::findSite(label);
    return site ? site->templateName : std::string();
}

std::string gatherWord(std::string_view label)
{
    const detail::Site* site = detail::findSite(label);
    return site ? site->gatherWord : std::string();
}

int lastPageOfRange(std::string_view label, int count)
{
    const detail::Site* site = detail::findSite(label);
    if (!site)
        return 0;
    const int size = site->pageSize;
    const int pages = count <= 0 ? 1 : (count + size - 1) / size;  // the page count a site prints
    const std::string_view l = label;
    if (l == "D1")
        return count / 24;
    if (l == "D2" || l == "D8" || l == "D11" || l == "D12")
        return pages;
    if (l == "D5")
        return 100;
    if (l == "D7")
        return 50;
    if (l == "S1")
        return 500;
    return count / size + 1;  // D3, D4, D6, D9, D10, S2
}

} // namespace tarvimo::demo
