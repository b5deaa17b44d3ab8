#include "crawler/crack_url.h"

#include "base/text.h"
#include "crawler/ascii.h"

#include <algorithm>
#include <cctype>
#include <vector>

namespace tarvimo::crawler {

namespace {

using ascii::lower;

// The file types a link may name, as extensions without the dot. Membership is the only
// use; "htm" and "html" are deliberately absent (those are pages).
constexpr std::string_view kKnownFileTypes[] = {
    "$$$", "@@@", "123", "12m", "386", "669", "abk", "acl", "acm", "acp", "act", "acv", "ad",
    "adb", "add", "adm", "adp", "adr", "af2", "af3", "afm", "ai", "aif", "alb", "all", "ams",
    "anc", "ani", "ans", "api", "apr", "aps", "arc", "arj", "art", "asa", "asc", "asd", "asf",
    "asm", "ast", "att", "avi", "awd", "b4", "bak", "bas", "bat", "bfc", "bg", "bi", "bif", "bin",
    "bk", "bk$", "bks", "bm1", "bmk", "bmp", "brx", "bs1", "bsp", "btm", "c", "cab", "cal", "cas",
    "cat", "cb", "ccb", "ccf", "cch", "ccm", "cda", "cdf", "cdi", "cdr", "cdt", "cdx", "cel",
    "cfb", "cfg", "cgm", "ch", "chk", "chp", "cil", "cim", "cin", "ck1", "ck2", "ck3", "ck4",
    "ck5", "ck6", "clp", "cls", "cmd", "cmf", "cmp", "cmv", "cmx", "cnf", "cnm", "cnq", "cnt",
    "cob", "cod", "cpd", "cpe", "cpi", "cpl", "cpp", "cpr", "cpt", "cpx", "crd", "crp", "crt",
    "csc", "csp", "csv", "ct", "ctl", "cue", "cur", "cut", "cv", "cwk", "cws", "cxx", "dat", "dbf",
    "dbx", "dcr", "dcs", "dcx", "ddf", "def", "der", "dib", "dic", "dif", "dir", "diz", "dlg",
    "dll", "dmf", "doc", "dot", "dpr", "drv", "drw", "dsg", "dsm", "dsp", "dsq", "dsw", "dwg",
    "dxf", "emf", "enc", "eps", "er1", "erx", "evy", "ewl", "exe", "f", "f77", "f90", "far", "fav",
    "fax", "fh3", "fif", "fits", "flc", "fli", "flt", "fmb", "fmt", "fmx", "fog", "fon", "for",
    "fot", "fp", "fp1", "fp3", "fpx", "frm", "frx", "gal", "gcp", "ged", "gem", "gen", "gfc",
    "gfi", "gfx", "gid", "gif", "gim", "gix", "gna", "gnx", "gra", "grd", "grp", "gt2", "gtk",
    "gwx", "gwz", "gz", "h", "hed", "hel", "hex", "hgl", "hlp", "hog", "hpj", "hpp", "hqx", "hst",
    "ht", "ica", "icb", "icm", "ico", "idd", "idq", "iff", "igf", "iif", "ima", "img", "inc",
    "inf", "ini", "inp", "ins", "iso", "isp", "isu", "it", "iw", "jar", "jbf", "jff", "jif", "jmp",
    "jn1", "jpeg", "jpg", "jtf", "kdc", "kfx", "kye", "lbm", "ldb", "leg", "lha", "lib", "lis",
    "log", "lpd", "lrc", "lst", "lwo", "lwp", "lzh", "lzs", "m3d", "mac", "mad", "maf", "mail",
    "mak", "mam", "map", "maq", "mar", "mas", "mat", "max", "maz", "mb1", "mcc", "mcs", "mcw",
    "mda", "mdb", "mde", "mdl", "mdn", "mdw", "mdz", "med", "mer", "met", "mi", "mic", "mid",
    "mmf", "mmm", "mod", "mov", "mp3", "mpe", "mpeg", "mpg", "mpp", "msg", "msn", "msp", "mtm",
    "mus", "mvb", "mwp", "nap", "ncb", "nsf", "nst", "ntf", "obd", "obj", "obz", "ocx", "ofn",
    "oft", "okt", "olb", "ole", "opt", "or2", "or3", "org", "p10", "p65", "pab", "pak", "pal",
    "pas", "pat", "pbk", "pbm", "pcd", "pcl", "pcs", "pct", "pcx", "pdf", "pdq", "pfa", "pfb",
    "pfc", "pfm", "pgl", "pgm", "pic", "pif", "pig", "pin", "pix", "pj", "pkg", "pl", "plt", "pm5",
    "pm6", "png", "pnt", "pot", "pp4", "ppa", "ppm", "pps", "ppt", "pre", "prf", "prn", "prs",
    "prz", "ps", "psd", "pst", "ptm", "pub", "pwd", "pwz", "pxl", "qad", "qbw", "qdt", "qlb",
    "qry", "qt", "qtm", "qxd", "r", "ra", "ram", "ras", "raw", "rc", "rec", "reg", "res", "rft",
    "rle", "rm", "rmi", "rov", "rpt", "rtf", "rtm", "s3m", "sam", "sav", "sc2", "scc", "scd",
    "sch", "scn", "scp", "scr", "sct", "sdl", "sdr", "sdt", "sea", "sep", "shb", "shg", "shs",
    "shw", "sit", "slk", "snd", "sqc", "sqr", "stm", "sty", "svx", "sys", "t2t", "tar", "taz",
    "tex", "tga", "tgz", "theme", "thn", "tif", "tiff", "tig", "tlb", "tmp", "trm", "trn", "ttf",
    "twf", "tww", "tx8", "txt", "udf", "ult", "url", "use", "vbp", "vbw", "vbx", "vcf", "vda",
    "vi", "vlb", "voc", "vp", "vsd", "vst", "vsw", "vxd", "wad", "wav", "wb1", "wb2", "wbk", "wbl",
    "wcm", "wdb", "web", "wgp", "wid", "wil", "wiz", "wk1", "wk3", "wk4", "wks", "wlf", "wll",
    "wmf", "wow", "wp", "wp4", "wp5", "wp6", "wpd", "wpg", "wps", "wpt", "wpw", "wq1", "wq2",
    "wri", "wrl", "ws1", "ws2", "ws3", "ws4", "ws5", "ws6", "ws7", "wsd", "wvl", "xar", "xla",
    "xlb", "xlc", "xld", "xlk", "xlm", "xls", "xlt", "xlv", "xlw", "xm", "xr1", "xtp", "xy3",
    "xy4", "xyp", "xyw", "yal", "ybk", "z", "zip", "zoo",
};

std::string decodePercent(std::string_view s)
{
    std::string out;
    out.reserve(s.size());
    for (std::size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '%' && i + 2 < s.size()) {
            const int hi = text::hexDigitValue(s[i + 1]);
            const int lo = text::hexDigitValue(s[i + 2]);
            if (hi >= 0 && lo >= 0) {
                out += static_cast<char>(hi * 16 + lo);
                i += 2;
                continue;
            }
        }
        out += s[i];
    }
    return out;
}

// Length of a leading "scheme:" without the colon, 0 when the text has none.
std::size_t schemeLength(std::string_view s)
{
    if (s.empty() || !std::isalpha(static_cast<unsigned char>(s[0])))
        return 0;
    for (std::size_t i = 1; i < s.size(); ++i) {
        const auto c = static_cast<unsigned char>(s[i]);
        if (c == ':')
            return i;
        if (!std::isalnum(c) && c != '+' && c != '-' && c != '.')
            return 0;
    }
    return 0;
}

// The path with "." and ".." segments taken out, as a browser does when it resolves.
std::string removeDotSegments(std::string_view path)
{
    std::vector<std::string_view> out;
    std::size_t i = 0;
    const bool absolute = !path.empty() && path[0] == '/';
    if (absolute)
        i = 1;
    bool trailingSlash = false;
    while (i <= path.size()) {
        std::size_t j = path.find('/', i);
        if (j == std::string_view::npos)
            j = path.size();
        const std::string_view seg = path.substr(i, j - i);
        const bool last = j >= path.size();
        if (seg == ".") {
            trailingSlash = last;
        } else if (seg == "..") {
            if (!out.empty())
                out.pop_back();
            trailingSlash = last;
        } else {
            out.push_back(seg);
            trailingSlash = false;
        }
        i = j + 1;
    }
    std::string result = absolute ? "/" : "";
    for (std::size_t k = 0; k < out.size(); ++k) {
        if (k)
            result += '/';
        result += out[k];
    }
    if (trailingSlash && !result.empty() && result.back() != '/')
        result += '/';
    return result;
}

} // namespace

int TCrackUrl::defaultPort(std::string_view scheme)
{
    if (scheme == "http")
        return 80;
    if (scheme == "https")
        return 443;
    if (scheme == "ftp")
        return 21;
    return 0;
}

bool TCrackUrl::Crack(std::string_view url)
{
    *this = TCrackUrl{};
    url_ = std::string(url);
    const std::size_t colon = schemeLength(url);
    if (colon == 0)
        return false;
    for (std::size_t i = 0; i < colon; ++i)
        scheme_ += lower(url[i]);
    std::string_view rest = url.substr(colon + 1);
    std::string_view authority;
    bool hasAuthority = false;
    if (rest.starts_with("//")) {
        hasAuthority = true;
        rest.remove_prefix(2);
        const std::size_t end = std::min(rest.find_first_of("/?#"), rest.size());
        authority = rest.substr(0, end);
        rest.remove_prefix(end);
    }
    const std::size_t extraAt = std::min(rest.find_first_of("?#"), rest.size());
    path_ = decodePercent(rest.substr(0, extraAt));
    extra_ = decodePercent(rest.substr(extraAt));

    port_ = defaultPort(scheme_);
    if (hasAuthority) {
        if (const std::size_t at = authority.rfind('@'); at != std::string_view::npos) {
            const std::string_view info = authority.substr(0, at);
            const std::size_t c = info.find(':');
            user_ = decodePercent(info.substr(0, c));
            if (c != std::string_view::npos)
                password_ = decodePercent(info.substr(c + 1));
            authority.remove_prefix(at + 1);
        }
        std::string_view hostPart = authority;
        std::string_view portPart;
        const std::size_t bracket = authority.rfind(']');
        const std::size_t pc = authority.rfind(':');
        if (pc != std::string_view::npos && (bracket == std::string_view::npos || pc > bracket)) {
            hostPart = authority.substr(0, pc);
            portPart = authority.substr(pc + 1);
        }
        if (!portPart.empty()) {
            if (portPart.size() > 5)
                return false;
            int port = 0;
            for (char c : portPart) {
                if (c < '0' || c > '9')
                    return false;
                port = port * 10 + (c - '0');
            }
            if (port > 65535)
                return false;
            port_ = port;
        }
        host_ = decodePercent(hostPart);
    }
    if ((scheme_ == "http" || scheme_ == "https") && host_.empty())
        return false;

    directoryPath_ = path_;
    if (directoryPath_.empty()) {
        directoryPath_ = "/";
    } else {
        const std::size_t slash = directoryPath_.rfind('/');
        if (slash != std::string::npos && slash + 1 < directoryPath_.size()
            && directoryPath_.find('.', slash + 1) == std::string::npos)
            directoryPath_ += '/';
    }

    const std::size_t lastDot = host_.rfind('.');
    if (lastDot != std::string::npos && lastDot > 0) {
        const std::string before = host_.substr(0, lastDot);
        const std::size_t further = before.rfind('.');
        siteDomain_ = further != std::string::npos ? host_.substr(further + 1) : before;
    }
    ok_ = true;
    return true;
}

ResolvedLink ResolveLink(const TCrackUrl& page, std::string_view rawLink)
{
    ResolvedLink out;
    const std::string up = ascii::upperCase(rawLink);
    if (up.find("MAILTO:") != std::string::npos) {
        out.type = "mail";
        out.link = rawLink.size() > 7 ? std::string(rawLink.substr(7)) : std::string();
        if (const std::size_t q = out.link.find('?'); q != std::string::npos && q > 0)
            out.link.resize(q);
        return out;
    }
    if (up.find("JAVASCRIPT") != std::string::npos)
        return out;

    if (up.starts_with("HTTP:") || up.starts_with("HTTPS:")) {
        out.link = std::string(rawLink);
    } else {
        std::string origin = page.Scheme() + "://" + page.HostName();
        // The scheme's own port is left out, so one page is known by one address.
        if (page.Port() != TCrackUrl::defaultPort(page.Scheme()))
            origin += ":" + std::to_string(page.Port());
        std::string_view ref = rawLink;
        // The reference's own query and fragment take no part in the path resolution.
        const std::size_t tailAt = std::min(ref.find_first_of("?#"), ref.size());
        const std::string_view refPath = ref.substr(0, tailAt);
        const std::string_view refTail = ref.substr(tailAt);
        if (schemeLength(refPath) > 0) {
            out.link = std::string(rawLink);   // another scheme: already absolute
        } else if (refPath.starts_with("//")) {
            // Another host on the page's scheme; its path is tidied like any other.
            const std::string_view rest = refPath.substr(2);
            const std::size_t slash = std::min(rest.find('/'), rest.size());
            out.link = page.Scheme() + "://" + std::string(rest.substr(0, slash))
                       + (slash < rest.size() ? removeDotSegments(rest.substr(slash)) : std::string())
                       + std::string(refTail);
        } else if (refPath.empty()) {
            out.link = origin + page.DirectoryPath() + std::string(refTail);
        } else if (refPath[0] == '/') {
            out.link = origin + removeDotSegments(refPath) + std::string(refTail);
        } else {
            const std::string& base = page.DirectoryPath();
            const std::size_t slash = base.rfind('/');
            std::string merged = (slash == std::string::npos ? std::string("/") : base.substr(0, slash + 1));
            merged += refPath;
            out.link = origin + removeDotSegments(merged) + std::string(refTail);
        }
    }
    if (out.link.size() > kMaxLinkLength) {
        out.link.clear();
        return out;
    }
    if (const std::size_t hash = out.link.find('#'); hash != std::string::npos && hash > 0)
        out.link.resize(hash);
    return out;
}

LinkClass ClassifyLink(std::string_view link)
{
    LinkClass out;
    std::size_t searchFrom = 0;
    if (const std::size_t sep = link.find("://"); sep != std::string_view::npos && sep > 0) {
        out.scheme.clear();
        for (std::size_t i = 0; i < sep; ++i)
            out.scheme += lower(link[i]);
        searchFrom = sep + 3;
    }
    if (const std::size_t hash = link.find('#'); hash != std::string_view::npos && hash >= 1) {
        out.type = "htm";
    } else if (link.find_first_of("&?") == std::string_view::npos) {
        // 1-based positions, 0 for none, as the rule is stated.
        const std::size_t slashAt = link.substr(searchFrom).rfind('/');
        const std::size_t s = slashAt == std::string_view::npos ? 0 : searchFrom + slashAt + 1;
        const std::size_t dotAt = link.rfind('.');
        const std::size_t d = dotAt == std::string_view::npos ? 0 : dotAt + 1;
        if (out.scheme.starts_with("http") && d > 0) {
            if (s == 0 || s > d)
                out.type = "htm";
            else if (d < link.size())
                out.type = std::string(link.substr(d));
        }
    } else {
        out.type = "htm";
    }
    if (out.type != "htm" && out.type != "unknown" && !isKnownFileType(out.type))
        out.type = "htm";
    if (out.type == "jpeg")
        out.type = "jpg";
    else if (out.type == "mpeg")
        out.type = "mpg";
    return out;
}

bool isKnownFileType(std::string_view extension)
{
    static const std::vector<std::string_view> sorted = [] {
        std::vector<std::string_view> v(std::begin(kKnownFileTypes), std::end(kKnownFileTypes));
        std::sort(v.begin(), v.end());
        return v;
    }();
    return std::binary_search(sorted.begin(), sorted.end(), extension);
}

std::size_t knownFileTypeCount() { return std::size(kKnownFileTypes); }

} // namespace tarvimo::crawler
