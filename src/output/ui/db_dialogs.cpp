#include "output/ui/db_dialogs.h"

#include "output/ui/form_parts.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QListWidget>
#include <QVBoxLayout>

#include <array>

namespace tarvimo::output::ui {

namespace {

// An item's ODBC name and whether it is a data source (a driver otherwise); headings have
// neither.
constexpr int kNameRole = Qt::UserRole;
constexpr int kIsDataSourceRole = Qt::UserRole + 1;

QHBoxLayout* buttonRow(std::initializer_list<QPushButton*> left, std::initializer_list<QPushButton*> right)
{
    auto* row = new QHBoxLayout;
    for (QPushButton* b : left)
        row->addWidget(b);
    row->addStretch();
    for (QPushButton* b : right)
        row->addWidget(b);
    return row;
}

// The Oracle and MySQL dialogs' frame: caption, heading, the boxes, the three buttons.
QVBoxLayout* connectDialogFrame(QDialog* dialog, QFormLayout* boxes, QPushButton*& test, QPushButton*& save,
                                QPushButton*& close)
{
    dialog->setWindowTitle(q("设置数据库"));
    test = makeButton(dialog, "Button1", "测试连接...");
    save = makeButton(dialog, "Button2", "保存");
    save->setDefault(true);
    close = makeButton(dialog, "Button3", "关闭");
    auto* layout = new QVBoxLayout(dialog);
    layout->addWidget(makeHeading(dialog, q("数据库连接设置")));
    layout->addSpacing(6);
    layout->addLayout(boxes);
    layout->addSpacing(6);
    layout->addLayout(buttonRow({test}, {save, close}));
    dialog->setMinimumWidth(340);
    return layout;
}

} // namespace

// ---- DbSetDialog ---------------------------------------------------------------------

DbSetDialog::DbSetDialog(std::string settingsPath, QWidget* parent, Services services)
    : OutputDialog(parent, services), settingsPath_(std::move(settingsPath))
{
    TDBsetForm::Hooks hooks;
    hooks.editConnectionString = [this](int kind) { return ConnectionStringDialog::edit(this, kind, this->services()); };
    hooks.openOracle = [this] {
        OracleDialog d(settingsPath_, this, this->services());
        return d.exec() == QDialog::Accepted;
    };
    hooks.openMySql = [this] {
        MySqlDialog d(settingsPath_, this, this->services());
        return d.exec() == QDialog::Accepted;
    };
    form_ = std::make_unique<TDBsetForm>(settingsPath_, messages(), std::move(hooks));

    setObjectName("TDBsetForm");
    setWindowTitle(q("配置数据库连接"));
    kinds_ = new QComboBox(this);
    kinds_->setObjectName("ComboBox1");
    for (const char* name : kDbKindNames)
        kinds_->addItem(QString::fromLatin1(name));
    script_ = makeEdit(this, "Edit1");
    script_->setReadOnly(true);
    auto* browse = makeButton(this, "Button1", "...");
    browse->setFixedWidth(browse->fontMetrics().horizontalAdvance(QStringLiteral("....")) + 24);
    auto* test = makeButton(this, "Button2", "连接测试");
    auto* ok = makeButton(this, "BitBtn1", "确定");
    ok->setDefault(true);
    auto* cancel = makeButton(this, "BitBtn2", "取消");
    auto* asDefault = new QCheckBox(q("设置为默认连接"), this);
    asDefault->setObjectName("CheckBox1");
    asDefault->setChecked(true);

    auto* scriptRow = new QHBoxLayout;
    scriptRow->addWidget(script_, 1);
    scriptRow->addWidget(browse);
    auto* form = new QFormLayout;
    form->addRow(captionFor(kinds_, "数据库类型："), kinds_);
    form->addRow(captionFor(script_, "连接脚本 ："), scriptRow);
    form->addRow(QString(), asDefault);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addSpacing(6);
    layout->addLayout(buttonRow({test}, {ok, cancel}));
    setMinimumWidth(520);

    showForm();
    connect(kinds_, &QComboBox::currentIndexChanged, this, [this](int index) { form_->kind = index; });
    connect(browse, &QPushButton::clicked, this, [this] {
        if (form_->browse())
            accept();
        else
            showForm();
    });
    connect(test, &QPushButton::clicked, this, [this] {
        if (form_->test())
            accept();
    });
    connect(ok, &QPushButton::clicked, this, [this] {
        form_->ok();
        accept();
    });
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
}

DbSetDialog::~DbSetDialog() { detachChildren(); }

void DbSetDialog::showForm()
{
    if (form_->kind >= 0 && form_->kind < kinds_->count())
        kinds_->setCurrentIndex(form_->kind);
    showText(script_, fromGbk(form_->connectionString));
    script_->setCursorPosition(0);
}

// ---- Oracle and MySQL ----------------------------------------------------------------

namespace {

// The Oracle and MySQL dialogs: one box per value of the form (the third masked), and
// "测试连接..." / "保存" / "关闭" working on what was typed.
template <typename Form, std::size_t N>
void buildConnectForm(QDialog* dialog, Form& form, const char* const (&captions)[N], const std::array<std::string*, N>& values,
                      QLineEdit* (&edits)[N])
{
    auto* boxes = new QFormLayout;
    for (std::size_t i = 0; i < N; ++i) {
        edits[i] = makeEdit(dialog, ("Edit" + std::to_string(i + 1)).c_str());
        edits[i]->setText(fromGbk(*values[i]));
        boxes->addRow(captionFor(edits[i], captions[i]), edits[i]);
    }
    edits[2]->setEchoMode(QLineEdit::Password);
    const auto take = [values, &edits] {
        for (std::size_t i = 0; i < N; ++i)
            *values[i] = toGbk(edits[i]->text());
    };
    QPushButton *test, *save, *close;
    connectDialogFrame(dialog, boxes, test, save, close);
    QObject::connect(test, &QPushButton::clicked, dialog, [take, &form] {
        take();
        form.test();
    });
    QObject::connect(save, &QPushButton::clicked, dialog, [take, &form, dialog] {
        take();
        if (form.save())
            dialog->accept();
    });
    QObject::connect(close, &QPushButton::clicked, dialog, &QDialog::reject);
}

} // namespace

OracleDialog::OracleDialog(std::string settingsPath, QWidget* parent, Services services)
    : OutputDialog(parent, services), form_(std::move(settingsPath), messages())
{
    setObjectName("TDBconnectFormOracle");
    const char* const captions[] = {"服务名:", "用户名:", "密码:"};
    buildConnectForm(this, form_, captions, {&form_.serverName, &form_.userName, &form_.password}, edits_);
}

OracleDialog::~OracleDialog() { detachChildren(); }

MySqlDialog::MySqlDialog(std::string settingsPath, QWidget* parent, Services services)
    : OutputDialog(parent, services), form_(std::move(settingsPath), messages())
{
    setObjectName("TDBconnectForm");
    const char* const captions[] = {"服务器:", "用户名:", "密码:", "数据库:", "端口:"};
    buildConnectForm(this, form_, captions,
                     {&form_.serverName, &form_.userName, &form_.password, &form_.database, &form_.port}, edits_);
}

MySqlDialog::~MySqlDialog() { detachChildren(); }

// ---- ConnectionStringDialog ----------------------------------------------------------

ConnectionStringDialog::ConnectionStringDialog(int kind, OdbcSources sources, QWidget* parent, Services services)
    : OutputDialog(parent, services), kind_(kind)
{
    setObjectName("ConnectionStringDialog");
    setWindowTitle(q("数据链接属性"));
    shown_ = makeEdit(this, "connectionString");
    shown_->setReadOnly(true);
    ok_ = makeButton(this, "ok", "确定");
    ok_->setDefault(true);
    auto* cancel = makeButton(this, "cancel", "取消");
    auto* layout = new QVBoxLayout(this);
    auto* form = new QFormLayout;

    if (kind_ == kAccess) {
        file_ = makeEdit(this, "file");
        auto* browse = makeButton(this, "browse", "浏览...");
        auto* fileRow = new QHBoxLayout;
        fileRow->addWidget(file_, 1);
        fileRow->addWidget(browse);
        form->addRow(captionFor(file_, "数据库文件："), fileRow);
        connect(browse, &QPushButton::clicked, this, [this] {
            const auto chosen =
                desktop().openFileName(this, q("SQLite 数据库 (*.db *.db3 *.sqlite *.sqlite3 *.mdb);;所有文件 (*)"));
            if (chosen)
                file_->setText(*chosen);
        });
        connect(file_, &QLineEdit::textChanged, this, &ConnectionStringDialog::update);
    } else {
        sources_ = new QListWidget(this);
        sources_->setObjectName("sources");
        auto heading = [this](const char* utf8) {
            auto* item = new QListWidgetItem(q(utf8), sources_);
            QFont f = item->font();
            f.setBold(true);
            item->setFont(f);
            item->setFlags(Qt::NoItemFlags);
        };
        auto entries = [this](const std::vector<std::string>& names, bool dataSource) {
            if (names.empty())
                (new QListWidgetItem(q("    （无）"), sources_))->setFlags(Qt::NoItemFlags);
            for (const std::string& name : names) {
                auto* item = new QListWidgetItem(QStringLiteral("    ") + q(name), sources_);
                item->setData(kNameRole, q(name));
                item->setData(kIsDataSourceRole, dataSource);
            }
        };
        if (sources.dataSources.empty() && sources.drivers.empty()) {
            heading("（没有找到 ODBC 数据源或驱动程序）");
        } else {
            heading("ODBC 数据源");
            entries(sources.dataSources, true);
            heading("ODBC 驱动程序");
            entries(sources.drivers, false);
        }
        database_ = makeEdit(this, "database");
        user_ = makeEdit(this, "user");
        password_ = makeEdit(this, "password");
        password_->setEchoMode(QLineEdit::Password);
        layout->addWidget(captionFor(sources_, "选择数据源或驱动程序："));
        layout->addWidget(sources_, 1);
        form->addRow(captionFor(database_, "数据库："), database_);
        form->addRow(captionFor(user_, "用户名："), user_);
        form->addRow(captionFor(password_, "密码："), password_);
        connect(sources_, &QListWidget::currentItemChanged, this, &ConnectionStringDialog::update);
        for (QLineEdit* e : {database_, user_, password_})
            connect(e, &QLineEdit::textChanged, this, &ConnectionStringDialog::update);
    }
    form->addRow(captionFor(shown_, "连接字符串："), shown_);
    layout->addLayout(form);
    layout->addSpacing(6);
    layout->addLayout(buttonRow({}, {ok_, cancel}));
    setMinimumWidth(480);
    update();
    connect(ok_, &QPushButton::clicked, this, &QDialog::accept);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
}

void ConnectionStringDialog::update()
{
    result_.clear();
    if (kind_ == kAccess) {
        const QString file = file_->text().trimmed();
        if (!file.isEmpty())
            result_ = accessConnectionString(toGbk(file));
    } else if (const QListWidgetItem* item = sources_->currentItem(); item && item->data(kNameRole).isValid()) {
        // unixODBC's names and the typed values are UTF-8; the models keep the string in GBK.
        result_ = text::utf8ToGbk(odbcConnectionString(
            item->data(kNameRole).toString().toStdString(), item->data(kIsDataSourceRole).toBool(),
            database_->text().toStdString(), user_->text().toStdString(), password_->text().toStdString()));
    }
    showText(shown_, fromGbk(result_));
    shown_->setCursorPosition(0);
    ok_->setEnabled(!result_.empty());
}

std::optional<std::string> ConnectionStringDialog::edit(QWidget* parent, int kind, Services services)
{
    ConnectionStringDialog d(kind, kind == kAccess ? OdbcSources{} : listOdbcSources(), parent, services);
    if (d.exec() != QDialog::Accepted)
        return std::nullopt;
    return d.connectionString();
}

int execDbSetDialog(QWidget* parent, const std::string& settingsPath)
{
    DbSetDialog d(settingsPath, parent);
    return d.exec();
}

} // namespace tarvimo::output::ui
