// What a task master needs of the run frame that owns it. Every call is made on the main
// (user-interface) thread.
#pragma once

#include <string>
#include <vector>

namespace tarvimo::engine {

// The commands of a running task (their numbers are the ones the program has always used).
enum class RunCommand : int { Pause = 1, Resume = 2, Stop = 3 };
// Where a run or a master is: collecting, paused, or ended (finished or stopped).
enum class RunStatus : int { Running = 0, Paused = 1, Ended = 2 };

// Choices of the front end that started the run.
struct RunOptions {
    int threads = 0;  // workers per master; 0: the settings file's count
};

class MasterOwner {
public:
    virtual ~MasterOwner() = default;

    // Appends a delivered row (serial number first) to the result grid.
    virtual void appendRow(const std::vector<std::string>& fields) = 0;
    // The grid's row count: the title row and the empty append row included.
    virtual int gridRowCount() const = 0;
    // Whether a cell of the grid column (title included) equals the value, letter case
    // ignored.
    virtual bool columnHolds(int column, const std::string& value) const = 0;
    // The serial number of the last numbered grid row, 0 when there is none.
    virtual int lastSerialNumber() const = 0;
    // One line for the run's message list, and how many lines it holds.
    virtual void addMessage(const std::string& line) = 0;
    virtual int messageCount() const = 0;
    // Set for a company-directory task: invalid mobile numbers are marked in the grid.
    virtual void setContactTask(bool on) = 0;
    // A master's part of the run is over; the owner checks all its masters.
    virtual void mastersReport() = 0;
    // A page of the run could not be had: its address (GBK) and why (UTF-8).
    virtual void pageFailed(const std::string& /*address*/, const std::string& /*reason*/) {}
    // The progress estimate: the expected row count (0: unknown) and the estimate.
    virtual int expectedRows() const { return 0; }
    virtual void setProgressEstimate(int /*percent*/) {}
    // Run-wide values the extraction engine reads.
    virtual bool restarted() const { return false; }
    virtual int runCounter() const { return 1; }
    virtual RunOptions runOptions() const { return {}; }
};

} // namespace tarvimo::engine
