// What the output dialogs need beyond their models: where messages go, the file choosers
// and the shell's "open". The desktop program takes the defaults (message boxes owned by
// the dialog, Qt's file dialogs, QDesktopServices); tests put recorders in their place so
// nothing modal or outside the test runs. Main thread only.
#pragma once

#include "base/messages.h"

#include <QDialog>
#include <QString>

#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace tarvimo::run::ui {
class MessageBoxes;
}

namespace tarvimo::output::ui {

class Desktop {
public:
    virtual ~Desktop() = default;
    // A save or open dialog with a Qt filter; the chosen path, nothing when cancelled.
    virtual std::optional<QString> saveFileName(QWidget* parent, const QString& filter);
    virtual std::optional<QString> openFileName(QWidget* parent, const QString& filter);
    // Opens a file with the desktop's program for it; false when refused.
    virtual bool openFile(const QString& path);
};

// The desktop's own file dialogs and shell.
Desktop& systemDesktop();

// Null members take the desktop's own.
struct Services {
    UserMessages* messages = nullptr;
    Desktop* desktop = nullptr;
};

// A filter of the form "文本文件(*.txt)|*.txt|所有文件|*.*" as Qt writes it:
// "文本文件 (*.txt);;所有文件 (*.*)".
QString qtFilter(std::string_view pipeFilter);

// The base of every dialog here: the messages and desktop it and the dialogs it opens use.
class OutputDialog : public QDialog {
    Q_OBJECT
public:
    ~OutputDialog() override;
    UserMessages& messages() { return *messages_; }
    Desktop& desktop() { return *desktop_; }
    // What a dialog opened from this one gets: the same messages and desktop.
    Services services() { return {messages_, desktop_}; }

protected:
    OutputDialog(QWidget* parent, Services services);
    // Cuts the signals of the child widgets to this dialog. A dialog whose model is a member
    // calls it first in its destructor: the children outlive the members, and no signal of a
    // child going away may reach a model that is gone.
    void detachChildren();

private:
    std::unique_ptr<run::ui::MessageBoxes> boxes_;
    UserMessages* messages_;
    Desktop* desktop_;
};

} // namespace tarvimo::output::ui
