#include "net/internet_control.h"

#include "net/http_client.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QThread>

#include <thread>

namespace tarvimo::net {

std::string TinternetControl::get(std::string_view url) const
{
    auto fetch = [&]() -> std::string {
        try {
            net::HttpClient client;
            client.setUserAgent(net::kUserAgent);
            client.setFollowRedirects(true);
            client.setConnectTimeoutMs(timeoutMs_);
            client.setReadTimeoutMs(timeoutMs_);
            net::HttpResult r = client.get(url);
            return r.success() ? std::move(r.body) : std::string();
        } catch (const std::exception&) {
            return {};
        }
    };
    QCoreApplication* app = QCoreApplication::instance();
    if (!app || QThread::currentThread() != app->thread())
        return fetch();
    // On the main thread: keep the event loop turning while the request runs.
    std::string body;
    QEventLoop loop;
    std::thread worker([&] {
        body = fetch();
        // A posted quit is kept until exec() runs, so an early finish is not missed.
        QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
    });
    loop.exec();
    worker.join();
    return body;
}

} // namespace tarvimo::net
