#include "app/options_model.h"

#include "base/files.h"
#include "base/text.h"
#include "net/http_client.h"
#include "store/settings.h"

#include <algorithm>
#include <climits>
#include <exception>

namespace tarvimo::app {
namespace {

namespace keys = store::settings::keys;
using store::KeyDef;

std::string toUi(const std::string& gbk) { return text::gbkToUtf8(gbk); }
std::string toStore(const std::string& utf8) { return text::utf8ToGbk(utf8); }

// A spin box shows the stored value clamped into its range.
int spinValue(store::IniStore& ini, const KeyDef& k)
{
    return store::settings::clampToRange(k, store::readInt(ini, k));
}

} // namespace

ToptionsForm::ToptionsForm(std::string settingsPath, UserMessages& messages)
    : path_(std::move(settingsPath)), messages_(messages)
{
    fill();
}

void ToptionsForm::fill()
{
    store::TIniFile ini = store::settings::open(path_);

    general.maxTaskCount = keys::maxTaskCountDialog.defInt();
    general.passProtect = store::readBool(ini, keys::passProtect);
    general.password.clear();
    general.passwordAgain.clear();
    general.hinthindPause = spinValue(ini, keys::hinthindPause);
    general.getEmail = store::readBool(ini, keys::getEmail);
    general.emailFromName = store::readBool(ini, keys::emailFromName);
    general.autoAll = store::readBool(ini, keys::autoall);

    proxy.useProxy = store::readBool(ini, keys::useProxy);
    if (proxy.useProxy) {
        proxy.server = toUi(store::readString(ini, keys::proxyServer));
        proxy.port = toUi(store::readString(ini, keys::proxyPortText));
        proxy.user = toUi(store::readString(ini, keys::proxyUser));
        proxy.password = toUi(store::readString(ini, keys::proxyPassword));
    }

    fetching.searchDep = keys::searchDep.defInt();
    fetching.timeout = spinValue(ini, keys::timeoutDialog);
    fetching.threadCount = spinValue(ini, keys::threadCountDialog);
    fetching.tryCount = spinValue(ini, keys::tryCountDialog);

    sound.useMusic = store::readBool(ini, keys::useMusic);
    // A list selection outside the items selects nothing.
    const int index = store::readInt(ini, keys::musicIndex);
    sound.musicIndex = (index >= keys::musicIndex.min && index <= keys::musicIndex.max) ? index : -1;
    sound.musicFile = toUi(store::readString(ini, keys::musicFile));

    other.minHide = store::readBool(ini, keys::minHide);
    other.bringToTop = store::readBool(ini, keys::bringtotop);
    other.quitSaveLog = store::readBool(ini, keys::quitSaveLog);
    other.logFile = toUi(ini.ReadString(keys::logFile.section, keys::logFile.key,
                                        store::settings::defaultLogFile(path_)));
    other.mailDepth = toUi(store::readString(ini, keys::XbMailDepth));
    other.mailOne = store::readBool(ini, keys::XBMailOne);

    currentPage = 0;
}

bool ToptionsForm::acceptsMailDepthKey(char32_t key)
{
    return (key >= U'0' && key <= U'9') || key == U'\b';
}

bool ToptionsForm::checkInput()
{
    if (proxy.useProxy) {
        if (text::trimView(proxy.server).empty() || text::trimView(proxy.port).empty()) {
            messages_.warning("代理设置不完整");
            return false;
        }
        int port = 0;
        if (!text::parseInt32(proxy.port, port, true)) {
            messages_.warning("端口请输入数字");
            return false;
        }
    }
    int depth = 0;
    if (!text::parseInt32(other.mailDepth, depth, true)) {
        messages_.warning("修补Email的搜索线程应该为1-3之间的数字");
        return false;
    }
    if (depth < keys::XbMailDepth.min || depth > keys::XbMailDepth.max) {
        messages_.warning("修补Email的搜索线程在1和3之间");
        return false;
    }
    return true;
}

void ToptionsForm::writeAll()
{
    // Each write reaches the file at once (whole file replaced atomically).
    store::TIniFile ini = store::settings::open(path_);
    store::writeInt(ini, keys::maxTaskCountDialog, general.maxTaskCount);
    store::writeInt(ini, keys::searchDep, fetching.searchDep);
    store::writeInt(ini, keys::timeoutDialog, fetching.timeout);
    store::writeInt(ini, keys::threadCountDialog, fetching.threadCount);
    store::writeInt(ini, keys::tryCountDialog, fetching.tryCount);
    store::writeBool(ini, keys::minHide, other.minHide);
    store::writeBool(ini, keys::bringtotop, other.bringToTop);
    store::writeBool(ini, keys::quitSaveLog, other.quitSaveLog);
    store::writeString(ini, keys::logFile, toStore(other.logFile));
    store::writeString(ini, keys::XbMailDepth, toStore(other.mailDepth));
    store::writeBool(ini, keys::XBMailOne, other.mailOne);
    store::writeBool(ini, keys::passProtect, general.passProtect);
    store::writeString(ini, keys::password, store::settings::kEmptyPasswordStored);
    store::writeInt(ini, keys::hinthindPause, general.hinthindPause);
    store::writeBool(ini, keys::getEmail, general.getEmail);
    store::writeBool(ini, keys::emailFromName, general.emailFromName);
    store::writeBool(ini, keys::autoall, general.autoAll);
    store::writeBool(ini, keys::useProxy, proxy.useProxy);
    store::writeString(ini, keys::proxyServer, toStore(proxy.server));
    store::writeString(ini, keys::proxyPortText, toStore(proxy.port));
    store::writeString(ini, keys::proxyUser, toStore(proxy.user));
    store::writeString(ini, keys::proxyPassword, toStore(proxy.password));
    store::writeBool(ini, keys::useMusic, sound.useMusic);
    store::writeInt(ini, keys::musicIndex, sound.musicIndex);
    store::writeString(ini, keys::musicFile, toStore(sound.musicFile));
}

bool ToptionsForm::save()
{
    if (!checkInput())
        return false;
    try {
        writeAll();
    } catch (const std::exception&) {
        // A failed write is a failed save: the user must not believe it was kept.
        messages_.warning("保存失败！");
        return false;
    }
    appliedToolTipMs_ = static_cast<int>(
        std::clamp<long long>(static_cast<long long>(general.hinthindPause) * 1000, 0, INT_MAX));
    return true;
}

bool ToptionsForm::ok()
{
    if (!save())
        return false;
    closed_ = true;
    return true;
}

bool ToptionsForm::apply()
{
    if (!save())
        return false;
    messages_.information("保存完毕");
    return true;
}

void ToptionsForm::cancel() { closed_ = true; }

bool ToptionsForm::testConnection()
{
    net::HttpClient client;
    // The test waits as long as a fetch would with the time-out in the dialog.
    const long timeoutMs = static_cast<long>(fetching.timeout) * 1000L;
    client.setConnectTimeoutMs(timeoutMs);
    client.setReadTimeoutMs(timeoutMs);
    if (proxy.useProxy) {
        net::ProxySettings p;
        p.host = toStore(proxy.server);
        if (!text::parseInt32(proxy.port, p.port, true))
            p.port = keys::proxyPort.defInt();
        if (!proxy.user.empty()) {
            p.user = toStore(proxy.user);
            p.password = toStore(proxy.password);
            p.basicAuth = true;
        }
        client.setProxy(p);
    } else {
        client.clearProxy();
    }
    bool ok = false;
    try {
        ok = client.get(text::trim(toStore(proxy.testAddress))).success();
    } catch (const std::exception&) {
        ok = false;
    }
    if (ok) {
        messages_.information("网络连接测试成功");
        return true;
    }
    client.disconnect();
    messages_.warning("网络不通");
    return false;
}

} // namespace tarvimo::app
