#include "output/ui/desktop.h"

#include "run/qt_text.h"
#include "run/ui/message_boxes.h"

#include <QDesktopServices>
#include <QFileDialog>
#include <QStringList>
#include <QUrl>

namespace tarvimo::output::ui {

std::optional<QString> Desktop::saveFileName(QWidget* parent, const QString& filter)
{
    const QString path = QFileDialog::getSaveFileName(parent, QString(), QString(), filter);
    if (path.isEmpty())
        return std::nullopt;
    return path;
}

std::optional<QString> Desktop::openFileName(QWidget* parent, const QString& filter)
{
    const QString path = QFileDialog::getOpenFileName(parent, QString(), QString(), filter);
    if (path.isEmpty())
        return std::nullopt;
    return path;
}

bool Desktop::openFile(const QString& path) { return QDesktopServices::openUrl(QUrl::fromLocalFile(path)); }

Desktop& systemDesktop()
{
    static Desktop desktop;
    return desktop;
}

QString qtFilter(std::string_view pipeFilter)
{
    const QStringList parts = q(pipeFilter).split(QLatin1Char('|'));
    QStringList filters;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        QString name = parts[i].trimmed();
        const QString patterns = parts[i + 1].trimmed().replace(QLatin1Char(';'), QLatin1Char(' '));
        // Qt reads the patterns from the last parentheses of the name; a name without
        // them gets the pattern column's.
        const qsizetype open = name.lastIndexOf(QLatin1Char('('));
        if (open >= 0 && name.endsWith(QLatin1Char(')')))
            name = name.left(open).trimmed() + QStringLiteral(" (") + patterns + QLatin1Char(')');
        else
            name += QStringLiteral(" (") + patterns + QLatin1Char(')');
        filters << name;
    }
    return filters.join(QStringLiteral(";;"));
}

OutputDialog::OutputDialog(QWidget* parent, Services services) : QDialog(parent)
{
    if (!services.messages) {
        boxes_ = std::make_unique<run::ui::MessageBoxes>(this);
        services.messages = boxes_.get();
    }
    messages_ = services.messages;
    desktop_ = services.desktop ? services.desktop : &systemDesktop();
    setModal(true);
}

OutputDialog::~OutputDialog() = default;

void OutputDialog::detachChildren()
{
    for (QObject* child : findChildren<QObject*>())
        QObject::disconnect(child, nullptr, this, nullptr);
}

} // namespace tarvimo::output::ui
