// The export's progress window (TprogressForm): a borderless 347 x 50 panel centred on the
// screen with "进度:" and the gauge Gauge1. The export runs on the main thread, so the
// window lets Qt repaint now and then (at most every kRepaintMs) while it runs; user input
// waits until the export is over, so nothing can start a second export meanwhile.
#pragma once

#include <QElapsedTimer>
#include <QFrame>

class QProgressBar;

namespace tarvimo::output::ui {

class ProgressWindow : public QFrame {
    Q_OBJECT
public:
    static constexpr int kWidth = 347, kHeight = 50;
    static constexpr int kRepaintMs = 50;

    explicit ProgressWindow(QWidget* parent = nullptr);

    // Shown on the first call, centred on the screen; the gauge at position of maximum.
    void progress(int position, int maximum);
    // Hidden until the next progress().
    void done();

    QProgressBar* gauge() const { return gauge_; }

private:
    QProgressBar* gauge_;
    QElapsedTimer sinceRepaint_;
};

} // namespace tarvimo::output::ui
