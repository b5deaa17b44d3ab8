// Shared pieces of the output dialogs' widget tests: finding controls by component name,
// the caption of a control, a desktop that answers file dialogs from a list, acting on a
// dialog that another opened with exec(), and the settings file's section DB.
#pragma once

#include "base/text.h"
#include "output/ui/desktop.h"
#include "support/temp_dir.h"

#include <QApplication>
#include <QLabel>
#include <QTest>
#include <QTimer>

#include <algorithm>
#include <deque>
#include <functional>
#include <optional>
#include <stdexcept>
#include <string>

namespace tarvimo::test {

inline QString q(const char* utf8) { return QString::fromUtf8(utf8); }

// The control of that component name; a test that looks for a missing one fails.
template <typename T>
T* control(const QObject* parent, const char* name)
{
    T* w = parent->findChild<T*>(QString::fromLatin1(name));
    if (!w)
        throw std::runtime_error(std::string("no control named ") + name);
    return w;
}

// The text of the label that captions a control (whose buddy it is).
inline QString captionOf(QWidget* w)
{
    for (QLabel* label : w->window()->findChildren<QLabel*>())
        if (label->buddy() == w)
            return label->text();
    return QStringLiteral("<no caption>");
}

// Answers the file dialogs from 'answers' in turn (nothing when they run out) and records
// what was asked and opened.
class RecordedDesktop : public output::ui::Desktop {
public:
    std::optional<QString> saveFileName(QWidget*, const QString& filter) override { return answer("save", filter); }
    std::optional<QString> openFileName(QWidget*, const QString& filter) override { return answer("open", filter); }
    bool openFile(const QString& path) override
    {
        opened << path;
        return true;
    }
    std::deque<std::optional<QString>> answers;
    QStringList asked;  // "save|filter", "open|filter"
    QStringList opened;

private:
    std::optional<QString> answer(const char* kind, const QString& filter)
    {
        asked << QString::fromLatin1(kind) + "|" + filter;
        if (answers.empty())
            return std::nullopt;
        auto a = answers.front();
        answers.pop_front();
        return a;
    }
};

// Acts on the first dialog of type D that runs modally (another dialog's exec() holds the
// test's call until it ends), once it is on the screen. Gives up after 10 seconds.
template <typename D>
class OnModal {
public:
    explicit OnModal(std::function<void(D&)> act) : act_(std::move(act))
    {
        timer_.setInterval(10);
        QObject::connect(&timer_, &QTimer::timeout, [this] {
            if (++ticks_ > 1000) {
                timer_.stop();
                return;
            }
            auto* d = qobject_cast<D*>(QApplication::activeModalWidget());
            if (!d || !d->isVisible())
                return;
            timer_.stop();
            seen = true;
            act_(*d);
        });
        timer_.start();
    }
    bool seen = false;

private:
    std::function<void(D&)> act_;
    QTimer timer_;
    int ticks_ = 0;
};

// A settings file as the program keeps it: GBK, lines ended by CR LF.
inline void writeSettings(const std::string& path, const std::string& utf8Lines)
{
    std::string crlf;
    for (char c : utf8Lines) {
        if (c == '\n')
            crlf += '\r';
        crlf += c;
    }
    writeFile(path, text::utf8ToGbk(crlf));
}

// Clicks a control as a person does (it must be visible): near its left end, where a
// check box stretched by its layout still has its box and text.
inline void click(QWidget* w)
{
    QTest::mouseClick(w, Qt::LeftButton, {}, QPoint(std::min(8, w->width() / 2), w->height() / 2));
}

// A double click as the platform delivers it: press, release, double click, release.
inline void doubleClick(QWidget* w, QPoint at)
{
    QTest::mouseClick(w, Qt::LeftButton, {}, at);
    QTest::mouseDClick(w, Qt::LeftButton, {}, at);
    QTest::mouseRelease(w, Qt::LeftButton, {}, at);
}

} // namespace tarvimo::test
