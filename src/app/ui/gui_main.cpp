// tarvimo: the desktop program.
//
//   tarvimo [--home DIR] [--search KEYWORD]
//
// One program per home: a second start on the same home ends at once. --search opens the
// keyword search with the keyword filled in and starts it, so a first look shows a search
// at work.
#include "app/desktop_start.h"
#include "app/ui/desktop_automation.h"
#include "app/ui/main_window.h"
#include "base/home.h"
#include "directory/ui/search_dialog.h"
#include "run/qt_text.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDialog>
#include <QFileInfo>
#include <QIcon>
#include <QLibraryInfo>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <QStandardPaths>
#include <QStyleFactory>
#include <QTimer>
#include <QTranslator>

#include <cstdio>
#include <filesystem>

using namespace tarvimo;

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName("tarvimo");
    QApplication::setApplicationVersion(TARVIMO_VERSION);
    QApplication::setStyle(QStyleFactory::create("Fusion"));

    QCommandLineParser parser;
    parser.setApplicationDescription(q("Tarvimo 企业名录采集"));
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addOption({"home", "The Tarvimo home folder (task library, settings).", "DIR"});
    parser.addOption({"search", "Start a keyword search for KEYWORD.", "KEYWORD"});
    parser.process(app);
    if (!parser.positionalArguments().isEmpty()) {
        std::fprintf(stderr, "tarvimo: unexpected argument %s\n", qPrintable(parser.positionalArguments().first()));
        return 2;
    }

    const std::string home = home::resolve(parser.value("home").toStdString());
    std::error_code ec;
    std::filesystem::create_directories(home::taskFolder(home), ec);
    if (ec) {
        std::fprintf(stderr, "tarvimo: cannot make the home folder %s: %s\n", home.c_str(), ec.message().c_str());
        return 1;
    }
    const app::SingleInstance instance(QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation).toStdString(),
                                       home);
    if (instance.anotherRunning())
        return 0;

    // Qt's own texts (standard buttons, file dialogs) in Chinese, like the program's.
    QTranslator qtTexts;
    if (qtTexts.load(QLocale(QLocale::Chinese, QLocale::China), "qtbase", "_",
                     QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QApplication::installTranslator(&qtTexts);

    const QString programDir = QApplication::applicationDirPath();
    const QString icon = programDir + "/../share/icons/hicolor/scalable/apps/tarvimo.svg";
    QApplication::setWindowIcon(QFileInfo::exists(icon) ? QIcon(icon) : QIcon::fromTheme("tarvimo"));

    app::ui::TmainForm::Hooks hooks;
    const QString keyword = parser.value("search");
    app::ui::TmainForm* window = nullptr;
    app::ui::DesktopAutomation* automation = nullptr;
    hooks.shown = [&automation] { automation->scanScheduledTasks(); };
    if (!keyword.isEmpty()) {
        // The search dialog shows with the keyword typed in and is confirmed a moment later.
        hooks.shown = [&window, &automation, keyword] {
            automation->scanScheduledTasks();
            QTimer::singleShot(300, window, [keyword] {
                for (QWidget* w : QApplication::topLevelWidgets()) {
                    if (auto* d = qobject_cast<directory::ui::SearchDialog*>(w); d && d->isVisible()) {
                        d->keyword()->setText(keyword);
                        QTimer::singleShot(800, d, [d] { d->bitBtn1()->click(); });
                    }
                }
            });
            window->openSearchWizard(false);
        };
    }
    app::ui::TmainForm::Options options;
    options.programDir = programDir.toStdString();
    app::ui::TmainForm main(engine::Environment::forHome(home), options, hooks);
    window = &main;
    automation = new app::ui::DesktopAutomation(main);  // a child of the window
    main.show();
    return QApplication::exec();
}
