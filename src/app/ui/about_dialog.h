// The about box ("关于 Tarvimo"): the program's icon, name, version, what it is for, the Qt
// version it runs on, and "确定". Main thread only.
#pragma once

#include <QDialog>

namespace tarvimo::app::ui {

class AboutDialog : public QDialog {
    Q_OBJECT
public:
    explicit AboutDialog(QWidget* parent = nullptr);
};

// Shows the about box, modal, until "确定" or closing.
void showAboutBox(QWidget* parent);

} // namespace tarvimo::app::ui
