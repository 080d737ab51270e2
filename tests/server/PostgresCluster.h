#pragma once

#include <fcntl.h>
#include <netinet/in.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <string>

// A private PostgreSQL server for the tests: its own data folder under the temporary folder,
// its own socket folder and port, no TCP. Run as the "postgres" user when the tests run as
// root (the server refuses to run as root). Stopped and removed on destruction, and by a
// watchdog process when the test process dies without getting that far.
class TPostgresCluster {
  public:
    static constexpr const char* kBin = "/usr/lib/postgresql/15/bin";

    static bool Available() { return std::filesystem::exists(std::string(kBin) + "/pg_ctl"); }

    TPostgresCluster() {
        std::string pattern = (ScratchFolder() / "spraydash-pg-XXXXXX").string();
        if (!::mkdtemp(pattern.data()))
            throw std::runtime_error("mkdtemp failed");
        m_dir = pattern;
        GiveToServerUser(m_dir);
        m_port = FreePort();
        CopyTemplate(m_dir + "/data");
        StartWatchdog();
        Start();
    }

    ~TPostgresCluster() {
        Stop();
        if (m_watchdog > 0) {
            char done = 1;
            [[maybe_unused]] ssize_t n = ::write(m_watchdogPipe, &done, 1);
            ::close(m_watchdogPipe);
            ::waitpid(m_watchdog, nullptr, 0);
        }
        std::error_code ec;
        std::filesystem::remove_all(m_dir, ec);
    }
    TPostgresCluster(const TPostgresCluster&) = delete;
    TPostgresCluster& operator=(const TPostgresCluster&) = delete;

    void Start() {
        if (Run(PgCtl("start -w -t 30 -l " + m_dir + "/server.log -o \"" + ServerOptions() + "\"")) != 0)
            throw std::runtime_error("PostgreSQL did not start:\n" + Log());
        m_running = true;
    }
    // As an operator stops it: sessions are ended, nothing new is accepted.
    void Stop() {
        if (m_running)
            Run(PgCtl("stop -w -m fast"));
        m_running = false;
    }

    // A new, empty database; returns its name.
    std::string CreateDatabase() {
        std::string name = "scores" + std::to_string(++m_databases);
        Psql("postgres", "CREATE DATABASE " + name);
        return name;
    }
    // The same in libpq's key/value form.
    std::string KeyValue(const std::string& database) const {
        return "host=" + m_dir + " port=" + std::to_string(m_port) + " user=postgres dbname='" + database +
               "'";
    }
    std::string Uri(const std::string& database) const {
        return "postgresql://postgres@/" + database + "?host=" + m_dir + "&port=" + std::to_string(m_port);
    }
    // Runs SQL as an operator would in psql; returns what it prints (values only).
    std::string Psql(const std::string& database, const std::string& sql) {
        std::string file = m_dir + "/query.sql";
        std::ofstream(file) << sql << ";\n";
        std::string out;
        int status =
            Run(AsServerUser(std::string(kBin) + "/psql -X -q -A -t -v ON_ERROR_STOP=1 -h " + m_dir + " -p " +
                             std::to_string(m_port) + " -U postgres -d " + database + " -f " + file),
                &out);
        if (status != 0)
            throw std::runtime_error("psql failed on \"" + sql + "\": " + out);
        while (!out.empty() && out.back() == '\n')
            out.pop_back();
        return out;
    }
    std::string Log() const {
        std::ifstream in(m_dir + "/server.log");
        std::stringstream text;
        text << in.rdbuf();
        return text.str();
    }

  private:
    static bool AsRoot() { return ::geteuid() == 0; }

    // Memory when there is some to spare: a cluster is 30 MB of files written at once.
    static std::filesystem::path ScratchFolder() {
        if (::access("/dev/shm", W_OK) == 0)
            return "/dev/shm";
        return std::filesystem::temp_directory_path();
    }

    static std::string AsServerUser(const std::string& command) {
        return AsRoot() ? "runuser -u postgres -- " + command : command;
    }

    static void GiveToServerUser(const std::string& path) {
        if (!AsRoot())
            return;
        passwd* user = ::getpwnam("postgres");
        if (!user || ::chown(path.c_str(), user->pw_uid, user->pw_gid) != 0)
            throw std::runtime_error("cannot give " + path + " to the postgres user");
    }

    static unsigned short FreePort() {
        int fd = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t len = sizeof addr;
        ::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len);
        ::close(fd);
        return ntohs(addr.sin_port);
    }

    // initdb takes a second; it runs once per build folder, and each cluster starts as a copy.
    static void CopyTemplate(const std::string& data) {
        const std::string templ = SPRAYDASH_PG_TEMPLATE;
        int lock = ::open((templ + ".lock").c_str(), O_CREAT | O_RDWR | O_CLOEXEC, 0644);
        if (lock < 0 || ::flock(lock, LOCK_EX) != 0)
            throw std::runtime_error("cannot lock " + templ + ".lock");
        if (!std::filesystem::exists(templ + "/data/PG_VERSION")) {
            const std::string fresh = templ + ".new";
            std::filesystem::remove_all(fresh);
            std::filesystem::create_directories(fresh);
            GiveToServerUser(fresh);
            std::string out;
            if (Run(AsServerUser(
                        std::string(kBin) + "/initdb -D " + fresh +
                        "/data -A trust -U postgres -E UTF8 --locale=C.UTF-8 --no-sync --wal-segsize=1"),
                    &out) != 0) {
                ::close(lock);
                throw std::runtime_error("initdb failed: " + out);
            }
            std::filesystem::remove_all(templ);
            std::filesystem::rename(fresh, templ);
        }
        int status = Run("cp -a " + templ + "/data " + data);
        ::close(lock);
        if (status != 0)
            throw std::runtime_error("cannot copy " + templ);
    }

    // A process of its own that waits for this one to end; if it ends without saying it has
    // cleaned up (a crash, an abort), the watchdog stops the server and removes the folder.
    void StartWatchdog() {
        int fds[2];
        if (::pipe2(fds, O_CLOEXEC) != 0)
            throw std::runtime_error("pipe failed");
        std::string cleanup = PgCtl("stop -m immediate") + " >/dev/null 2>&1; rm -rf " + m_dir;
        m_watchdog = ::fork();
        if (m_watchdog == 0) {
            ::close(fds[1]);
            ::setsid(); // out of the test's process group: a timeout's kill does not reach it
            // Nothing of the test's output is held open: ctest waits for its end.
            int null = ::open("/dev/null", O_RDWR);
            for (int fd = 0; fd <= 2; ++fd)
                ::dup2(null, fd);
            char done = 0;
            if (::read(fds[0], &done, 1) == 1)
                ::_exit(0);
            ::execl("/bin/sh", "sh", "-c", cleanup.c_str(), static_cast<char*>(nullptr));
            ::_exit(127);
        }
        ::close(fds[0]);
        m_watchdogPipe = fds[1];
    }

    std::string ServerOptions() const {
        return "-p " + std::to_string(m_port) + " -k " + m_dir +
               " -c listen_addresses='' -c max_connections=60 -c shared_buffers=16MB "
               // What is tested is the servers above the database, never a power cut under it.
               "-c fsync=off -c full_page_writes=off";
    }
    std::string PgCtl(const std::string& args) const {
        return AsServerUser(std::string(kBin) + "/pg_ctl -D " + m_dir + "/data " + args);
    }

    static int Run(const std::string& command, std::string* out = nullptr) {
        FILE* p = ::popen((command + " 2>&1").c_str(), "r");
        if (!p)
            return -1;
        char buf[4096];
        std::size_t n;
        while ((n = std::fread(buf, 1, sizeof buf, p)) > 0)
            if (out)
                out->append(buf, n);
        int status = ::pclose(p);
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

    std::string m_dir;
    unsigned short m_port = 0;
    bool m_running = false;
    int m_databases = 0;
    pid_t m_watchdog = -1;
    int m_watchdogPipe = -1;
};
