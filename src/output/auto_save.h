// Automatic saving of a run's rows: while a task whose `taskAutoSave` is set runs, its
// grid is written every `taskAutoSavePL` minutes, when the run ends and when it is
// stopped, to `taskAutoSaveName` + ".txt" (TAB separated, with titles, every data row),
// replacing the file whole, so a crash loses at most one period's rows.
#pragma once

#include "run/frame_task_data.h"

#include <QObject>
#include <QTimer>

#include <string>

namespace tarvimo::output {

class AutoSave : public QObject {
    Q_OBJECT
public:
    // Watches the frame from its next start on; the frame must outlive this object.
    explicit AutoSave(run::TFrameTaskData& frame, QObject* parent = nullptr);

    // The file of the current run; empty when the task does not save.
    const std::string& fileName() const { return fileName_; }
    int periodMinutes() const { return periodMinutes_; }
    // Writes the grid now; false (with the reason on the frame's message list) on failure.
    bool save();
    // Makes sure the rows are in an automatic save, also for a task that does not save
    // (then under the default automatic-save name); the file, or empty when even that
    // cannot be written.
    std::string keep();
    // Writes the rows to a file of their own beside the automatic save, its name followed
    // by "-" + 'stamp' (a number is added when that file exists), so the next run does not
    // replace them. The file, or empty when it cannot be written (said on the message list).
    std::string keepCopy(const std::string& stamp);

private:
    void runStarted();
    std::string defaultFileName() const;
    bool writeRows(const std::string& file);

    run::TFrameTaskData& frame_;
    QTimer timer_;
    std::string fileName_;
    int periodMinutes_ = 10;
};

// A grid's collected rows as the automatic save and the headless run write them: TAB
// separated, the title line (also when there is no row), then rows 1 to the last data
// row, every column.
std::string collectedRowsText(const run::ResultGrid& grid);

} // namespace tarvimo::output
