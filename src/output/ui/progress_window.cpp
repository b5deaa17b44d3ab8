#include "output/ui/progress_window.h"

#include "run/qt_text.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QScreen>

#include <algorithm>

namespace tarvimo::output::ui {

ProgressWindow::ProgressWindow(QWidget* parent)
    : QFrame(parent, Qt::Dialog | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint)
{
    setObjectName("TprogressForm");
    setFrameShape(QFrame::Panel);
    setFrameShadow(QFrame::Raised);
    setLineWidth(2);
    setFixedSize(kWidth, kHeight);
    auto* label = new QLabel(q("进度:"), this);
    gauge_ = new QProgressBar(this);
    gauge_->setObjectName("Gauge1");
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(12, 8, 12, 8);
    layout->addWidget(label);
    layout->addWidget(gauge_, 1);
}

void ProgressWindow::progress(int position, int maximum)
{
    maximum = std::max(maximum, 0);
    if (gauge_->maximum() != maximum)
        gauge_->setRange(0, maximum);
    gauge_->setValue(std::clamp(position, 0, maximum));
    if (!isVisible()) {
        const QScreen* screen = parentWidget() ? parentWidget()->screen() : QGuiApplication::primaryScreen();
        if (screen) {
            QRect placed(QPoint(), size());
            placed.moveCenter(screen->geometry().center());
            move(placed.topLeft());
        }
        show();
        raise();
        sinceRepaint_.invalidate();
    }
    if (!sinceRepaint_.isValid() || sinceRepaint_.elapsed() >= kRepaintMs) {
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
        sinceRepaint_.start();
    }
}

void ProgressWindow::done() { hide(); }

} // namespace tarvimo::output::ui
