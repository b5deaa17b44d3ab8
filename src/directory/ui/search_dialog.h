// The two search dialogs' window: the keyword and task-name edits, OK ("确定") and close
// ("关闭"), and the CurrentMsg panel shown while the tasks are made. The logic (checks,
// messages, task creation) is the wizard's; the window mirrors its state.
#pragma once

#include "directory/wizard.h"

#include <QDialog>

#include <memory>

class QLabel;
class QLineEdit;
class QPushButton;

namespace tarvimo::run::ui {
class MessageBoxes;
}

namespace tarvimo::directory::ui {

class SearchDialog : public QDialog {
    Q_OBJECT
public:
    enum class Kind { MultiSite, MobileNumbers };

    // Messages go to boxes owned by the dialog, or to 'messages' when given (tests).
    SearchDialog(Kind kind, RunTabs& tabs, engine::Environment env, QWidget* parent = nullptr,
                 UserMessages* messages = nullptr);
    ~SearchDialog() override;

    SearchWizard& wizard() { return *wizard_; }

    // The designer names of the controls.
    QLineEdit* keyword() const { return keyword_; }
    QLineEdit* taskname() const { return taskname_; }
    QPushButton* bitBtn1() const { return ok_; }
    QPushButton* bitBtn2() const { return close_; }
    QLabel* currentMsg() const { return currentMsg_; }

    // Escape and the close button: refused while the tasks are being made.
    void reject() override;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void showState();

    std::unique_ptr<run::ui::MessageBoxes> boxes_;
    std::unique_ptr<SearchWizard> wizard_;
    QLineEdit* keyword_;
    QLineEdit* taskname_;
    QPushButton* ok_;
    QPushButton* close_;
    QLabel* currentMsg_;
};

} // namespace tarvimo::directory::ui
