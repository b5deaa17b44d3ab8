// The desktop's user messages: warnings with the exclamation icon, information with the
// information icon, questions with OK and Cancel, each a modal box owned by a window.
#pragma once

#include "base/messages.h"

class QWidget;

namespace tarvimo::run::ui {

class MessageBoxes : public UserMessages {
public:
    // 'owner' is the window the boxes belong to; it must outlive this object.
    explicit MessageBoxes(QWidget* owner) : owner_(owner) {}
    void warning(std::string_view text) override;
    void information(std::string_view text) override;
    bool question(std::string_view text) override;

private:
    QWidget* owner_;
};

} // namespace tarvimo::run::ui
