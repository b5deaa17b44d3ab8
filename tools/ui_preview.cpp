// tarvimo-ui-preview: opens one window of the program on its own, with a throw-away home,
// so a developer can look at it (and scripts/screenshots.sh can photograph it in a real X
// server). Not installed.
//
//   tarvimo-ui-preview WINDOW [--busy | --empty-ok] [--grab FILE]
//
// WINDOW: search (the multi-site search dialog) or search-single (the mobile-number one).
// --busy shows the dialog as it looks while its tasks are being made; --empty-ok presses
// OK with no keyword, so the dialog's warning box shows. --grab FILE saves the whole screen
// as PNG half a second after the window is up, then quits.
#include "directory/ui/search_dialog.h"

#include "base/files.h"

#include <QApplication>
#include <QDir>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPixmap>
#include <QPushButton>
#include <QScreen>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>
#include <string>

namespace {

class NoTabs : public tarvimo::directory::RunTabs {
public:
    int pageCount() const override { return 1; }
    std::vector<std::string> captions() const override { return {}; }
    void startTaskByName(const std::string&, const std::string&, bool) override {}
};

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationDisplayName("Tarvimo");
    const QStringList args = QApplication::arguments();
    if (args.size() < 2) {
        std::fprintf(stderr, "usage: tarvimo-ui-preview search|search-single [--busy] [--grab FILE]\n");
        return 2;
    }
    const QString window = args[1];
    const bool busy = args.contains("--busy");
    const bool emptyOk = args.contains("--empty-ok");
    const int grabAt = static_cast<int>(args.indexOf("--grab"));
    const QString grabFile = grabAt > 0 && grabAt + 1 < args.size() ? args[grabAt + 1] : QString();

    QTemporaryDir home;
    auto env = tarvimo::engine::Environment::forHome(home.path().toStdString());
    NoTabs tabs;
    using tarvimo::directory::ui::SearchDialog;
    if (window != "search" && window != "search-single") {
        std::fprintf(stderr, "tarvimo-ui-preview: unknown window %s\n", qPrintable(window));
        return 2;
    }
    SearchDialog dialog(window == "search" ? SearchDialog::Kind::MultiSite : SearchDialog::Kind::MobileNumbers, tabs,
                        env);
    if (!emptyOk)
        dialog.keyword()->setText(QString::fromUtf8("液压 机械"));
    if (busy) {
        dialog.bitBtn1()->setEnabled(false);
        dialog.bitBtn2()->setEnabled(false);
        dialog.currentMsg()->show();
    }
    dialog.show();
    if (emptyOk)
        QTimer::singleShot(100, &dialog, [&] { dialog.bitBtn1()->click(); });
    if (!grabFile.isEmpty()) {
        QTimer::singleShot(500, &app, [&] {
            const QPixmap shot = QGuiApplication::primaryScreen()->grabWindow(0);
            const bool saved = shot.save(grabFile, "PNG");
            std::fprintf(stderr, "%s %s\n", saved ? "saved" : "could not save", qPrintable(grabFile));
            app.exit(saved ? 0 : 1);
        });
    }
    return app.exec();
}
