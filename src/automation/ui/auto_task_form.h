// The auto-run dialog (TautoTaskForm, "自动运行的任务"), shown at program start when tasks
// are set to run at start: one checked row per such task with its run count and interval,
// the seconds to wait before each start, "确定(&Y)" and "取消(&N)". Confirming starts the
// checked tasks in order, the window staying open (and the program responsive) until the
// last has started. Main thread only.
#pragma once

#include "automation/automatic_runs.h"

#include <QDialog>

class QLineEdit;
class QPushButton;
class QTableWidget;

namespace tarvimo::automation::ui {

class TautoTaskForm : public QDialog {
    Q_OBJECT
public:
    TautoTaskForm(AutomaticRuns& runs, const std::string& home, QWidget* parent = nullptr);

    QTableWidget* list() const { return list_; }
    QLineEdit* interval() const { return interval_; }
    QPushButton* okButton() const { return ok_; }
    QPushButton* cancelButton() const { return cancel_; }
    // The checked tasks in list order (GBK).
    std::vector<std::string> checkedTasks() const;

    void reject() override;

private:
    void confirm();

    AutomaticRuns& runs_;
    std::vector<std::string> names_;
    QTableWidget* list_ = nullptr;
    QLineEdit* interval_ = nullptr;
    QPushButton* ok_ = nullptr;
    QPushButton* cancel_ = nullptr;
    bool starting_ = false;
};

} // namespace tarvimo::automation::ui
