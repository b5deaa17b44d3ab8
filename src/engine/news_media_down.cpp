#include "engine/news_media_down.h"

#include "base/files.h"
#include "base/home.h"
#include "base/text.h"
#include "engine/page_text.h"
#include "net/http_client.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tarvimo::engine {

namespace {

constexpr std::size_t npos = std::string::npos;

const std::string& articleType()
{
    static const std::string t = text::gbk("文章类型");
    return t;
}

const std::string& mediaWord()
{
    static const std::string t = text::gbk("多媒体");
    return t;
}

bool anyTypeHolds(const std::vector<std::string>& types, const std::string& word, bool whole)
{
    for (std::size_t i = 1; i < types.size(); ++i)
        if (whole ? types[i] == word : types[i].find(word) != npos)
            return true;
    return false;
}

// The number of characters of GBK text.
std::size_t charCount(std::string_view s)
{
    std::size_t n = 0;
    for (std::size_t i = 0; i < s.size(); i += text::charLen(s, i))
        ++n;
    return n;
}

// A UTF-8 name cut to at most 'limit' bytes, keeping a short extension and whole characters.
std::string shortened(std::string name, std::size_t limit)
{
    if (name.size() <= limit)
        return name;
    std::string ext;
    if (const std::size_t dot = name.rfind('.'); dot != npos && dot > 0 && name.size() - dot <= 16)
        ext = name.substr(dot);
    std::size_t keep = limit - ext.size();
    while (keep > 0 && (static_cast<unsigned char>(name[keep]) & 0xC0) == 0x80)
        --keep;  // never cut inside a UTF-8 character
    return name.substr(0, keep) + ext;
}

bool hasExtension(std::string_view name)
{
    const std::size_t dot = name.rfind('.');
    return dot != npos && dot > 0 && dot + 1 < name.size();
}

// A name that would not name a file of its own in the folder.
bool unusableName(std::string_view name)
{
    return name.find_first_not_of('.') == npos;  // empty, ".", "..", ...
}

// Claims 'path' by creating it empty; false when it exists already or cannot be made.
bool claim(const std::string& path, bool& taken)
{
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    taken = fd < 0 && errno == EEXIST;
    if (fd < 0)
        return false;
    ::close(fd);
    return true;
}

// Replaces every occurrence of 'from' (letter case ignored) that stands as a reference of
// its own: not glued to a longer name on either side, so "a.jpg" leaves "ba.jpg" alone.
void replaceReference(std::string& text, std::string_view from, std::string_view to)
{
    if (from.empty())
        return;
    auto nameChar = [](char c) {
        const auto u = static_cast<unsigned char>(c);
        return std::isalnum(u) || c == '.' || c == '-' || c == '_' || c == '%' || u >= 0x80;
    };
    std::string out;
    bool changed = false;
    std::size_t pos = 0, at;
    while ((at = text::findNoCase(text, from, pos)) != npos) {
        const std::size_t after = at + from.size();
        const bool gluedBefore = at > 0 && nameChar(text[at - 1]) && nameChar(from.front());
        const bool gluedAfter = after < text.size() && nameChar(text[after]) && nameChar(from.back());
        out.append(text, pos, at - pos);
        if (gluedBefore || gluedAfter) {
            out.append(text, at, from.size());
        } else {
            out.append(to);
            changed = true;
        }
        pos = after;
    }
    if (!changed)
        return;
    out.append(text, pos, npos);
    text = std::move(out);
}

// The scheme of an address ("http", "data", ...), empty when it has none.
std::string_view schemeOf(std::string_view address)
{
    for (std::size_t i = 0; i < address.size(); ++i) {
        const char c = address[i];
        if (c == ':')
            return i > 0 ? address.substr(0, i) : std::string_view{};
        if (!std::isalnum(static_cast<unsigned char>(c)) && c != '+' && c != '-' && c != '.')
            return {};
    }
    return {};
}

} // namespace

std::string SafeFileName(std::string_view s)
{
    std::string out;
    out.reserve(s.size());
    for (std::size_t i = 0; i < s.size();) {
        const std::size_t n = text::charLen(s, i);
        const auto c = static_cast<unsigned char>(s[i]);
        if (n == 1 && (c < 0x20 || c == 0x7F || std::string_view("\\/:*|\"?<>").find(static_cast<char>(c)) != npos))
            out += '-';
        else
            out.append(s, i, n);
        i += n;
    }
    return out;
}

std::vector<PictureRef> CollectImages(std::string_view t, std::string_view base)
{
    std::vector<PictureRef> found;
    if (text::findNoCase(t, "src=") == npos || text::findNoCase(t, "img") == npos)
        return found;
    std::size_t pos = 0;
    for (int round = 0; round < 9999; ++round) {
        const std::size_t tag = text::findNoCase(t, "<img", pos);
        if (tag == npos)
            break;
        pos = tag + 4;
        // Only the tag's own source: a "src=" past its ">" belongs to a script or frame.
        const std::size_t tagEnd = text::findChar(t, ">", pos);
        const std::size_t src = text::findNoCase(t, "src=", pos);
        if (src == npos)
            break;
        if (tagEnd != npos && src > tagEnd)
            continue;
        std::size_t from = src + 4, to;
        if (from < t.size() && (t[from] == '"' || t[from] == '\'')) {
            to = t.find(t[from], from + 1);
            ++from;
            if (to == npos)
                to = t.size();
        } else {
            to = t.find_first_of(" >", from);
            if (to == npos)
                to = t.size();
        }
        pos = std::max(pos, std::min(to + 1, t.size()));
        std::string value;
        for (char c : t.substr(from, to - from))
            if (c != ' ' && c != '"' && c != '\'' && c != '>')
                value += c;
        value = text::trim(value);
        if (value.empty())
            continue;
        std::string address;
        const std::string_view scheme = schemeOf(value);
        if (text::equalsNoCase(scheme, "http") || text::equalsNoCase(scheme, "https")) {
            address = value;
        } else if (!scheme.empty()) {
            continue;  // data:, javascript:, file: ... nothing to fetch
        } else if (value.starts_with("//")) {
            const std::string_view b = text::trimView(base);
            address = std::string(text::startsWithNoCase(b, "https:") ? "https:" : "http:") + value;
        } else {
            address = std::string(base) + (value.front() == '/' ? value.substr(1) : value);
        }
        bool seen = false;
        for (const auto& p : found)
            seen = seen || p.address == address;
        if (!seen)
            found.push_back({std::move(address), std::move(value)});
    }
    return found;
}

std::string TargetFile(std::string_view address, const std::string& folder, bool numbered, std::string_view extensionIfNone)
{
    if (address.empty())
        return {};
    std::string name;  // GBK
    bool alwaysNumbered = false;
    if (const std::size_t slash = address.rfind('/'); slash != npos) {
        name = SafeFileName(address.substr(slash + 1));
        if (const std::size_t dot = name.find('.'); dot != npos) {
            const std::string_view rest = std::string_view(name).substr(dot + 1);
            if (rest.find('.') != npos && charCount(rest) > 4)
                name = "index.htm";  // a host name, not a file
        }
    }
    if (name.empty() || unusableName(name)) {
        name = "index.htm";
        alwaysNumbered = true;
    } else if (!extensionIfNone.empty() && !hasExtension(name)) {
        std::string ext = SafeFileName(extensionIfNone);
        name += (ext.front() == '.' ? "" : ".") + ext;
    }
    std::string plain = shortened(text::gbkToUtf8(name), kMaxFileNameBytes);
    const std::string first = files::joinPath(folder, plain);
    if (!numbered && !alwaysNumbered)
        return first;
    bool taken = false;
    if (claim(first, taken))
        return first;
    for (int n = 1; taken && n <= kMaxNumber; ++n) {
        const std::string path = files::joinPath(folder, "(" + std::to_string(n) + ")" + plain);
        if (claim(path, taken))
            return path;
    }
    return {};
}

bool saveDownload(const std::string& path, std::string_view bytes)
{
    try {
        files::writeAtomic(path, bytes);
        return true;
    } catch (const files::FileError&) {
        // An empty file left here would be a claim nobody fills.
        struct stat st{};
        if (::stat(path.c_str(), &st) == 0 && st.st_size == 0)
            files::removeFile(path);
        return false;
    }
}

std::string articleFileText(std::string_view in)
{
    std::string s;
    s.reserve(in.size() + in.size() / 32 + 80);
    for (std::size_t i = 0; i < in.size(); ++i) {
        if (in[i] == '\n' && (i == 0 || in[i - 1] != '\r'))
            s += '\r';
        s += in[i];
    }
    bool declared = false;
    for (std::size_t meta = text::findNoCase(s, "<meta"); meta != npos; meta = text::findNoCase(s, "<meta", meta + 5)) {
        const std::size_t end = text::findChar(s, ">", meta);
        const std::size_t cs = text::findNoCase(s, "charset=", meta);
        if (cs == npos || (end != npos && cs > end))
            continue;
        declared = true;
        std::size_t from = cs + 8;
        if (from < s.size() && (s[from] == '"' || s[from] == '\''))
            ++from;
        std::size_t to = from;
        while (to < s.size() && (std::isalnum(static_cast<unsigned char>(s[to])) || s[to] == '-' || s[to] == '_'))
            ++to;
        const std::string value = text::toLower(std::string_view(s).substr(from, to - from));
        if (value != "gbk" && value != "gb2312" && value != "gb18030")
            s.replace(from, to - from, "gbk");
    }
    if (!declared) {
        static constexpr std::string_view kMeta = "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=gbk\">";
        std::size_t at = 0;
        if (const std::size_t head = text::findNoCase(s, "<head"); head != npos)
            if (const std::size_t close = text::findChar(s, ">", head); close != npos)
                at = close + 1;
        s.insert(at, std::string(kMeta) + (at == 0 ? "\r\n" : ""));
    }
    return s;
}

// ---- TnewsMediaDown -------------------------------------------------------------------------

TnewsMediaDown::TnewsMediaDown(TaskPtr task, const Environment& env, std::function<void(const std::string&)> status,
                               std::function<bool()> stopped)
    : task_(std::move(task)), env_(env), status_(std::move(status)), stopped_(std::move(stopped))
{
    if (!task_)
        return;
    const NewsOptions& n = task_->config.news;
    const auto& types = task_->rules.columns.types;
    articles_ = task_->config.useGetNews && !text::trimView(n.toDir).empty() && anyTypeHolds(types, articleType(), true);
    media_ = anyTypeHolds(types, mediaWord(), false);
    if (!text::trimView(n.toDir).empty())
        articleFolder_ = env_.nativePath(n.toDir);
    mediaFolder_ = articleFolder_.empty() ? files::joinPath(env_.home, "Down") : articleFolder_;
    // Read once per fetcher: a template that cannot be read gives the bare articles.
    std::string bytes;
    if (!text::trimView(n.templateFile).empty() && files::tryReadAll(env_.nativePath(n.templateFile), bytes))
        template_ = text::fileTextToGbk(bytes);
}

std::string TnewsMediaDown::defaultExtension() const
{
    const NewsOptions& n = task_->config.news;
    return n.autoFileExt ? text::trim(n.fileExt) : std::string();
}

bool TnewsMediaDown::fetch(const std::string& address, net::HttpClient& connection, std::string& body)
{
    net::HttpResult r = connection.get(address);
    if (!r.success()) {
        // Whatever the server was doing, the next request starts on a clean connection.
        connection.disconnectSocket();
        return false;
    }
    body = std::move(r.body);
    return true;
}

std::string TnewsMediaDown::articleContent(const std::vector<std::string>& captions, const Row& row,
                                           const std::string& field) const
{
    if (template_.empty())
        return field;
    // One pass over the template: a value that itself holds "[caption]" is not filled again.
    std::string out;
    out.reserve(template_.size() + field.size());
    std::size_t pos = 0;
    while (pos < template_.size()) {
        const std::size_t open = text::findChar(template_, "[", pos);
        if (open == npos)
            break;
        out.append(template_, pos, open - pos);
        bool filled = false;
        for (std::size_t c = 1; c < captions.size() && !filled; ++c) {
            const std::string& cap = captions[c];
            if (cap.empty())
                continue;
            const std::size_t close = open + 1 + cap.size();
            if (close < template_.size() && template_[close] == ']' &&
                text::equalsNoCase(std::string_view(template_).substr(open + 1, cap.size()), cap)) {
                out += c - 1 < row.size() ? row[c - 1] : std::string();
                pos = close + 1;
                filled = true;
            }
        }
        if (!filled) {
            out += '[';
            pos = open + 1;
        }
    }
    out.append(template_, std::min(pos, template_.size()), npos);
    return out;
}

std::string TnewsMediaDown::articlePath(const std::string& pageAddress, const Row& row) const
{
    const NewsOptions& n = task_->config.news;
    int col = task_->config.taskCol;
    const int rules = static_cast<int>(task_->rules.columns.captions.size()) - 1;
    if (col > rules)
        col = 0;
    if (col > 0 && static_cast<std::size_t>(col - 1) < row.size()) {
        const std::string name = SafeFileName(text::trim(row[col - 1]));
        // A blank or dotted value names no file: the page's own name is taken instead.
        if (!unusableName(name))
            return files::joinPath(articleFolder_, shortened(text::gbkToUtf8(name), kMaxFileNameBytes - 4) + ".htm");
    }
    return TargetFile(pageAddress, articleFolder_, n.autoRename, ".htm");
}

void TnewsMediaDown::downloadArticles(const std::vector<std::string>& captions, const std::vector<std::string>& types,
                                      const std::string& pageAddress, net::HttpClient& connection, Row& row)
{
    if (!articles_ || row.empty())
        return;
    const NewsOptions& n = task_->config.news;
    const std::string imageFolder = files::joinPath(articleFolder_, "image");
    if (!files::makeDirs(imageFolder))
        return;
    const TaskConfig& c = task_->config;
    const std::string base = pageBaseUrl(pageAddress, c.autogetmainURL, c.getmainURL);
    for (std::size_t k = 0; k < row.size() && k + 1 < types.size(); ++k) {
        if (types[k + 1] != articleType())
            continue;
        std::string& field = row[k];
        if (n.downPhoto) {
            for (const PictureRef& pic : CollectImages(field, base)) {
                if (isStopped())
                    return;
                std::string body;
                if (!fetch(pic.address, connection, body))
                    continue;
                const std::string target = TargetFile(pic.address, imageFolder, n.autoRename, defaultExtension());
                if (target.empty() || !saveDownload(target, body))
                    continue;
                // The article's reference as written when it is there; the spelled-out
                // address or its last segment otherwise.
                std::string old = pic.address;
                if (text::findNoCase(field, old) == npos)
                    old = text::findNoCase(field, pic.reference) != npos ? pic.reference
                                                                         : pic.address.substr(pic.address.rfind('/') + 1);
                const std::string name = text::utf8ToGbk(files::baseName(target));
                replaceReference(field, old, n.pictureDir ? "image/" + name : text::utf8ToGbk(target));
            }
        }
        if (!n.saveContent)
            continue;
        const std::string content = articleContent(captions, row, field);
        if (text::trimView(content).empty())
            continue;  // nothing to read: no file
        const std::string path = articlePath(pageAddress, row);
        if (path.empty() || !saveDownload(path, articleFileText(content)))
            continue;
        if (status_)
            status_(std::string(kSavedToFolder) + articleFolder_);
    }
}

void TnewsMediaDown::downloadMedia(const std::vector<std::string>& types, Row& row, net::HttpClient& connection)
{
    if (!media_ || row.empty())
        return;
    if (!files::makeDirs(mediaFolder_))
        return;
    const NewsOptions& n = task_->config.news;
    for (std::size_t i = 1; i < types.size() && i - 1 < row.size(); ++i) {
        if (types[i].find(mediaWord()) == npos || !hasWebScheme(row[i - 1]))
            continue;
        if (isStopped())
            return;
        const std::string address = text::trim(row[i - 1]);
        std::string body;
        if (!fetch(address, connection, body))
            continue;
        const std::string target = TargetFile(address, mediaFolder_, n.autoRename, defaultExtension());
        if (target.empty() || !saveDownload(target, body))
            continue;
        const std::string local = text::utf8ToGbk(target);
        const bool isLocal = home::isLocalPath(local);
        switch (static_cast<MediaDisplay>(n.displayStyle)) {
        case MediaDisplay::AddressOnly:
            break;
        case MediaDisplay::PathOnly:
            row[i - 1] = isLocal ? local : std::string();
            break;
        case MediaDisplay::FileNameOnly:
            row[i - 1] = isLocal ? text::utf8ToGbk(files::baseName(target)) : std::string();
            break;
        default:
            row[i - 1] = address + "(" + local + ")";
            break;
        }
        if (status_)
            status_(std::string(kSavedToFolder) + mediaFolder_);
    }
}

} // namespace tarvimo::engine
