#include "directory/ui/search_dialog.h"

#include "run/qt_text.h"
#include "run/ui/message_boxes.h"

#include <QCloseEvent>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace tarvimo::directory::ui {
SearchDialog::SearchDialog(Kind kind, RunTabs& tabs, engine::Environment env, QWidget* parent, UserMessages* messages)
    : QDialog(parent)
{
    if (!messages) {
        boxes_ = std::make_unique<run::ui::MessageBoxes>(this);
        messages = boxes_.get();
    }
    if (kind == Kind::MultiSite)
        wizard_ = std::make_unique<TnewscTask>(*messages, tabs, std::move(env));
    else
        wizard_ = std::make_unique<TnewscTaskSingle>(*messages, tabs, std::move(env));
    setObjectName(kind == Kind::MultiSite ? "TnewscTask" : "TnewscTaskSingle");
    setWindowTitle(q(wizard_->caption()));
    setModal(true);

    auto* hint = new QLabel(kind == Kind::MultiSite
                                ? q("输入一个关键词，程序在各企业名录网站搜索，把公司名称、联系人、手机号、地址和邮箱采集到一张表里。")
                                : q("输入一个关键词，程序搜索含有该关键词的手机号信息，采集标题、手机号和邮件。"),
                            this);
    hint->setWordWrap(true);
    keyword_ = new QLineEdit(this);
    keyword_->setObjectName("keyword");
    keyword_->setPlaceholderText(q("例如：机械"));
    taskname_ = new QLineEdit(this);
    taskname_->setObjectName("taskname");
    auto* form = new QFormLayout;
    form->addRow(q("关键词："), keyword_);
    form->addRow(q("任务名称："), taskname_);

    currentMsg_ = new QLabel(q(wizard_->panelCaption()), this);
    currentMsg_->setObjectName("CurrentMsg");
    currentMsg_->setFrameShape(QFrame::Panel);
    currentMsg_->setFrameShadow(QFrame::Raised);
    currentMsg_->setAlignment(Qt::AlignCenter);
    currentMsg_->setMinimumHeight(36);
    currentMsg_->hide();

    ok_ = new QPushButton(q("确定"), this);
    ok_->setObjectName("BitBtn1");
    ok_->setDefault(true);
    close_ = new QPushButton(q("关闭"), this);
    close_->setObjectName("BitBtn2");
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(ok_);
    buttons->addWidget(close_);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(hint);
    layout->addLayout(form);
    layout->addWidget(currentMsg_);
    layout->addLayout(buttons);
    setMinimumWidth(420);

    connect(keyword_, &QLineEdit::textChanged, this, [this](const QString& text) {
        wizard_->keywordChanged(toGbk(text));
        taskname_->setText(fromGbk(wizard_->taskName()));
    });
    connect(taskname_, &QLineEdit::textEdited, this, [this](const QString& text) { wizard_->setTaskName(toGbk(text)); });
    connect(ok_, &QPushButton::clicked, this, [this] { wizard_->ok(); });
    connect(close_, &QPushButton::clicked, this, &SearchDialog::reject);
    connect(wizard_.get(), &SearchWizard::stateChanged, this, &SearchDialog::showState);
    connect(wizard_.get(), &SearchWizard::closeRequested, this, &QDialog::accept);
}

SearchDialog::~SearchDialog() = default;

void SearchDialog::showState()
{
    ok_->setEnabled(wizard_->buttonsEnabled());
    close_->setEnabled(wizard_->buttonsEnabled());
    keyword_->setReadOnly(wizard_->busy());
    taskname_->setReadOnly(wizard_->busy());
    currentMsg_->setVisible(wizard_->panelVisible());
}

// While the tasks are being made the dialog stays: its work must end before it goes.
void SearchDialog::closeEvent(QCloseEvent* event)
{
    if (wizard_->busy())
        event->ignore();
    else
        QDialog::closeEvent(event);
}

void SearchDialog::reject()
{
    if (!wizard_->busy())
        QDialog::reject();
}

} // namespace tarvimo::directory::ui
