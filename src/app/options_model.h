// The options dialog (caption "选项") as a plain class: the state of every control,
// including the hidden pages and hidden controls (never shown, still filled and saved),
// the save checks, the buttons and the proxy test. The Qt dialog is a thin view over it.
//
// Texts held here are what the controls show: UTF-8. They are converted from and to the
// GBK of DefaultSet.ini when filling and saving.
#pragma once

#include "base/messages.h"

#include <array>
#include <optional>
#include <string>
#include <string_view>

namespace tarvimo::app {

class ToptionsForm {
public:
    static constexpr std::string_view kCaption = "选项";
    static constexpr std::string_view kOkButton = "确定";
    static constexpr std::string_view kApplyButton = "应用(&A)";
    static constexpr std::string_view kCancelButton = "取消";
    static constexpr std::string_view kProxyTestButton = "连接测试";
    // The address the proxy test box starts with.
    static constexpr std::string_view kDefaultTestAddress = "http://www.example.com/";

    struct Page {
        std::string_view caption;
        bool visible;
    };
    // The tab pages in order; the dialog opens on the first one.
    static constexpr std::array<Page, 6> kPages{{
        {"常规", true},
        {"代理设置", true},
        {"搜索设置", true},
        {"脚本导航类型", false},
        {"声音", false},
        {"其他", false},
    }};

    // Page "常规".
    struct General {
        int maxTaskCount = 3;       // "最多同时运行的任务数", disabled, always 3
        bool passProtect = false;   // hidden
        std::string password;       // hidden password boxes, never filled from the file;
        std::string passwordAgain;  // the stored password is always the empty one
        int hinthindPause = 20;     // hidden, seconds (5..60)
        bool getEmail = true;       // "采集时获取电子邮件", hidden
        bool emailFromName = true;  // "按企业名称获取邮件" (true) / "按企业网址获取邮件"
        bool autoAll = true;        // "保存全部数据" (true) / "只保存手机号"
    };
    // Page "代理设置". The four boxes are enabled exactly when useProxy is checked.
    struct Proxy {
        bool useProxy = false;      // "使用Http代理服务"
        std::string server;
        std::string port;
        std::string user;
        std::string password;
        std::string testAddress{kDefaultTestAddress};  // "测试地址："
    };
    // Page "搜索设置".
    struct Fetching {
        int searchDep = 1;          // "搜索深度：", disabled (1..1)
        int timeout = 10;           // "超时(秒)：" (5..180)
        int threadCount = 3;        // "线程数：" (1..100)
        int tryCount = 3;           // "重试次数：" (1..10)
    };
    // Hidden sound page.
    struct Sound {
        bool useMusic = true;
        int musicIndex = 0;         // "主板声音1".."主板声音4", "自定义声音"; -1 none
        std::string musicFile;      // "声音文件:" (a .wav file)
    };
    // Hidden page "其他".
    struct Other {
        bool minHide = false;       // "最小化时隐藏"
        bool bringToTop = false;    // "总在最前面"
        bool quitSaveLog = true;    // "退出时保存日志"
        std::string logFile;        // "日志文件："
        std::string mailDepth;      // "搜索线程：" under "修补E-mail", digits only
        bool mailOne = true;        // "搜索完后统一显示(可降低资源使用)"
    };

    // Creates the dialog on the given settings file and fills it.
    ToptionsForm(std::string settingsPath, UserMessages& messages);

    // Fills every control from the file, each with its own default.
    void fill();

    General general;
    Proxy proxy;
    Fetching fetching;
    Sound sound;
    Other other;
    int currentPage = 0;

    // Clicking "使用Http代理服务".
    void setUseProxy(bool on) { proxy.useProxy = on; }
    bool proxyBoxesEnabled() const { return proxy.useProxy; }
    // The sound-file box is shown for the custom sound only.
    bool musicFileVisible() const { return sound.musicIndex == 4; }

    // The key filter of the e-mail search-thread box: digits and backspace pass.
    static bool acceptsMailDepthKey(char32_t key);

    // Runs the checks, then writes every value. False (after a warning) when a check
    // fails, nothing written then, or when writing fails ("保存失败！").
    bool save();

    // "确定": saves, and closes when the save succeeded.
    bool ok();
    // "应用(&A)": saves and, on success, says "保存完毕".
    bool apply();
    // "取消": closes without saving.
    void cancel();
    bool closed() const { return closed_; }

    // Tool-tip display time in milliseconds applied by the last successful save
    // (hinthindPause × 1000); empty before one.
    std::optional<int> appliedToolTipDisplayMs() const { return appliedToolTipMs_; }

    // "连接测试": requests the trimmed test address with the proxy boxes (no proxy when
    // the check box is clear; a port that is no number means 8080; basic authentication
    // when the user-name box is not empty), waiting as long as the time-out box says.
    // A 2xx answer says "网络连接测试成功" and returns true; anything else disconnects and
    // says "网络不通". Blocks until the request ends.
    bool testConnection();

    const std::string& settingsPath() const { return path_; }

private:
    bool checkInput();
    void writeAll();

    std::string path_;
    UserMessages& messages_;
    bool closed_ = false;
    std::optional<int> appliedToolTipMs_;
};

} // namespace tarvimo::app
