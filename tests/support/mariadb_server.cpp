#include "support/mariadb_server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <thread>

namespace tarvimo::fixtures {

namespace {

int freePort()
{
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof a;
    if (fd < 0 || ::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 ||
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len) != 0) {
        if (fd >= 0)
            ::close(fd);
        throw std::runtime_error("no free port");
    }
    ::close(fd);
    return ntohs(a.sin_port);
}

bool accepts(int port)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(static_cast<uint16_t>(port));
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    const bool ok = fd >= 0 && ::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
    if (fd >= 0)
        ::close(fd);
    return ok;
}

std::string fileText(const std::string& path)
{
    std::ifstream in(path);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

} // namespace

bool MariaDbServer::available()
{
    return !findProgram("mariadbd").empty() && !findProgram("mariadb-install-db").empty() &&
           !findProgram("mariadb").empty();
}

MariaDbServer::MariaDbServer(std::string folder) : folder_(std::move(folder))
{
    std::filesystem::create_directories(folder_ + "/data");
    // A folder of its own for temporary tables: servers of tests running side by side
    // must not share /tmp.
    std::filesystem::create_directories(folder_ + "/tmp");
    const ProgramResult init = runProgram({findProgram("mariadb-install-db"), "--no-defaults", "--user=root",
                                           "--datadir=" + folder_ + "/data", "--auth-root-authentication-method=normal",
                                           "--skip-test-db", "--tmpdir=" + folder_ + "/tmp"},
                                          folder_ + "/install.log");
    if (init.exitCode != 0)
        throw std::runtime_error("mariadb-install-db failed:\n" + init.output);
    start();
}

MariaDbServer::~MariaDbServer()
{
    if (server_)
        server_->terminate();
}

void MariaDbServer::start()
{
    if (port_ == 0)
        port_ = freePort();
    server_ = std::make_unique<ChildProcess>(
        std::vector<std::string>{findProgram("mariadbd"), "--no-defaults", "--user=root", "--datadir=" + folder_ + "/data",
                                 "--tmpdir=" + folder_ + "/tmp", "--socket=" + folder_ + "/mysqld.sock", "--pid-file=" + folder_ + "/mysqld.pid",
                                 "--bind-address=127.0.0.1", "--port=" + std::to_string(port_), "--skip-grant-tables",
                                 "--character-set-server=utf8mb4", "--collation-server=utf8mb4_bin", "--local-infile=1",
                                 "--innodb-buffer-pool-size=128M", "--skip-log-bin"},
        folder_ + "/server.log");
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (!accepts(port_)) {
        if (!server_->running() || std::chrono::steady_clock::now() > deadline)
            throw std::runtime_error("mariadbd did not start:\n" + fileText(folder_ + "/server.log"));
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
}

void MariaDbServer::kill()
{
    if (!server_)
        return;
    ::kill(server_->pid(), SIGKILL);
    server_->wait();
    server_.reset();
}

std::string MariaDbServer::sql(const std::string& statements, const std::string& database) const
{
    const std::string script = folder_ + "/statements.sql";
    std::ofstream(script) << statements;
    std::vector<std::string> argv{findProgram("mariadb"), "--no-defaults", "--protocol=tcp", "--host=127.0.0.1",
                                  "--port=" + std::to_string(port_), "--user=root", "--batch", "--skip-column-names",
                                  "--default-character-set=utf8mb4", "--local-infile=1", "-e", "source " + script};
    if (!database.empty())
        argv.push_back(database);
    const ProgramResult r = runProgram(argv, folder_ + "/client.log");
    if (r.exitCode != 0)
        throw std::runtime_error("mariadb client failed:\n" + r.output);
    return r.output;
}

} // namespace tarvimo::fixtures
