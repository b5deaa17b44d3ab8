#include "run/ui/message_boxes.h"

#include "run/qt_text.h"

#include <QApplication>
#include <QMessageBox>

namespace tarvimo::run::ui {
namespace {

QString title() { return QApplication::applicationDisplayName(); }

} // namespace

void MessageBoxes::warning(std::string_view text) { QMessageBox::warning(owner_, title(), q(text)); }

void MessageBoxes::information(std::string_view text) { QMessageBox::information(owner_, title(), q(text)); }

bool MessageBoxes::question(std::string_view text)
{
    return QMessageBox::question(owner_, title(), q(text), QMessageBox::Ok | QMessageBox::Cancel) == QMessageBox::Ok;
}

} // namespace tarvimo::run::ui
