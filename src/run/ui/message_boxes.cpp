#include "run/ui/message_boxes.h"

#include <QApplication>
#include <QMessageBox>

namespace tarvimo::run::ui {
namespace {

QString q(std::string_view utf8) { return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size())); }

QString title() { return QApplication::applicationDisplayName(); }

} // namespace

void MessageBoxes::warning(std::string_view text) { QMessageBox::warning(owner_, title(), q(text)); }

void MessageBoxes::information(std::string_view text) { QMessageBox::information(owner_, title(), q(text)); }

bool MessageBoxes::question(std::string_view text)
{
    return QMessageBox::question(owner_, title(), q(text), QMessageBox::Ok | QMessageBox::Cancel) == QMessageBox::Ok;
}

} // namespace tarvimo::run::ui
