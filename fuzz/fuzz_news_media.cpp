// The article downloader's handling of text from pages: the input holds an article, a zero
// byte, then an address as a field or a picture reference could give it. The pictures of
// the article are collected against a base address, and the address (and every picture
// address) is given a file name in a scratch folder, numbered or not. A name must stay in
// its folder, be short enough for the file system, and the saved article text must end its
// lines with CR LF and declare its charset.
#include "base/files.h"
#include "base/text.h"
#include "engine/news_media_down.h"

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <string_view>

using namespace tarvimo;

namespace {

void require(bool ok)
{
    if (!ok)
        std::abort();
}

const std::string& scratch()
{
    static const std::string folder = [] {
        std::string tmpl = (std::filesystem::temp_directory_path() / "fuzz-news-XXXXXX").string();
        require(::mkdtemp(tmpl.data()) != nullptr);
        return tmpl;
    }();
    return folder;
}

void checkTarget(std::string_view address, bool numbered)
{
    const std::string path = engine::TargetFile(address, scratch(), numbered, ".jpg");
    if (address.empty()) {
        require(path.empty());
        return;
    }
    require(!path.empty());
    require(files::dirName(path) == scratch());
    const std::string name = files::baseName(path);
    require(!name.empty() && name != "." && name != "..");
    require(name.find('/') == std::string::npos && name.find('\0') == std::string::npos);
    require(name.size() <= engine::kMaxFileNameBytes + 6);  // "(9999)" in front at most
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    const std::size_t zero = input.find('\0');
    const std::string_view article = input.substr(0, zero);
    const std::string_view address = zero == std::string_view::npos ? std::string_view{} : input.substr(zero + 1);
    const bool numbered = size > 0 && (data[0] & 1);

    const std::string base = "http://h/news/";
    const auto pictures = engine::CollectImages(article, base);
    for (std::size_t i = 0; i < pictures.size(); ++i) {
        const auto& p = pictures[i];
        require(!p.address.empty() && !p.reference.empty());
        require(p.address.starts_with(base) || text::startsWithNoCase(p.address, "http:") ||
                text::startsWithNoCase(p.address, "https:"));
        for (std::size_t j = 0; j < i; ++j)
            require(pictures[j].address != p.address);
        if (i < 8)
            checkTarget(p.address, numbered);
    }
    checkTarget(address, numbered);

    const std::string safe = engine::SafeFileName(address);
    for (std::size_t i = 0; i < safe.size(); i += text::charLen(safe, i))
        if (text::charLen(safe, i) == 1)
            require(std::string_view("\\/:*|\"?<>").find(safe[i]) == std::string_view::npos &&
                    static_cast<unsigned char>(safe[i]) >= 0x20);

    const std::string file = engine::articleFileText(article);
    for (std::size_t i = 0; i < file.size(); ++i)
        if (file[i] == '\n')
            require(i > 0 && file[i - 1] == '\r');
    require(text::findNoCase(file, "charset=") != std::string::npos);

    std::error_code ec;
    for (const auto& e : std::filesystem::directory_iterator(scratch(), ec))
        std::filesystem::remove(e.path(), ec);
    return 0;
}
