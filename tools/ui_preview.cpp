// tarvimo-ui-preview: opens one window of the program on its own, with a throw-away home,
// so a developer can look at it (and scripts/screenshots.sh can photograph it in a real X
// server). Not installed.
//
//   tarvimo-ui-preview WINDOW [--busy | --empty-ok] [--page N] [--grab FILE]
//
// WINDOW: search (the multi-site search dialog) or search-single (the mobile-number one);
// the output windows: export-text and export-db (the export dialog to a text file and to a
// database, the latter with a SQLite file's tables listed), dbset (the connection dialog),
// oracle, mysql, connstr (the connection-string editor for ODBC), mapping (the column
// mapping with its drop-down open), query (the query dialog showing a table) and progress
// (the export's progress window); options (the options dialog with a proxy stored, on tab
// N counted from 0 with --page N), about (the about box), category-new and category-move
// (the category dialog creating below, and moving, a user category), category-props and
// category-root (the properties of a user category and of a reserved one), autorun (the
// auto-run dialog listing three tasks set to run at start). --busy shows the search dialog
// as it looks while its tasks are being made, the export dialog with its busy label;
// --empty-ok presses OK with no keyword, so the search dialog's warning box shows. --grab
// FILE saves the whole screen as PNG half a second after the window is up, then quits.
#include "app/ui/about_dialog.h"
#include "app/ui/category_dialogs.h"
#include "app/ui/options_dialog.h"
#include "automation/ui/auto_task_form.h"
#include "directory/ui/search_dialog.h"
#include "output/ui/data_query_dialog.h"
#include "output/ui/db_dialogs.h"
#include "output/ui/db_interface_dialog.h"
#include "output/ui/export_dialog.h"
#include "output/ui/progress_window.h"

#include "base/files.h"
#include "base/text.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QListWidget>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTableWidget>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPixmap>
#include <QPushButton>
#include <QScreen>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>
#include <memory>
#include <string>

namespace {

class NoTabs : public tarvimo::directory::RunTabs {
public:
    int pageCount() const override { return 1; }
    std::vector<std::string> captions() const override { return {}; }
    void startTaskByName(const std::string&, const std::string&, bool) override {}
};

namespace output = tarvimo::output;
namespace oui = tarvimo::output::ui;
using tarvimo::text::gbk;

// A grid of a few company rows, as a run leaves it.
void fillGrid(tarvimo::run::ResultGrid& grid)
{
    grid.setTitles({gbk("序号"), gbk("公司名称"), gbk("联系人"), gbk("手机号"), gbk("地址")}, 5);
    grid.appendRow({"1", gbk("华东液压机械有限公司"), gbk("张三"), "13900000001", gbk("上海市浦东新区")});
    grid.appendRow({"2", gbk("北方泵业制造厂"), gbk("李四"), "13900000002", gbk("天津市西青区")});
    grid.appendRow({"3", gbk("南山精密机械"), gbk("王五"), "13900000003", gbk("深圳市南山区")});
}

// A SQLite file with two tables, the first with rows, named by section DB of the settings.
void makeDatabase(const std::string& home, const std::string& settings)
{
    const std::string file = home + "/rows.db";
    {
        QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "preview");
        db.setDatabaseName(QString::fromStdString(file));
        db.open();
        QSqlQuery(db).exec("create table company (name varchar(255), contact varchar(255), phone varchar(255))");
        QSqlQuery(db).exec(QString::fromUtf8("insert into company values ('华东液压机械有限公司', '张三', '13900000001')"));
        QSqlQuery(db).exec(QString::fromUtf8("insert into company values ('北方泵业制造厂', '李四', '13900000002')"));
        QSqlQuery(db).exec("create table archive (name varchar(255))");
        db.close();
    }
    QSqlDatabase::removeDatabase("preview");
    tarvimo::files::writeAtomic(settings, "[DB]\r\nDbType=1\r\nDBConnectStr=Data Source=" + file + "\r\n");
}

// The output windows; null for a name that is none of them.
std::unique_ptr<QWidget> outputWindow(const QString& window, const std::string& home, tarvimo::run::ResultGrid& grid,
                                      bool busy)
{
    const std::string settings = home + "/DefaultSet.ini";
    fillGrid(grid);
    if (window == "export-text" || window == "export-db") {
        const bool db = window == "export-db";
        if (db)
            makeDatabase(home, settings);
        auto d = std::make_unique<oui::ExportDialog>(grid, db ? output::kDatabase : output::kTextFile, settings);
        if (db) {
            d->findChild<QPushButton*>("Button5")->click();
            auto* tables = d->findChild<QListWidget*>("CheckListBox1");
            if (tables->count() > 0)
                tables->setCurrentRow(0);
        }
        if (busy) {
            // After the dialog's first tick, which shows the model's idle state.
            auto* raw = d.get();
            QTimer::singleShot(100, raw, [raw] {
                raw->findChild<QLabel*>("qsh")->show();
                raw->findChild<QPushButton*>("saveok")->setEnabled(false);
            });
        }
        return d;
    }
    if (window == "dbset") {
        makeDatabase(home, settings);
        return std::make_unique<oui::DbSetDialog>(settings);
    }
    if (window == "oracle")
        return std::make_unique<oui::OracleDialog>(settings);
    if (window == "mysql")
        return std::make_unique<oui::MySqlDialog>(settings);
    if (window == "connstr") {
        auto d = std::make_unique<oui::ConnectionStringDialog>(output::kSqlServer, output::listOdbcSources());
        auto* sources = d->findChild<QListWidget*>("sources");
        for (int i = 0; i < sources->count(); ++i)
            if (sources->item(i)->flags() & Qt::ItemIsSelectable) {
                sources->setCurrentRow(i);
                break;
            }
        d->findChild<QLineEdit*>("database")->setText(QString::fromStdString(home + "/rows.db"));
        return d;
    }
    if (window == "mapping") {
        static output::ColumnMapping mapping;
        auto d = std::make_unique<oui::DbInterfaceDialog>("company", std::vector<std::string>{"name", "contact", "phone"},
                                                          mapping, &grid);
        auto* raw = d.get();
        // Two columns chosen as a person chooses them, then the drop-down open on a third.
        QTimer::singleShot(100, raw, [raw] {
            auto* cells = raw->findChild<QTableWidget*>("StringGrid1");
            auto* drop = raw->findChild<QComboBox*>("ComboBox1");
            for (auto [row, entry] : {std::pair{1, 1}, std::pair{2, 2}}) {
                cells->setCurrentCell(row, 2);
                drop->setCurrentIndex(entry);
                emit drop->activated(entry);
            }
            cells->setCurrentCell(3, 2);
        });
        return d;
    }
    if (window == "query") {
        makeDatabase(home, settings);
        auto d = std::make_unique<oui::DataQueryDialog>(settings);
        auto* raw = d.get();
        QTimer::singleShot(100, raw, [raw] {
            raw->findChild<QPushButton*>("Button1")->click();
            auto* tables = raw->findChild<QListWidget*>("ListBox1");
            if (tables->count() > 0)
                emit tables->itemDoubleClicked(tables->item(0));
        });
        return d;
    }
    if (window == "progress") {
        auto w = std::make_unique<oui::ProgressWindow>();
        auto* raw = w.get();
        QTimer::singleShot(0, raw, [raw] { raw->progress(40, 100); });
        return w;
    }
    return nullptr;
}

// The desktop program's own dialogs; null for a name that is none of them.
std::unique_ptr<QWidget> appWindow(const QString& window, const std::string& home, int page)
{
    if (window == "options") {
        const std::string settings = home + "/DefaultSet.ini";
        tarvimo::files::writeAtomic(settings, "[proxy]\r\nUseProxy=1\r\nservername=127.0.0.1\r\nport=8080\r\n"
                                              "username=tester\r\npassword=secret\r\n");
        auto d = std::make_unique<tarvimo::app::ui::OptionsDialog>(settings);
        d->findChild<QTabWidget*>("PageControl1")->setCurrentIndex(page);
        return d;
    }
    if (window == "about")
        return std::make_unique<tarvimo::app::ui::AboutDialog>();
    if (window == "autorun") {
        // Three tasks set to run at start; the preview starts nothing.
        struct NoRuns : tarvimo::automation::RunHost {
            tarvimo::automation::HostRun startTask(const std::string&) override { return {}; }
            tarvimo::automation::HostRun runOf(const std::string&) const override { return {}; }
        };
        static NoRuns host;
        tarvimo::files::makeDirs(home + "/Task");
        const char* tasks[][3] = {{"机械 企业名录", "3", "30"}, {"液压泵 手机号", "0", "1"}, {"阀门 华东", "1", "120"}};
        for (const auto& t : tasks)
            tarvimo::files::writeAtomic(home + "/Task/" + t[0] + ".tak",
                                        "[schedule]\r\nautotask=1\r\nautorunsystem=1\r\nautoruncount=" + std::string(t[1]) +
                                            "\r\nautorunPauseTime=" + t[2] + "\r\n");
        static tarvimo::automation::AutomaticRuns runs(tarvimo::engine::Environment::forHome(home), host);
        return std::make_unique<tarvimo::automation::ui::TautoTaskForm>(runs, home);
    }
    if (window.startsWith("category-")) {
        // A library with two user categories, the second below the first.
        static tarvimo::StderrMessages said;
        static tarvimo::app::CategoryStore store(home + "/DefaultCDB.cdb", "tarvimo");
        store.load();
        store.create("0002", gbk("机械"), gbk("机械类企业"));
        store.create("0005", gbk("液压泵"), "");
        using tarvimo::app::ui::TnewClassForm;
        if (window == "category-new")
            return std::make_unique<TnewClassForm>(store, TnewClassForm::Mode::Create, "0005", said);
        if (window == "category-move")
            return std::make_unique<TnewClassForm>(store, TnewClassForm::Mode::Move, "0006", said);
        return std::make_unique<tarvimo::app::ui::TtreeUpdate>(store, window == "category-root" ? "0002" : "0005", said);
    }
    return nullptr;
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationDisplayName("Tarvimo");
    QApplication::setWindowIcon(QIcon(QStringLiteral(TARVIMO_ICON)));
    const QStringList args = QApplication::arguments();
    if (args.size() < 2) {
        std::fprintf(stderr, "usage: tarvimo-ui-preview search|search-single|export-text|export-db|dbset|oracle|mysql|"
                             "connstr|mapping|query|progress|options|about|category-new|category-move|category-props|\n"
                             "category-root|autorun [--busy|--empty-ok] [--page N] [--grab FILE]\n");
        return 2;
    }
    const QString window = args[1];
    const bool busy = args.contains("--busy");
    const bool emptyOk = args.contains("--empty-ok");
    const int pageAt = static_cast<int>(args.indexOf("--page"));
    const int page = pageAt > 0 && pageAt + 1 < args.size() ? args[pageAt + 1].toInt() : 0;
    const int grabAt = static_cast<int>(args.indexOf("--grab"));
    const QString grabFile = grabAt > 0 && grabAt + 1 < args.size() ? args[grabAt + 1] : QString();

    QTemporaryDir home;
    auto env = tarvimo::engine::Environment::forHome(home.path().toStdString());
    auto grab = [&] {
        if (grabFile.isEmpty())
            return;
        QTimer::singleShot(500, &app, [&] {
            const QPixmap shot = QGuiApplication::primaryScreen()->grabWindow(0);
            const bool saved = shot.save(grabFile, "PNG");
            std::fprintf(stderr, "%s %s\n", saved ? "saved" : "could not save", qPrintable(grabFile));
            app.exit(saved ? 0 : 1);
        });
    };
    if (std::unique_ptr<QWidget> own = appWindow(window, home.path().toStdString(), page)) {
        own->show();
        grab();
        return app.exec();
    }
    tarvimo::run::ResultGrid grid;
    if (std::unique_ptr<QWidget> output = outputWindow(window, home.path().toStdString(), grid, busy)) {
        if (window != "progress")
            output->show();
        grab();
        return app.exec();
    }
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
    grab();
    return app.exec();
}
