// Article and media download: a page fetcher hands each finished row to its downloader
// before the row goes to the grid. Article fields ("文章类型") get their pictures saved into
// the article folder's "image" folder, their picture references rewritten to the saved
// copies and are written to ".htm" files (optionally through a template). Media fields
// ("多媒体类型") name a file that is saved into the media folder; the field then shows the
// local copy as the task's display form asks.
//
// Every file is written through a temporary file and renamed into place, so a failed or
// stopped download leaves no partial file. File names taken from addresses and fields never
// leave their folder.
//
// Threads: one downloader per fetcher, used on the fetcher's thread with its connection.
// Fetchers of one task may save into one folder at once; numbered names are claimed on
// disk, so two of them never write the same file.
#pragma once

#include "engine/environment.h"
#include "engine/row.h"
#include "engine/task.h"

#include <array>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace tarvimo::net {
class HttpClient;
}

namespace tarvimo::engine {

// How a media field shows its download (`tpdzStyle`), with the captions of the forms.
enum class MediaDisplay : int { AddressAndPath = 0, AddressOnly = 1, PathOnly = 2, FileNameOnly = 3 };
inline constexpr std::array<std::string_view, 4> kMediaDisplayItems{
    "默认（网络地址+本地地址）", "只显示网络地址", "只显示本地地址", "只显示图片名称"};

// The status line a successful save shows (UTF-8, followed by the folder).
inline constexpr std::string_view kSavedToFolder = "文件保存到目录：";

// The longest file name (UTF-8 bytes) a download gets: room is left for the "(n)" of a
// numbered name and the temporary file's suffix within the file system's 255 bytes.
inline constexpr std::size_t kMaxFileNameBytes = 200;
// Numbered names go up to "(kMaxNumber)name"; past that the file is not saved.
inline constexpr int kMaxNumber = 9999;

// Every "\", "/", ":", "*", "|", double quote, "?", "<" and ">" (and every control
// character, which no file name should hold) becomes "-". GBK text in and out.
std::string SafeFileName(std::string_view text);

// A picture of an article: the address it is fetched from and the reference as the
// article writes it (without quotes).
struct PictureRef {
    std::string address;
    std::string reference;
    bool operator==(const PictureRef&) const = default;
};

// The pictures an article shows: the "src=" of every "<img" tag (letter case ignored),
// completed with 'base' when not absolute; each address once, in order. Quoted values run
// to their closing quote, others to the first blank or ">". References inside data: and
// other non-web schemes are left out.
std::vector<PictureRef> CollectImages(std::string_view article, std::string_view base);

// The file a download of 'address' is saved to in 'folder' (a UTF-8 path). The name is
// the part of the address after its last "/" made safe ("index.htm" when the address has
// no "/", when that part is empty, only dots, or looks like a host name); a name without
// extension gets 'extensionIfNone' when it is given. Names longer than kMaxFileNameBytes
// are shortened, keeping their extension.
//
// With 'numbered' (and always for "index.htm") a name already taken gets "(n)" in front,
// n = 1, 2, ...: the returned file has then been created empty for this caller, so a
// second caller gets the next number. Without it an existing file is simply returned (to
// be overwritten). Empty when 'address' is empty or no free name was found.
std::string TargetFile(std::string_view address, const std::string& folder, bool numbered,
                       std::string_view extensionIfNone = {});

// Writes 'bytes' to 'path' through a temporary file; on failure removes 'path' when it was
// claimed (an empty file made by TargetFile) and returns false.
bool saveDownload(const std::string& path, std::string_view bytes);

// Makes an article's text a file a browser shows correctly: lines end in CR LF and, since
// the text is GBK, a charset declaration says so (inserted after "<head>", or first, when
// the text has none; a declaration of another charset is corrected).
std::string articleFileText(std::string_view text);

class TnewsMediaDown {
public:
    // 'status' shows a status line (UTF-8) on the run frame; 'stopped' is asked between
    // downloads so a stop is not held up by the rest of a page's pictures.
    TnewsMediaDown(TaskPtr task, const Environment& env, std::function<void(const std::string&)> status,
                   std::function<bool()> stopped = {});

    // Whether the task has anything for the downloader at all.
    bool wantsArticles() const { return articles_; }
    bool wantsMedia() const { return media_; }

    // 'captions' and 'types' carry their header item at index 0, so field k of the row
    // has caption and type k + 1. Both change the row in place.
    void downloadArticles(const std::vector<std::string>& captions, const std::vector<std::string>& types,
                          const std::string& pageAddress, net::HttpClient& connection, Row& row);
    void downloadMedia(const std::vector<std::string>& types, Row& row, net::HttpClient& connection);

    // The folders files go to (UTF-8 paths; the article folder is empty when the task names
    // none).
    const std::string& articleFolder() const { return articleFolder_; }
    const std::string& mediaFolder() const { return mediaFolder_; }

private:
    // The picture's body, or false after a hard close of the connection.
    bool fetch(const std::string& address, net::HttpClient& connection, std::string& body);
    std::string defaultExtension() const;
    std::string articleContent(const std::vector<std::string>& captions, const Row& row, const std::string& field) const;
    std::string articlePath(const std::string& pageAddress, const Row& row) const;
    bool isStopped() const { return stopped_ && stopped_(); }

    TaskPtr task_;
    const Environment& env_;
    std::function<void(const std::string&)> status_;
    std::function<bool()> stopped_;
    bool articles_ = false;
    bool media_ = false;
    std::string articleFolder_, mediaFolder_;
    std::string template_;  // GBK; empty: none, or none that could be read
};

} // namespace tarvimo::engine
