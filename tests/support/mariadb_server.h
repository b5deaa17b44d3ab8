// A private MariaDB server for tests and benchmarks: a fresh data folder, 127.0.0.1 and a
// free port, no grant tables (any user name connects), stopped and removed at the end.
#pragma once

#include "support/child_process.h"

#include <memory>
#include <string>

namespace tarvimo::fixtures {

class MariaDbServer {
public:
    // Initialises the data folder under 'folder' and starts the server; throws
    // std::runtime_error with the server's log when it does not come up.
    explicit MariaDbServer(std::string folder);
    ~MariaDbServer();

    int port() const { return port_; }
    const std::string& folder() const { return folder_; }
    // Whether the server programs are installed.
    static bool available();

    // Runs SQL through the mariadb client; the client's output (tab separated, no column
    // names). Throws std::runtime_error when the client fails.
    std::string sql(const std::string& statements, const std::string& database = {}) const;

    // Kills the server at once, as a crash would; start() brings it back on the same data.
    void kill();
    void start();

private:
    std::string folder_;
    int port_ = 0;
    std::unique_ptr<ChildProcess> server_;
};

} // namespace tarvimo::fixtures
