// The options dialog window ("选项") over ToptionsForm: the visible pages "常规", "代理设置"
// and "搜索设置" as tabs, "确定", "应用(&A)" and "取消". The model holds every value,
// the hidden pages' too, and does the checks, the messages, the saving and the proxy test;
// the window copies its controls into the model before each of those and shows the model
// after filling. Main thread only.
#pragma once

#include "app/options_model.h"

#include <QDialog>

#include <memory>
#include <optional>
#include <string>

class QCheckBox;
class QLineEdit;
class QRadioButton;
class QSpinBox;
class QTabWidget;

namespace tarvimo::app::ui {

class OptionsDialog : public QDialog {
    Q_OBJECT
public:
    // Messages go to boxes owned by the dialog, or to 'messages' when given (tests).
    explicit OptionsDialog(std::string settingsPath, QWidget* parent = nullptr, UserMessages* messages = nullptr);
    ~OptionsDialog() override;

    ToptionsForm& form() { return *form_; }

    // The tool-tip display time in milliseconds set by the last successful save ("确定"
    // or "应用(&A)"); empty before one. The main window applies it to its tool tips.
    std::optional<int> appliedToolTipDisplayMs() const { return form_->appliedToolTipDisplayMs(); }

    // Escape, the title bar's close and "取消": closes without saving.
    void reject() override;

private:
    class Messages;

    QWidget* generalPage();
    QWidget* proxyPage();
    QWidget* fetchingPage();
    // Model -> controls, and controls -> model.
    void showForm();
    void takeForm();
    void showProxyBoxes();
    void testConnection();

    std::unique_ptr<Messages> messages_;
    std::unique_ptr<ToptionsForm> form_;
    QTabWidget* pages_ = nullptr;
    QSpinBox* maxTaskCount_ = nullptr;
    QRadioButton* saveAll_ = nullptr;
    QRadioButton* mobileOnly_ = nullptr;
    QCheckBox* useProxy_ = nullptr;
    QLineEdit* server_ = nullptr;
    QLineEdit* port_ = nullptr;
    QLineEdit* user_ = nullptr;
    QLineEdit* password_ = nullptr;
    QLineEdit* testAddress_ = nullptr;
    QSpinBox* searchDep_ = nullptr;
    QSpinBox* timeout_ = nullptr;
    QSpinBox* threadCount_ = nullptr;
    QSpinBox* tryCount_ = nullptr;
};

// "选项" over the settings file, modal; the dialog's result code. 'toolTipDisplayMs', when
// given, receives the display time of the last successful save (left alone without one).
int execOptionsDialog(QWidget* parent, const std::string& settingsPath, std::optional<int>* toolTipDisplayMs = nullptr);

} // namespace tarvimo::app::ui
