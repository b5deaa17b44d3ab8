#include "app/ui/options_dialog.h"

#include "output/ui/form_parts.h"
#include "run/qt_text.h"
#include "run/ui/message_boxes.h"
#include "store/settings.h"

#include <QApplication>
#include <QCheckBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QVBoxLayout>

namespace tarvimo::app::ui {

namespace keys = store::settings::keys;

// Passes the model's messages on, and takes the wait cursor of a running proxy test away
// first: a message box must not show a busy pointer.
class OptionsDialog::Messages : public UserMessages {
public:
    Messages(QWidget* owner, UserMessages* given)
    {
        if (!given) {
            boxes_ = std::make_unique<run::ui::MessageBoxes>(owner);
            given = boxes_.get();
        }
        target_ = given;
    }
    ~Messages() override { endWait(); }

    void beginWait()
    {
        if (!waiting_) {
            QApplication::setOverrideCursor(Qt::WaitCursor);
            waiting_ = true;
        }
    }
    void endWait()
    {
        if (waiting_) {
            QApplication::restoreOverrideCursor();
            waiting_ = false;
        }
    }

    void warning(std::string_view text) override
    {
        endWait();
        target_->warning(text);
    }
    void information(std::string_view text) override
    {
        endWait();
        target_->information(text);
    }
    bool question(std::string_view text) override
    {
        endWait();
        return target_->question(text);
    }

private:
    std::unique_ptr<run::ui::MessageBoxes> boxes_;
    UserMessages* target_ = nullptr;
    bool waiting_ = false;
};

namespace {

using output::ui::captionFor;
using output::ui::makeButton;
using output::ui::makeEdit;

QSpinBox* makeSpin(QWidget* parent, const char* name, const store::KeyDef& key)
{
    auto* s = new QSpinBox(parent);
    s->setObjectName(QString::fromLatin1(name));
    s->setRange(key.min, key.max);
    return s;
}

} // namespace

OptionsDialog::OptionsDialog(std::string settingsPath, QWidget* parent, UserMessages* messages)
    : QDialog(parent), messages_(std::make_unique<Messages>(this, messages)),
      form_(std::make_unique<ToptionsForm>(std::move(settingsPath), *messages_))
{
    setObjectName("ToptionsForm");
    setWindowTitle(q(ToptionsForm::kCaption));
    setModal(true);

    pages_ = new QTabWidget(this);
    pages_->setObjectName("PageControl1");
    // The hidden pages keep their values in the model, which saves them; they get no tab.
    for (const ToptionsForm::Page& page : ToptionsForm::kPages) {
        if (!page.visible)
            continue;
        QWidget* w = nullptr;
        if (page.caption == "常规")
            w = generalPage();
        else if (page.caption == "代理设置")
            w = proxyPage();
        else if (page.caption == "搜索设置")
            w = fetchingPage();
        if (w)
            pages_->addTab(w, q(page.caption));
    }

    auto* ok = makeButton(this, "ok", ToptionsForm::kOkButton);
    ok->setDefault(true);
    auto* apply = makeButton(this, "apply", ToptionsForm::kApplyButton);
    auto* cancel = makeButton(this, "cancel", ToptionsForm::kCancelButton);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(ok);
    buttons->addWidget(apply);
    buttons->addWidget(cancel);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(pages_, 1);
    layout->addLayout(buttons);
    setMinimumWidth(460);

    showForm();

    connect(useProxy_, &QCheckBox::toggled, this, [this](bool on) {
        form_->setUseProxy(on);
        showProxyBoxes();
    });
    connect(ok, &QPushButton::clicked, this, [this] {
        takeForm();
        if (form_->ok())
            accept();
    });
    connect(apply, &QPushButton::clicked, this, [this] {
        takeForm();
        form_->apply();
    });
    connect(cancel, &QPushButton::clicked, this, &OptionsDialog::reject);
}

// Cut the children's signals first: they outlive the model and the messages.
OptionsDialog::~OptionsDialog()
{
    for (QObject* child : findChildren<QObject*>())
        QObject::disconnect(child, nullptr, this, nullptr);
}

QWidget* OptionsDialog::generalPage()
{
    auto* page = new QWidget;
    page->setObjectName("TabSheet1");
    maxTaskCount_ = makeSpin(page, "maxTaskCount", keys::maxTaskCountDialog);
    maxTaskCount_->setEnabled(false);
    auto* taskRow = new QHBoxLayout;
    taskRow->addWidget(captionFor(maxTaskCount_, "最多同时运行的任务数"));
    taskRow->addWidget(maxTaskCount_);
    taskRow->addStretch();

    auto* autoSave = new QGroupBox(q("自动保存数据"), page);
    autoSave->setObjectName("autoSaveGroup");
    saveAll_ = new QRadioButton(q("保存全部数据"), autoSave);
    saveAll_->setObjectName("saveAll");
    mobileOnly_ = new QRadioButton(q("只保存手机号"), autoSave);
    mobileOnly_->setObjectName("mobileOnly");
    auto* choices = new QVBoxLayout(autoSave);
    choices->addWidget(saveAll_);
    choices->addWidget(mobileOnly_);

    auto* layout = new QVBoxLayout(page);
    layout->addLayout(taskRow);
    layout->addSpacing(6);
    layout->addWidget(autoSave);
    layout->addStretch();
    return page;
}

QWidget* OptionsDialog::proxyPage()
{
    auto* page = new QWidget;
    page->setObjectName("TabSheet2");
    useProxy_ = new QCheckBox(q("使用Http代理服务"), page);
    useProxy_->setObjectName("useProxy");
    server_ = makeEdit(page, "proxyServer");
    port_ = makeEdit(page, "proxyPort");
    user_ = makeEdit(page, "proxyUser");
    password_ = makeEdit(page, "proxyPassword");
    password_->setEchoMode(QLineEdit::Password);
    auto* boxes = new QFormLayout;
    boxes->addRow(captionFor(server_, "服务器："), server_);
    boxes->addRow(captionFor(port_, "端口："), port_);
    boxes->addRow(captionFor(user_, "用户名："), user_);
    boxes->addRow(captionFor(password_, "密码："), password_);

    testAddress_ = makeEdit(page, "testAddress");
    auto* test = makeButton(page, "proxyTest", ToptionsForm::kProxyTestButton);
    auto* testRow = new QHBoxLayout;
    testRow->addWidget(captionFor(testAddress_, "测试地址："));
    testRow->addWidget(testAddress_, 1);
    testRow->addWidget(test);

    auto* layout = new QVBoxLayout(page);
    layout->addWidget(useProxy_);
    layout->addLayout(boxes);
    layout->addSpacing(10);
    layout->addLayout(testRow);
    layout->addStretch();
    connect(test, &QPushButton::clicked, this, &OptionsDialog::testConnection);
    return page;
}

QWidget* OptionsDialog::fetchingPage()
{
    auto* page = new QWidget;
    page->setObjectName("TabSheet3");
    searchDep_ = makeSpin(page, "searchDep", keys::searchDep);
    searchDep_->setEnabled(false);
    searchDep_->setToolTip(q("不要轻易改动，通常为1即可"));
    timeout_ = makeSpin(page, "timeout", keys::timeoutDialog);
    threadCount_ = makeSpin(page, "threadCount", keys::threadCountDialog);
    tryCount_ = makeSpin(page, "tryCount", keys::tryCountDialog);
    auto* boxes = new QFormLayout;
    boxes->setFieldGrowthPolicy(QFormLayout::FieldsStayAtSizeHint);
    boxes->addRow(captionFor(searchDep_, "搜索深度："), searchDep_);
    boxes->addRow(captionFor(timeout_, "超时(秒)："), timeout_);
    boxes->addRow(captionFor(threadCount_, "线程数："), threadCount_);
    boxes->addRow(captionFor(tryCount_, "重试次数："), tryCount_);
    for (QSpinBox* s : {searchDep_, timeout_, threadCount_, tryCount_})
        s->setMinimumWidth(80);

    auto* layout = new QVBoxLayout(page);
    layout->addLayout(boxes);
    layout->addStretch();
    return page;
}

void OptionsDialog::showForm()
{
    const ToptionsForm& f = *form_;
    maxTaskCount_->setValue(f.general.maxTaskCount);
    (f.general.autoAll ? saveAll_ : mobileOnly_)->setChecked(true);

    {
        // Filling is no click: the model already holds the state.
        const QSignalBlocker quiet(useProxy_);
        useProxy_->setChecked(f.proxy.useProxy);
    }
    server_->setText(q(f.proxy.server));
    port_->setText(q(f.proxy.port));
    user_->setText(q(f.proxy.user));
    password_->setText(q(f.proxy.password));
    testAddress_->setText(q(f.proxy.testAddress));
    showProxyBoxes();

    searchDep_->setValue(f.fetching.searchDep);
    timeout_->setValue(f.fetching.timeout);
    threadCount_->setValue(f.fetching.threadCount);
    tryCount_->setValue(f.fetching.tryCount);

    // kPages and the tabs list the visible pages in the same order.
    int tab = 0;
    for (int i = 0; i < f.currentPage && i < static_cast<int>(ToptionsForm::kPages.size()); ++i)
        tab += ToptionsForm::kPages[static_cast<std::size_t>(i)].visible ? 1 : 0;
    pages_->setCurrentIndex(tab);
}

void OptionsDialog::takeForm()
{
    ToptionsForm& f = *form_;
    f.general.maxTaskCount = maxTaskCount_->value();
    f.general.autoAll = saveAll_->isChecked();
    f.setUseProxy(useProxy_->isChecked());
    f.proxy.server = server_->text().toStdString();
    f.proxy.port = port_->text().toStdString();
    f.proxy.user = user_->text().toStdString();
    f.proxy.password = password_->text().toStdString();
    f.proxy.testAddress = testAddress_->text().toStdString();
    f.fetching.searchDep = searchDep_->value();
    f.fetching.timeout = timeout_->value();
    f.fetching.threadCount = threadCount_->value();
    f.fetching.tryCount = tryCount_->value();
}

void OptionsDialog::showProxyBoxes()
{
    const bool on = form_->proxyBoxesEnabled();
    for (QLineEdit* e : {server_, port_, user_, password_})
        e->setEnabled(on);
}

void OptionsDialog::testConnection()
{
    takeForm();
    // The request blocks the window until it ends; the pointer says so. The first
    // message takes the wait cursor away again.
    messages_->beginWait();
    form_->testConnection();
    messages_->endWait();
}

void OptionsDialog::reject()
{
    form_->cancel();
    QDialog::reject();
}

int execOptionsDialog(QWidget* parent, const std::string& settingsPath, std::optional<int>* toolTipDisplayMs)
{
    OptionsDialog d(settingsPath, parent);
    const int result = d.exec();
    if (toolTipDisplayMs && d.appliedToolTipDisplayMs())
        *toolTipDisplayMs = d.appliedToolTipDisplayMs();
    return result;
}

} // namespace tarvimo::app::ui
