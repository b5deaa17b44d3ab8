#include "automation/ui/auto_task_form.h"

#include "automation/schedule.h"
#include "output/ui/form_parts.h"
#include "run/qt_text.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

namespace tarvimo::automation::ui {

using output::ui::captionFor;
using output::ui::makeButton;
using output::ui::makeEdit;

TautoTaskForm::TautoTaskForm(AutomaticRuns& runs, const std::string& home, QWidget* parent)
    : QDialog(parent), runs_(runs)
{
    setObjectName("TautoTaskForm");
    setWindowTitle(q("自动运行的任务"));
    auto* layout = new QVBoxLayout(this);
    auto* label = new QLabel(q("以下任务被设置为自动运行。可通过勾选或取消'√'进行筛选"), this);
    label->setObjectName("Label1");
    layout->addWidget(label);

    list_ = new QTableWidget(this);
    list_->setObjectName("ListView1");
    list_->setColumnCount(3);
    list_->setHorizontalHeaderLabels({q("任务名称"), q("运行次数"), q("间隔时间")});
    list_->verticalHeader()->hide();
    list_->setSelectionBehavior(QAbstractItemView::SelectRows);
    list_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    list_->horizontalHeader()->setSectionResizeMode(0, QHeaderView::Stretch);
    for (const StartupTask& t : startupTasks(home)) {
        const int row = list_->rowCount();
        list_->insertRow(row);
        auto* name = new QTableWidgetItem(fromGbk(t.name));
        name->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
        name->setCheckState(Qt::Checked);
        list_->setItem(row, 0, name);
        list_->setItem(row, 1, new QTableWidgetItem(QString::number(t.runCount)));
        list_->setItem(row, 2, new QTableWidgetItem(QString::number(t.pauseMinutes) + q("分钟")));
        names_.push_back(t.name);
    }
    layout->addWidget(list_);

    auto* bottom = new QHBoxLayout;
    interval_ = makeEdit(this, "Edit1");
    interval_->setText("1");
    interval_->setMaximumWidth(80);
    bottom->addWidget(captionFor(interval_, "时间间隔："));
    bottom->addWidget(interval_);
    bottom->addWidget(new QLabel(q("秒"), this));
    bottom->addStretch();
    ok_ = makeButton(this, "BitBtn1", "确定(&Y)");
    cancel_ = makeButton(this, "BitBtn2", "取消(&N)");
    ok_->setDefault(true);
    bottom->addWidget(ok_);
    bottom->addWidget(cancel_);
    layout->addLayout(bottom);
    connect(ok_, &QPushButton::clicked, this, &TautoTaskForm::confirm);
    connect(cancel_, &QPushButton::clicked, this, &TautoTaskForm::reject);
    resize(520, 320);
}

std::vector<std::string> TautoTaskForm::checkedTasks() const
{
    std::vector<std::string> out;
    for (int row = 0; row < list_->rowCount(); ++row)
        if (list_->item(row, 0)->checkState() == Qt::Checked)
            out.push_back(names_[static_cast<std::size_t>(row)]);
    return out;
}

void TautoTaskForm::confirm()
{
    if (starting_)
        return;
    starting_ = true;
    ok_->setEnabled(false);
    cancel_->setEnabled(false);
    list_->setEnabled(false);
    interval_->setEnabled(false);
    runs_.startInOrder(checkedTasks(), intervalSeconds(toGbk(interval_->text())),
                       [self = QPointer<TautoTaskForm>(this)] {
                           if (self)
                               self->accept();
                       });
}

void TautoTaskForm::reject()
{
    // Once the starts have begun they finish; the window closes after the last.
    if (!starting_)
        QDialog::reject();
}

} // namespace tarvimo::automation::ui
