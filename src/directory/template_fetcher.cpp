#include "directory/template_fetcher.h"

#include "base/files.h"
#include "base/text.h"
#include "store/encrypt_inifile.h"
#include "store/task_schema.h"

namespace tarvimo::directory {
namespace {

constexpr long kTimeoutMs = 10000;
// Templates are a few kilobytes; a location that sends far more is sending something else.
constexpr std::size_t kMaxTemplateBytes = 16u << 20;

bool isMasterSection(std::string_view line) { return text::equalsNoCase(text::trimView(line), "[master]"); }

std::string location(const engine::SiteCatalogue& c, std::string_view key)
{
    std::string v(text::trimView(c.value("TemplateServer", key)));
    while (v.ends_with('/'))
        v.pop_back();
    return v;
}

} // namespace

bool isTaskFileBytes(std::string_view bytes)
{
    std::vector<std::string> lines;
    if (store::startsAsZlibStream(bytes)) {
        try {
            store::InflateLines(bytes, lines);
            for (const auto& line : lines)
                if (!text::trimView(line).empty() && isMasterSection(store::DecryptLine(line, store::storeKey())))
                    return true;
        } catch (const store::StoreError&) {
        }
        return false;
    }
    if (bytes.find('\0') != std::string_view::npos)
        return false;
    for (const auto& line : text::splitLines(bytes))
        if (isMasterSection(line))
            return true;
    return false;
}

void instantiateTemplate(const std::string& path, std::string_view taskNameGbk, std::string_view startUrl,
                         bool mobileSearch)
{
    namespace t = store::task;
    store::TEncryptInifile ini(path);
    ini.WriteString(t::taskname.section, t::taskname.key, taskNameGbk);
    if (mobileSearch)
        ini.WriteInteger(t::taktype.section, t::taktype.key, 1);
    ini.WriteString(t::urlbegin.section, t::urlbegin.key, startUrl);
    ini.UpdateFile();
}

Tgetmw::Tgetmw(const engine::SiteCatalogue& catalogue)
    : primary_(location(catalogue, "primary")), fallback_(location(catalogue, "fallback"))
{
    http_.setUserAgent(net::kUserAgent);
    http_.setFollowRedirects(true);
    http_.setMaxBodyBytes(kMaxTemplateBytes);
    setTimeoutsMs(kTimeoutMs);
}

void Tgetmw::setTimeoutsMs(long ms)
{
    http_.setConnectTimeoutMs(ms);
    http_.setReadTimeoutMs(ms);
}

bool Tgetmw::FetchTemplate(std::string_view templateName, const std::string& targetPath)
{
    lastError_.clear();
    for (const auto& [base, path] : {std::pair{primary_, kPrimaryPath}, std::pair{fallback_, kFallbackPath}}) {
        if (base.empty())
            continue;
        const std::string url = base + std::string(path) + std::string(templateName);
        const net::HttpResult r = http_.get(url);
        std::string why;
        if (!r.success())
            why = r.ok ? "HTTP " + std::to_string(r.status) : r.error;
        else if (!isTaskFileBytes(r.body))
            why = "not a task file";
        if (why.empty()) {
            try {
                files::makeDirs(files::dirName(targetPath));
                files::writeAtomic(targetPath, r.body);
                return true;
            } catch (const files::FileError& e) {
                why = e.what();
            }
        }
        lastError_ += url + ": " + why + "\n";
    }
    return false;
}

} // namespace tarvimo::directory
